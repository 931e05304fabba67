#include "support/testdrives.h"

#include "platform/codepage.h"
#include "platform/programerror.h"
#include "store/backupstore.h"
#include "store/textmode.h"

#include <QElapsedTimer>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::folderNames;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const std::string kSourceKeyBytes = "\xB3\xC6\xA5\xF7\xA8\xD3\xB7\xBD\xA5\xD8\xBF\xFD\x3D";
const std::string kDestKeyBytes = "\xB3\xC6\xA5\xF7\xA5\xD8\xBC\xD0\xA5\xD8\xBF\xFD\x3D";

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TestDrives> drives;
    fs::path programFolder() { return drives->host(u8"C:\\Program Files\\Tarnwick2004"); }
    fs::path recover() { return programFolder() / "Recover"; }

private slots:
    void init() { drives = std::make_unique<testsupport::TestDrives>(); }
    void cleanup() { drives.reset(); }

    void firstBackupLeavesExactlyTheseBytes() {
        // What confirming the folders does, then what a completed backup records, in order.
        BackupStore store;
        store.CreateFolders();
        QVERIFY(store.WriteSettings("C:\\Data", "D:\\Bak"));
        QCOMPARE(store.SettingsFilePath(),
                 std::string("C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"));
        QCOMPARE(store.EnsureRecordCount(), 0);
        QCOMPARE(readFile(programFolder() / "TotalCount.ini"), std::string("0"));
        std::string backupName = FormBackupName("2004/5/1");
        QVERIFY(!store.ReadCatalog());
        int number = 0 + 1;
        QVERIFY(store.WriteCatalog({BackupStore::RecordText("D:\\Bak", number, backupName)}));
        QVERIFY(store.WriteRecordCount(number));
        QVERIFY(store.WriteFolderList(backupName, number, "Data", "C:\\Data\nC:\\Data\\Sub\n"));
        QVERIFY(store.WritePointFile(number, {"2004_5_1_Back1_Data.ini"}));

        std::string settings = readFile(programFolder() / "SystemBackRD.ini");
        QCOMPARE(settings.size(), size_t{43});
        QCOMPARE(settings, kSourceKeyBytes + "C:\\Data\r\n" + kDestKeyBytes + "D:\\Bak\r\n");
        QCOMPARE(readFile(programFolder() / "TotalCount.ini"), std::string("1"));
        std::string catalog = readFile(recover() / "BackupDir.ini");
        QCOMPARE(catalog.size(), size_t{25});
        QCOMPARE(catalog, std::string("D:\\Bak\\<1>2004_5_1_Back\r\n"));
        QCOMPARE(readFile(recover() / "1.ini"), std::string("2004_5_1_Back1_Data.ini\r\n"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"),
                 std::string("C:\\Data\r\nC:\\Data\\Sub\r\n"));
        // Nothing else, no temporary file left behind.
        QCOMPARE(folderNames(recover()),
                 (std::vector<std::string>{"1.ini", "2004_5_1_Back1_Data.ini", "BackupDir.ini"}));
        QCOMPARE(folderNames(programFolder()),
                 (std::vector<std::string>{"Recover", "SystemBackRD.ini", "TotalCount.ini"}));
    }

    void settingsAreReadByTheirRules() {
        BackupStore store;
        store.CreateFolders();
        QVERIFY(!store.ReadSettings());
        fs::path file = programFolder() / "SystemBackRD.ini";

        store.WriteSettings("C:\\Data", "D:");
        QCOMPARE(store.ReadSettings()->sourceDir, std::string("C:\\Data"));
        QCOMPARE(store.ReadSettings()->destDir, std::string("D:"));

        // The value is the text after the last "=" of its line.
        writeFile(file, kSourceKeyBytes + "C:\\a=b\r\n" + kDestKeyBytes + "D:\\x=y=z\r\n");
        QCOMPARE(store.ReadSettings()->sourceDir, std::string("b"));
        QCOMPARE(store.ReadSettings()->destDir, std::string("z"));

        // Later lines run into line 2; a line without "=" is its own value; bytes after the
        // last line feed count; a lone CR is kept.
        writeFile(file, "C:\\Src\r\nkey=D:\\Dst\r\nmore\r\nlast");
        QCOMPARE(store.ReadSettings()->sourceDir, std::string("C:\\Src"));
        QCOMPARE(store.ReadSettings()->destDir, std::string("D:\\Dstmorelast"));
        writeFile(file, "a=C:\\x\ry\r\n");
        QCOMPARE(store.ReadSettings()->sourceDir, std::string("C:\\x\ry"));
        QCOMPARE(store.ReadSettings()->destDir, std::string());

        writeFile(file, "");
        QCOMPARE(store.ReadSettings()->sourceDir, std::string());
    }

    void settingsOfAnyLengthRoundTrip() {
        BackupStore store;
        store.CreateFolders();
        std::string longSource = "C:\\" + std::string(300, 'a') + "\\" + ansi(u8"資料夾");
        std::string longDest = "D:\\" + std::string(250, 'b');
        QVERIFY(store.WriteSettings(longSource, longDest));
        QCOMPARE(store.ReadSettings()->sourceDir, longSource);
        QCOMPARE(store.ReadSettings()->destDir, longDest);
    }

    void recordCountIsReadOrStarted() {
        BackupStore store;
        store.CreateFolders();
        fs::path file = programFolder() / "TotalCount.ini";
        QCOMPARE(store.EnsureRecordCount(), 0);
        QCOMPARE(readFile(file), std::string("0"));
        writeFile(file, "1");
        QCOMPARE(store.EnsureRecordCount(), 1);
        writeFile(file, "12\r\n");
        QCOMPARE(store.EnsureRecordCount(), 12);
        store.WriteRecordCount(13);
        QCOMPARE(readFile(file), std::string("13"));
    }

    void badRecordCountGivesTheConversionMessage_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("empty") << QByteArray("") << QByteArray("'' is not a valid integer value");
        QTest::newRow("letters") << QByteArray("1a")
                                 << QByteArray("'1a' is not a valid integer value");
        QTest::newRow("two lines") << QByteArray("1\r\n2") << QByteArray("'12'");
        QTest::newRow("too big") << QByteArray("4294967296")
                                 << QByteArray("'4294967296' is not a valid integer value");
        QTest::newRow("blank") << QByteArray(" 3")
                               << QByteArray("' 3' is not a valid integer value");
        // Counts no next record can follow: a negative one would reuse a number, the largest
        // one would wrap.
        std::string badCount =
            ansi(u8"還原點數目有誤：C:\\Program Files\\Tarnwick2004\\TotalCount.ini");
        std::string range = ansi(u8"（應為 0 到 2147483646 之間的整數）");
        QTest::newRow("negative") << QByteArray("-5")
                                  << QByteArray::fromStdString(badCount + " '-5'" + range);
        QTest::newRow("the largest")
            << QByteArray("2147483647")
            << QByteArray::fromStdString(badCount + " '2147483647'" + range);
        // Megabytes of digits: damaged, said in a line, and read no further.
        QTest::newRow("huge") << QByteArray(2 << 20, '7')
                              << QByteArray::fromStdString(ansi(
                                     u8"檔案已損壞，無法讀取：C:\\Program Files\\"
                                     u8"Tarnwick2004\\TotalCount.ini（檔案大小超出正常範圍）"));
    }

    void badRecordCountGivesTheConversionMessage() {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArray, message);
        BackupStore store;
        store.CreateFolders();
        writeFile(programFolder() / "TotalCount.ini", contents.toStdString());
        if (message == "'12'") { // two lines join into one number
            QCOMPARE(store.EnsureRecordCount(), 12);
            return;
        }
        try {
            store.EnsureRecordCount();
            QFAIL("no error");
        } catch (const ProgramError& error) {
            QCOMPARE(QByteArray(error.what()), message);
        }
        // The file is left as it was.
        QCOMPARE(readFile(programFolder() / "TotalCount.ini"), contents.toStdString());
    }

    void damagedCatalogsAreRefusedQuickly() {
        BackupStore store;
        store.CreateFolders();
        // 256 MiB of zero bytes: refused without being read.
        writeFile(recover() / "BackupDir.ini", "");
        fs::resize_file(recover() / "BackupDir.ini", 256 << 20);
        QElapsedTimer timer;
        timer.start();
        try {
            store.ReadCatalog();
            QFAIL("no error");
        } catch (const ProgramError& error) {
            QCOMPARE(std::string(error.what()),
                     ansi(u8"檔案已損壞，無法讀取：C:\\Program Files\\Tarnwick2004\\Recover\\"
                          u8"BackupDir.ini（檔案大小超出正常範圍）"));
        }
        QVERIFY(timer.elapsed() < 1000);
        // A record number no next one can follow.
        QVERIFY_THROWS_EXCEPTION(
            ProgramError, BackupStore::HighestRecordNumber({"D:\\<1>a", "D:\\<2147483647>b"}));
        QVERIFY_THROWS_EXCEPTION(ProgramError,
                                 BackupStore::HighestRecordNumber({"D:\\<99999999999999999999>b"}));
        QCOMPARE(BackupStore::HighestRecordNumber({"D:\\<7>a", "x", "D:\\<>b", "D:\\<12>c"}), 12);
    }

    void staleTemporaryFilesAreRemoved() {
        BackupStore store;
        store.CreateFolders();
        // Left by writes cut short: one of a program long gone, one of a program still at work.
        writeFile(programFolder() / ".TotalCount.ini.tw99999999-1.tmp", "1");
        writeFile(recover() / ".BackupDir.ini.tw99999999-4.tmp", "D:\\<1>a\r\n");
        writeFile(recover() / ".1.ini.tw1-0.tmp", "busy");
        writeFile(recover() / "keep.tmp", "not one of ours");
        store.RemoveStaleTemporaries();
        QVERIFY(!fs::exists(programFolder() / ".TotalCount.ini.tw99999999-1.tmp"));
        QVERIFY(!fs::exists(recover() / ".BackupDir.ini.tw99999999-4.tmp"));
        QVERIFY(fs::exists(recover() / ".1.ini.tw1-0.tmp"));
        QVERIFY(fs::exists(recover() / "keep.tmp"));
    }

    void recordsAreFoundOnlyUnderTheirOwnLineNumber() {
        std::vector<std::string> lines = {"D:\\Bak\\<1>2004_5_1_Back", "E:\\<5>2004_5_1_Back",
                                          "E:\\<3>2004_5_1_Back", "D:\\Bak\\<4>2004_5_2_Back"};
        QCOMPARE(BackupStore::FindRecord(lines, "D:\\Bak", "2004_5_1_Back"), 1);
        QCOMPARE(BackupStore::FindRecord(lines, "E:", "2004_5_1_Back"), 3);
        QCOMPARE(BackupStore::FindRecord(lines, "D:\\Bak", "2004_5_2_Back"), 4);
        QCOMPARE(BackupStore::FindRecord(lines, "D:\\Ba", "2004_5_1_Back"), 0);
        QCOMPARE(BackupStore::FindRecord({}, "D:\\Bak", "2004_5_1_Back"), 0);
        // Repairs look for a record under its own number, on whatever line it is, written as
        // the program writes numbers.
        QCOMPARE(BackupStore::FindRecordAnywhere(lines, "E:", "2004_5_1_Back"), 5);
        QCOMPARE(
            BackupStore::FindRecordAnywhere({"D:\\<03>a", "D:\\<+4>a", "D:\\<-1>a"}, "D:", "a"), 0);
    }

    void recordsAreTakenApart() {
        BackupRecord record = BackupStore::ParseRecord("D:\\Bak\\<12>2004_5_1_Back");
        QCOMPARE(record.destDir, std::string("D:\\Bak"));
        QCOMPARE(record.pointNumber, std::string("12"));
        QCOMPARE(record.backupName, std::string("2004_5_1_Back"));
        QCOMPARE(record.destPrefix, std::string("D:\\Bak\\"));

        record = BackupStore::ParseRecord("F:\\<3>2004_5_3_Back");
        QCOMPARE(record.destDir, std::string("F:"));
        QCOMPARE(record.destPrefix, std::string("F:\\"));

        record = BackupStore::ParseRecord("no separators");
        QCOMPARE(record.destDir, std::string());
        QCOMPARE(record.destPrefix, std::string());
        QCOMPARE(record.pointNumber, std::string());
    }

    void catalogGrowsWithoutLimit() {
        BackupStore store;
        store.CreateFolders();
        std::string longDest = "D:\\" + std::string(400, 'x');
        std::vector<std::string> records;
        for (int n = 1; n <= 600; ++n)
            records.push_back(
                BackupStore::RecordText(n == 600 ? longDest : "D:\\Bak", n, "2004_5_1_Back"));
        QVERIFY(store.WriteCatalog(records));
        std::vector<std::string> lines = *store.ReadCatalog();
        QCOMPARE(lines.size(), size_t{600});
        QCOMPARE(BackupStore::FindRecord(lines, longDest, "2004_5_1_Back"), 600);
        QCOMPARE(BackupStore::ParseRecord(lines[599]).destDir, longDest);

        // Bytes after the last line feed are one more line.
        writeFile(recover() / "BackupDir.ini", "D:\\<1>a\r\nE:\\<2>b");
        QCOMPARE(*store.ReadCatalog(), (std::vector<std::string>{"D:\\<1>a", "E:\\<2>b"}));
    }

    void folderListAndPointFilesAreReplacedWhole() {
        BackupStore store;
        store.CreateFolders();
        QVERIFY(store.WriteFolderList("2004_5_1_Back", 1, "Data", "C:\\Data\nC:\\Data\\A\n"));
        QVERIFY(store.WriteFolderList("2004_5_1_Back", 1, "Data", "C:\\Data\n"));
        QCOMPARE(readFile(recover() / "2004_5_1_Back1_Data.ini"), std::string("C:\\Data\r\n"));
        QVERIFY(store.WritePointFile(1, {"2004_5_1_Back1_Data.ini", "2004_5_1_Back1_Mail.ini"}));
        QCOMPARE(readFile(recover() / "1.ini"),
                 std::string("2004_5_1_Back1_Data.ini\r\n2004_5_1_Back1_Mail.ini\r\n"));
        // A last line without its line end is told apart (a write that died).
        writeFile(recover() / "1.ini", "2004_5_1_Back1_Data.ini\r\n2004_5_1_Ba");
        std::optional<FileLines> entries = store.ReadPointEntries(1);
        QCOMPARE(entries->lines.size(), size_t{2});
        QVERIFY(entries->lastCutShort);
        QVERIFY(!store.ReadPointEntries(2));
        // A write that cannot be made says why.
        fs::remove_all(recover());
        platform::WriteResult written = store.WritePointFile(1, {"x.ini"});
        QVERIFY(!written);
        QCOMPARE(written.reason, ansi(u8"找不到檔案或資料夾"));
    }

    void pointFileEntriesGiveTheirSourceNames() {
        BackupStore store;
        store.CreateFolders();
        std::string chinese = ansi(u8"我的文件");
        writeFile(recover() / "12.ini", "2004_5_1_Back12_Docs.ini\r\n2004_5_1_Back12_" + chinese +
                                            ".ini\r\n2004_5_1_Back12_a.ini.ini\r\nbroken");
        std::optional<std::vector<PointEntry>> entries = store.ReadPointFile("12", "2004_5_1_Back");
        QVERIFY(entries);
        QCOMPARE(entries->size(), size_t{4});
        QCOMPARE((*entries)[0].sourceName, std::string("Docs"));
        QCOMPARE((*entries)[0].listFileName, std::string("2004_5_1_Back12_Docs.ini"));
        QCOMPARE((*entries)[1].sourceName, chinese);
        QCOMPARE((*entries)[2].sourceName, std::string("a"));
        QCOMPARE((*entries)[3].sourceName, std::string());

        QVERIFY(!store.ReadPointFile("1", "2004_5_1_Back"));      // missing
        QVERIFY(!store.ReadPointFile("..\\12", "2004_5_1_Back")); // no number
    }

    void sourceLinesAreFoundByWholeCharacters() {
        BackupStore store;
        store.CreateFolders();
        // 許 is B3 5C in code page 950: its second byte is a backslash byte.
        std::string tricky = "C:\\" + ansi(u8"許") + "Docs";
        writeFile(recover() / "list.ini",
                  tricky +
                      "\r\nC:\\Data\\Docs\r\nC:\\Data\\Docs\\Sub1\r\nC:\\Data\\Docs\\Sub1\\x\r\n");
        QCOMPARE(*store.FindSourceLine("list.ini", "\\Docs\\Sub1"),
                 std::string("C:\\Data\\Docs\\Sub1"));
        QCOMPARE(*store.FindSourceLine("list.ini", "\\Docs"), std::string("C:\\Data\\Docs"));
        QCOMPARE(*store.FindSourceLine("list.ini", "\\Mail"), std::string());
        QVERIFY(!store.FindSourceLine("missing.ini", "\\Docs"));
        QVERIFY(!store.FindSourceLine("..\\Recover\\list.ini", "\\Docs"));

        // The folder's own line wins over an earlier one that holds the text further up; a
        // line that ends with it only inside a character does not count.
        writeFile(recover() / "nested.ini", "C:\\Data\\Sub\\Data\r\nC:\\Data\\Sub\\Data\\Sub\r\n");
        QCOMPARE(*store.FindSourceLine("nested.ini", "\\Data\\Sub"),
                 std::string("C:\\Data\\Sub\\Data\\Sub"));
        // Walk order lists a deeper branch with the same relative path first: the way down
        // from line 1 still finds the folder's own line.
        writeFile(recover() / "walked.ini",
                  "D:\\Data\r\nD:\\Data\\A\r\nD:\\Data\\X\r\nD:\\Data\\A\\Data\r\n"
                  "D:\\Data\\A\\Data\\X\r\nD:\\Data\\A\\Data\\X\\Y\r\nD:\\Data\\X\\Y\r\n");
        QCOMPARE(*store.FindSourceLine("walked.ini", "\\Data\\X\\Y"),
                 std::string("D:\\Data\\X\\Y"));
        QCOMPARE(*store.FindSourceLine("walked.ini", "\\Data"), std::string("D:\\Data"));
        writeFile(recover() / "ends.ini", "C:\\Q" + ansi(u8"許") + "A\r\nC:\\P\\A\\B\r\n");
        QCOMPARE(*store.FindSourceLine("ends.ini", "\\A"), std::string("C:\\P\\A\\B"));
    }

    void backupNamesComeFromTheShortDate() {
        QCOMPARE(FormBackupName("2004/5/1"), std::string("2004_5_1_Back"));
        QCOMPARE(FormBackupName("2026/12/8"), std::string("2026_12_8_Back"));
        QCOMPARE(FormBackupName("20040501"), std::string("__20040501_Back"));
        QCOMPARE(FormBackupName("2004/5"), std::string("2004__5_Back"));
        QCOMPARE(FormBackupName("2004/5/1/x"), std::string("2004_5_1/x_Back"));
    }

    void withoutDriveCEveryFileIsMissing() {
        drives->removeDrive('c');
        QCOMPARE(BackupStore::ProgramFolder(), std::string(":\\Program Files\\Tarnwick2004"));
        BackupStore store;
        store.CreateFolders();
        QVERIFY(!store.WriteSettings("D:\\Data", "E:"));
        QCOMPARE(store.EnsureRecordCount(), 0);
        QVERIFY(!store.ReadSettings());
        QVERIFY(!BackupStore().ReadCatalog());
    }

    void textModeRoundTrips() {
        std::string text = "a\nb\r\nc\r";
        QCOMPARE(textmode::encode(text), std::string("a\r\nb\r\r\nc\r"));
        QCOMPARE(textmode::decode(textmode::encode(text)), text);
        QCOMPARE(textmode::splitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
        QCOMPARE(textmode::splitLines("a\n"), (std::vector<std::string>{"a"}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
