// The program folder's files, byte for byte: settings, record count, catalog, restore points and
// folder lists. The same tests run on Linux and, under Wine, on Win32.
#include "support/testdrives.h"

#include "faults/faults.h"
#include "store/backupstore.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/textmode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::folderNames;
using testsupport::readFile;
using testsupport::Snapshot;
using testsupport::snapshot;
using testsupport::writeFile;

namespace {

const std::string kSourceKeyBytes = "\xB3\xC6\xA5\xF7\xA8\xD3\xB7\xBD\xA5\xD8\xBF\xFD\x3D";
const std::string kDestKeyBytes = "\xB3\xC6\xA5\xF7\xA5\xD8\xBC\xD0\xA5\xD8\xBF\xFD\x3D";

class Store : public ::testing::Test {
protected:
    fs::path programFolder() { return drives.host(u8"C:\\Program Files\\Tarnwick2004"); }
    fs::path recover() { return programFolder() / "Recover"; }

    // One row of BadRecordCountGivesTheConversionMessage: a failed check ends the row only.
    void checkBadRecordCount(const std::string& contents, const std::string& message) {
        store::BackupStore store;
        ASSERT_FALSE(store.CreateFolders());
        writeFile(programFolder() / "TotalCount.ini", contents);
        if (message == "'12'") { // two lines join into one number
            ASSERT_EQ(store.EnsureRecordCount(), 12);
            return;
        }
        try {
            store.EnsureRecordCount();
            FAIL() << "no error";
        } catch (const ProgramError& error) {
            ASSERT_EQ(std::string(error.what()), message);
        }
        // The file is left as it was.
        ASSERT_EQ(readFile(programFolder() / "TotalCount.ini"), contents);
    }

    void TearDown() override { faults::clear(); }

    // The store after a backup of D:\Data on 2004/5/1 and one of D:\Mail on 2004/5/2, both
    // into E:\Bak.
    void makeTwoBackups(const store::BackupStore& store) {
        ASSERT_FALSE(store.CreateFolders());
        ASSERT_TRUE(store.WriteSettings("D:\\Data", "E:\\Bak"));
        ASSERT_TRUE(store.WriteRecordCount(2));
        ASSERT_TRUE(
            store.WriteCatalog({store::BackupStore::RecordText("E:\\Bak", 1, "2004_5_1_Back"),
                                store::BackupStore::RecordText("E:\\Bak", 2, "2004_5_2_Back")}));
        ASSERT_TRUE(store.WriteFolderList("2004_5_1_Back", 1, "Data", "D:\\Data\n"));
        ASSERT_TRUE(store.WritePointFile(1, {"2004_5_1_Back1_Data.ini"}));
        ASSERT_TRUE(store.WriteFolderList("2004_5_2_Back", 2, "Mail", "D:\\Mail\nD:\\Mail\\Old\n"));
        ASSERT_TRUE(store.WritePointFile(2, {"2004_5_2_Back2_Mail.ini"}));
    }

