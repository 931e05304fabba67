#include "platform/filecopy.h"
#include "support/messagerecorder.h"
#include "support/recordingconsole.h"
#include "support/testdrives.h"
#include "walk/walkthread.h"

#include "backup/backupinput.h"
#include "backup/tcopythread.h"
#include "backup/tform2.h"
#include "cli/commands.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "text/programpath.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::RecordingConsole;
using testsupport::snapshot;
using testsupport::writeFile;

namespace {

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

// What the window stores when the user confirms the folders (下一步).
void saveChoice(const std::string& sourceDir, const std::string& destDir) {
    store::BackupStore store;
    QVERIFY(!store.CreateFolders());
    QVERIFY(store.WriteSettings(sourceDir, destDir));
    store.EnsureRecordCount();
}

void makeData(testsupport::TestDrives& drives) {
    fs::path data = drives.driveFolder('d') / "Data";
    writeFile(data / "a.txt", "alpha");
    writeFile(data / "Docs" / "b.txt", "beta");
    writeFile(data / fs::path(u8"許多") / "c.txt", "gamma"); // a Big5 name with a 0x5C byte
    fs::create_directories(data / "Empty");
    fs::create_directories(drives.driveFolder('e') / "Bak");
}

// A record's time of day (the clock's own, not the test's) read as 02:30.
std::string atHalfPastTwo(const std::string& text) {
    static const std::regex time("(20[0-9][0-9]/[0-9]+/[0-9]+) [0-2][0-9]:[0-5][0-9]");
    return std::regex_replace(text, time, "$1 02:30");
}

// The program folder, the record of the last backup without a window read at 02:30: two runs in
// worlds of their own may straddle a minute.
testsupport::Snapshot storeAtHalfPastTwo(const fs::path& program) {
    testsupport::Snapshot files = testsupport::snapshot(program);
    if (auto record = files.find("LastBackup.ini"); record != files.end())
        record->second = atHalfPastTwo(record->second);
    return files;
}

// The second day: one file changed, one added.
void changeData(testsupport::TestDrives& drives) {
    fs::path data = drives.driveFolder('d') / "Data";
    writeFile(data / "a.txt", "alpha, changed");
    writeFile(data / "Docs" / "new.txt", "new");
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    std::unique_ptr<testsupport::MessageRecorder> messages;

    fs::path program() { return drives->host(u8"C:\\Program Files\\Tarnwick2004"); }
    fs::path recover() { return program() / "Recover"; }
    fs::path backupOf(const char* day, const char* folder, const char* dest = "Bak") {
        return drives->driveFolder('e') / dest / (std::string(day) + "_Back") / folder;
    }

    // The command line run in this process (faults and the day can be planted).
    Run run(const std::vector<std::string>& arguments, bool terminal = false) {
        RecordingConsole console(terminal);
        std::optional<int> status = cli::runCommandLine(arguments, console);
        return {status.value_or(-1), console.out, console.err};
    }

    // The program itself (or `program`), with no display and no toolkit platform (unless
    // `platform` names one), on this test's drives.
    QProcess* start(const QStringList& arguments, const QString& platform = {},
                    const char* program = TARNWICK_PROGRAM) {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (!platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        environment.insert(QStringLiteral("TARNWICK_PREFIX"),
                           QString::fromStdString(drives->base().string()));
        // No desktop hears of the failures the tests make (a session bus of its own excepted).
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") +
                               QString::fromStdString((drives->base() / "no-bus").string()));
        process->setProcessEnvironment(environment);
        process->start(QString::fromUtf8(program), arguments);
        return process;
    }

    Run runProgram(const QStringList& arguments, const char* program = TARNWICK_PROGRAM) {
        QProcess* process = start(arguments, {}, program);
        bool finished = process->waitForFinished(60000);
        Run result;
        if (finished && process->exitStatus() == QProcess::NormalExit)
            result.status = process->exitCode();
        result.out = process->readAllStandardOutput().toStdString();
        result.err = process->readAllStandardError().toStdString();
        delete process;
        return result;
    }

    // A backup through the dialog, as the window runs it after 下一步.
    void backUpThroughTheDialog(const std::string& sourceDir, const std::string& destDir) {
        saveChoice(sourceDir, destDir);
        TForm2 dialog(nullptr);
        dialog.Timer1->setInterval(0); // the restore point's animation, at once
        store::BackupStore store;
        dialog.PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
        size_t before = messages->calls().size();
        dialog.show();
        emit dialog.BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        dialog.WorkerThread->waitUntilSuspended();
        dialog.close();
    }

    // Backups of D:\Data and D:\Mail on 2004/5/1 (restore point 1, both folders), and of D:\Data,
    // changed, on 2004/5/2 (restore point 2). Then the source loses files and changes one.
    void twoRestorePointsAndLosses() {
        makeData(*drives);
        writeFile(drives->driveFolder('d') / "Mail" / "m.txt", "mail");
        platform::setTodayForTesting(year(2004) / May / 1);
        QCOMPARE(run({"--backup", "--source", "D:\\Data", "--dest", "E:\\Bak"}).status, 0);
        QCOMPARE(run({"--backup", "--source", "D:\\Mail", "--dest", "E:\\Bak"}).status, 0);
        changeData(*drives);
        platform::setTodayForTesting(year(2004) / May / 2);
        QCOMPARE(run({"--backup", "--source", "D:\\Data", "--dest", "E:\\Bak"}).status, 0);
        platform::setTodayForTesting(std::nullopt);
        fs::path data = drives->driveFolder('d') / "Data";
        fs::remove_all(data / "Docs");
        fs::remove(data / "a.txt");
        writeFile(data / fs::path(u8"許多") / "c.txt", "gamma, changed since");
        fs::remove_all(drives->driveFolder('d') / "Mail");
    }

    // The restore dialog's restore of a backup (its row, newest first) and of a folder of it (its
    // row), gone into the sub-folders named, as the user clicks them.
    void restoreThroughTheDialog(int backupRow, int folderRow,
                                 const std::vector<std::string>& down = {}) {
        TForm3 dialog(nullptr);
        dialog.fillBackupList(*store::BackupStore().ReadCatalog());
        dialog.show();
        dialog.ListView1->SelectRow(backupRow);
        dialog.ListView1Click();
        dialog.ListView2->SelectRow(folderRow);
        dialog.ListView2Click();
        dialog.WorkerThread->waitUntilSuspended();
        QCoreApplication::processEvents();
        for (const std::string& name : down) {
            TDirectoryListBox* list = dialog.DirectoryListBox1;
            int row = -1;
            for (int i = list->CurrentLevel() + 1; i < list->EntryCount(); ++i)
                if (list->EntryText(i) == name)
                    row = i;
            QVERIFY2(row > 0, name.c_str());
            list->scrollToItem(list->item(row));
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                               list->visualItemRect(list->item(row)).center());
            dialog.WorkerThread->waitUntilSuspended();
            QCoreApplication::processEvents();
        }
        size_t before = messages->calls().size();
        emit dialog.BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        dialog.WorkerThread->waitUntilSuspended();
        dialog.close();
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
    }
    void cleanup() {
        faults::clear();
        platform::setTodayForTesting(std::nullopt);
        messages.reset();
        drives.reset();
    }

