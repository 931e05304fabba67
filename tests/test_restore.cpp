#include "support/testdrives.h"

#include "backup/tform2.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "restore/tform3.h"
#include "store/backupstore.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"
#include "widgets/panel.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <filesystem>

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
            lines.push_back(platform::fromQString(line));
    return lines;
}

} // namespace

class TestRestore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    std::unique_ptr<testsupport::MessageRecorder> messages;
    std::unique_ptr<TForm3> dialog;

    fs::path data() { return drives->driveFolder('d') / "Data"; }
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

    // A whole backup of D:\Data into E:\Bak through the backup dialog.
    void backUp() {
        fs::create_directories(drives->driveFolder('e') / "Bak");
        BackupStore store;
        store.CreateFolders();
        store.WriteSettings("D:\\Data", "E:\\Bak");
        TForm2 backup(nullptr);
        backup.Timer1->setInterval(1);
        backup.PrepareBackup({store.SettingsFilePath(), {}, store.EnsureRecordCount()});
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
        dialog->FillBackupList(*BackupStore().ReadCatalog());
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

    void restoreToTheEnd() {
        size_t before = messages->calls().size();
        emit dialog->BitBtn1->clicked();
        QTRY_COMPARE_WITH_TIMEOUT(messages->calls().size(), before + 1, 20000);
        settle();
    }

    std::vector<std::string> texts() {
        std::vector<std::string> all;
        for (const platform::MessageBoxCall& call : messages->calls())
            all.push_back(call.text);
        return all;
    }

private slots:
    void init() {
        drives = std::make_unique<testsupport::TestDrives>();
        messages = std::make_unique<testsupport::MessageRecorder>();
        platform::setTodayForTesting(year(2004) / May / 1);
        dialog = std::make_unique<TForm3>(nullptr);
    }
    void cleanup() {
        dialog.reset();
        platform::setTodayForTesting(std::nullopt);
        messages.reset();
        drives.reset();
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
        QCOMPARE(dialog->Job().CountPassesRun(), 1);

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

        std::vector<platform::MessageBoxCall> calls = messages->calls();
        QCOMPARE(calls.size(), size_t{1});
        QCOMPARE(calls[0].kind, platform::MessageBoxKind::System);
        QCOMPARE(calls[0].caption, ansi(u8"還原完成"));
        QCOMPARE(calls[0].text, ansi(u8"您所指定的檔案已還原完成!!"));
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

    void goingAboveASubFolderMakesTheChosenFolderTheChoiceAgain() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        dialog->DirectoryListBox1->OpenEntry(4); // Docs
        settle();
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data\\Docs"));
        int64_t counts = dialog->Job().CountPassesRun();
        dialog->DirectoryListBox1->OpenEntry(2); // 2004_5_1_Back, above Data
        settle();
        QCOMPARE(dialog->DirectoryListBox1->Directory(),
                 std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->RestoreSource(), std::string("E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->RestoreTarget(), std::string("D:\\Data"));
        QCOMPARE(dialog->Panel1->caption(), ansi(u8" 原備份資料夾：E:\\Bak\\2004_5_1_Back\\Data"));
        QCOMPARE(dialog->Job().CountPassesRun(), counts + 1);
        QCOMPARE(dialog->Panel4->caption(), ansi(u8" 檔案大小：0.29MB(5個檔案)"));
    }

    void goingAboveTheChosenFolderIsRefused() {
        makeSource();
        backUp();
        open();
        chooseBackup(0);
        chooseFolder(0);
        std::string chosen = dialog->DirectoryListBox1->Directory();
        int counts = static_cast<int>(dialog->Job().CountPassesRun());
        dialog->DirectoryListBox1->OpenEntry(1); // Bak
        settle();
        QCOMPARE(dialog->DirectoryListBox1->Directory(), chosen);
        QCOMPARE(dialog->Job().CountPassesRun(), counts + 1); // one count, for the chosen folder
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
        QCOMPARE(texts(), (std::vector<std::string>{ansi(u8"檔案清單9有誤")}));
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

        // The backup folder is gone: said so, and nothing is counted.
        messages->clear();
        dialog->close();
        open();
        chooseBackup(0);
        fs::rename(drives->driveFolder('e') / "Bak" / "2004_5_1_Back",
                   drives->driveFolder('e') / "Moved");
        int64_t counts = dialog->Job().CountPassesRun();
        chooseFolder(0);
        QCOMPARE(texts(), (std::vector<std::string>{ansi(u8"原備份資料夾已不存在了!!")}));
        QCOMPARE(dialog->Job().CountPassesRun(), counts);
        QVERIFY(!dialog->BitBtn1->isEnabled());
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
        while (!fs::exists(data()) || fs::is_empty(data()))
            QTest::qWait(1);
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
};

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