    testsupport::TestDrives drives;
};

TEST_F(Store, FirstBackupLeavesExactlyTheseBytes) {
    // What confirming the folders does, then what a completed backup records, in order.
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    ASSERT_TRUE(store.WriteSettings("C:\\Data", "D:\\Bak"));
    ASSERT_EQ(store.SettingsFilePath(),
              std::string("C:\\Program Files\\Tarnwick2004\\SystemBackRD.ini"));
    ASSERT_EQ(store.EnsureRecordCount(), 0);
    ASSERT_EQ(readFile(programFolder() / "TotalCount.ini"), std::string("0"));
    std::string backupName = store::FormBackupName("2004/5/1");
    ASSERT_FALSE(store.ReadCatalog());
    int number = 0 + 1;
    ASSERT_TRUE(
        store.WriteCatalog({store::BackupStore::RecordText("D:\\Bak", number, backupName)}));
    ASSERT_TRUE(store.WriteRecordCount(number));
    ASSERT_TRUE(store.WriteFolderList(backupName, number, "Data", "C:\\Data\nC:\\Data\\Sub\n"));
    ASSERT_TRUE(store.WritePointFile(number, {"2004_5_1_Back1_Data.ini"}));

    std::string settings = readFile(programFolder() / "SystemBackRD.ini");
    ASSERT_EQ(settings.size(), size_t{43});
    ASSERT_EQ(settings, kSourceKeyBytes + "C:\\Data\r\n" + kDestKeyBytes + "D:\\Bak\r\n");
    ASSERT_EQ(readFile(programFolder() / "TotalCount.ini"), std::string("1"));
    std::string catalog = readFile(recover() / "BackupDir.ini");
    ASSERT_EQ(catalog.size(), size_t{25});
    ASSERT_EQ(catalog, std::string("D:\\Bak\\<1>2004_5_1_Back\r\n"));
    ASSERT_EQ(readFile(recover() / "1.ini"), std::string("2004_5_1_Back1_Data.ini\r\n"));
    ASSERT_EQ(readFile(recover() / "2004_5_1_Back1_Data.ini"),
              std::string("C:\\Data\r\nC:\\Data\\Sub\r\n"));
    // Nothing else, no temporary file left behind.
    ASSERT_EQ(folderNames(recover()),
              (std::vector<std::string>{"1.ini", "2004_5_1_Back1_Data.ini", "BackupDir.ini"}));
    ASSERT_EQ(folderNames(programFolder()),
              (std::vector<std::string>{"Recover", "SystemBackRD.ini", "TotalCount.ini"}));
}

TEST_F(Store, SettingsAreReadByTheirRules) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    ASSERT_FALSE(store.ReadSettings());
    fs::path file = programFolder() / "SystemBackRD.ini";

    ASSERT_TRUE(store.WriteSettings("C:\\Data", "D:"));
    ASSERT_EQ(store.ReadSettings()->sourceDir, std::string("C:\\Data"));
    ASSERT_EQ(store.ReadSettings()->destDir, std::string("D:"));

    // The value is the text after the last "=" of its line.
    writeFile(file, kSourceKeyBytes + "C:\\a=b\r\n" + kDestKeyBytes + "D:\\x=y=z\r\n");
    ASSERT_EQ(store.ReadSettings()->sourceDir, std::string("b"));
    ASSERT_EQ(store.ReadSettings()->destDir, std::string("z"));

    // Later lines run into line 2; a line without "=" is its own value; bytes after the
    // last line feed count; a lone CR is kept.
    writeFile(file, "C:\\Src\r\nkey=D:\\Dst\r\nmore\r\nlast");
    ASSERT_EQ(store.ReadSettings()->sourceDir, std::string("C:\\Src"));
    ASSERT_EQ(store.ReadSettings()->destDir, std::string("D:\\Dstmorelast"));
    writeFile(file, "a=C:\\x\ry\r\n");
    ASSERT_EQ(store.ReadSettings()->sourceDir, std::string("C:\\x\ry"));
    ASSERT_EQ(store.ReadSettings()->destDir, std::string());

    writeFile(file, "");
    ASSERT_EQ(store.ReadSettings()->sourceDir, std::string());
}

TEST_F(Store, SettingsOfAnyLengthRoundTrip) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    std::string longSource = "C:\\" + std::string(300, 'a') + "\\" + ansi(u8"資料夾");
    std::string longDest = "D:\\" + std::string(250, 'b');
    ASSERT_TRUE(store.WriteSettings(longSource, longDest));
    ASSERT_EQ(store.ReadSettings()->sourceDir, longSource);
    ASSERT_EQ(store.ReadSettings()->destDir, longDest);
}

TEST_F(Store, RecordCountIsReadOrStarted) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    fs::path file = programFolder() / "TotalCount.ini";
    ASSERT_EQ(store.EnsureRecordCount(), 0);
    ASSERT_EQ(readFile(file), std::string("0"));
    writeFile(file, "1");
    ASSERT_EQ(store.EnsureRecordCount(), 1);
    writeFile(file, "12\r\n");
    ASSERT_EQ(store.EnsureRecordCount(), 12);
    ASSERT_TRUE(store.WriteRecordCount(13));
    ASSERT_EQ(readFile(file), std::string("13"));
}

