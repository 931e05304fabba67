#include "platform/filecopy.h"
#include "support/messagerecorder.h"
#include "support/testdrives.h"
#include "walk/walkthread.h"

#include "backup/tform2.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "restore/restorechoice.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"
#include "walk/jobchannel.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"
#include "widgets/memo.h"
#include "widgets/panel.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::vector<std::string> memoLines(const QPlainTextEdit& memo) {
    std::vector<std::string> lines;
    QString text = memo.toPlainText();
    if (!text.isEmpty())
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.push_back(toolkit::fromQString(line));
    return lines;
}

// Every entry below `top` (`top` included), links not followed, by path: its type and
// permissions, inode, size, modification time and, for a link, what it points at. Whatever
// is written, made, removed or replaced anywhere changes one of these. Folders in `leftOut`
// are not listed, nor anything below them.
std::map<std::string, std::string> treeState(const fs::path& top,
                                             const std::vector<fs::path>& leftOut = {}) {
    std::map<std::string, std::string> state;
    auto note = [&state](const fs::path& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            state[path.string()] = "unreadable";
            return;
        }
        std::string line = "mode " + std::to_string(st.st_mode) + " inode " +
                           std::to_string(st.st_ino) + " size " + std::to_string(st.st_size) +
                           " mtime " + std::to_string(st.st_mtim.tv_sec) + "." +
                           std::to_string(st.st_mtim.tv_nsec);
        if (S_ISLNK(st.st_mode))
            line += " -> " + fs::read_symlink(path).string();
        state[path.string()] = std::move(line);
    };
    note(top);
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
         ++it) {
        if (std::find(leftOut.begin(), leftOut.end(), it->path()) != leftOut.end()) {
            it.disable_recursion_pending();
            continue;
        }
        note(it->path());
    }
    return state;
}

// The files and folders below `top` by relative path: a file's bytes and modification time,
// "<folder>" for a folder, the target for a link.
std::map<std::string, std::string> treeContents(const fs::path& top) {
    std::map<std::string, std::string> contents;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top)) {
        std::string name = fs::relative(entry.path(), top).string();
        if (entry.is_symlink())
            contents[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            contents[name] = "<folder>";
        else
            contents[name] =
                readFile(entry.path()) + " @" +
                std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count());
    }
    return contents;
}

// The entries that differ between two maps, one a line (empty when they are the same).
std::string differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after) {
    std::string text;
    auto shorten = [](const std::string& value) {
        return value.size() > 60 ? value.substr(0, 60) + "..." : value;
    };
    for (const auto& [path, was] : before) {
        auto now = after.find(path);
        if (now == after.end())
            text += "gone: " + path + "\n";
        else if (now->second != was)
            text += "changed: " + path + " (" + shorten(was) + " / " + shorten(now->second) + ")\n";
    }
    for (const auto& [path, is] : after)
        if (!before.contains(path))
            text += "new: " + path + " (" + shorten(is) + ")\n";
    return text;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The restore's list of names as a view would fill it.
struct NamesLog {
    std::vector<std::string> names;
    int updates = 0;
    void showProgress(const restore::RestoreProgress& progress) {
        ++updates;
        names.insert(names.end(), progress.restoredNames.begin(), progress.restoredNames.end());
    }
};

} // namespace

