#include "platform/filecopy.h"
#include "support/messagerecorder.h"
#include "support/testdrives.h"
#include "walk/walkthread.h"

#include "backup/restorepoint.h"
#include "backup/tcopythread.h"
#include "backup/tform2.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "widgets/bitbtn.h"
#include "widgets/panel.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::Snapshot;
using testsupport::snapshot;
using testsupport::writeFile;

namespace {

std::string content(const std::string& seed, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = seed[i % seed.size()];
    return bytes;
}

size_t fileCount(const fs::path& folder) {
    size_t count = 0;
    if (fs::exists(folder))
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            count += entry.is_regular_file();
    return count;
}

void putBack(const fs::path& folder, const Snapshot& files) {
    fs::remove_all(folder);
    fs::create_directories(folder / "Recover");
    for (const auto& [name, bytes] : files)
        writeFile(folder / name, bytes);
}

// A view of the backup job that notes what reaches it, in order.
class JobLog : public backup::BackupView {
public:
    std::vector<std::string> events;
    void showProgress(const backup::BackupProgress& progress) override {
        events.push_back("progress " + std::to_string(progress.position.value_or(-1)));
    }
    void completionStarted() override { events.push_back("started"); }
    void completionDone(const backup::CopyReport& report, bool current) override {
        events.push_back("done " + std::to_string(report.filesHandled) + (current ? "" : " old"));
    }
    void copyImpossible(const std::string&) override { events.push_back("impossible"); }
    void backupFolderImpossible(const std::string&, const std::string&) override {
        events.push_back("no backup folder");
    }
};

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    std::unique_ptr<testsupport::MessageRecorder> messages;
    std::unique_ptr<TForm2> dialog;

    fs::path recover() { return drives->host(u8"C:\\Program Files\\Tarnwick2004\\Recover"); }
    fs::path copyRoot(const std::string& day, const char* source) {
        return drives->driveFolder('e') / "Bak" / (day + "_Back") / source;
    }

    // What "下一步" does for the source and destination, then preparing the dialog.
    void prepare(const std::string& sourceDir, const std::string& destDir) {
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        QVERIFY(store.WriteSettings(sourceDir, destDir));
        dialog->PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
    }

    void settle() {
        dialog->WorkerThread->waitUntilSuspended();
        QCoreApplication::processEvents();
    }

    void showAndCount() {
        dialog->show();
        settle();
    }

    // Starts the copy and waits for the animation's closing message.
    void copyToTheEnd() {
        size_t before = messages->calls().size();
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        settle();
    }

    void backup(const std::string& sourceDir, const std::string& destDir = "E:\\Bak") {
        prepare(sourceDir, destDir);
        showAndCount();
        copyToTheEnd();
        dialog->close();
    }

    // D:\Data: files, an empty folder, a chain of folders eleven levels deep (Data is level 1)
    // and a folder with sixty sub-folders.
    size_t makeSource(uint64_t& bytes) {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "alpha");
        writeFile(data / "b.bin", content("0123456789", 1000));
        fs::create_directories(data / "Empty");
        fs::path deep = data;
        for (int level = 2; level <= 10; ++level) {
            deep /= "D" + std::to_string(level);
            writeFile(deep / ("f" + std::to_string(level) + ".txt"),
                      "level " + std::to_string(level));
        }
        writeFile(deep / "D11" / "f11.txt", "deepest");
        for (int i = 0; i < 60; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "W%02d", i);
            writeFile(data / "Wide" / name / "w.txt", name);
        }
        bytes = 5 + 1000 + 8 * 7 + 8 + 7 + 60 * 3; // "level N" is 7 bytes for levels 2 to 9
        return 2 + 10 + 60;
    }

    std::string expectedFolderList() {
        std::vector<std::string> lines = {"D:\\Data", "D:\\Data\\D2", "D:\\Data\\Empty",
                                          "D:\\Data\\Wide"};
        std::string deep = "D:\\Data\\D2";
        for (int level = 3; level <= 11; ++level)
            lines.push_back(deep += "\\D" + std::to_string(level));
        for (int i = 0; i < 60; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "W%02d", i);
            lines.push_back(std::string("D:\\Data\\Wide\\") + name);
        }
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        return text;
    }