TEST_F(Store, BadRecordCountGivesTheConversionMessage) {
    struct Row {
        const char* name;
        std::string contents;
        std::string message;
    };
    // Counts no next record can follow: a negative one would reuse a number, the largest
    // one would wrap.
    std::string badCount =
        ansi(u8"還原點數目有誤：C:\\Program Files\\Tarnwick2004\\TotalCount.ini");
    std::string range = ansi(u8"（應為 0 到 2147483646 之間的整數）");
    const std::vector<Row> rows = {
        {"empty", "", "'' is not a valid integer value"},
        {"letters", "1a", "'1a' is not a valid integer value"},
        {"two lines", "1\r\n2", "'12'"},
        {"too big", "4294967296", "'4294967296' is not a valid integer value"},
        {"blank", " 3", "' 3' is not a valid integer value"},
        // A NUL would end the message there; control bytes would show as nothing or break it.
        {"a NUL", std::string{'1', '\0', '2'}, "'1\\x002' is not a valid integer value"},
        {"control bytes", "7\x01\t\r", "'7\\x01\\x09\\x0D' is not a valid integer value"},
        {"negative", "-5", badCount + " '-5'" + range},
        {"the largest", "2147483647", badCount + " '2147483647'" + range},
        // Megabytes of digits: damaged, said in a line, and read no further.
        {"huge", std::string(2 << 20, '7'),
         ansi(u8"檔案已損壞，無法讀取：C:\\Program Files\\"
              u8"Tarnwick2004\\TotalCount.ini（檔案大小超出正常範圍）")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        checkBadRecordCount(row.contents, row.message);
    }
}

TEST_F(Store, AFileThatCannotBeReadIsNamedAndNeverTakenForMissing) {
    store::BackupStore store;
    makeTwoBackups(store);
    if (HasFatalFailure())
        return;
    struct File {
        std::string path;
        size_t badSector; // where a read part way fails
        std::function<void()> read;
    };
    const std::string folder = "C:\\Program Files\\Tarnwick2004";
    const std::vector<File> files = {
        {folder + "\\SystemBackRD.ini", 39, [&] { store.ReadSettings(); }}, // in "E:\\Bak"
        {folder + "\\TotalCount.ini", 0, [&] { store.EnsureRecordCount(); }},
        {folder + "\\Recover\\BackupDir.ini", 30, [&] { store.ReadCatalog(); }},
        {folder + "\\Recover\\BackupDir.ini", 30, [&] { store.ReadCatalogFile(); }},
        {folder + "\\Recover\\2.ini", 10, [&] { store.ReadPointFile("2", "2004_5_2_Back"); }},
        {folder + "\\Recover\\2.ini", 10, [&] { store.ReadPointEntries(2); }},
        {folder + "\\Recover\\2004_5_2_Back2_Mail.ini", 12,
         [&] { store.FindSourceLine("2004_5_2_Back2_Mail.ini", "\\Mail\\Old"); }},
    };
    // The read throws the file's name and the reason, and the store is left byte for byte.
    auto refused = [&](const File& file, const std::u8string& reason) {
        Snapshot before = snapshot(programFolder());
        try {
            file.read();
            ADD_FAILURE() << "read as if missing or whole";
        } catch (const ProgramError& error) {
            EXPECT_EQ(std::string(error.what()), ansi(u8"無法讀取：") + file.path + ansi(u8"（") +
                                                     ansi(reason) + ansi(u8"）"));
        }
        EXPECT_TRUE(snapshot(programFolder()) == before);
        faults::clear();
    };
    for (const File& file : files) {
        SCOPED_TRACE(file.path);
        faults::failReadAt(file.path, file.badSector, EIO);
        refused(file, u8"磁碟讀寫錯誤");
        faults::failAt("open", file.path, EACCES);
        refused(file, u8"存取被拒");
        // A folder where the file should be.
        fs::path host = drives.host(std::u8string(file.path.begin(), file.path.end()));
        fs::rename(host, host.string() + ".aside");
        fs::create_directory(host);
        refused(file, u8"是資料夾，不是檔案");
        fs::remove(host);
        fs::rename(host.string() + ".aside", host);
    }
    // Only a name that leads nowhere is missing.
    fs::remove(recover() / "2.ini");
    ASSERT_FALSE(store.ReadPointFile("2", "2004_5_2_Back"));
    fs::remove_all(recover());
    writeFile(recover(), "a file where the folder should be");
    ASSERT_FALSE(store.ReadCatalog());
}

TEST_F(Store, DamagedCatalogsAreRefusedQuickly) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    // 256 MiB of zero bytes: refused without being read.
    writeFile(recover() / "BackupDir.ini", "");
    fs::resize_file(recover() / "BackupDir.ini", 256 << 20);
    auto started = std::chrono::steady_clock::now();
    try {
        store.ReadCatalog();
        FAIL() << "no error";
    } catch (const ProgramError& error) {
        ASSERT_EQ(std::string(error.what()),
                  ansi(u8"檔案已損壞，無法讀取：C:\\Program Files\\Tarnwick2004\\Recover\\"
                       u8"BackupDir.ini（檔案大小超出正常範圍）"));
    }
    ASSERT_TRUE(std::chrono::steady_clock::now() - started < std::chrono::milliseconds(1000));
    // A record number no next one can follow.
    ASSERT_THROW(store::BackupStore::HighestRecordNumber({"D:\\<1>a", "D:\\<2147483647>b"}),
                 ProgramError);
    ASSERT_THROW(store::BackupStore::HighestRecordNumber({"D:\\<99999999999999999999>b"}),
                 ProgramError);
    ASSERT_EQ(store::BackupStore::HighestRecordNumber({"D:\\<7>a", "x", "D:\\<>b", "D:\\<12>c"}),
              12);
}