class TestRestore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    std::unique_ptr<testsupport::MessageRecorder> messages;
    std::unique_ptr<TForm3> dialog;

    fs::path data() { return drives->driveFolder('d') / "Data"; }
    fs::path backupData() { return drives->driveFolder('e') / "Bak" / "2004_5_1_Back" / "Data"; }
    fs::path recover() { return drives->host(u8"C:\\Program Files\\Tarnwick2004\\Recover"); }

    // D:\Data with files at the top, in Docs, in Docs\Sub1 and in Docs\Sub1\Deep.
    void makeSource() {
        writeFile(data() / "top.txt", "top");
        writeFile(data() / "keep.txt", "kept as it was");
        writeFile(data() / "Docs" / "letter.doc", std::string(300000, 'L'));
        writeFile(data() / "Docs" / "Sub1" / "s1.txt", "one");
        writeFile(data() / "Docs" / "Sub1" / "Deep" / "d.txt", "deep");
        fs::create_directories(data() / "Docs" / "Empty");
    }

    fs::path backupCopy() { return drives->driveFolder('e') / "Bak" / "2004_5_1_Back" / "Data"; }

    // A whole backup of a source folder (D:\Data unless told) into E:\Bak through the backup
    // dialog.
    void backUp(const std::string& source = "D:\\Data") {
        fs::create_directories(drives->driveFolder('e') / "Bak");
        store::BackupStore store;
        QVERIFY(!store.CreateFolders());
        QVERIFY(store.WriteSettings(source, "E:\\Bak"));
        TForm2 backup(nullptr);
        backup.Timer1->setInterval(0); // the restore point's animation, at once
        backup.PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
        backup.show();
        backup.WorkerThread->waitUntilSuspended();
        size_t before = messages->calls().size();
        emit backup.BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        backup.close();
    }

    void settle() {
        dialog->WorkerThread->waitUntilSuspended();
        QCoreApplication::processEvents();
    }

    // The restore link: the catalog's records, then the dialog shown.
    void open() {
        dialog->fillBackupList(*store::BackupStore().ReadCatalog());
        dialog->show();
    }

    void chooseBackup(int row) {
        dialog->ListView1->SelectRow(row);
        dialog->ListView1Click();
    }

    void chooseFolder(int row) {
        dialog->ListView2->SelectRow(row);
        dialog->ListView2Click();
        settle();
    }

    // Goes into a sub-folder of the directory list's folder with a double-click, as the user
    // does; false when the list has no such sub-folder. Names on the path above are passed over.
    bool goInto(const std::string& name) {
        TDirectoryListBox* list = dialog->DirectoryListBox1;
        for (int i = list->CurrentLevel() + 1; i < list->EntryCount(); ++i) {
            if (list->EntryText(i) != name)
                continue;
            list->scrollToItem(list->item(i));
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                               list->visualItemRect(list->item(i)).center());
            settle();
            return list->Directory().ends_with("\\" + name);
        }
        return false;
    }

    void restoreToTheEnd() {
        size_t before = messages->calls().size();
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        settle();
    }

    std::vector<std::string> texts() {
        std::vector<std::string> all;
        for (const toolkit::MessageBoxCall& call : messages->calls())
            all.push_back(call.text);
        return all;
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
        platform::setTodayForTesting(year(2004) / May / 1);
        dialog = std::make_unique<TForm3>(nullptr);
    }
    void cleanup() {
        faults::clear(); // also after a test that failed with faults planted
        dialog.reset();
        platform::setTodayForTesting(std::nullopt);
        messages.reset();
        drives.reset();
    }

    // While a restore runs, another program swaps a folder of the backup for a link to a folder
    // outside it that holds the same names: nothing of the outside is restored.
    void aBackupFolderSwappedForALinkRestoresNothingOfTheOutside() {
        makeSource();
        backUp();
        fs::remove_all(data() / "Docs");
        fs::path outside = drives->driveFolder('d') / "Outside";
        writeFile(outside / "Sub1" / "marker.txt", "outside");
        writeFile(outside / "Sub1" / "Deep" / "marker2.txt", "outside");
        fs::path docs = backupData() / "Docs";
        int opened = 0;
        faults::beforeOperation("opensub", "/Docs/Sub1", [&] {
            if (++opened != 2) // the copy pass's (the count pass's is the first)
                return;
            fs::rename(docs, backupData() / "Aside");
            fs::create_directory_symlink(outside, docs);
        });
        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        QCOMPARE(opened, 2);
        QVERIFY(fs::is_symlink(docs));
        for (const auto& entry : fs::recursive_directory_iterator(data()))
            QVERIFY2(entry.path().filename().string().find("marker") == std::string::npos,
                     entry.path().c_str());
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "s1.txt"), std::string("one"));
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "Deep" / "d.txt"), std::string("deep"));
    }

    void aBackedUpFolderComesBack() {
        makeSource();
        backUp();
        auto keptTime = fs::last_write_time(data() / "keep.txt");
        fs::remove(data() / "top.txt");
        fs::remove_all(data() / "Docs" / "Sub1");
        writeFile(data() / "keep.txt", "changed since");
        fs::last_write_time(data() / "keep.txt", keptTime - hours(1));
        messages->clear();

        open();
        QVERIFY(!dialog->BitBtn1->isEnabled());
        QCOMPARE(dialog->ListView1->RowCount(), 1);
        QCOMPARE(dialog->ListView1->Caption(0), std::string("2004_5_1_Back"));
        QCOMPARE(dialog->ListView1->SubItem(0, 0), std::string("1"));
        QCOMPARE(dialog->ListView1->SubItem(0, 1), std::string("E:\\Bak\\"));
        chooseBackup(0);
        QCOMPARE(dialog->ListView2->RowCount(), 1);
        QCOMPARE(dialog->ListView2->Caption(0), std::string("Data"));
        QCOMPARE(dialog->ListView2->SubItem(0, 0), std::string("2004_5_1_Back1_Data.ini"));
        QCOMPARE(dialog->ListView2->SelectedRow(), -1);

        chooseFolder(0);
        QCOMPARE(dialog->DirectoryListBox1->Directory(),
                 std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->Panel1->caption(), ansi(u8" 原備份資料夾：E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾：D:"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data"));
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.29MB(5個檔案)"));
        QCOMPARE(dialog->ProgressBar1->maximum(), 5);
        QVERIFY(dialog->BitBtn1->isEnabled());

        restoreToTheEnd();
        QCOMPARE(readFile(data() / "top.txt"), std::string("top"));
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "s1.txt"), std::string("one"));
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "Deep" / "d.txt"), std::string("deep"));
        fs::path copy = drives->driveFolder('e') / "Bak" / "2004_5_1_Back" / "Data";
        QVERIFY(fs::last_write_time(data() / "top.txt") == fs::last_write_time(copy / "top.txt"));
        QVERIFY(fs::last_write_time(data() / "Docs" / "Sub1" / "s1.txt") ==
                fs::last_write_time(copy / "Docs" / "Sub1" / "s1.txt"));
        QCOMPARE(readFile(data() / "keep.txt"), std::string("changed since")); // not touched
        QVERIFY(fs::last_write_time(data() / "keep.txt") == keptTime - hours(1));

        std::vector<toolkit::MessageBoxCall> calls = messages->calls();
        QCOMPARE(calls.size(), size_t{1});
        QCOMPARE(calls[0].kind, toolkit::MessageBoxKind::System);
        QCOMPARE(calls[0].caption, ansi(u8"還原完成"));
        // The file changed since the backup is left as it is, and the user is told so.
        QCOMPARE(
            calls[0].text,
            ansi(
                u8"您所指定的檔案已還原完成!!\n\n另有 1 個檔案已存在但與備份中的不同，未覆蓋：\n") +
                "E:\\Bak\\2004_5_1_Back\\Data\\keep.txt");
        QCOMPARE(dialog->Panel3->caption(), ansi(u8" 檔案已還原完成"));
        QCOMPARE(dialog->Panel5->caption(), std::string("5"));
        QCOMPARE(dialog->Panel6->caption(), std::string("5"));
        QCOMPARE(dialog->ProgressBar1->value(), 5);
        QVERIFY(!dialog->BitBtn1->isEnabled());
        // Every file handled, in the walk's order, those that were there included.
        QCOMPARE(
            memoLines(*dialog->Memo1),
            (std::vector<std::string>{"keep.txt", "top.txt", "letter.doc", "s1.txt", "d.txt"}));
    }

    void theDialogRestoresWhatTheChoiceNames() {
        // A folder whose Big5 name ends in a backslash byte (許 is B3 5C), backed up from deep
        // down.
        std::string source = ansi(u8"D:\\Data\\許\\A");
        writeFile(drives->host(u8"D:\\Data\\許\\A\\Docs\\x.txt"), "x");
        backUp(source);
        restore::RestoreChoice choice{ansi(u8"E:\\Bak\\2004_5_1_Back\\A"),
                                      ansi(u8"E:\\Bak\\2004_5_1_Back\\A\\Docs"),
                                      "2004_5_1_Back1_A.ini"};
        QCOMPARE(choice.sourceLineKey(), std::string("\\A\\Docs"));
        QCOMPARE(choice.levelsBelowCopyRoot(), 1);
        std::optional<restore::RestoreJobInput> input =
            restore::restoreInput(store::BackupStore(), choice);
        QVERIFY(input);
        QCOMPARE(input->restoreTarget, source + "\\Docs");
        QCOMPARE(input->targetRoot, source);

        // The dialog, led there by the user, restores the same.
        fs::remove_all(drives->host(u8"D:\\Data\\許\\A\\Docs"));
        open();
        chooseBackup(0);
        chooseFolder(0);
        QVERIFY(goInto("Docs"));
        restore::RestoreJobInput shown = dialog->Job().input();
        QCOMPARE(shown.restoreSource, input->restoreSource);
        QCOMPARE(shown.restoreTarget, input->restoreTarget);
        QCOMPARE(shown.targetRoot, input->targetRoot);
        restoreToTheEnd();
        QCOMPARE(readFile(drives->host(u8"D:\\Data\\許\\A\\Docs\\x.txt")), std::string("x"));
    }

    void aSubFolderComesBackIntoItsOwnFolder() {
        makeSource();
        backUp();
        fs::remove_all(data()); // the parents are gone too
        open();
        chooseBackup(0);
        chooseFolder(0);
        // Entries: E:\, Bak, 2004_5_1_Back, Data, then Data's sub-folders.
        QCOMPARE(dialog->DirectoryListBox1->CurrentLevel(), 3);
        dialog->DirectoryListBox1->SetItemIndex(4); // Docs
        QTest::keyClick(dialog->DirectoryListBox1, Qt::Key_Return);
        settle();
        int sub1 = -1;
        for (int i = 0; i < dialog->DirectoryListBox1->EntryCount(); ++i)
            if (dialog->DirectoryListBox1->EntryText(i) == "Sub1")
                sub1 = i;
        QVERIFY(sub1 > 0);
        QTest::mouseDClick(
            dialog->DirectoryListBox1->viewport(), Qt::LeftButton, {},
            dialog->DirectoryListBox1->visualItemRect(dialog->DirectoryListBox1->item(sub1))
                .center());
        settle();
        QCOMPARE(dialog->DirectoryListBox1->Directory(),
                 std::string("E:\\Bak\\2004_5_1_Back\\Data\\Docs\\Sub1"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data\\Docs\\Sub1"));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾：D:\\Data\\Docs"));
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.00MB(2個檔案)"));
        restoreToTheEnd();
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "s1.txt"), std::string("one"));
        QCOMPARE(readFile(data() / "Docs" / "Sub1" / "Deep" / "d.txt"), std::string("deep"));
        QVERIFY(!fs::exists(data() / "top.txt"));
        QVERIFY(!fs::exists(data() / "Docs" / "letter.doc"));
        QCOMPARE(memoLines(*dialog->Memo1), (std::vector<std::string>{"s1.txt", "d.txt"}));
    }

    void choosingTheSameFolderAgainKeepsItsTarget() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        dialog->DirectoryListBox1->SetItemIndex(4); // a single click on a sub-folder's entry
        dialog->DirectoryListBox1Click();
        chooseFolder(0);
        QCOMPARE(dialog->RestoreSource(), std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data"));
    }

    void restoredNamesShowFromTheFirstWhileTheyFit() {
        // The names are added as a restore adds them, in whatever font the system gives: the
        // first stays in sight while there is room for it, and once the list scrolls the last
        // name ends at the bottom with no room left below it for another.
        TMemo* memo = dialog->Memo1;
        dialog->show();
        for (int pixels = 9; pixels <= 26; ++pixels) {
            QFont font = memo->font();
            font.setPixelSize(pixels);
            memo->setFont(font);
            memo->clear();
            for (int names = 1; names <= 20; ++names) {
                memo->appendLine("name" + std::to_string(names));
                QCoreApplication::processEvents();
                QTextCursor first(memo->document());
                QTextCursor last(memo->document()->lastBlock());
                QRect firstLine = memo->cursorRect(first);
                QRect lastLine = memo->cursorRect(last);
                int roomBelow = memo->viewport()->height() - lastLine.bottom() - 1;
                if (firstLine.top() < 0)
                    QVERIFY2(roomBelow < firstLine.height(),
                             qPrintable(QStringLiteral("%1 px, %2 names: %3 px free below")
                                            .arg(pixels)
                                            .arg(names)
                                            .arg(roomBelow)));
                else
                    QVERIFY2(lastLine.bottom() < memo->viewport()->height() ||
                                 memo->verticalScrollBar()->value() == 0,
                             "the last name is hidden while the first shows");
            }
        }
    }

    void goingAboveASubFolderMakesTheChosenFolderTheChoiceAgain() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        dialog->DirectoryListBox1->OpenEntry(4); // Docs
        settle();
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data\\Docs"));
        writeFile(backupData() / "new.txt", "n"); // seen only if the chosen folder is counted again
        dialog->DirectoryListBox1->OpenEntry(2);  // 2004_5_1_Back, above Data
        settle();
        QCOMPARE(dialog->DirectoryListBox1->Directory(),
                 std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->RestoreSource(), std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data"));
        QCOMPARE(dialog->Panel1->caption(), ansi(u8" 原備份資料夾：E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.29MB(6個檔案)"));
    }

    void goingAboveTheChosenFolderIsRefused() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        std::string chosen = dialog->DirectoryListBox1->Directory();
        writeFile(backupData() / "new.txt", "n");
        dialog->DirectoryListBox1->OpenEntry(1); // Bak
        settle();
        QCOMPARE(dialog->DirectoryListBox1->Directory(), chosen);
        // Counted again, and for the chosen folder, not for Bak.
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.29MB(6個檔案)"));
        // A click above only selects; it is put back on the chosen folder.
        dialog->DirectoryListBox1->SetItemIndex(0);
        dialog->DirectoryListBox1Click();
        QCOMPARE(dialog->DirectoryListBox1->ItemIndex(), 3);
        QVERIFY(messages->calls().size() == 1); // the backup's message only
    }

    void backupsAreListedNewestFirstAndFoundByTheirWholeNumber() {
        fs::create_directories(recover());
        std::string catalog;
        for (int n = 1; n <= 11; ++n)
            catalog +=
                "E:\\Bak\\<" + std::to_string(n) + ">2004_5_" + std::to_string(n) + "_Back\r\n";
        writeFile(recover() / "BackupDir.ini", catalog);
        writeFile(recover() / "1.ini", "2004_5_1_Back1_One.ini\r\n");
        writeFile(recover() / "10.ini",
                  "2004_5_10_Back10_Ten.ini\r\n2004_5_10_Back10_More.ini\r\n");
        open();
        QCOMPARE(dialog->ListView1->RowCount(), 11);
        QCOMPARE(dialog->ListView1->SubItem(0, 0), std::string("11"));
        QCOMPARE(dialog->ListView1->SubItem(1, 0), std::string("10"));
        QCOMPARE(dialog->ListView1->SubItem(2, 0), std::string("9"));
        QCOMPARE(dialog->ListView1->Caption(1), std::string("2004_5_10_Back"));
        chooseBackup(1);
        QCOMPARE(dialog->ListView2->RowCount(), 2);
        QCOMPARE(dialog->ListView2->Caption(0), std::string("Ten"));
        QCOMPARE(dialog->ListView2->Caption(1), std::string("More"));
        chooseBackup(2); // 9.ini is missing
        QCOMPARE(dialog->ListView2->RowCount(), 0);
        QCOMPARE(texts(), (std::vector<std::string>{ansi(
                              u8"還原點9尚未完成（記錄時中斷了）；同一天再備份一次到同一個目地資"
                              u8"料夾，就會補齊")}));
    }

    void aRestorePointCutShortIsToldUntilTheNextBackupCompletesIt() {
        const std::string notCompleted = ansi(u8"還原點1尚未完成（記錄時中斷了）；同一天再備份一次"
                                              u8"到同一個目地資料夾，就會補齊");
        makeSource();
        backUp();
        // A full disk stopped the recording before the restore point's own file.
        fs::remove(recover() / "1.ini");
        messages->clear();
        open();
        chooseBackup(0);
        QCOMPARE(dialog->ListView2->RowCount(), 0);
        QCOMPARE(texts(), std::vector<std::string>{notCompleted});

        // Something that is there but cannot be read is not unfinished: it is named.
        fs::create_directories(recover() / "1.ini");
        messages->clear();
        dialog->ListView1->SelectRow(0);
        emit dialog->ListView1->Click(); // through the handler's guard, as a user's click
        QCOMPARE(texts(),
                 std::vector<std::string>{
                     ansi(u8"無法讀取：C:\\Program Files\\Tarnwick2004\\Recover\\1.ini（") +
                     ansi(u8"是資料夾，不是檔案）")});
        fs::remove(recover() / "1.ini");

        // The next backup of that day completes it.
        dialog->close();
        backUp();
        messages->clear();
        open();
        chooseBackup(0);
        QCOMPARE(texts(), std::vector<std::string>{});
        QCOMPARE(dialog->ListView2->RowCount(), 1);
        QCOMPARE(dialog->ListView2->Caption(0), std::string("Data"));
    }

    void everyFaultHasItsMessage() {
        // Nothing listed at all.
        dialog->show();
        dialog->DirectoryListBox1Click();
        makeSource();
        backUp();
        messages->clear();
        dialog->close();
        open();
        dialog->ListView1Click(); // no row chosen
        dialog->DirectoryListBox1Click();
        chooseBackup(0);
        dialog->ListView2Click(); // no row chosen
        dialog->DirectoryListBox1Click();
        QCOMPARE(texts(),
                 (std::vector<std::string>{ansi(u8"請點選 備份名稱 欄位!!"),
                                           ansi(u8"您必須點選　〔備份名稱〕　及　〔資料夾名稱〕"),
                                           ansi(u8"請點選有 〔資料夾名稱〕 的欄位!!"),
                                           ansi(u8"您必須點選〔資料夾名稱〕")}));

        // The folder list file is gone: said so, and nothing can be restored to nowhere.
        messages->clear();
        fs::rename(recover() / "2004_5_1_Back1_Data.ini", recover() / "aside");
        chooseFolder(0);
        QCOMPARE(texts(), (std::vector<std::string>{ansi(u8"檔案清單1有誤")}));
        QVERIFY(!dialog->BitBtn1->isEnabled());
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾："));
        emit dialog->BitBtn1->clicked();
        settle();
        QVERIFY(!fs::exists(drives->driveFolder('e') / "top.txt"));
        fs::rename(recover() / "aside", recover() / "2004_5_1_Back1_Data.ini");

        // The backup folder is gone: said so, and nothing can be started.
        messages->clear();
        dialog->close();
        open();
        chooseBackup(0);
        fs::rename(drives->driveFolder('e') / "Bak" / "2004_5_1_Back",
                   drives->driveFolder('e') / "Moved");
        chooseFolder(0);
        QCOMPARE(texts(), (std::vector<std::string>{ansi(u8"原備份資料夾已不存在了!!")}));
        QVERIFY(!dialog->BitBtn1->isEnabled());
    }

    void aFileListThatCannotBeReadIsNamedAndNothingRestored() {
        makeSource();
        backUp();
        messages->clear();
        const std::string folder = "C:\\Program Files\\Tarnwick2004\\Recover\\";
        auto error = [](const std::string& path, const char8_t* reason) {
            return std::vector<toolkit::MessageBoxCall>{
                {toolkit::MessageBoxKind::Error, "Tarnwick",
                 ansi(u8"無法讀取：") + path + ansi(u8"（") + ansi(reason) + ansi(u8"）")}};
        };
        auto same = [](const std::vector<toolkit::MessageBoxCall>& calls,
                       const std::vector<toolkit::MessageBoxCall>& expected) {
            return std::equal(calls.begin(), calls.end(), expected.begin(), expected.end(),
                              [](const auto& a, const auto& b) {
                                  return a.kind == b.kind && a.caption == b.caption &&
                                         a.text == b.text;
                              });
        };

        // The restore point's file: its folders are not listed, nor those of another backup.
        open();
        chooseBackup(0);
        QCOMPARE(dialog->ListView2->RowCount(), 1);
        faults::failReadAt(folder + "1.ini", 10, EIO);
        dialog->ListView1->SelectRow(0);
        emit dialog->ListView1->Click(); // through the handler's guard, as a user's click
        faults::clear();
        QVERIFY(same(messages->calls(), error(folder + "1.ini", u8"磁碟讀寫錯誤")));
        QCOMPARE(dialog->ListView2->RowCount(), 0);

        // The folder list: a folder chosen before is not left ready to restore.
        chooseBackup(0);
        chooseFolder(0);
        QVERIFY(dialog->BitBtn1->isEnabled());
        messages->clear();
        std::string listFile = folder + "2004_5_1_Back1_Data.ini";
        faults::failAt("open", listFile, EACCES);
        dialog->ListView2->SelectRow(0);
        emit dialog->ListView2->Click();
        settle();
        faults::clear();
        QVERIFY(same(messages->calls(), error(listFile, u8"存取被拒")));
        QVERIFY(!dialog->BitBtn1->isEnabled());
        QCOMPARE(dialog->RestoreTarget(), std::string());
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾："));
        fs::remove(data() / "top.txt");
        emit dialog->BitBtn1->clicked();
        settle();
        QVERIFY(!fs::exists(data() / "top.txt"));
    }

    void aRestoreCutShortShowsNothingAndThenFinishes() {
        for (int i = 0; i < 3000; ++i)
            writeFile(data() / ("f" + std::to_string(10000 + i)), "r");
        backUp();
        fs::remove_all(data());
        open();
        chooseBackup(0);
        chooseFolder(0);
        size_t before = messages->calls().size();
        emit dialog->BitBtn1->clicked();
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(data()) && !fs::is_empty(data()), 20000);
        dialog->close();
        settle();
        QTest::qWait(50);
        QCOMPARE(messages->calls().size(), before);
        size_t restored = static_cast<size_t>(std::distance(fs::directory_iterator(data()), {}));
        QVERIFY2(restored < 3000, "the restore was not cut short");

        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        QCOMPARE(static_cast<size_t>(std::distance(fs::directory_iterator(data()), {})),
                 size_t{3000});
        QCOMPARE(dialog->ProgressBar1->value(), 3000);
    }

    void filesThatCannotGoBackAreNamedAtTheEnd() {
        makeSource();
        backUp();
        fs::remove_all(data() / "Docs");
        writeFile(data() / "Docs", "a file where the folder was");
        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        QCOMPARE(readFile(data() / "Docs"), std::string("a file where the folder was"));
        std::string text = messages->calls().back().text;
        QVERIFY2(
            text.starts_with(ansi(u8"您所指定的檔案已還原完成!!\n\n但有 3 個檔案無法還原：\n")),
            text.c_str());
        QVERIFY(text.find("E:\\Bak\\2004_5_1_Back\\Data\\Docs\\letter.doc") != std::string::npos);
        QVERIFY(text.find("keep.txt") == std::string::npos); // there already: no failure
    }

    void aBackupFolderGoneBeforeTheCopyIsSaid() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        fs::rename(drives->driveFolder('e') / "Bak" / "2004_5_1_Back",
                   drives->driveFolder('e') / "Moved");
        messages->clear();
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE(messages->calls().size(), size_t{1});
        QCOMPARE(texts(), (std::vector<std::string>{
                              ansi(u8"無法讀取原備份資料夾：E:\\Bak\\2004_5_1_Back\\Data")}));
        QVERIFY(!fs::exists(data() / "top.txt") || readFile(data() / "top.txt") == "top");
    }

    void aFolderWithoutFilesCompletes() {
        fs::create_directories(data() / "A" / "B");
        backUp();
        fs::remove_all(data());
        open();
        chooseBackup(0);
        chooseFolder(0);
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.00MB(0個檔案)"));
        restoreToTheEnd();
        QVERIFY(fs::is_directory(data() / "A" / "B"));
        QCOMPARE(messages->calls().back().caption, ansi(u8"還原完成"));
    }

    void restoreNeverWritesThroughLinks() {
        writeFile(data() / "top.txt", "top");
        writeFile(data() / "Docs" / "letter.doc", "letter");
        writeFile(data() / "Docs" / "Inner" / "i.txt", "inner");
        writeFile(data() / "Sub2" / "s2.txt", "two");
        writeFile(data() / "Other" / "o.txt", "other");
        backUp();
        // Since the backup, links have taken two folders' places, leading out of the drives: one
        // by an absolute path, one by a relative one.
        fs::path outside = drives->base() / "outside";
        fs::path outside2 = drives->base() / "outside2";
        fs::create_directories(outside);
        fs::create_directories(outside2);
        fs::remove_all(data() / "Docs");
        fs::remove_all(data() / "Sub2");
        fs::create_directory_symlink(outside, data() / "Docs");
        fs::create_directory_symlink("../../outside2", data() / "Sub2");
        QVERIFY(fs::equivalent(data() / "Sub2", outside2));
        fs::remove(data() / "top.txt");
        fs::remove(data() / "Other" / "o.txt");

        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        QCOMPARE(readFile(data() / "top.txt"), std::string("top"));
        QCOMPARE(readFile(data() / "Other" / "o.txt"), std::string("other"));
        QVERIFY(fs::is_empty(outside));
        QVERIFY(fs::is_empty(outside2));
        QVERIFY(fs::is_symlink(data() / "Docs"));
        QCOMPARE(fs::read_symlink(data() / "Docs").string(), outside.string());
        QVERIFY(fs::is_symlink(data() / "Sub2"));
        QCOMPARE(fs::read_symlink(data() / "Sub2").string(), std::string("../../outside2"));
        const std::string copy = "E:\\Bak\\2004_5_1_Back\\Data\\";
        const std::string noFolder = ansi(u8"（目標資料夾無法使用）");
        const std::string isLink = ansi(u8"（此處是連結，不是資料夾）");
        QCOMPARE(messages->calls().back().caption, ansi(u8"還原完成"));
        QCOMPARE(messages->calls().back().text,
                 ansi(u8"您所指定的檔案已還原完成!!\n\n但有 3 個檔案無法還原：\n") + copy +
                     "Docs\\letter.doc" + noFolder + "\n" + copy + "Docs\\Inner\\i.txt" + noFolder +
                     "\n" + copy + "Sub2\\s2.txt" + noFolder +
                     ansi(u8"\n\n另有 2 個資料夾無法完整還原：\n") + "D:\\Data\\Docs" + isLink +
                     "\nD:\\Data\\Sub2" + isLink);

        // The folder a link stands in for chosen itself, or a folder below it: nothing is made
        // or copied, and the user is told which folder is in the way.
        const std::vector<std::vector<std::string>> choices = {
            {"Docs"}, {"Docs", "Inner"}, {"Sub2"}};
        for (const std::vector<std::string>& choice : choices) {
            chooseFolder(0);
            std::string target = "D:\\Data";
            for (const std::string& name : choice) {
                QVERIFY(goInto(name));
                target += "\\" + name;
            }
            QCOMPARE(dialog->RestoreTarget(), target);
            restoreToTheEnd();
            QCOMPARE(messages->calls().back().text,
                     ansi(u8"無法建立欲還原資料夾：") + "D:\\Data\\" + choice.front() + isLink);
            QVERIFY(fs::is_empty(outside));
            QVERIFY(fs::is_empty(outside2));
        }
        QVERIFY(fs::is_symlink(data() / "Docs"));
        QVERIFY(fs::is_symlink(data() / "Sub2"));
    }

    void deepTreesAreRestoredWhole_data() {
        QTest::addColumn<int>("levels");
        QTest::newRow("twelve levels") << 12;
        QTest::newRow("forty levels, a side folder after the long chain") << 40;
    }

    void deepTreesAreRestoredWhole() {
        QFETCH(int, levels);
        // D:\Data is level 1; every level holds a file of bytes of its own, the deepest a large
        // one.
        fs::path folder = data();
        for (int level = 1; level <= levels; ++level) {
            std::string bytes(level == levels ? size_t{200000} : size_t(37 * level), '\0');
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>((i * 31 + static_cast<size_t>(level)) & 0xFF);
            writeFile(folder / ("f" + std::to_string(level) + ".bin"), bytes);
            if (level < levels)
                folder /= "L" + std::to_string(level + 1);
        }
        // Its turn comes after the whole chain below L2: the restore climbs back up to it.
        writeFile(data() / "L2" / "Side" / "side.txt", "side");
        std::map<std::string, std::string> original = treeContents(data());
        backUp();
        std::string missing = differences(original, treeContents(backupCopy()));
        QVERIFY2(missing.empty(), missing.c_str());
        fs::remove_all(data());

        open();
        chooseBackup(0);
        chooseFolder(0);
        QCOMPARE(dialog->Job().FileTotal(), int64_t{levels} + 1);
        restoreToTheEnd();
        QCOMPARE(messages->calls().back().text, ansi(u8"您所指定的檔案已還原完成!!"));
        std::string changed = differences(original, treeContents(data()));
        QVERIFY2(changed.empty(), changed.c_str());
        QCOMPARE(dialog->Panel6->caption(), std::to_string(levels + 1));
    }

    void unreadableAndUnnamedFoldersAreNamed() {
        writeFile(data() / "top.txt", "top");
        writeFile(data() / "Docs" / "note.txt", "note");
        writeFile(data() / "Locked" / "secret.txt", "secret");
        backUp();
        // A folder whose host name (Korean) has no code page 950 form, put into the backup by
        // another system, and a folder the restore may not list.
        writeFile(backupCopy() / "Docs" / "\xed\x95\x9c" / "inside.txt", "inside");
        faults::failAt("opendir", "/2004_5_1_Back/Data/Locked", EACCES);
        fs::remove_all(data());

        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        faults::clear();
        QCOMPARE(readFile(data() / "top.txt"), std::string("top"));
        QCOMPARE(readFile(data() / "Docs" / "note.txt"), std::string("note"));
        // Nothing is made under a stand-in name such as "?".
        QCOMPARE(namesIn(data() / "Docs"), std::vector<std::string>{"note.txt"});
        QVERIFY(!fs::exists(data() / "Locked" / "secret.txt"));
        const std::string copy = "E:\\Bak\\2004_5_1_Back\\Data\\";
        QCOMPARE(messages->calls().back().caption, ansi(u8"還原完成"));
        QCOMPARE(messages->calls().back().text,
                 ansi(u8"您所指定的檔案已還原完成!!\n\n另有 2 個資料夾無法完整還原：\n") + copy +
                     "Docs\\?" + ansi(u8"（名稱含有此系統無法表示的字元）\n") + copy + "Locked" +
                     ansi(u8"（存取被拒）"));
        // The box shows beside the "?" the name the host has, so that the folder can be found.
        QVERIFY2(messages->calls().back().hostText.find(
                     copy + "Docs\\?（名稱含有此系統無法表示的字元） [\xed\x95\x9c]\n") !=
                     std::string::npos,
                 messages->calls().back().hostText.c_str());
    }

    void theFolderThatEndsWithTheChoiceIsRestoredInto() {
        // D:\Data\Sub\Data is backed up as "Data"; the path text of its sub-folder Sub,
        // "\Data\Sub", is held by the source's own line too.
        fs::path source = data() / "Sub" / "Data";
        writeFile(source / "top.txt", "top");
        writeFile(source / "Sub" / "s.txt", "sub");
        backUp("D:\\Data\\Sub\\Data");
        fs::remove(source / "top.txt");
        fs::remove_all(source / "Sub");

        open();
        chooseBackup(0);
        QCOMPARE(dialog->ListView2->Caption(0), std::string("Data"));
        chooseFolder(0);
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data\\Sub\\Data"));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾：D:\\Data\\Sub"));
        QVERIFY(goInto("Sub"));
        QCOMPARE(dialog->DirectoryListBox1->Directory(),
                 std::string("E:\\Bak\\2004_5_1_Back\\Data\\Sub"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data\\Sub\\Data\\Sub"));
        QCOMPARE(dialog->Panel2->caption(), ansi(u8" 欲還原資料夾：D:\\Data\\Sub\\Data"));
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.00MB(1個檔案)"));
        restoreToTheEnd();
        QCOMPARE(messages->calls().back().text, ansi(u8"您所指定的檔案已還原完成!!"));
        QCOMPARE(readFile(source / "Sub" / "s.txt"), std::string("sub"));
        QCOMPARE(namesIn(source / "Sub"), std::vector<std::string>{"s.txt"});
        QCOMPARE(namesIn(source), std::vector<std::string>{"Sub"}); // top.txt was not chosen
        QCOMPARE(namesIn(data() / "Sub"), std::vector<std::string>{"Data"});
        QCOMPARE(namesIn(data()), std::vector<std::string>{"Sub"});
    }

    void temporaryNamesAreNeverRestored_data() {
        QTest::addColumn<bool>("namedTemporaries");
        QTest::newRow("unnamed files") << false;
        QTest::newRow("named temporaries, as on FAT") << true;
    }

    void temporaryNamesAreNeverRestored() {
        QFETCH(bool, namedTemporaries);
        writeFile(data() / "a.txt", "aaa");
        writeFile(data() / "Sub" / "b.txt", "bb");
        writeFile(data() / "notes.tw5-1.tmp", "the user's own"); // without the leading dot
        backUp();
        // What a copy killed on a disk without unnamed files leaves; no process has this id.
        writeFile(backupCopy() / ".a.txt.tw99999999-3.tmp", "half of a");
        writeFile(backupCopy() / "Sub" / ".b.txt.tw99999999-0.tmp", "half of b");
        fs::remove_all(data());
        // And what a restore killed where it had no unnamed files left in its target.
        writeFile(data() / "Sub" / ".b.txt.tw99999999-9.tmp", "half of b, restored");
        if (namedTemporaries)
            faults::failAt("tmpfile", "", EOPNOTSUPP); // for every name

        open();
        chooseBackup(0);
        chooseFolder(0);
        QCOMPARE(dialog->Job().FileTotal(), int64_t{3});
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.00MB(3個檔案)"));
        QCOMPARE(dialog->ProgressBar1->maximum(), 3);
        restoreToTheEnd();
        faults::clear();
        QCOMPARE(messages->calls().back().text, ansi(u8"您所指定的檔案已還原完成!!"));
        QCOMPARE(namesIn(data()), (std::vector<std::string>{"Sub", "a.txt", "notes.tw5-1.tmp"}));
        QCOMPARE(namesIn(data() / "Sub"), std::vector<std::string>{"b.txt"});
        QCOMPARE(readFile(data() / "a.txt"), std::string("aaa"));
        QCOMPARE(readFile(data() / "notes.tw5-1.tmp"), std::string("the user's own"));
        QCOMPARE(readFile(data() / "Sub" / "b.txt"), std::string("bb"));
        QCOMPARE(dialog->Panel6->caption(), std::string("3"));
        QCOMPARE(memoLines(*dialog->Memo1),
                 (std::vector<std::string>{"a.txt", "notes.tw5-1.tmp", "b.txt"}));
    }

    void nothingOutsideTheTargetChanges() {
        fs::path outside = drives->base() / "outside";
        fs::create_directories(outside);
        writeFile(drives->driveFolder('d') / "Other" / "o.txt", "beside the source");
        writeFile(data() / "a.txt", "a");
        writeFile(data() / "Keep" / "k.txt", "k");
        writeFile(data() / "Keep" / "Inner" / "ki.txt", "ki");
        writeFile(data() / "Deep" / "More" / "m.txt", "m");
        writeFile(data() / "Nest" / "n0.txt", "n0");
        writeFile(data() / "Nest" / "Sub" / "n.txt", "n");
        // Links leading everywhere: backed up and restored as links, never gone into.
        fs::path links = data() / "Links";
        const std::vector<std::pair<std::string, fs::path>> pointers = {
            {"up", ".."},
            {"driveRoot", drives->driveFolder('d')},
            {"sibling", "../../Other"},
            {"hostRoot", "/"},
            {"intoBase", outside},
            {"dangling", "gone/nowhere"}};
        fs::create_directories(links);
        for (const auto& [name, target] : pointers)
            fs::create_symlink(target, links / name);
        backUp();
        // Since then links have taken folders' places: to the source's sibling, out of the
        // drives, and one level further down out of the drives by a relative path.
        fs::remove(data() / "a.txt");
        fs::remove(data() / "Nest" / "n0.txt");
        fs::remove_all(links);
        fs::remove_all(data() / "Keep");
        fs::create_directory_symlink("../Other", data() / "Keep");
        fs::remove_all(data() / "Deep");
        fs::create_directory_symlink(outside, data() / "Deep");
        fs::remove_all(data() / "Nest" / "Sub");
        fs::create_directory_symlink("../../../outside", data() / "Nest" / "Sub");
        QVERIFY(fs::equivalent(data() / "Nest" / "Sub", outside));

        // Everything but the target and the program's own folder.
        const std::vector<fs::path> leftOut = {data(), drives->driveFolder('c') / "Program Files"};
        std::map<std::string, std::string> before = treeState(drives->base(), leftOut);
        open();
        chooseBackup(0);
        chooseFolder(0);
        restoreToTheEnd();
        std::string changed = differences(before, treeState(drives->base(), leftOut));
        QVERIFY2(changed.empty(), changed.c_str());

        QCOMPARE(readFile(data() / "a.txt"), std::string("a"));
        QCOMPARE(readFile(data() / "Nest" / "n0.txt"), std::string("n0"));
        QCOMPARE(fs::read_symlink(data() / "Keep").string(), std::string("../Other"));
        QCOMPARE(fs::read_symlink(data() / "Deep").string(), outside.string());
        QCOMPARE(fs::read_symlink(data() / "Nest" / "Sub").string(),
                 std::string("../../../outside"));
        for (const auto& [name, target] : pointers) {
            QVERIFY2(fs::is_symlink(links / name), name.c_str());
            QCOMPARE(fs::read_symlink(links / name).string(), target.string());
        }
        const std::string isLink = ansi(u8"（此處是連結，不是資料夾）");
        std::string text = messages->calls().back().text;
        QVERIFY2(text.starts_with(ansi(u8"您所指定的檔案已還原完成!!\n\n但有 4 個檔案無法還原：")),
                 text.c_str());
        QVERIFY2(text.ends_with(ansi(u8"\n\n另有 3 個資料夾無法完整還原：\n") + "D:\\Data\\Deep" +
                                isLink + "\nD:\\Data\\Keep" + isLink + "\nD:\\Data\\Nest\\Sub" +
                                isLink),
                 text.c_str());
    }

    void restoredNamesAreNeverMergedAway() {
        NamesLog log;
        walk::JobChannel<restore::RestoreProgress, NamesLog> channel(log);
        channel.beginPass();
        std::vector<std::string> expected;
        for (int i = 0; i < 3000; ++i) {
            restore::RestoreProgress progress;
            progress.restoredNames.push_back("n" + std::to_string(i));
            expected.push_back(progress.restoredNames.back());
            channel.publish(std::move(progress));
        }
        channel.flush();
        QTRY_COMPARE(log.names.size(), expected.size());
        QCOMPARE(log.names, expected);
        QVERIFY(log.updates < 100); // merged all the same
    }
};

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