    void backupsLeaveTheSameBytesAsTheDialog() {
        // Two days of backups from the command line ...
        makeData(*drives);
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        Run first = run({"--backup"});
        QVERIFY2(first.status == 0, first.err.c_str());
        changeData(*drives);
        platform::setTodayForTesting(year(2004) / May / 2);
        Run second = run({"--backup"});
        QCOMPARE(second.status, 0);
        QCOMPARE(second.err, std::string());
        testsupport::Snapshot store = snapshot(program());
        // How the last backup without a window ended is the command line's alone.
        QCOMPARE(store.erase("LastBackup.ini"), size_t{1});
        testsupport::Snapshot copies = snapshot(drives->driveFolder('e'));

        // ... and the same two through the dialog, in a world of their own.
        drives.reset(); // first: it gives the drive table up
        drives = std::make_unique<testsupport::TestDrives>();
        makeData(*drives);
        platform::setTodayForTesting(year(2004) / May / 1);
        backUpThroughTheDialog("D:\\Data", "E:\\Bak");
        changeData(*drives);
        platform::setTodayForTesting(year(2004) / May / 2);
        backUpThroughTheDialog("D:\\Data", "E:\\Bak");

        QVERIFY(store == snapshot(program()));
        QVERIFY(copies == snapshot(drives->driveFolder('e')));
        QCOMPARE(store["TotalCount.ini"], std::string("2"));
        QCOMPARE(copies.size(), size_t{7}); // 3 files, then 4
        QCOMPARE(readFile(backupOf("2004_5_2", "Data") / "a.txt"), std::string("alpha, changed"));
        // The window links what did not change, as the command line does.
        QVERIFY(fs::equivalent(backupOf("2004_5_1", "Data") / "Docs" / "b.txt",
                               backupOf("2004_5_2", "Data") / "Docs" / "b.txt"));
        QVERIFY(!fs::equivalent(backupOf("2004_5_1", "Data") / "a.txt",
                                backupOf("2004_5_2", "Data") / "a.txt"));
        QVERIFY(messages->calls().back().text.find(ansi(u8"未變更（連結至上次備份）2 個檔案")) !=
                std::string::npos);
    }

    void theWindowAndTheCommandLinePrepareTheSameBackup() {
        makeData(*drives);
        writeFile(drives->driveFolder('d') / "Data" / "Deep" / fs::path(u8"許多") / "x.txt", "x");
        platform::setTodayForTesting(year(2004) / May / 1);
        for (const std::string& source :
             {std::string("D:\\Data"), ansi(u8"D:\\Data\\Deep\\許多")}) {
            saveChoice(source, "E:\\Bak");
            store::BackupStore store;
            int count = store.EnsureRecordCount();
            TForm2 dialog(nullptr);
            dialog.PrepareBackup({store.SettingsFilePath(), count});
            backup::BackupJobInput input = dialog.Job().input();
            QVERIFY(input == backup::backupInput({source, "E:\\Bak"}, store, count, "2004/5/1"));
            QCOMPARE(input.sourceName, text::pathElements(source).back());

            // The command line backs up into the same folder the dialog would.
            Run run = this->run({"--backup"});
            QCOMPARE(run.status, 0);
            std::string folder = input.destDir + "\\" + input.backupName + "\\" + input.sourceName;
            QVERIFY2(run.out.find(ansi(u8"備份資料夾：") + folder + "\n") != std::string::npos,
                     run.out.c_str());
        }
    }

    void theSummaryNamesWhatWasDone() {
        makeData(*drives);
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        Run first = run({"--backup"});
        QCOMPARE(first.status, 0);
        QVERIFY(first.out.find(ansi(u8"已複製 3 個檔案")) != std::string::npos);
        QVERIFY(first.out.find(ansi(u8"已存在 0 個，失敗 0 個")) != std::string::npos);
        QVERIFY(first.out.find(ansi(u8"備份資料夾：E:\\Bak\\2004_5_1_Back\\Data\n")) !=
                std::string::npos);
        QVERIFY(first.out.find(ansi(u8"還原點：1\n")) != std::string::npos);

        // The same day again: nothing replaced, one file new.
        writeFile(drives->driveFolder('d') / "Data" / "late.txt", "late");
        Run again = run({"--backup"});
        QCOMPARE(again.status, 0);
        QVERIFY(again.out.find(ansi(u8"已複製 1 個檔案")) != std::string::npos);
        QVERIFY(again.out.find(ansi(u8"已存在 3 個")) != std::string::npos);

        // Quiet: nothing at all when nothing failed.
        QCOMPARE(run({"--backup", "--quiet"}).out, std::string());
    }

    void everyFailureIsListedAndTheRestorePointStillRecorded() {
        fs::path data = drives->driveFolder('d') / "Data";
        for (int i = 1; i <= 7; ++i)
            writeFile(data / ("bad" + std::to_string(i) + ".txt"), "x");
        fs::create_directories(drives->driveFolder('e') / "Bak");
        writeFile(data / "good.txt", "fine");
        writeFile(data / "Locked" / "inside.txt", "unseen");
        for (int i = 1; i <= 7; ++i)
            faults::failAt("tmpfile", "bad" + std::to_string(i) + ".txt", ENOSPC);
        faults::failAt("opendir", "Locked", EACCES);
        platform::setTodayForTesting(year(2004) / May / 1);

        Run quiet = run({"--backup", "--source", "D:\\Data", "--dest", "E:\\Bak", "--quiet"});
        QCOMPARE(quiet.status, 1);
        std::string expected = ansi(u8"有 7 個檔案無法備份：\n");
        for (int i = 1; i <= 7; ++i)
            expected += "D:\\Data\\bad" + std::to_string(i) + ".txt" + ansi(u8"（磁碟空間不足）\n");
        expected += ansi(u8"有 1 個資料夾無法完整備份：\nD:\\Data\\Locked（存取被拒）\n");
        QCOMPARE(quiet.out, expected); // all of them, and nothing else
        QCOMPARE(readFile(backupOf("2004_5_1", "Data") / "good.txt"), std::string("fine"));
        QCOMPARE(readFile(recover() / "BackupDir.ini"),
                 std::string("E:\\Bak\\<1>2004_5_1_Back\r\n"));
        // Without --save the saved choice is not touched (there was none).
        QVERIFY(!fs::exists(program() / "SystemBackRD.ini"));
    }