#ifndef _WIN32
// Process 1 (init) always runs on Linux; Windows has no process 1, so its file would be stale.
TEST_F(Store, StaleTemporaryFilesAreRemoved) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    // Left by writes cut short: one of a program long gone, one of a program still at work.
    writeFile(programFolder() / ".TotalCount.ini.tw99999999-1.tmp", "1");
    writeFile(recover() / ".BackupDir.ini.tw99999999-4.tmp", "D:\\<1>a\r\n");
    writeFile(recover() / ".1.ini.tw1-0.tmp", "busy");
    writeFile(recover() / "keep.tmp", "not one of ours");
    store.RemoveStaleTemporaries();
    ASSERT_FALSE(fs::exists(programFolder() / ".TotalCount.ini.tw99999999-1.tmp"));
    ASSERT_FALSE(fs::exists(recover() / ".BackupDir.ini.tw99999999-4.tmp"));
    ASSERT_TRUE(fs::exists(recover() / ".1.ini.tw1-0.tmp"));
    ASSERT_TRUE(fs::exists(recover() / "keep.tmp"));
}
#endif

TEST_F(Store, RecordsAreFoundOnlyUnderTheirOwnLineNumber) {
    std::vector<std::string> lines = {"D:\\Bak\\<1>2004_5_1_Back", "E:\\<5>2004_5_1_Back",
                                      "E:\\<3>2004_5_1_Back", "D:\\Bak\\<4>2004_5_2_Back"};
    ASSERT_EQ(store::BackupStore::FindRecord(lines, "D:\\Bak", "2004_5_1_Back"), 1);
    ASSERT_EQ(store::BackupStore::FindRecord(lines, "E:", "2004_5_1_Back"), 3);
    ASSERT_EQ(store::BackupStore::FindRecord(lines, "D:\\Bak", "2004_5_2_Back"), 4);
    ASSERT_EQ(store::BackupStore::FindRecord(lines, "D:\\Ba", "2004_5_1_Back"), 0);
    ASSERT_EQ(store::BackupStore::FindRecord({}, "D:\\Bak", "2004_5_1_Back"), 0);
    // Repairs look for a record under its own number, on whatever line it is, written as
    // the program writes numbers.
    ASSERT_EQ(store::BackupStore::FindRecordAnywhere(lines, "E:", "2004_5_1_Back"), 5);
    ASSERT_EQ(
        store::BackupStore::FindRecordAnywhere({"D:\\<03>a", "D:\\<+4>a", "D:\\<-1>a"}, "D:", "a"),
        0);
}

TEST_F(Store, RecordsAreTakenApart) {
    store::BackupRecord record = store::BackupStore::ParseRecord("D:\\Bak\\<12>2004_5_1_Back");
    ASSERT_EQ(record.destDir, std::string("D:\\Bak"));
    ASSERT_EQ(record.pointNumber, std::string("12"));
    ASSERT_EQ(record.backupName, std::string("2004_5_1_Back"));
    ASSERT_EQ(record.destPrefix, std::string("D:\\Bak\\"));

    record = store::BackupStore::ParseRecord("F:\\<3>2004_5_3_Back");
    ASSERT_EQ(record.destDir, std::string("F:"));
    ASSERT_EQ(record.destPrefix, std::string("F:\\"));

    record = store::BackupStore::ParseRecord("no separators");
    ASSERT_EQ(record.destDir, std::string());
    ASSERT_EQ(record.destPrefix, std::string());
    ASSERT_EQ(record.pointNumber, std::string());
}