private slots:
    void initTestCase() {
        // The worker's pause between passes waits for a user's next click; a test clicks at
        // once. Each backup's flush would wait on all the machine writes to the file system.
        walk::WalkThread::setPauseForTesting(std::chrono::milliseconds(0));
        platform::setDurableCopiesForTesting(false);
    }
    void init() {
        drives = std::make_unique<testsupport::TestDrives>();
        messages = std::make_unique<testsupport::MessageRecorder>();
        fs::create_directories(drives->driveFolder('e') / "Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        dialog = std::make_unique<TForm2>(nullptr);
        dialog->Timer1->setInterval(0); // the restore point's animation, at once
    }
    void cleanup() {
        faults::clear();
        dialog.reset();
        platform::setTodayForTesting(std::nullopt);
        messages.reset();
        drives.reset();
    }

    void aWholeBackupThroughTheDialog() {
        uint64_t bytes = 0;
        size_t files = makeSource(bytes);
        prepare("D:\\Data", "E:\\Bak");
        QCOMPARE(dialog->windowTitle(), QString::fromUtf8("備份內容"));
        QCOMPARE(dialog->size(), QSize(482, 313));
        QCOMPARE(dialog->Panel1->caption(), ansi(u8" 備份來源資料夾：D:\\Data"));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 備份目地資料夾：E:\\Bak"));
        QCOMPARE(dialog->Panel3->caption(), ansi(u8" 備份日期：2004/5/1"));
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 備份名稱：2004_5_1_Back"));
        QCOMPARE(dialog->SourceName, std::string("Data"));

        showAndCount();
        std::string sizeText =
            ansi(u8" 檔案大小：") + "0.00MB(" + std::to_string(files) + ansi(u8"個檔案)");
        QCOMPARE(dialog->Panel5->caption(), sizeText);
        QCOMPARE(dialog->Job().TotalBytes(), bytes);
        QCOMPARE(dialog->ProgressBar1->maximum(), static_cast<int>(files));
        QVERIFY(dialog->BitBtn1->isEnabled());
        QVERIFY(!fs::exists(drives->driveFolder('e') / "Bak" / "2004_5_1_Back"));

        copyToTheEnd();
        std::vector<toolkit::MessageBoxCall> calls = messages->calls();
        QCOMPARE(calls.size(), size_t{1});
        QCOMPARE(calls[0].kind, toolkit::MessageBoxKind::System);
        QCOMPARE(calls[0].caption, ansi(u8"備份完成"));
        QCOMPARE(calls[0].text, ansi(u8"您所指定的檔案已備份完成!!"));
        QCOMPARE(dialog->Panel5->caption(), sizeText);
        QCOMPARE(dialog->Panel6->caption(), ansi(u8" 檔案已備份完成"));
        QCOMPARE(dialog->Panel6->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(dialog->ProgressBar1->value(), static_cast<int>(files));
        QCOMPARE(dialog->ProgressBar2->value(), 40);
        QVERIFY(!dialog->BitBtn1->isEnabled());

        // The copy: everything, the deepest level included.
        fs::path source = drives->driveFolder('d') / "Data";
        fs::path copy = copyRoot("2004_5_1", "Data");
        QCOMPARE(fileCount(copy), files);
        for (const auto& entry : fs::recursive_directory_iterator(copy)) {
            if (!entry.is_regular_file())
                continue;
            fs::path original = source / fs::relative(entry.path(), copy);
            QCOMPARE(readFile(entry.path()), readFile(original));
            QVERIFY(fs::last_write_time(entry.path()) == fs::last_write_time(original));
        }
        QVERIFY(fs::is_directory(copy / "Empty"));
        fs::path eleventh =
            copy / "D2" / "D3" / "D4" / "D5" / "D6" / "D7" / "D8" / "D9" / "D10" / "D11";
        QCOMPARE(readFile(eleventh / "f11.txt"), std::string("deepest"));

        // The store, byte for byte.
        QCOMPARE(readFile(recover() / "BackupDir.ini"),
                 std::string("E:\\Bak\\<1>2004_5_1_Back\r\n"));
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("1"));
        QCOMPARE(readFile(recover() / "1.ini"), std::string("2004_5_1_Back1_Data.ini\r\n"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"), expectedFolderList());

        dialog->close();
        QCOMPARE(dialog->Panel6->caption(), ansi(u8" 備份內容："));
        QCOMPARE(dialog->ProgressBar1->value(), 0);
        QCOMPARE(dialog->ProgressBar2->value(), 0);
    }

    void laterBackupsFollowTheStoreRules() {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "first");
        writeFile(data / "Old" / "o.txt", "o");
        backup("D:\\Data");
        std::string catalog = readFile(recover() / "BackupDir.ini");

        // The same day again: what is there stays, what is new is added, only the folder list
        // file is written.
        writeFile(data / "a.txt", "second");
        writeFile(data / "c.txt", "new");
        fs::remove_all(data / "Old");
        fs::create_directories(data / "New");
        backup("D:\\Data");
        QCOMPARE(readFile(copyRoot("2004_5_1", "Data") / "a.txt"), std::string("first"));
        QCOMPARE(readFile(copyRoot("2004_5_1", "Data") / "c.txt"), std::string("new"));
        QCOMPARE(readFile(recover() / "BackupDir.ini"), catalog);
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("1"));
        QCOMPARE(readFile(recover() / "1.ini"), std::string("2004_5_1_Back1_Data.ini\r\n"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"),
                 std::string("D:\\Data\r\nD:\\Data\\New\r\n"));

        // Another source the same day: the same record, a second entry.
        writeFile(drives->driveFolder('d') / "Mail" / "m.txt", "m");
        backup("D:\\Mail");
        QCOMPARE(readFile(recover() / "BackupDir.ini"), catalog);
        QCOMPARE(readFile(recover() / "1.ini"),
                 std::string("2004_5_1_Back1_Data.ini\r\n2004_5_1_Back1_Mail.ini\r\n"));

        // Another day: a new record with the next number.
        platform::setTodayForTesting(year(2004) / May / 2);
        backup("D:\\Data");
        QCOMPARE(readFile(recover() / "BackupDir.ini"), catalog + "E:\\Bak\\<2>2004_5_2_Back\r\n");
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("2"));
        QCOMPARE(readFile(recover() / "2.ini"), std::string("2004_5_2_Back2_Data.ini\r\n"));
        QCOMPARE(readFile(copyRoot("2004_5_2", "Data") / "a.txt"), std::string("second"));
        QCOMPARE(messages->calls().size(), size_t{4});
    }

    void twoProgramsFinishingAtOnceGetTwoNumbers() {
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        QVERIFY(store.WriteSettings("D:\\Data", "E:\\Bak"));
        QCOMPARE(store.EnsureRecordCount(), 0);
        constexpr int kPrograms = 4;
        int go[2];
        QCOMPARE(::pipe(go), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < kPrograms; ++i) {
            pid_t child = ::fork();
            if (child == 0) {
                char byte;
                ::close(go[1]);
                ssize_t got = ::read(go[0], &byte, 1); // all start together
                backup::RestorePointResult recorded =
                    backup::CreateRestorePoint({store, "E:\\Dest" + std::to_string(i),
                                                "2004_5_1_Back", "Data", 0, "D:\\Data\n"});
                ::_exit(got == 0 && recorded.number > 0 && !recorded.failure ? 0 : 1);
            }
            children.push_back(child);
        }
        ::close(go[0]);
        ::close(go[1]); // end of file for every child at once
        for (pid_t child : children) {
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::vector<std::string> lines = *store.ReadCatalog();
        QCOMPARE(lines.size(), size_t{kPrograms});
        std::set<std::string> numbers;
        for (const std::string& line : lines)
            numbers.insert(store::BackupStore::ParseRecord(line).pointNumber);
        QCOMPARE(numbers, (std::set<std::string>{"1", "2", "3", "4"}));
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("4"));
        // Every record is found again under its own line number.
        for (size_t k = 1; k <= lines.size(); ++k) {
            store::BackupRecord record = store::BackupStore::ParseRecord(lines[k - 1]);
            QCOMPARE(store::BackupStore::FindRecord(lines, record.destDir, record.backupName),
                     static_cast<int>(k));
        }
    }

    void closingDuringTheCopyStopsItAndTheNextShowingCountsAfresh() {
        fs::path data = drives->driveFolder('d') / "Many";
        for (int i = 0; i < 3000; ++i)
            writeFile(data / ("f" + std::to_string(10000 + i)), "x");
        writeFile(data / "zz", "");
        fs::resize_file(data / "zz", 64 << 20);
        prepare("D:\\Many", "E:\\Bak");
        showAndCount();
        std::string fullCount = dialog->Panel5->caption();
        emit dialog->BitBtn1->clicked();
        fs::path copy = copyRoot("2004_5_1", "Many");
        QTRY_VERIFY_WITH_TIMEOUT(fileCount(copy) > 0, 20000);
        dialog->close();
        settle();
        size_t copied = fileCount(copy);
        QVERIFY2(copied < 3001, "the copy was not cut short");
        QTest::qWait(100);
        QCOMPARE(fileCount(copy), copied);
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
        QVERIFY(messages->calls().empty());
        QVERIFY(!dialog->Timer1->isActive());

        // Shown again: a complete count, and a copy that finishes what is missing.
        prepare("D:\\Many", "E:\\Bak");
        showAndCount();
        QCOMPARE(dialog->Panel5->caption(), fullCount);
        copyToTheEnd();
        QCOMPARE(fileCount(copy), size_t{3001});
        QCOMPARE(messages->calls().size(), size_t{1});
        QVERIFY(fs::exists(recover() / "BackupDir.ini"));
    }

    void startingDuringTheCountCopiesEverything() {
        fs::path data = drives->driveFolder('d') / "Quick";
        for (int i = 0; i < 500; ++i)
            writeFile(data / ("S" + std::to_string(i % 7)) / ("f" + std::to_string(i)), "y");
        prepare("D:\\Quick", "E:\\Bak");
        dialog->show();
        emit dialog->BitBtn1->clicked(); // before the count has ended
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), size_t{1}, 20000);
        settle();
        QCOMPARE(fileCount(copyRoot("2004_5_1", "Quick")), size_t{500});
        QCOMPARE(dialog->ProgressBar1->value(), 500);
        QCOMPARE(readFile(recover() / "1.ini"), std::string("2004_5_1_Back1_Quick.ini\r\n"));
    }

    void filesThatCannotBeCopiedAreNamedAtTheEnd() {
        fs::path data = drives->driveFolder('d') / "Odd";
        writeFile(data / "fine.txt", "ok");
        QCOMPARE(::mkfifo((data / "pipe").c_str(), 0600), 0);
        int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string socketPath = (data / "sock").string();
        QVERIFY(socketPath.size() < sizeof address.sun_path);
        socketPath.copy(address.sun_path, socketPath.size());
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        writeFile(data / "é.txt", "no Big5 form");
        fs::create_directories(copyRoot("2004_5_1", "Odd"));
        writeFile(copyRoot("2004_5_1", "Odd") / "fine.txt", "kept");
        backup("D:\\Odd");
        QCOMPARE(readFile(copyRoot("2004_5_1", "Odd") / "fine.txt"), std::string("kept"));
        std::string text = messages->calls().at(0).text;
        ::close(sock);
        QVERIFY(text.starts_with(ansi(u8"您所指定的檔案已備份完成!!\n\n但有 3 個檔案無法備份：")));
        QVERIFY(text.find("D:\\Odd\\pipe") != std::string::npos);
        // Every reason is the user's language, a socket's too.
        QVERIFY(text.find("D:\\Odd\\sock" + ansi(u8"（不是一般檔案）")) != std::string::npos);
        QVERIFY(text.find("D:\\Odd\\?.txt") != std::string::npos);
        // Present already with other contents: kept, and named as its own kind.
        QVERIFY(text.ends_with(ansi(u8"\n\n另有 1 個檔案已存在但與來源不同，未覆蓋：\n") +
                               "D:\\Odd\\fine.txt"));
    }

    // Names without a Big5 form read as "?" in the message's program text, as the system shows
    // them; the box shows the host's own name beside each, which tells two such folders apart.
    void namesWithoutABig5FormAreToldApartInTheClosingMessage() {
        fs::path data = drives->driveFolder('d') / "Odd";
        writeFile(data / "😀" / "a.txt", "grinning");
        writeFile(data / "😃" / "a.txt", "smiling");
        writeFile(data / "😀.txt", "grinning");
        backup("D:\\Odd");
        const toolkit::MessageBoxCall call = messages->calls().at(0);
        QVERIFY(call.text.find("D:\\Odd\\?" + ansi(u8"（名稱含有此系統無法表示的字元）")) !=
                std::string::npos);
        QVERIFY(call.text.find("\xF0") == std::string::npos);
        for (const char* line : {"D:\\Odd\\?.txt（名稱含有此系統無法表示的字元） [😀.txt]\n",
                                 "D:\\Odd\\?（名稱含有此系統無法表示的字元） [😀]",
                                 "D:\\Odd\\?（名稱含有此系統無法表示的字元） [😃]"})
            QVERIFY2(call.hostText.find(line) != std::string::npos, call.hostText.c_str());
        QVERIFY(call.hostText.starts_with("您所指定的檔案已備份完成!!"));
    }

    void aTreeWithoutFilesCompletesToo() {
        fs::create_directories(drives->driveFolder('d') / "Bare" / "A" / "B");
        fs::create_directories(drives->driveFolder('d') / "Bare" / "C");
        backup("D:\\Bare");
        QCOMPARE(messages->calls().size(), size_t{1});
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Bare.ini"),
                 std::string("D:\\Bare\r\nD:\\Bare\\A\r\nD:\\Bare\\C\r\nD:\\Bare\\A\\B\r\n"));
        QVERIFY(fs::is_directory(copyRoot("2004_5_1", "Bare") / "A" / "B"));
        QCOMPARE(dialog->Panel5->caption(), ansi(u8" 檔案大小：0.00MB(0個檔案)"));
    }

    void sizesBeyondTwoGigabytesAreCounted() {
        fs::path data = drives->driveFolder('d') / "Huge";
        writeFile(data / "disk.img", "");
        fs::resize_file(data / "disk.img", 3ull << 30);
        writeFile(data / "half", std::string(524288, 'h'));
        prepare("D:\\Huge", "E:\\Bak");
        showAndCount();
        QCOMPARE(dialog->Panel5->caption(), ansi(u8" 檔案大小：3072.50MB(2個檔案)"));
        dialog->close();
    }

    void aSourceGoneBeforeTheCopyRecordsNothing() {
        writeFile(drives->driveFolder('d') / "Gone" / "a.txt", "a");
        prepare("D:\\Gone", "E:\\Bak");
        showAndCount();
        fs::remove_all(drives->driveFolder('d') / "Gone");
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE(messages->calls().size(), size_t{1});
        settle();
        QCOMPARE(messages->calls()[0].text, ansi(u8"備份來源資料夾不存在：D:\\Gone"));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
        QVERIFY(!dialog->Timer1->isActive());
        QVERIFY(dialog->BitBtn1->isEnabled());

        // Something in its place that is no folder: there, but it cannot be read as one.
        writeFile(drives->driveFolder('d') / "Gone", "a file");
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE(messages->calls().size(), size_t{2});
        settle();
        QCOMPARE(messages->calls()[1].text, ansi(u8"無法讀取備份來源資料夾：D:\\Gone"));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
    }

    void aMissingSettingsFileIsReported() {
        fs::create_directories(drives->driveFolder('d') / "Data");
        prepare("D:\\Data", "E:\\Bak");
        fs::remove(recover() / ".." / "SystemBackRD.ini");
        dialog->PrepareBackup({"C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini", 0});
        QCOMPARE(messages->calls().size(), size_t{1});
        QCOMPARE(messages->calls()[0].text, std::string("BackPath.ini") + ansi(u8"檔案已被移除!!"));
        QCOMPARE(dialog->Panel1->caption(), ansi(u8" 備份來源資料夾："));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 備份目地資料夾："));
    }

    void backupsNeverWriteThroughLinks() {
        // Two sources of one name share one copy folder a day. The first holds links where the
        // second has folders: the copies of those links must not lead the second backup out.
        fs::path outside = drives->base() / "outside";
        fs::path outside2 = drives->base() / "outside2";
        fs::create_directories(outside);
        fs::create_directories(outside2);
        fs::path first = drives->driveFolder('d') / "A" / "Data";
        fs::create_directories(first);
        fs::create_directory_symlink(outside, first / "docs");
        // From E:\Bak\2004_5_1_Back\Data\rel, four levels up is the base of the drives.
        fs::create_directory_symlink("../../../../outside2", first / "rel");
        writeFile(first / "a.txt", "a");
        fs::path second = drives->driveFolder('d') / "B" / "Data";
        writeFile(second / "docs" / "secret.txt", "secret");
        writeFile(second / "docs" / "Inner" / "deeper.txt", "deeper");
        writeFile(second / "rel" / "secret2.txt", "secret2");
        writeFile(second / "fine.txt", "fine");

        backup("D:\\A\\Data");
        QVERIFY(fs::is_symlink(copyRoot("2004_5_1", "Data") / "docs"));
        backup("D:\\B\\Data");
        QVERIFY(fs::is_empty(outside));
        QVERIFY(fs::is_empty(outside2));
        QCOMPARE(readFile(copyRoot("2004_5_1", "Data") / "fine.txt"), std::string("fine"));
        QVERIFY(fs::is_symlink(copyRoot("2004_5_1", "Data") / "docs"));

        std::string text = messages->calls().at(1).text;
        std::string link = ansi(u8"（此處是連結，不是資料夾）");
        QVERIFY(text.starts_with(ansi(u8"您所指定的檔案已備份完成!!\n\n但有 3 個檔案無法備份：")));
        QVERIFY(text.find(ansi(u8"另有 2 個資料夾無法完整備份：")) != std::string::npos);
        QVERIFY(text.find("E:\\Bak\\2004_5_1_Back\\Data\\docs" + link) != std::string::npos);
        QVERIFY(text.find("E:\\Bak\\2004_5_1_Back\\Data\\rel" + link) != std::string::npos);
        QVERIFY(text.find("D:\\B\\Data\\docs\\secret.txt" + ansi(u8"（目標資料夾無法使用）")) !=
                std::string::npos);
        // The folder list names only folders that are in the backup.
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"), std::string("D:\\B\\Data\r\n"));
    }

    void foldersThatCannotBeListedOrNamedAreReported() {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "a");
        writeFile(data / "Locked" / "hidden.txt", "h");
        writeFile(data / "\xed\x95\x9c" / "korean.txt", "k"); // no code page 950 form
        writeFile(data / "Sub" / "b.txt", "b");
        faults::failAt("opendir", "/Data/Locked", EACCES);
        backup("D:\\Data");
        std::string text = messages->calls().at(0).text;
        QVERIFY(text.starts_with(
            ansi(u8"您所指定的檔案已備份完成!!\n\n另有 2 個資料夾無法完整備份：")));
        QVERIFY(text.find("D:\\Data\\Locked" + ansi(u8"（存取被拒）")) != std::string::npos);
        QVERIFY(text.find("D:\\Data\\?" + ansi(u8"（名稱含有此系統無法表示的字元）")) !=
                std::string::npos);
        QCOMPARE(readFile(copyRoot("2004_5_1", "Data") / "Sub" / "b.txt"), std::string("b"));
        // The unreadable folder is in the backup (empty); the unnamed one is not.
        QVERIFY(fs::is_directory(copyRoot("2004_5_1", "Data") / "Locked"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"),
                 std::string("D:\\Data\r\nD:\\Data\\Locked\r\nD:\\Data\\Sub\r\n"));
    }

    void aBackupFolderThatCannotBeMadeRecordsNothing() {
        writeFile(drives->driveFolder('d') / "Data" / "a.txt", "a");
        fs::path bak = drives->driveFolder('e') / "Bak";
        auto attempt = [&](const std::string& expected) {
            messages->clear();
            prepare("D:\\Data", "E:\\Bak");
            showAndCount();
            emit dialog->BitBtn1->clicked();
            QTRY_COMPARE(messages->calls().size(), size_t{1});
            settle();
            QCOMPARE(messages->calls()[0].kind, toolkit::MessageBoxKind::Simple);
            QCOMPARE(messages->calls()[0].text, expected);
            QVERIFY(!dialog->Timer1->isActive());
            QVERIFY(dialog->BitBtn1->isEnabled());
            QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
            QVERIFY(!fs::exists(recover() / "1.ini"));
            dialog->close();
        };
        // A read-only destination.
        faults::failAt("mkdir", "2004_5_1_Back", EROFS);
        attempt(ansi(u8"無法建立備份資料夾：E:\\Bak\\2004_5_1_Back（唯讀的磁碟）"));
        faults::clear();
        // A file where the backup folder must be.
        writeFile(bak / "2004_5_1_Back", "in the way");
        attempt(ansi(u8"無法建立備份資料夾：E:\\Bak\\2004_5_1_Back（此處是檔案，不是資料夾）"));
        fs::remove(bak / "2004_5_1_Back");
        // A link where the copy of the source folder must be.
        fs::path outside = drives->base() / "outside";
        fs::create_directories(outside);
        fs::create_directories(bak / "2004_5_1_Back");
        fs::create_directory_symlink(outside, bak / "2004_5_1_Back" / "Data");
        attempt(
            ansi(u8"無法建立備份資料夾：E:\\Bak\\2004_5_1_Back\\Data（此處是連結，不是資料夾）"));
        QVERIFY(fs::is_empty(outside));
        // A destination that is gone.
        fs::remove_all(bak);
        attempt(ansi(u8"無法建立備份資料夾：E:\\Bak（找不到檔案或資料夾）"));
    }

    void theBackupsOwnFolderIsLeftOutOfTheSource() {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "a");
        writeFile(data / "Sub" / "b.txt", "b");
        std::string twoFiles = ansi(u8" 檔案大小：0.00MB(2個檔案)");

        // The destination is the source itself, backed up twice a day.
        for (int time = 0; time < 2; ++time) {
            backup("D:\\Data", "D:\\Data");
            QCOMPARE(dialog->Panel5->caption(), twoFiles);
        }
        fs::path copy = data / "2004_5_1_Back" / "Data";
        QCOMPARE(fileCount(copy), size_t{2});
        QVERIFY(!fs::exists(copy / "2004_5_1_Back"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"),
                 std::string("D:\\Data\r\nD:\\Data\\Sub\r\n"));

        // Inside the source: the rest of the destination folder is backed up, its dated folder
        // is not; the dated folder of the first destination is part of the source now.
        fs::create_directories(data / "Bak");
        backup("D:\\Data", "D:\\Data\\Bak");
        fs::path inside = data / "Bak" / "2004_5_1_Back" / "Data";
        QVERIFY(fs::is_directory(inside / "Bak"));
        QVERIFY(!fs::exists(inside / "Bak" / "2004_5_1_Back"));
        QCOMPARE(fileCount(inside), size_t{4}); // a.txt, Sub\b.txt and the first copy's two
        QVERIFY(messages->calls().back().text == ansi(u8"您所指定的檔案已備份完成!!"));

        // A sibling is an ordinary destination: everything in the source is backed up.
        backup("D:\\Data", "E:\\Bak");
        QCOMPARE(fileCount(copyRoot("2004_5_1", "Data")), fileCount(data));
    }

    void everyRecordedBackupFolderIsLeftOutOfTheSource() {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "a");
        writeFile(data / "Sub" / "b.txt", "b");
        fs::create_directories(data / "Bak");
        std::string twoFiles = ansi(u8" 檔案大小：0.00MB(2個檔案)");

        // Day after day into a folder inside the source: each day's backup holds the source
        // alone, not the days before it; counted and copied alike.
        for (unsigned day = 1; day <= 3; ++day) {
            platform::setTodayForTesting(year(2004) / May / day);
            backup("D:\\Data", "D:\\Data\\Bak");
            QCOMPARE(dialog->Panel5->caption(), twoFiles);
        }
        for (const char* day : {"2004_5_1_Back", "2004_5_2_Back", "2004_5_3_Back"}) {
            fs::path copy = data / "Bak" / day / "Data";
            QCOMPARE(fileCount(copy), size_t{2});
            QVERIFY(fs::is_directory(copy / "Bak"));
            QVERIFY(fs::is_empty(copy / "Bak"));
        }
        QCOMPARE(readFile(recover() / "2004_5_3_Back3_Data.ini"),
                 std::string("D:\\Data\r\nD:\\Data\\Bak\r\nD:\\Data\\Sub\r\n"));

        // The same into the source itself; a folder of a dated name that no backup made is the
        // user's, and backed up.
        fs::remove_all(data / "Bak");
        writeFile(data / "2004_5_9_Back" / "mine.txt", "mine");
        for (unsigned day = 4; day <= 5; ++day) {
            platform::setTodayForTesting(year(2004) / May / day);
            backup("D:\\Data", "D:\\Data");
            QCOMPARE(dialog->Panel5->caption(), ansi(u8" 檔案大小：0.00MB(3個檔案)"));
        }
        fs::path copy = data / "2004_5_5_Back" / "Data";
        QCOMPARE(fileCount(copy), size_t{3});
        QVERIFY(!fs::exists(copy / "2004_5_4_Back"));
        QCOMPARE(readFile(copy / "2004_5_9_Back" / "mine.txt"), std::string("mine"));
        // The day before's copies, inside the source, are what today's unchanged files link to.
        QVERIFY(messages->calls().back().text ==
                ansi(u8"您所指定的檔案已備份完成!!\n\n已複製 0 個檔案，未變更（連結至上次備份）3 "
                     u8"個檔案"));
    }

    void closingDuringTheAnimationTellsAtOnce() {
        writeFile(drives->driveFolder('d') / "One" / "a.txt", "a");
        writeFile(drives->driveFolder('d') / "Two" / "b.txt", "b");
        dialog->Timer1->setInterval(30);
        std::vector<int> barAtBox;
        std::vector<std::string> texts;
        toolkit::setMessageBoxHandler([&](const toolkit::MessageBoxCall& call) {
            texts.push_back(call.text);
            barAtBox.push_back(dialog->ProgressBar2->value());
        });
        prepare("D:\\One", "E:\\Bak");
        showAndCount();
        emit dialog->BitBtn1->clicked();
        QTRY_VERIFY(dialog->Timer1->isActive());
        dialog->close();
        // The first backup is told as it closes, and its timer is gone.
        QCOMPARE(texts, std::vector<std::string>{ansi(u8"您所指定的檔案已備份完成!!")});
        QVERIFY(!dialog->Timer1->isActive());

        // The next backup runs its own animation whole, with no box in between.
        prepare("D:\\Two", "E:\\Bak");
        showAndCount();
        emit dialog->BitBtn1->clicked();
        QTRY_VERIFY(dialog->Timer1->isActive());
        QCOMPARE(texts.size(), size_t{1});
        QTRY_COMPARE_WITH_TIMEOUT(texts.size(), size_t{2}, 10000);
        QCOMPARE(barAtBox.back(), 40);
        QCOMPARE(readFile(recover() / "1.ini"),
                 std::string("2004_5_1_Back1_One.ini\r\n2004_5_1_Back1_Two.ini\r\n"));
        toolkit::setMessageBoxHandler({});
    }

    void temporaryNamesAreSkippedAndStaleOnesRemoved() {
        // As on FAT: every copy goes through a hidden temporary name.
        faults::failAt("tmpfile", "", EOPNOTSUPP);
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "a");
        writeFile(data / "Sub" / "b.txt", "b");
        writeFile(data / ".c.txt.tw99999999-1.tmp", "a copy cut short in the source");
        fs::path copy = copyRoot("2004_5_1", "Data");
        // Left by a backup killed earlier today (its process is gone), and one of a program
        // that still runs (process 1 always does).
        writeFile(copy / "Sub" / ".b.txt.tw99999999-7.tmp", "half");
        writeFile(copy / ".a.txt.tw1-0.tmp", "someone else's, at work");
        backup("D:\\Data");
        QCOMPARE(dialog->Panel5->caption(), ansi(u8" 檔案大小：0.00MB(2個檔案)"));
        QCOMPARE(messages->calls().at(0).text, ansi(u8"您所指定的檔案已備份完成!!"));
        QCOMPARE(readFile(copy / "a.txt"), std::string("a"));
        QCOMPARE(readFile(copy / "Sub" / "b.txt"), std::string("b"));
        QVERIFY(!fs::exists(copy / ".c.txt.tw99999999-1.tmp"));
        QVERIFY(!fs::exists(copy / "Sub" / ".b.txt.tw99999999-7.tmp"));
        QVERIFY(fs::exists(copy / ".a.txt.tw1-0.tmp"));
        QCOMPARE(fileCount(copy), size_t{3});
    }

    void aBackupSweepsWhatARunWithoutUnnamedFilesLeft() {
        fs::path data = drives->driveFolder('d') / "Data";
        writeFile(data / "a.txt", "a");
        writeFile(data / "Sub" / "b.txt", "b");
        fs::path copy = copyRoot("2004_5_1", "Data");
        // What a backup killed earlier today left where it had no unnamed files (a FAT stick);
        // this one, on the same folders, has them.
        writeFile(copy / ".a.txt.tw99999999-0.tmp", "half of a");
        writeFile(copy / "Sub" / ".b.txt.tw99999999-1.tmp", "half of b");
        writeFile(copy / "Sub" / ".c.txt.tw1-2.tmp", "someone else's, at work");
        backup("D:\\Data");
        QCOMPARE(messages->calls().at(0).text, ansi(u8"您所指定的檔案已備份完成!!"));
        QVERIFY(!fs::exists(copy / ".a.txt.tw99999999-0.tmp"));
        QVERIFY(!fs::exists(copy / "Sub" / ".b.txt.tw99999999-1.tmp"));
        QVERIFY(fs::exists(copy / "Sub" / ".c.txt.tw1-2.tmp"));
        QCOMPARE(fileCount(copy), size_t{3});
    }

    // The store before a backup on 2004/5/2 of D:\Data and of D:\Mail: one record of the day
    // before, its restore point and folder list.
    Snapshot storeOfTheDayBefore() {
        store::BackupStore store;
        if (store.CreateFolders() || !store.WriteSettings("D:\\Data", "E:\\Bak"))
            QTest::qFail("no program folder", __FILE__, __LINE__);
        store.EnsureRecordCount();
        backup::RestorePointResult first = backup::CreateRestorePoint(
            {store, "E:\\Bak", "2004_5_1_Back", "Data", 0, "D:\\Data\n"});
        if (first.number != 1 || first.failure)
            QTest::qFail("no first restore point", __FILE__, __LINE__);
        return snapshot(recover() / "..");
    }

    void crashesAtEveryStoreStepAreRepairedByTheNextBackup() {
        Snapshot before = storeOfTheDayBefore();
        fs::path program = recover() / "..";
        store::BackupStore settings;
        // A new record (the next day), then a second source on that day (an entry only).
        std::vector<backup::RestorePointInput> inputs = {
            {settings, "E:\\Bak", "2004_5_2_Back", "Data", 1, "D:\\Data\nD:\\Data\\Sub\n"},
            {settings, "E:\\Bak", "2004_5_2_Back", "Mail", 1, "D:\\Mail\n"}};
        // What the two leave when nothing goes wrong, and how many store steps each takes.
        std::vector<int> steps;
        for (const backup::RestorePointInput& input : inputs) {
            faults::planStoreSteps(0, 0, 0);
            QVERIFY(!backup::CreateRestorePoint(input).failure);
            steps.push_back(faults::storeStepsTaken());
            faults::clear();
        }
        Snapshot healthy = snapshot(program);
        QCOMPARE(healthy.at("TotalCount.ini"), std::string("2"));
        QCOMPARE(healthy.at("Recover/2.ini"),
                 std::string("2004_5_2_Back2_Data.ini\r\n2004_5_2_Back2_Mail.ini\r\n"));

        for (size_t which = 0; which < inputs.size(); ++which) {
            QVERIFY(steps[which] >= 8);
            for (int step = 1; step <= steps[which]; ++step) {
                putBack(program, before);
                for (size_t earlier = 0; earlier < which; ++earlier)
                    QVERIFY(!backup::CreateRestorePoint(inputs[earlier]).failure);
                pid_t child = ::fork();
                if (child == 0) {
                    faults::planStoreSteps(step, 0, 0);
                    bool recorded = !backup::CreateRestorePoint(inputs[which]).failure;
                    ::_exit(recorded ? 0 : 1); // the crash comes first
                }
                int status = 0;
                QCOMPARE(::waitpid(child, &status, 0), child);
                QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 86, "no crash at the step");
                // The next start and backup: the store as if nothing had happened.
                store::BackupStore().RemoveStaleTemporaries();
                for (size_t again = which; again < inputs.size(); ++again) {
                    backup::RestorePointResult recorded = backup::CreateRestorePoint(inputs[again]);
                    QVERIFY(!recorded.failure);
                    QCOMPARE(recorded.number, 2);
                }
                QVERIFY2(snapshot(program) == healthy,
                         qPrintable(QStringLiteral("after a crash at step %1").arg(step)));
            }
        }
    }

    void aFullDiskAtEveryStoreStepIsToldAndRepaired() {
        Snapshot before = storeOfTheDayBefore();
        fs::path program = recover() / "..";
        backup::RestorePointInput input{store::BackupStore(), "E:\\Bak", "2004_5_2_Back", "Data", 1,
                                        "D:\\Data\n"};
        faults::planStoreSteps(0, 0, 0);
        QVERIFY(!backup::CreateRestorePoint(input).failure);
        int steps = faults::storeStepsTaken();
        faults::clear();
        Snapshot healthy = snapshot(program);
        int failed = 0;
        for (int step = 1; step <= steps; ++step) {
            putBack(program, before);
            faults::planStoreSteps(0, step, ENOSPC);
            backup::RestorePointResult recorded = backup::CreateRestorePoint(input);
            faults::clear();
            if (recorded.failure) {
                ++failed;
                QCOMPARE(recorded.failure->reason, ansi(u8"磁碟空間不足"));
                QVERIFY(recorded.failure->path.starts_with("C:\\Program Files\\Tarnwick2004\\"));
            }
            // Every file is as it was or as it should be, never a part; the next backup
            // completes what is missing.
            auto holds = [](const Snapshot& files, const std::string& name,
                            const std::string& bytes) {
                auto file = files.find(name);
                return file != files.end() && file->second == bytes;
            };
            for (const auto& [name, bytes] : snapshot(program))
                QVERIFY(holds(healthy, name, bytes) || holds(before, name, bytes));
            QVERIFY(!backup::CreateRestorePoint(input).failure);
            QVERIFY(snapshot(program) == healthy);
        }
        QCOMPARE(failed * 2, steps); // every step before a system call can fail
    }

    void aStoreDamagedByTheOldProgramIsRepairedByOneBackup() {
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        QVERIFY(store.WriteSettings("D:\\Data", "E:\\Bak"));
        // A catalog append cut short by a full disk, a count left behind the catalog, and a
        // folder list whose entry was never written.
        writeFile(recover() / "BackupDir.ini",
                  "E:\\Bak\\<1>2004_5_1_Back\r\nE:\\Bak\\<2>2004_5_2_Back\r\nE:\\Bak");
        writeFile(recover() / ".." / "TotalCount.ini", "1");
        writeFile(recover() / "1.ini", "2004_5_1_Back1_Data.ini\r\n");
        writeFile(recover() / "2004_5_1_Back1_Data.ini", "D:\\Data\r\n");
        writeFile(recover() / "2004_5_2_Back2_Data.ini", "D:\\Data\r\n");
        backup::RestorePointResult recorded = backup::CreateRestorePoint(
            {store, "E:\\Bak", "2004_5_2_Back", "Data", 1, "D:\\Data\n"});
        QVERIFY(!recorded.failure);
        QCOMPARE(recorded.number, 2);
        QCOMPARE(readFile(recover() / "BackupDir.ini"),
                 std::string("E:\\Bak\\<1>2004_5_1_Back\r\nE:\\Bak\\<2>2004_5_2_Back\r\n"));
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("2"));
        QCOMPARE(readFile(recover() / "2.ini"), std::string("2004_5_2_Back2_Data.ini\r\n"));

        // A record glued to such a fragment keeps its number: the next one follows it.
        writeFile(recover() / "BackupDir.ini",
                  "E:\\Bak\\<1>2004_5_1_Back\r\nE:\\BakE:\\Bak\\<149>2004_5_2_Back\r\n");
        recorded = backup::CreateRestorePoint(
            {store, "E:\\Bak", "2004_5_3_Back", "Data", 2, "D:\\Data\n"});
        QCOMPARE(recorded.number, 150);
        QCOMPARE(readFile(recover() / ".." / "TotalCount.ini"), std::string("150"));
        // The same day again finds its record, whatever line it is on.
        recorded = backup::CreateRestorePoint(
            {store, "E:\\Bak", "2004_5_3_Back", "Mail", 2, "D:\\Mail\n"});
        QCOMPARE(recorded.number, 150);
        QCOMPARE(readFile(recover() / "150.ini"),
                 std::string("2004_5_3_Back150_Data.ini\r\n2004_5_3_Back150_Mail.ini\r\n"));
        QCOMPARE(store.ReadCatalog()->size(), size_t{3});
    }

    void aRestorePointThatCannotBeRecordedIsToldInsteadOfDone() {
        writeFile(drives->driveFolder('d') / "Data" / "a.txt", "a");
        prepare("D:\\Data", "E:\\Bak");
        showAndCount();
        // The first step of the catalog's write finds the disk full.
        faults::planStoreSteps(0, 1, ENOSPC);
        copyToTheEnd();
        faults::clear();
        std::vector<toolkit::MessageBoxCall> calls = messages->calls();
        QCOMPARE(calls.size(), size_t{1});
        QCOMPARE(calls[0].caption, ansi(u8"還原點未建立"));
        QCOMPARE(calls[0].text,
                 ansi(u8"檔案已備份，但無法建立還原點：C:\\Program Files\\Tarnwick2004\\Recover\\"
                      u8"BackupDir.ini（磁碟空間不足）"));
        QCOMPARE(dialog->ProgressBar2->value(), 0); // no restore point, no animation
        QCOMPARE(readFile(copyRoot("2004_5_1", "Data") / "a.txt"), std::string("a"));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
    }

    void aStoreFileThatCannotBeReadIsToldAndNothingRecorded() {
        // Restore point 1 holds D:\Data, backed up into E:\Bak today; D:\Mail joins it.
        storeOfTheDayBefore();
        writeFile(drives->driveFolder('d') / "Mail" / "m.txt", "m");
        const std::string folder = "C:\\Program Files\\Tarnwick2004\\";
        struct Row {
            std::string path;
            std::function<void()> plant;
            const char8_t* reason;
        };
        const std::vector<Row> rows = {
            // Part way through record 1: read as a line cut short, it would be dropped.
            {folder + "Recover\\BackupDir.ini",
             [&] { faults::failReadAt(folder + "Recover\\BackupDir.ini", 10, EIO); },
             u8"磁碟讀寫錯誤"},
            {folder + "TotalCount.ini",
             [&] { faults::failAt("open", folder + "TotalCount.ini", EACCES); }, u8"存取被拒"},
            // Part way through D:\Data's entry, which would be dropped the same way.
            {folder + "Recover\\1.ini",
             [&] { faults::failReadAt(folder + "Recover\\1.ini", 10, EIO); }, u8"磁碟讀寫錯誤"},
        };
        for (const Row& row : rows) {
            messages->clear();
            prepare("D:\\Mail", "E:\\Bak");
            showAndCount();
            Snapshot before = snapshot(recover() / "..");
            row.plant();
            copyToTheEnd();
            faults::clear();
            std::vector<toolkit::MessageBoxCall> calls = messages->calls();
            QCOMPARE(calls.size(), size_t{1});
            QCOMPARE(calls[0].caption, ansi(u8"還原點未建立"));
            QCOMPARE(calls[0].text, ansi(u8"檔案已備份，但無法建立還原點：無法讀取：") + row.path +
                                        ansi(u8"（") + ansi(row.reason) + ansi(u8"）"));
            QCOMPARE(dialog->ProgressBar2->value(), 0); // no restore point, no animation
            QVERIFY2(snapshot(recover() / "..") == before, row.path.c_str());
            dialog->close();
        }
    }

    void aCloseWhileTheLastCopiesRunRecordsNothing() {
        // Six files: the walk hands them all out and is over while the copy of the first is
        // held (by another program reading it, say) and the other worker copies the rest. A
        // close then must not leave a restore point behind for what may be missing.
        qputenv("TARNWICK_COPY_WORKERS", "2");
        for (int i = 0; i < 6; ++i)
            writeFile(drives->driveFolder('d') / "Data" / ("f" + std::to_string(i)), "file");
        fs::create_directories(drives->driveFolder('e') / "Bak");
        std::atomic<bool> held{false};
        std::atomic<bool> closed{false};
        faults::beforeOperation("copy", "f0", [&] {
            held = true;
            testsupport::eventually([&] { return closed.load(); }, seconds(20));
        });
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        JobLog log;
        backup::BackupJob job(log);
        job.setInput(
            {"D:\\Data", "E:\\Bak", "2004_5_1_Back", "Data", store, store.EnsureRecordCount()});
        QVERIFY(job.runPass(true));
        bool completed = true;
        std::thread worker([&] { completed = job.runPass(false); });
        // Five copies made while the first is held: the walk has handed out the last file.
        bool walked = testsupport::eventually(
            [&] { return held && fileCount(copyRoot("2004_5_1", "Data")) == 5; });
        job.newGeneration(); // the dialog is closed
        closed = true;
        worker.join();
        QVERIFY(walked);
        qunsetenv("TARNWICK_COPY_WORKERS");
        QCoreApplication::processEvents();
        QVERIFY(!completed);
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
        QVERIFY(std::find(log.events.begin(), log.events.end(), "started") == log.events.end());
    }

    void theCopysLastProgressArrivesBeforeItsEnd() {
        // Long enough that the window is shown progress while the copy runs.
        for (int i = 0; i < 2000; ++i)
            writeFile(drives->driveFolder('d') / "Data" / ("f" + std::to_string(i)), "x");
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        QVERIFY(store.WriteSettings("D:\\Data", "E:\\Bak"));
        JobLog log;
        backup::BackupJob job(log);
        job.setInput(
            {"D:\\Data", "E:\\Bak", "2004_5_1_Back", "Data", store, store.EnsureRecordCount()});
        bool passed = false;
        std::thread worker([&] { passed = job.runPass(true) && job.runPass(false); });
        QTRY_VERIFY_WITH_TIMEOUT(!log.events.empty() && log.events.back() == "done 2000", 20000);
        worker.join();
        QVERIFY(passed);
        auto started = std::find(log.events.begin(), log.events.end(), "started");
        QVERIFY(started != log.events.begin() && started != log.events.end());
        QCOMPARE(*std::prev(started), std::string("progress 2000"));
    }
};

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