    void nothingBackedUpIsStatusTwoWithItsReason() {
        auto refused = [&](const std::vector<std::string>& arguments, const std::string& reason) {
            Run result = run(arguments);
            QCOMPARE(result.status, 2);
            QVERIFY2(result.err.find(reason) != std::string::npos, result.err.c_str());
            QVERIFY2(result.out.find(ansi(u8"還原點")) == std::string::npos, result.out.c_str());
        };
        platform::setTodayForTesting(year(2004) / May / 1);
        refused({"--backup"},
                ansi(u8"找不到設定檔：C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"));
        refused({"--backup", "--frobnicate"}, ansi(u8"不明的選項：--frobnicate"));
        refused({"--backup", "D:\\Data"}, ansi(u8"不明的選項：D:\\Data"));
        refused({"--backup", "--source"}, ansi(u8"選項後面必須有資料夾：--source"));
        refused({"--source", "D:\\Data"}, ansi(u8"此選項只能與 --backup 一起使用：--source"));
        refused({"--backup", "--save"}, ansi(u8"--save 必須與 --source 或 --dest 一起使用"));

        makeData(*drives);
        fs::create_directories(drives->driveFolder('e') / "Bak");
        refused({"--backup", "--source", "D:\\Gone", "--dest", "E:\\Bak"},
                ansi(u8"備份來源資料夾不存在：D:\\Gone"));
        refused({"--backup", "--source", "D:\\Data\\a.txt", "--dest", "E:\\Bak"},
                ansi(u8"無法讀取備份來源資料夾：D:\\Data\\a.txt")); // there, but no folder
        refused({"--backup", "--source", "d:", "--dest", "E:\\Bak"},
                ansi(u8"磁碟機的根目錄無法備份：D:\\"));
        refused({"--backup", "--source", "D:\\Da?a", "--dest", "E:\\Bak"},
                ansi(u8"備份來源資料夾不正確：D:\\Da?a"));
        refused({"--backup", "--source", "D:\\Data", "--dest", "E:\\Gone"},
                ansi(u8"找不到備份目地資料夾：E:\\Gone"));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));

        // The program folder cannot be made: a file stands in its place.
        writeFile(program(), "in the way");
        refused({"--backup", "--source", "D:\\Data", "--dest", "E:\\Bak"},
                ansi(u8"無法建立程式資料夾：C:\\Program Files\\Tarnwick2004（已有同名的項目）"));
        fs::remove(program());

        // The backup folder cannot be made: nothing copied, nothing recorded.
        faults::failAt("mkdir", "2004_5_1_Back", EACCES);
        refused({"--backup", "--source", "D:\\Data", "--dest", "E:\\Bak"},
                ansi(u8"無法建立備份資料夾：E:\\Bak\\2004_5_1_Back（存取被拒）"));
        faults::clear();
        QVERIFY(!fs::exists(backupOf("2004_5_1", "Data")));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));

        // A full disk under the store: the files are there, but no restore point leads to them.
        saveChoice("D:\\Data", "E:\\Bak");
        faults::planStoreSteps(0, 1, ENOSPC);
        Run full = run({"--backup"});
        QCOMPARE(full.status, 2);
        QVERIFY2(full.err.find(ansi(u8"檔案已備份，但無法建立還原點：")) != std::string::npos,
                 full.err.c_str());
        QCOMPARE(readFile(backupOf("2004_5_1", "Data") / "a.txt"), std::string("alpha"));
        QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
        faults::clear();

        // A damaged store is named, not repaired behind the user's back.
        writeFile(program() / "TotalCount.ini", "many");
        refused({"--backup"}, "'many' is not a valid integer value"); // as the window says
        QCOMPARE(readFile(program() / "TotalCount.ini"), std::string("many"));
    }

    void aStoreFileThatCannotBeReadIsNamedAndNothingRecorded() {
        // Backups of D:\Data on 2004/5/1 and of D:\Mail on 2004/5/2 into E:\Bak; now D:\Data
        // again on 2004/5/2, which joins restore point 2.
        makeData(*drives);
        writeFile(drives->driveFolder('d') / "Mail" / "m.txt", "mail");
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        QCOMPARE(run({"--backup"}).status, 0);
        platform::setTodayForTesting(year(2004) / May / 2);
        QCOMPARE(run({"--backup", "--source", "D:\\Mail"}).status, 0);
        // The store, without the record of how the last backup without a window ended.
        auto storeNow = [this] {
            testsupport::Snapshot files = snapshot(program());
            files.erase("LastBackup.ini");
            return files;
        };
        const testsupport::Snapshot store = storeNow();
        QCOMPARE(store.at("Recover/BackupDir.ini"),
                 std::string("E:\\Bak\\<1>2004_5_1_Back\r\nE:\\Bak\\<2>2004_5_2_Back\r\n"));

        struct File {
            const char* path;
            size_t badSector; // where a read part way fails
            bool beforeTheCopy;
        };
        const std::string folder = "C:\\Program Files\\Tarnwick2004\\";
        for (const File& file : {File{"SystemBackRD.ini", 39, true}, // "E:\B" of "E:\Bak"
                                 File{"TotalCount.ini", 0, true},
                                 File{"Recover\\BackupDir.ini", 30, false}, // in record 2
                                 File{"Recover\\2.ini", 10, false}}) {
            const std::string path = folder + file.path;
            fs::path host = drives->host(std::u8string(path.begin(), path.end()));
            for (const char* fault : {"bad sector", "access denied", "a folder"}) {
                const std::string row = path + ", " + fault;
                std::string reason;
                if (fault == std::string("bad sector")) {
                    faults::failReadAt(path, file.badSector, EIO);
                    reason = ansi(u8"（磁碟讀寫錯誤）");
                } else if (fault == std::string("access denied")) {
                    faults::failAt("open", path, EACCES);
                    reason = ansi(u8"（存取被拒）");
                } else {
                    fs::rename(host, host.string() + ".aside");
                    fs::create_directory(host);
                    reason = ansi(u8"（是資料夾，不是檔案）");
                }
                Run result = run({"--backup"});
                faults::clear();
                if (fs::is_directory(host)) {
                    fs::remove(host);
                    fs::rename(host.string() + ".aside", host);
                }
                QVERIFY2(result.status == 2, row.c_str());
                QVERIFY2(result.err.find(ansi(u8"無法讀取：") + path + reason) != std::string::npos,
                         (row + ": " + result.err).c_str());
                QVERIFY2(storeNow() == store, row.c_str());
                // ... but the window will tell why the night's backup failed.
                std::string record = readFile(program() / "LastBackup.ini");
                QVERIFY2(record.find(ansi(u8"結果=2\r\n原因=")) != std::string::npos &&
                             record.find(ansi(u8"無法讀取：") + path + reason) != std::string::npos,
                         (row + ": " + record).c_str());
                // No backup starts from what could not be read; a copy made before the store
                // was read is not recorded.
                QVERIFY2(fs::exists(backupOf("2004_5_2", "Data")) != file.beforeTheCopy,
                         row.c_str());
                fs::remove_all(backupOf("2004_5_2", "Data"));
            }
        }
        // Nothing was lost: the next backup joins restore point 2.
        QCOMPARE(run({"--backup"}).status, 0);
        QCOMPARE(readFile(recover() / "BackupDir.ini"), store.at("Recover/BackupDir.ini"));
        QCOMPARE(readFile(recover() / "2.ini"),
                 std::string("2004_5_2_Back2_Mail.ini\r\n2004_5_2_Back2_Data.ini\r\n"));

        // The program itself says it on standard error.
        fs::path settings = program() / "SystemBackRD.ini";
        fs::remove(settings);
        fs::create_directory(settings);
        Run real = runProgram({QStringLiteral("--backup")});
        QCOMPARE(real.status, 2);
        QVERIFY2(real.err.find("無法讀取：C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"
                               "（是資料夾，不是檔案）") != std::string::npos,
                 real.err.c_str());
    }

    void theCommandLinePairReplacesTheSavedOneOnlyWhenAsked() {
        makeData(*drives);
        writeFile(drives->driveFolder('d') / "Other" / "o.txt", "other");
        fs::create_directories(drives->driveFolder('e') / "Bak");
        saveChoice("D:\\Data", "E:\\Bak");
        std::string saved = readFile(program() / "SystemBackRD.ini");
        platform::setTodayForTesting(year(2004) / May / 1);

        QCOMPARE(run({"--backup", "--source", "d:\\Other\\"}).status, 0); // to the saved E:\Bak
        QCOMPARE(readFile(backupOf("2004_5_1", "Other") / "o.txt"), std::string("other"));
        QCOMPARE(readFile(program() / "SystemBackRD.ini"), saved);

        QCOMPARE(run({"--backup", "--source", "D:\\Other", "--save"}).status, 0);
        store::BackupStore store;
        std::optional<store::SettingsValues> now = store.ReadSettings();
        QVERIFY(now);
        QCOMPARE(now->sourceDir, std::string("D:\\Other"));
        QCOMPARE(now->destDir, std::string("E:\\Bak"));
    }

    void foldersAreKeptAsTheWindowKeepsThem() {
        makeData(*drives);
        platform::setTodayForTesting(year(2004) / May / 1);
        auto backUp = [&](const std::string& source, const std::string& dest) {
            Run result = run({"--backup", "--source", source, "--dest", dest, "--quiet"});
            QVERIFY2(result.status == 0, (source + " " + dest + ": " + result.err).c_str());
        };
        // One folder however it is typed: one record, one folder list.
        for (const char* dest :
             {"E:\\Bak", "E:/Bak", "E:\\.\\Bak", "E:\\Bak\\..\\Bak", "e:\\Bak\\", "E:\\\\Bak//"})
            backUp("D:\\Data", dest);
        std::string one = "E:\\Bak\\<1>2004_5_1_Back\r\n";
        QCOMPARE(readFile(recover() / "BackupDir.ini"), one);
        // A root as the window keeps it: "E:", whatever the form.
        for (const char* dest : {"E:\\", "e:", "E:/", "E:\\.", "E:\\Bak\\..\\", "E:\\..\\"})
            backUp("D:\\Data", dest);
        QCOMPARE(readFile(recover() / "BackupDir.ini"), one + "E:\\<2>2004_5_1_Back\r\n");
        QCOMPARE(readFile(drives->driveFolder('e') / "2004_5_1_Back" / "Data" / "a.txt"),
                 std::string("alpha"));
        // The source too, a name with a 0x5C trail byte included.
        backUp(ansi(u8"d:/Data/./許多/"), "E:\\Bak");
        QCOMPARE(readFile(recover() / "1.ini"),
                 ansi(u8"2004_5_1_Back1_Data.ini\r\n2004_5_1_Back1_許多.ini\r\n"));
        QCOMPARE(readFile(recover() / fs::path(u8"2004_5_1_Back1_許多.ini")),
                 ansi(u8"D:\\Data\\許多\r\n"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini").substr(0, 9),
                 std::string("D:\\Data\r\n"));
        // And saved so, for the window to show.
        QCOMPARE(run({"--backup", "--source", "D:/Data/", "--dest", "e:\\", "--save"}).status, 0);
        std::optional<store::SettingsValues> saved = store::BackupStore().ReadSettings();
        QVERIFY(saved);
        QCOMPARE(saved->sourceDir, std::string("D:\\Data"));
        QCOMPARE(saved->destDir, std::string("E:"));
    }

    void theProgramRunsWithoutADisplayAndWritesPlainLines() {
        makeData(*drives);
        fs::path data = drives->driveFolder('d') / "Data";
        QCOMPARE(::mkfifo((data / "pipe").c_str(), 0600), 0); // refused at once, not waited on
        saveChoice("D:\\Data", "E:\\Bak");

        Run result = runProgram({QStringLiteral("--backup")});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, std::string());
        for (char c : result.out)
            QVERIFY2(c == '\n' || static_cast<unsigned char>(c) >= 0x20, result.out.c_str());
        QVERIFY(QString::fromUtf8(result.out).toUtf8().toStdString() == result.out); // UTF-8
        QVERIFY(result.out.find("D:\\Data\\pipe（不是一般檔案）\n") != std::string::npos);
        QVERIFY(result.out.find("還原點：1\n") != std::string::npos);
        std::string day = platform::shortDateToday();
        std::replace(day.begin(), day.end(), '/', '_');
        QCOMPARE(readFile(backupOf(day.c_str(), "Data") / fs::path(u8"許多") / "c.txt"),
                 std::string("gamma"));

        Run help = runProgram({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        for (const char* status : {"  0  ", "  1  ", "  2  "})
            QVERIFY(help.out.find(status) != std::string::npos);
        Run version = runProgram({QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QVERIFY(version.out.rfind("Tarnwick 2004 ", 0) == 0);
        Run wrong = runProgram({QStringLiteral("--backup"), QStringLiteral("--nonsense")});
        QCOMPARE(wrong.status, 2);
        QVERIFY(wrong.err.find("不明的選項：--nonsense") != std::string::npos);
    }

    void withoutADisplayTheWindowSaysWhatToDo() {
        Run bare = runProgram({});
        QCOMPARE(bare.status, 1);
        QVERIFY2(bare.err.find("沒有可以顯示視窗的螢幕") != std::string::npos, bare.err.c_str());
        QVERIFY(bare.err.find("tarnwick2004 --backup\n") != std::string::npos);
        QVERIFY(bare.err.find("tarnwick2004 --help\n") != std::string::npos);
        QCOMPARE(bare.out, std::string());

        // A platform that needs no display still opens the window: it sweeps the program
        // folder as it starts.
        fs::path stale = program() / ".SystemBackRD.ini.tw99999999-1.tmp";
        auto opens = [&](QProcess* process) {
            QTRY_VERIFY_WITH_TIMEOUT(!fs::exists(stale), 20000);
            QCOMPARE(process->state(), QProcess::Running);
            process->kill();
            process->waitForFinished(20000);
            delete process;
        };
        writeFile(stale, "half");
        opens(start({}, QStringLiteral("offscreen")));
        writeFile(stale, "half");
        opens(start({QStringLiteral("-platform"), QStringLiteral("offscreen")}));
    }

    void theConsoleProgramRunsTheCommandLineAndNeverAWindow() {
        // Without options, or with the toolkit's own, it names the program with windows and
        // opens none, even where a window could show.
        for (const QStringList& arguments :
             {QStringList(),
              QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")}}) {
            Run bare = runProgram(arguments, TARNWICK_CLI_PROGRAM);
            QCOMPARE(bare.status, 2);
            QVERIFY2(bare.err.find("程式的視窗是 tarnwick2004.exe") != std::string::npos,
                     bare.err.c_str());
            QVERIFY(bare.err.find("tarnwick2004-cli --backup\n") != std::string::npos);
            QCOMPARE(bare.out, std::string());
        }

        // The same command line as the program, with its statuses.
        makeData(*drives);
        saveChoice("D:\\Data", "E:\\Bak");
        Run first = runProgram({QStringLiteral("--backup")}, TARNWICK_CLI_PROGRAM);
        QVERIFY2(first.status == 0, first.err.c_str());
        QVERIFY2(first.out.find("已複製 3 個檔案") != std::string::npos, first.out.c_str());
        QVERIFY(first.out.find("還原點：1\n") != std::string::npos);
        QCOMPARE(::mkfifo((drives->driveFolder('d') / "Data" / "pipe").c_str(), 0600), 0);
        Run second = runProgram({QStringLiteral("--backup")}, TARNWICK_CLI_PROGRAM);
        QCOMPARE(second.status, 1);
        QVERIFY(second.out.find("D:\\Data\\pipe（不是一般檔案）\n") != std::string::npos);
        Run wrong = runProgram({QStringLiteral("--backup"), QStringLiteral("--nonsense")},
                               TARNWICK_CLI_PROGRAM);
        QCOMPARE(wrong.status, 2);
        QVERIFY(wrong.err.find("不明的選項：--nonsense") != std::string::npos);
        Run version = runProgram({QStringLiteral("--version")}, TARNWICK_CLI_PROGRAM);
        QCOMPARE(version.status, 0);
        QVERIFY(version.out.rfind("Tarnwick 2004 ", 0) == 0);
        // Its help names it, and no window: that is the other program's.
        Run help = runProgram({QStringLiteral("--help")}, TARNWICK_CLI_PROGRAM);
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.rfind("用法：tarnwick2004-cli [選項]\n", 0) == 0, help.out.c_str());
        QVERIFY(help.out.find("程式的視窗是 tarnwick2004.exe") != std::string::npos);
        QVERIFY(help.out.find("開啟程式的視窗") == std::string::npos);
        QVERIFY(help.out.find("--keep-daily N") != std::string::npos); // the same options
        Run programHelp = runProgram({QStringLiteral("--help")});
        QVERIFY(programHelp.out.rfind("用法：tarnwick2004 [選項]\n\n不加選項時開啟程式的視窗", 0) ==
                0);
    }

    void aBackupAndADialogBackupRecordInTurn() {
        writeFile(drives->driveFolder('d') / "One" / "one.txt", "1");
        writeFile(drives->driveFolder('d') / "Two" / "two.txt", "2");
        fs::create_directories(drives->driveFolder('e') / "Bak");
        fs::create_directories(drives->driveFolder('e') / "Bak2");
        std::string day = platform::shortDateToday();
        std::replace(day.begin(), day.end(), '/', '_');
        saveChoice("D:\\One", "E:\\Bak");
        TForm2 dialog(nullptr);
        dialog.Timer1->setInterval(0); // the restore point's animation, at once
        store::BackupStore store;
        dialog.PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
        QProcess* process = nullptr;
        {
            // Held while both copy: each then waits for the store, and they record in turn.
            store::BackupStore::Recording held(store);
            dialog.show();
            emit dialog.BitBtn1->clicked();
            process = start({QStringLiteral("--backup"), QStringLiteral("--source"),
                             QStringLiteral("D:\\Two"), QStringLiteral("--dest"),
                             QStringLiteral("E:\\Bak2")});
            QTRY_VERIFY_WITH_TIMEOUT(fs::exists(backupOf(day.c_str(), "Two", "Bak2") / "two.txt"),
                                     20000);
            QTRY_VERIFY_WITH_TIMEOUT(fs::exists(backupOf(day.c_str(), "One") / "one.txt"), 20000);
            QTest::qWait(300);
            QCOMPARE(process->state(), QProcess::Running); // copied, and waiting for the store
            QVERIFY(!fs::exists(recover() / "BackupDir.ini"));
            QCOMPARE(messages->calls().size(), size_t{0});
        }
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), size_t{1}, 20000);
        dialog.WorkerThread->waitUntilSuspended();
        dialog.close();
        QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, 20000);
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        std::string catalog = readFile(recover() / "BackupDir.ini");
        std::string first = "E:\\Bak2\\<1>" + day + "_Back\r\nE:\\Bak\\<2>" + day + "_Back\r\n";
        std::string second = "E:\\Bak\\<1>" + day + "_Back\r\nE:\\Bak2\\<2>" + day + "_Back\r\n";
        QVERIFY2(catalog == first || catalog == second, catalog.c_str());
        QCOMPARE(readFile(program() / "TotalCount.ini"), std::string("2"));
        delete process;
    }

    void restoresLeaveTheSameBytesAsTheDialog() {
        // The dialog restores a sub-folder of restore point 1, then the whole of it ...
        twoRestorePointsAndLosses();
        restoreThroughTheDialog(1, 0, {"Docs"});
        restoreThroughTheDialog(1, 0);
        restoreThroughTheDialog(1, 1);
        testsupport::Snapshot sources = snapshot(drives->driveFolder('d'));
        testsupport::Snapshot copies = snapshot(drives->driveFolder('e'));
        testsupport::Snapshot store = storeAtHalfPastTwo(program());
        QCOMPARE(sources["Data/a.txt"], std::string("alpha")); // as on 2004/5/1
        QCOMPARE(sources["Mail/m.txt"], std::string("mail"));
        QVERIFY(!sources.contains("Data/Docs/new.txt")); // only on 2004/5/2

        // ... and the command line the same choices, in a world of its own.
        drives.reset();
        drives = std::make_unique<testsupport::TestDrives>();
        twoRestorePointsAndLosses();
        Run docs = run({"--restore", "--dest", "E:\\Bak", "--point", "1", "--folder", "Data/Docs"});
        QVERIFY2(docs.status == 0, docs.err.c_str());
        QCOMPARE(docs.out, ansi(u8"正在還原：E:\\Bak\\2004_5_1_Back\\Data\\Docs  ==>  "
                                u8"D:\\Data\\Docs\n共有 1 個檔案，0.00 MB\n"
                                u8"已還原 1 個檔案（0.00 MB），已存在 0 個，失敗 0 個\n"));
        Run whole = run({"--restore", "--dest", "E:\\Bak", "--date", "2004-05-01"});
        QCOMPARE(whole.status, 1); // the file changed since is left as it is, and named
        QCOMPARE(whole.err, std::string());
        QVERIFY2(
            whole.out.find(ansi(u8"正在還原：E:\\Bak\\2004_5_1_Back\\Mail  ==>  D:\\Mail\n")) !=
                std::string::npos,
            whole.out.c_str());
        QVERIFY(whole.out.find(ansi(u8"有 1 個檔案已存在但與備份中的不同，未覆蓋：\n"
                                    u8"E:\\Bak\\2004_5_1_Back\\Data\\許多\\c.txt\n")) !=
                std::string::npos);
        QVERIFY(sources == snapshot(drives->driveFolder('d')));
        QVERIFY(copies == snapshot(drives->driveFolder('e')));
        QVERIFY(store == storeAtHalfPastTwo(program()));
        // Again, quiet: all is there, and only what stays different is told.
        Run again = run({"--restore", "--dest", "E:\\Bak", "--point", "1", "--quiet"});
        QCOMPARE(again.status, 1);
        QCOMPARE(again.out, ansi(u8"有 1 個檔案已存在但與備份中的不同，未覆蓋：\n"
                                 u8"E:\\Bak\\2004_5_1_Back\\Data\\許多\\c.txt\n"));
    }

    void aRestoreGoesIntoAnotherFolderAndNowhereElse() {
        twoRestorePointsAndLosses();
        // The console program, as a script runs it: the list, then a point from it.
        Run list = runProgram(
            {QStringLiteral("--list"), QStringLiteral("--dest"), QStringLiteral("E:\\Bak")},
            TARNWICK_CLI_PROGRAM);
        QCOMPARE(list.status, 0);
        QCOMPARE(list.err, std::string());
        QCOMPARE(list.out, std::string("1\t2004-05-01\tD:\\Data\tD:\\Mail\n"
                                       "2\t2004-05-02\tD:\\Data\n"));
        Run into =
            runProgram({QStringLiteral("--restore"), QStringLiteral("--dest"),
                        QStringLiteral("E:\\Bak"), QStringLiteral("--point"), QStringLiteral("2"),
                        QStringLiteral("--to"), QStringLiteral("D:\\Restored\\New")},
                       TARNWICK_CLI_PROGRAM);
        QVERIFY2(into.status == 0, into.err.c_str());
        QVERIFY(snapshot(drives->driveFolder('d') / "Restored" / "New" / "Data") ==
                snapshot(backupOf("2004_5_2", "Data")));
        QCOMPARE(testsupport::folderNames(drives->driveFolder('d') / "Restored" / "New"),
                 std::vector<std::string>{"Data"});
        QVERIFY(!fs::exists(drives->driveFolder('d') / "Data" / "a.txt")); // not where it was

        // One folder keeps its path in the backup below the folder.
        QCOMPARE(run({"--restore", "--dest", "E:\\Bak", "--point", "1", "--folder", "Data\\Docs",
                      "--to", "D:\\One"})
                     .status,
                 0);
        QCOMPARE(testsupport::folderNames(drives->driveFolder('d') / "One"),
                 std::vector<std::string>{"Data"});
        QCOMPARE(readFile(drives->driveFolder('d') / "One" / "Data" / "Docs" / "b.txt"),
                 std::string("beta"));

        // Links planted in the folder restored into lead nowhere: one at a backed-up folder's
        // name, one at a sub-folder's.
        fs::path outside = drives->driveFolder('d') / "Outside";
        fs::create_directories(outside);
        fs::path out = drives->driveFolder('d') / "Out";
        fs::create_directories(out / "Data");
        fs::create_directory_symlink(outside, out / "Mail");
        fs::create_directory_symlink(outside, out / "Data" / "Docs");
        Run planted = run({"--restore", "--dest", "E:\\Bak", "--point", "1", "--to", "D:\\Out"});
        QCOMPARE(planted.status, 1); // Data is restored but for Docs; Mail not at all
        QVERIFY2(planted.err.find(ansi(u8"無法建立欲還原資料夾：D:\\Out\\Mail（")) !=
                     std::string::npos,
                 planted.err.c_str());
        QVERIFY2(planted.out.find(ansi(u8"有 1 個資料夾無法完整還原：\nD:\\Out\\Data\\Docs（")) !=
                     std::string::npos,
                 planted.out.c_str());
        QCOMPARE(readFile(out / "Data" / "a.txt"), std::string("alpha"));
        QCOMPARE(testsupport::folderNames(outside), std::vector<std::string>{});

        Run help = runProgram({QStringLiteral("--help")}, TARNWICK_CLI_PROGRAM);
        QVERIFY(help.out.find("--restore             不開視窗") != std::string::npos);
        QVERIFY(help.out.find("--restore 的結束狀態") != std::string::npos);
    }

    void aBadRestoreChoiceIsStatusTwoAndWritesNothing() {
        twoRestorePointsAndLosses();
        fs::create_directory_symlink(backupOf("2004_5_1", ""), drives->driveFolder('d') / "Link");
        testsupport::Snapshot sources = snapshot(drives->driveFolder('d'));
        testsupport::Snapshot copies = snapshot(drives->driveFolder('e'));
        auto refused = [&](const std::vector<std::string>& arguments, const std::string& reason) {
            Run result = run(arguments);
            QCOMPARE(result.status, 2);
            QVERIFY2(result.err.find(reason) != std::string::npos, result.err.c_str());
            QCOMPARE(result.out, std::string());
        };
        std::vector<std::string> point1{"--restore", "--dest", "E:\\Bak", "--point", "1"};
        auto with = [&point1](std::vector<std::string> more) {
            more.insert(more.begin(), point1.begin(), point1.end());
            return more;
        };
        const std::string bothOrNeither =
            ansi(u8"--restore 必須與 --point 或 --date 其中之一（只能一個）一起使用");
        refused({"--restore", "--dest", "E:\\Bak"}, bothOrNeither);
        refused(with({"--date", "2004-05-01"}), bothOrNeither);
        refused({"--restore", "--point", "1"},
                ansi(u8"必須以 --dest 指定備份目地資料夾：--restore"));
        refused({"--restore", "--dest", "E:\\Bak", "--point", "0"},
                ansi(u8"選項後面必須是還原點的號碼（正整數）：--point"));
        refused({"--restore", "--dest", "E:\\Bak", "--date", "2004-02-30"},
                ansi(u8"選項後面必須是 YYYY-MM-DD 格式的日期（例如 2004-05-01）：--date"));
        refused({"--restore", "--dest", "E:\\Bak", "--point", "3"},
                ansi(u8"E:\\Bak 沒有這個還原點：3（以 --list --dest 資料夾 列出還原點）"));
        refused({"--restore", "--dest", "E:\\Bak", "--date", "2004-05-03"},
                ansi(u8"E:\\Bak 沒有這一天的備份：2004-05-03"));
        refused(with({"--folder", "Nope"}),
                ansi(u8"E:\\Bak\\2004_5_1_Back 之中沒有此資料夾：Nope"));
        refused(with({"--folder", "Data/../../2004_5_2_Back/Data"}),
                ansi(u8"E:\\Bak\\2004_5_1_Back 之中沒有此資料夾：Data/../../2004_5_2_Back/Data"));
        refused(with({"--folder", "..\\2004_5_2_Back\\Data"}), ansi(u8"之中沒有此資料夾："));
        refused(with({"--to", "E:\\Bak\\2004_5_1_Back\\Again"}),
                ansi(u8"不能還原到備份資料夾之內：E:\\Bak\\2004_5_1_Back\\Again"));
        refused(with({"--to", "D:\\Link\\Again"}), // the same folder by another path
                ansi(u8"不能還原到備份資料夾之內：D:\\Link\\Again"));
        refused(with({"--source", "D:\\Data"}),
                ansi(u8"此選項不能與 --restore 一起使用：--source"));
        refused(with({"--backup"}), ansi(u8"此選項不能與 --restore 一起使用：--backup"));
        refused({"--backup", "--point", "1"}, ansi(u8"此選項只能與 --restore 一起使用：--point"));
        refused({"--list", "--dest", "E:\\Bak", "--point", "1"},
                ansi(u8"此選項不能與 --list 一起使用：--point"));
        refused({"--list", "--dest", "E:\\Gone"}, ansi(u8"找不到備份目地資料夾：E:\\Gone"));
        QVERIFY(sources == snapshot(drives->driveFolder('d')));
        QVERIFY(copies == snapshot(drives->driveFolder('e')));
        QVERIFY(!fs::exists(drives->driveFolder('e') / "Bak" / "2004_5_1_Back" / "Again"));
    }
    void theLastBackupWithoutAWindowIsRecordedForTheWindow() {
        makeData(*drives);
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        auto recorded = [this] { return atHalfPastTwo(readFile(program() / "LastBackup.ini")); };
        const std::string failedAtNight =
            ansi(u8"時間=2004/5/1 02:30\r\n來源=D:\\Data\r\n目地=E:\\Missing\r\n結果=2\r\n"
                 u8"原因=找不到備份目地資料夾：E:\\Missing\r\n已告知=0\r\n");

        // Nothing backed up, --quiet as under cron: why, on one line.
        Run missing = run({"--backup", "--quiet", "--dest", "E:\\Missing"});
        QCOMPARE(missing.status, 2);
        QCOMPARE(recorded(), failedAtNight);

        // Some files missing: how many of each kind, and the first.
        faults::failAt("tmpfile", "b.txt", ENOSPC);
        faults::failAt("opendir", "Empty", EACCES);
        Run some = run({"--backup"});
        QCOMPARE(some.status, 1);
        QCOMPARE(recorded(),
                 ansi(u8"時間=2004/5/1 02:30\r\n來源=D:\\Data\r\n目地=E:\\Bak\\2004_5_1_Back\r\n"
                      u8"結果=1\r\n原因=有 1 個檔案無法備份，有 1 個資料夾無法完整備份。第一個："
                      u8"D:\\Data\\Docs\\b.txt（磁碟空間不足）\r\n已告知=0\r\n"));
        faults::clear();

        // A backup that ends well clears the failure.
        const std::string allWell =
            ansi(u8"時間=2004/5/1 02:30\r\n來源=D:\\Data\r\n目地=E:\\Bak\\2004_5_1_Back\r\n"
                 u8"結果=0\r\n原因=\r\n已告知=0\r\n");
        QCOMPARE(run({"--backup"}).status, 0);
        QCOMPARE(recorded(), allWell);

        // A record that cannot be written is named beside the backup's own reason and leaves
        // the last one whole; the exit status stays the backup's.
        faults::planStoreSteps(0, 1, ENOSPC); // the record is the only write of a refusal
        Run unrecorded = run({"--backup", "--dest", "E:\\Missing"});
        QCOMPARE(unrecorded.status, 2);
        QCOMPARE(unrecorded.err,
                 ansi(u8"找不到備份目地資料夾：E:\\Missing\n"
                      u8"無法記錄這次備份的結果：C:\\Program Files\\Tarnwick2004\\LastBackup.ini"
                      u8"（磁碟空間不足）\n"));
        QCOMPARE(recorded(), allWell);
        faults::clear();

        // Before the program folder is made there is no window to tell: nothing is written.
        fs::remove_all(program());
        QCOMPARE(run({"--backup", "--source", "D:\\Data", "--dest", "E:\\Missing"}).status, 2);
        QVERIFY(!fs::exists(program()));
    }

    void aCrashOrAFullDiskAtEveryStepLeavesTheRecordWhole() {
        makeData(*drives);
        saveChoice("D:\\Data", "E:\\Bak");
        platform::setTodayForTesting(year(2004) / May / 1);
        QCOMPARE(run({"--backup"}).status, 0);
        fs::path record = program() / "LastBackup.ini";
        const std::string before = atHalfPastTwo(readFile(record));
        const std::vector<std::string> names = testsupport::folderNames(program());
        // A backup refused writes nothing of the store but the record.
        const std::vector<std::string> refused{"--backup", "--dest", "E:\\Missing"};
        faults::planStoreSteps(0, 0, 0);
        QCOMPARE(run(refused).status, 2);
        int steps = faults::storeStepsTaken();
        faults::clear();
        const std::string after = atHalfPastTwo(readFile(record));
        QVERIFY(steps >= 4);
        QVERIFY(after != before);

        for (int step = 1; step <= steps; ++step) {
            const std::string row = "step " + std::to_string(step);
            writeFile(record, before);
            pid_t child = ::fork();
            if (child == 0) {
                faults::planStoreSteps(step, 0, 0);
                RecordingConsole console;
                static_cast<void>(cli::runCommandLine(refused, console));
                ::_exit(0); // the crash comes first
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 86, row.c_str());
            store::BackupStore().RemoveStaleTemporaries(); // the next start
            QVERIFY2(testsupport::folderNames(program()) == names, row.c_str());
            std::string crashed = atHalfPastTwo(readFile(record));
            QVERIFY2(crashed == before || crashed == after, row.c_str());

            writeFile(record, before);
            faults::planStoreSteps(0, step, ENOSPC);
            Run full = run(refused);
            faults::clear();
            QCOMPARE(full.status, 2);
            std::string written = atHalfPastTwo(readFile(record));
            bool told = full.err.find(ansi(u8"無法記錄這次備份的結果：")) != std::string::npos;
            QVERIFY2(written == after || (told && written == before), row.c_str());
        }
    }

#ifdef TARNWICK_LISTENER
    void aFailedBackupIsToldOnTheDesktopAndOneThatEndsWellIsNot() {
        makeData(*drives);
        fs::path heard = drives->base() / "notifications.txt";
        // The program on a session bus of its own, with a notification service that answers
        // (or, `silent`, never does).
        auto onTheDesktop = [&](QStringList arguments, bool silent = false) {
            QStringList command{QStringLiteral("--"), QStringLiteral(TARNWICK_LISTENER),
                                QString::fromStdString(heard.string())};
            if (silent)
                command << QStringLiteral("--silent");
            command << QStringLiteral("--") << QStringLiteral(TARNWICK_PROGRAM) << arguments;
            return runProgram(command, "dbus-run-session");
        };
        const QStringList missing{QStringLiteral("--backup"), QStringLiteral("--quiet"),
                                  QStringLiteral("--source"), QStringLiteral("D:\\Data"),
                                  QStringLiteral("--dest"),   QStringLiteral("E:\\Missing")};
        const std::string toldOfMissing =
            "Tarnwick 2004：備份失敗\n"
            "2004/5/1 02:30 不開視窗的備份失敗，沒有備份任何檔案：\n"
            "D:\\Data  ==>  E:\\Missing\n找不到備份目地資料夾：E:\\Missing\n----\n";
        auto told = [&] {
            static const std::regex date("[0-9]{4}/[0-9]+/[0-9]+ [0-9]{2}:[0-9]{2}");
            return std::regex_replace(readFile(heard), date, "2004/5/1 02:30");
        };

        // --quiet does not silence it.
        Run failed = onTheDesktop(missing);
        QVERIFY2(failed.status == 2, failed.err.c_str());
        QCOMPARE(told(), toldOfMissing);

        // Some files not backed up (a pipe is refused).
        QCOMPARE(::mkfifo((drives->driveFolder('d') / "Data" / "pipe").c_str(), 0600), 0);
        Run some = onTheDesktop({QStringLiteral("--backup"), QStringLiteral("--source"),
                                 QStringLiteral("D:\\Data"), QStringLiteral("--dest"),
                                 QStringLiteral("E:\\Bak")});
        QCOMPARE(some.status, 1);
        std::string toldOfSome = told();
        QVERIFY2(toldOfSome.starts_with("Tarnwick 2004：有些檔案沒有備份\n2004/5/1 02:30 "
                                        "不開視窗的備份未完成，有些檔案或資料夾沒有備份：\n"
                                        "D:\\Data  ==>  E:\\Bak\\") &&
                     toldOfSome.find("有 1 個檔案無法備份。第一個：D:\\Data\\pipe（") !=
                         std::string::npos,
                 toldOfSome.c_str());

        // One that ends well tells nothing (the service answers each call before the program
        // can end, so a call would be in).
        fs::remove(drives->driveFolder('d') / "Data" / "pipe");
        Run good = onTheDesktop({QStringLiteral("--backup"), QStringLiteral("--source"),
                                 QStringLiteral("D:\\Data"), QStringLiteral("--dest"),
                                 QStringLiteral("E:\\Bak")});
        QVERIFY2(good.status == 0, good.err.c_str());
        QCOMPARE(readFile(heard), std::string());

        // A service that never answers holds the program up a few seconds at most.
        QElapsedTimer clock;
        clock.start();
        Run unanswered = onTheDesktop(missing, true);
        QCOMPARE(unanswered.status, 2);
        QVERIFY2(clock.elapsed() < 15000, std::to_string(clock.elapsed()).c_str());
        QCOMPARE(told(), toldOfMissing);

        // Without a session bus the backup's failure is all there is to read.
        Run alone = runProgram(missing);
        QCOMPARE(alone.status, 2);
        QCOMPARE(alone.err, std::string("找不到備份目地資料夾：E:\\Missing\n"));
    }
#endif
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