TEST_F(Store, CatalogGrowsWithoutLimit) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    std::string longDest = "D:\\" + std::string(400, 'x');
    std::vector<std::string> records;
    for (int n = 1; n <= 600; ++n)
        records.push_back(
            store::BackupStore::RecordText(n == 600 ? longDest : "D:\\Bak", n, "2004_5_1_Back"));
    ASSERT_TRUE(store.WriteCatalog(records));
    std::vector<std::string> lines = *store.ReadCatalog();
    ASSERT_EQ(lines.size(), size_t{600});
    ASSERT_EQ(store::BackupStore::FindRecord(lines, longDest, "2004_5_1_Back"), 600);
    ASSERT_EQ(store::BackupStore::ParseRecord(lines[599]).destDir, longDest);

    // Bytes after the last line feed are one more line.
    writeFile(recover() / "BackupDir.ini", "D:\\<1>a\r\nE:\\<2>b");
    ASSERT_EQ(*store.ReadCatalog(), (std::vector<std::string>{"D:\\<1>a", "E:\\<2>b"}));
}

TEST_F(Store, FolderListAndPointFilesAreReplacedWhole) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    ASSERT_TRUE(store.WriteFolderList("2004_5_1_Back", 1, "Data", "C:\\Data\nC:\\Data\\A\n"));
    ASSERT_TRUE(store.WriteFolderList("2004_5_1_Back", 1, "Data", "C:\\Data\n"));
    ASSERT_EQ(readFile(recover() / "2004_5_1_Back1_Data.ini"), std::string("C:\\Data\r\n"));
    ASSERT_TRUE(store.WritePointFile(1, {"2004_5_1_Back1_Data.ini", "2004_5_1_Back1_Mail.ini"}));
    ASSERT_EQ(readFile(recover() / "1.ini"),
              std::string("2004_5_1_Back1_Data.ini\r\n2004_5_1_Back1_Mail.ini\r\n"));
    // A last line without its line end is told apart (a write that died).
    writeFile(recover() / "1.ini", "2004_5_1_Back1_Data.ini\r\n2004_5_1_Ba");
    std::optional<store::FileLines> entries = store.ReadPointEntries(1);
    ASSERT_EQ(entries->lines.size(), size_t{2});
    ASSERT_TRUE(entries->lastCutShort);
    ASSERT_FALSE(store.ReadPointEntries(2));
    // A write that cannot be made says why.
    fs::remove_all(recover());
    platform::WriteResult written = store.WritePointFile(1, {"x.ini"});
    ASSERT_FALSE(written);
    ASSERT_EQ(written.reason, ansi(u8"找不到檔案或資料夾"));
}

TEST_F(Store, PointFileEntriesGiveTheirSourceNames) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    std::string chinese = ansi(u8"我的文件");
    writeFile(recover() / "12.ini", "2004_5_1_Back12_Docs.ini\r\n2004_5_1_Back12_" + chinese +
                                        ".ini\r\n2004_5_1_Back12_a.ini.ini\r\nbroken");
    std::optional<std::vector<store::PointEntry>> entries =
        store.ReadPointFile("12", "2004_5_1_Back");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), size_t{4});
    ASSERT_EQ((*entries)[0].sourceName, std::string("Docs"));
    ASSERT_EQ((*entries)[0].listFileName, std::string("2004_5_1_Back12_Docs.ini"));
    ASSERT_EQ((*entries)[1].sourceName, chinese);
    ASSERT_EQ((*entries)[2].sourceName, std::string("a"));
    ASSERT_EQ((*entries)[3].sourceName, std::string());

    ASSERT_FALSE(store.ReadPointFile("1", "2004_5_1_Back"));      // missing
    ASSERT_FALSE(store.ReadPointFile("..\\12", "2004_5_1_Back")); // no number
}

TEST_F(Store, SourceLinesAreFoundByWholeCharacters) {
    store::BackupStore store;
    ASSERT_FALSE(store.CreateFolders());
    // 許 is B3 5C in code page 950: its second byte is a backslash byte.
    std::string tricky = "C:\\" + ansi(u8"許") + "Docs";
    writeFile(recover() / "list.ini",
              tricky + "\r\nC:\\Data\\Docs\r\nC:\\Data\\Docs\\Sub1\r\nC:\\Data\\Docs\\Sub1\\x\r\n");
    ASSERT_EQ(*store.FindSourceLine("list.ini", "\\Docs\\Sub1"),
              std::string("C:\\Data\\Docs\\Sub1"));
    ASSERT_EQ(*store.FindSourceLine("list.ini", "\\Docs"), std::string("C:\\Data\\Docs"));
    ASSERT_EQ(*store.FindSourceLine("list.ini", "\\Mail"), std::string());
    ASSERT_FALSE(store.FindSourceLine("missing.ini", "\\Docs"));
    ASSERT_FALSE(store.FindSourceLine("..\\Recover\\list.ini", "\\Docs"));

    // The folder's own line wins over an earlier one that holds the text further up; a
    // line that ends with it only inside a character does not count.
    writeFile(recover() / "nested.ini", "C:\\Data\\Sub\\Data\r\nC:\\Data\\Sub\\Data\\Sub\r\n");
    ASSERT_EQ(*store.FindSourceLine("nested.ini", "\\Data\\Sub"),
              std::string("C:\\Data\\Sub\\Data\\Sub"));
    // Walk order lists a deeper branch with the same relative path first: the way down
    // from line 1 still finds the folder's own line.
    writeFile(recover() / "walked.ini",
              "D:\\Data\r\nD:\\Data\\A\r\nD:\\Data\\X\r\nD:\\Data\\A\\Data\r\n"
              "D:\\Data\\A\\Data\\X\r\nD:\\Data\\A\\Data\\X\\Y\r\nD:\\Data\\X\\Y\r\n");
    ASSERT_EQ(*store.FindSourceLine("walked.ini", "\\Data\\X\\Y"), std::string("D:\\Data\\X\\Y"));
    ASSERT_EQ(*store.FindSourceLine("walked.ini", "\\Data"), std::string("D:\\Data"));
    writeFile(recover() / "ends.ini", "C:\\Q" + ansi(u8"許") + "A\r\nC:\\P\\A\\B\r\n");
    ASSERT_EQ(*store.FindSourceLine("ends.ini", "\\A"), std::string("C:\\P\\A\\B"));
}

TEST_F(Store, BackupNamesComeFromTheShortDate) {
    ASSERT_EQ(store::FormBackupName("2004/5/1"), std::string("2004_5_1_Back"));
    ASSERT_EQ(store::FormBackupName("2026/12/8"), std::string("2026_12_8_Back"));
    ASSERT_EQ(store::FormBackupName("20040501"), std::string("__20040501_Back"));
    ASSERT_EQ(store::FormBackupName("2004/5"), std::string("2004__5_Back"));
    ASSERT_EQ(store::FormBackupName("2004/5/1/x"), std::string("2004_5_1/x_Back"));
}

TEST_F(Store, WithoutDriveCEveryFileIsMissing) {
    drives.removeDrive('c');
    ASSERT_EQ(store::BackupStore::ProgramFolder(), std::string(":\\Program Files\\Tarnwick2004"));
    store::BackupStore store;
    ASSERT_TRUE(store.CreateFolders()); // nowhere to make them
    ASSERT_FALSE(store.WriteSettings("D:\\Data", "E:"));
    ASSERT_EQ(store.EnsureRecordCount(), 0);
    ASSERT_FALSE(store.ReadSettings());
    ASSERT_FALSE(store::BackupStore().ReadCatalog());
}

TEST_F(Store, TextModeRoundTrips) {
    std::string text = "a\nb\r\nc\r";
    ASSERT_EQ(text::textmode::encode(text), std::string("a\r\nb\r\r\nc\r"));
    ASSERT_EQ(text::textmode::decode(text::textmode::encode(text)), text);
    ASSERT_EQ(text::textmode::splitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    ASSERT_EQ(text::textmode::splitLines("a\n"), (std::vector<std::string>{"a"}));
}

} // namespace
