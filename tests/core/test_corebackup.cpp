// A whole backup without a window, as `tarnwick2004 --backup` runs it: the same job and restore
// point on either system, checked byte for byte.
#include "support/recordingconsole.h"
#include "support/testdrives.h"

#include "cli/backupprinter.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/hostpath.h"
#include "platform/hostsystem.h"
#include "restore/restorejob.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::RecordingConsole;
using testsupport::writeFile;
using namespace std::chrono;

namespace {

class CoreBackup : public ::testing::Test {
protected:
    void TearDown() override { platform::setTodayForTesting(std::nullopt); }

    int backUp(std::vector<std::string> options) {
        options.insert(options.begin(), "--backup");
        console = RecordingConsole();
        return cli::runCommandLine(options, console).value_or(-1);
    }
    fs::path program() { return drives.host(u8"C:\\Program Files\\Tarnwick2004"); }

    testsupport::TestDrives drives;
    RecordingConsole console;
};

TEST_F(CoreBackup, AFirstBackupLeavesExactlyTheBytesOfTheExample) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta");
    fs::create_directories(drives.host(u8"D:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);

    ASSERT_EQ(backUp({"--source", "C:\\Data", "--dest", "D:\\Bak", "--save"}), 0) << console.err;

    std::string settings = readFile(program() / "SystemBackRD.ini");
    EXPECT_EQ(settings.size(), 43u);
    EXPECT_NE(settings.find("C:\\Data\r\n"), std::string::npos);
    EXPECT_TRUE(settings.ends_with("D:\\Bak\r\n"));
    EXPECT_EQ(readFile(program() / "TotalCount.ini"), "1");
    EXPECT_EQ(readFile(program() / "Recover" / "BackupDir.ini"), "D:\\Bak\\<1>2004_5_1_Back\r\n");
    EXPECT_EQ(readFile(program() / "Recover" / "1.ini"), "2004_5_1_Back1_Data.ini\r\n");
    EXPECT_EQ(readFile(program() / "Recover" / "2004_5_1_Back1_Data.ini"),
              "C:\\Data\r\nC:\\Data\\Sub\r\n");
    // LastBackup.ini: how this backup without a window ended, the command line's own file.
    EXPECT_EQ(testsupport::folderNames(program()),
              (std::vector<std::string>{"LastBackup.ini", "Recover", "SystemBackRD.ini",
                                        "TotalCount.ini"}));
    std::vector<std::string> recover = testsupport::folderNames(program() / "Recover");
    std::erase(recover, "BackupDir.lock"); // the lock two recordings take turns on
    EXPECT_EQ(recover,
              (std::vector<std::string>{"1.ini", "2004_5_1_Back1_Data.ini", "BackupDir.ini"}));

    fs::path copy = drives.host(u8"D:\\Bak\\2004_5_1_Back\\Data");
    EXPECT_EQ(readFile(copy / "a.txt"), "alpha");
    EXPECT_EQ(readFile(copy / "Sub" / "b.txt"), "beta");
    EXPECT_EQ(testsupport::folderNames(copy), (std::vector<std::string>{"Sub", "a.txt"}));
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"D:\\Bak")),
              std::vector<std::string>{"2004_5_1_Back"});
}

TEST_F(CoreBackup, ALaterRunTheSameDayAddsButNeverReplaces) {
    const std::u8string source = u8"D:\\許功蓋";
    writeFile(drives.host(source + u8"\\keep.txt"), "first");
    writeFile(drives.host(source + u8"\\蓋\\deep.txt"), "deep");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    const std::string sourceDir = ansi(source);
    ASSERT_EQ(backUp({"--source", sourceDir, "--dest", "E:\\Bak"}), 0) << console.err;

    writeFile(drives.host(source + u8"\\keep.txt"), "changed later");
    writeFile(drives.host(source + u8"\\new.txt"), "new");
    // The changed file is not replaced, and not called backed up either.
    ASSERT_EQ(backUp({"--source", sourceDir, "--dest", "E:\\Bak"}), 1) << console.err;
    EXPECT_NE(console.out.find(ansi(u8"已複製 1 個檔案")), std::string::npos) << console.out;
    EXPECT_NE(console.out.find(ansi(u8"已存在 1 個，已存在但與來源不同，未覆蓋 1 個，失敗 0 個")),
              std::string::npos)
        << console.out;
    EXPECT_NE(console.out.find(ansi(u8"有 1 個檔案已存在但與來源不同，未覆蓋：\n") + sourceDir +
                               "\\keep.txt\n"),
              std::string::npos)
        << console.out;

    fs::path copy = drives.host(u8"E:\\Bak\\2004_5_1_Back\\許功蓋");
    EXPECT_EQ(readFile(copy / "keep.txt"), "first");
    EXPECT_EQ(readFile(copy / "new.txt"), "new");
    EXPECT_EQ(readFile(copy / fs::path(u8"蓋") / "deep.txt"), "deep");
    // One backup folder, one record: the pair was recorded already.
    EXPECT_EQ(readFile(program() / "TotalCount.ini"), "1");
    EXPECT_EQ(readFile(program() / "Recover" / "BackupDir.ini"), "E:\\Bak\\<1>2004_5_1_Back\r\n");
    EXPECT_EQ(readFile(program() / "Recover" / fs::path(u8"2004_5_1_Back1_許功蓋.ini")),
              sourceDir + "\r\n" + sourceDir + "\\" + ansi(u8"蓋") + "\r\n");
}

// In a backup folder the run has just made, what another program puts at a copy's name while
// the backup runs is still found and kept: its own file is never replaced, and the source's is
// named as not backed up.
TEST_F(CoreBackup, AFileAnotherProgramPutsInANewBackupFolderIsKept) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "the source's");
    writeFile(drives.host(u8"D:\\Data\\Sub\\b.txt"), "the source's too");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    fs::path copy = drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data");
    for (const char* name : {"a.txt", "b.txt"})
        faults::beforeOperation("copy", name, [&, name] {
            fs::path there = copy / (std::string(name) == "a.txt" ? "" : "Sub") / name;
            writeFile(there, "another program's");
        });
    int status = backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"});
    faults::clear();
    EXPECT_EQ(status, 1) << console.err;
    EXPECT_EQ(readFile(copy / "a.txt"), "another program's");
    EXPECT_EQ(readFile(copy / "Sub" / "b.txt"), "another program's");
    EXPECT_NE(console.out.find(ansi(u8"已複製 0 個檔案")), std::string::npos) << console.out;
    EXPECT_NE(console.out.find(ansi(u8"有 2 個檔案已存在但與來源不同，未覆蓋：\n")),
              std::string::npos)
        << console.out;
}

// A program folder that takes no new file (Program Files, without an administrator's rights)
// stops a backup before anything is copied, naming the folder and why: else a night's copying
// would end without its restore point.
TEST_F(CoreBackup, AProgramFolderThatTakesNoFileStopsTheBackupBeforeItCopies) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    fs::create_directories(program() / "Recover"); // made by an earlier run
    platform::setTodayForTesting(year(2004) / May / 1);
    faults::failAt("probe", "Recover", EACCES);
    int status = backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"});
    faults::clear();
    EXPECT_EQ(status, 2);
    EXPECT_EQ(console.err, ansi(u8"無法寫入程式資料夾，不開始備份：C:\\Program "
                                u8"Files\\Tarnwick2004\\Recover（存取被拒）\n"));
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"E:\\Bak")), std::vector<std::string>{});
    EXPECT_EQ(testsupport::folderNames(program() / "Recover"), std::vector<std::string>{});
    // Writable again, the same backup goes through, and the check left nothing behind.
    ASSERT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 0) << console.err;
    std::vector<std::string> recover = testsupport::folderNames(program() / "Recover");
    std::erase(recover, "BackupDir.lock");
    EXPECT_EQ(recover,
              (std::vector<std::string>{"1.ini", "2004_5_1_Back1_Data.ini", "BackupDir.ini"}));
}

// A run killed while it copies leaves its copies under temporary names where the file system has
// no unnamed files (FAT on Linux, always on Windows). When that run's folder is the last recorded
// backup (a second run the same day was killed), the next day's backup sweeps them as it links to
// that copy; a temporary of a program still running, and every other file, stay byte for byte.
TEST_F(CoreBackup, TheNextDaySweepsWhatAKilledRunLeftInTheLastBackup) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"D:\\Data\\Sub\\b.txt"), "beta");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    ASSERT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 0) << console.err;

    const fs::path day1 = drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data");
    const testsupport::Snapshot kept = testsupport::snapshot(day1);
    const std::string live = ".c.txt.tw" + std::to_string(platform::currentProcessId()) + "-1.tmp";
    writeFile(day1 / ".a.txt.tw999999-2.tmp", "half a copy");
    writeFile(day1 / "Sub" / ".b.txt.tw999999-3.tmp", "half a copy");
    writeFile(day1 / "Sub" / live, "being written");
    writeFile(day1 / "Sub" / "b.txt.tw999999-3.tmp", "not a name of ours");
    testsupport::Snapshot expected = kept;
    expected["Sub/" + live] = "being written";
    expected["Sub/b.txt.tw999999-3.tmp"] = "not a name of ours";

    platform::setTodayForTesting(year(2004) / May / 2);
    ASSERT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 0) << console.out;
    EXPECT_EQ(testsupport::snapshot(day1), expected);
    EXPECT_EQ(testsupport::snapshot(drives.host(u8"E:\\Bak\\2004_5_2_Back\\Data")), kept);
}

// A run killed before its restore point leaves a dated folder the catalog does not record. The
// next day's backup sweeps its temporary copies once, as it is newer than the newest recorded
// backup; an unrecorded folder older than that is never walked.
TEST_F(CoreBackup, TheNextDaySweepsTheFolderOfARunKilledBeforeItsRestorePoint) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "alpha");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / April / 29);
    ASSERT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 0) << console.err;

    const fs::path killed = drives.host(u8"E:\\Bak\\2004_5_1_Back");
    const fs::path older = drives.host(u8"E:\\Bak\\2004_4_28_Back");
    const std::string live = ".d.txt.tw" + std::to_string(platform::currentProcessId()) + "-7.tmp";
    writeFile(killed / "Data" / "a.txt", "alpha");
    writeFile(killed / "Data" / "Deep" / "er" / "e.txt", "e");
    writeFile(older / "Data" / ".a.txt.tw999999-1.tmp", "older than the last recorded");
    const testsupport::Snapshot kept = testsupport::snapshot(killed);
    const testsupport::Snapshot olderKept = testsupport::snapshot(older);
    writeFile(killed / "Data" / ".b.txt.tw999999-4.tmp", "half a copy");
    writeFile(killed / "Data" / "Deep" / "er" / ".f.txt.tw999999-5.tmp", "half a copy");
    writeFile(killed / "Other" / ".g.txt.tw999998-6.tmp", "half a copy");
    writeFile(killed / "Data" / live, "being written");
    testsupport::Snapshot expected = kept;
    expected["Data/" + live] = "being written";

    platform::setTodayForTesting(year(2004) / May / 2);
    ASSERT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 0) << console.out;
    EXPECT_EQ(testsupport::snapshot(killed), expected);
    EXPECT_TRUE(fs::is_directory(killed / "Other"));
    EXPECT_EQ(testsupport::snapshot(older), olderKept);
}

TEST_F(CoreBackup, AMissingDestinationRecordsNothing) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    platform::setTodayForTesting(year(2004) / May / 1);
    EXPECT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Nowhere"}), 2);
    EXPECT_NE(console.err.find("E:\\Nowhere"), std::string::npos) << console.err;
    EXPECT_FALSE(fs::exists(program() / "Recover" / "BackupDir.ini"));
}

} // namespace

namespace {

// A link in the source tree that leads outside it: listed as a file, never followed, so nothing
// from outside the tree reaches the backup.
TEST_F(CoreBackup, ALinkOutOfTheSourceIsNeverFollowed) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    writeFile(drives.host(u8"D:\\Secret\\key.txt"), "secret");
    // Wine 8 makes a link that leads nowhere; the test needs one that works.
    if (!testsupport::makeFolderLink(drives.host(u8"D:\\Secret"), drives.host(u8"D:\\Data\\Out")) ||
        readFile(drives.host(u8"D:\\Data\\Out\\key.txt")) != "secret")
        GTEST_SKIP() << "this system makes no working link for the test";
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"});
    fs::path copy = drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data");
    EXPECT_EQ(readFile(copy / "a.txt"), "a");
    // Linux copies the link as a link; Windows refuses it. Either way no folder, no file of the
    // outside was written into the backup.
    EXPECT_NE(fs::symlink_status(copy / "Out").type(), fs::file_type::directory) << console.out;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(copy))
        files += entry.is_regular_file() && !entry.is_symlink();
    EXPECT_EQ(files, 1); // a.txt alone
}

// The copies are on the disk before the restore point that names them is recorded: the flush
// comes before the first write of the store, and a flush that fails records nothing.
TEST_F(CoreBackup, CopiesReachTheDiskBeforeTheRestorePointIsRecorded) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    // What the store holds of the restore point at each flush.
    std::vector<std::vector<std::string>> recoverAtFlush;
    faults::beforeOperation("syncfs", "2004_5_1_Back", [&] {
        recoverAtFlush.push_back(testsupport::folderNames(program() / "Recover"));
    });
    int status = backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"});
    faults::clear();
    ASSERT_EQ(status, 0) << console.err;
    ASSERT_EQ(recoverAtFlush.size(), 1u);
    EXPECT_EQ(recoverAtFlush[0], std::vector<std::string>{}) << "recorded before the flush";
    EXPECT_TRUE(fs::exists(program() / "Recover" / "1.ini"));

    // The disk fails the flush: the copies may not be there after a power cut, so no restore
    // point names them, and the user is told why.
    writeFile(drives.host(u8"D:\\Other\\b.txt"), "b");
    std::string catalog = readFile(program() / "Recover" / "BackupDir.ini");
    faults::failAt("syncfs", "2004_5_1_Back", EIO);
    status = backUp({"--source", "D:\\Other", "--dest", "E:\\Bak"});
    faults::clear();
    EXPECT_EQ(status, 2);
    EXPECT_NE(console.err.find(ansi(u8"檔案已備份，但無法建立還原點：E:\\Bak\\2004_5_1_Back（")),
              std::string::npos)
        << console.err;
    EXPECT_FALSE(fs::exists(program() / "Recover" / "2004_5_1_Back1_Other.ini"));
    EXPECT_EQ(readFile(program() / "Recover" / "1.ini"), "2004_5_1_Back1_Data.ini\r\n");
    EXPECT_EQ(readFile(program() / "Recover" / "BackupDir.ini"), catalog);
}

// Two folders and two files whose names have no code page 950 form all read as "?": beside each
// the summary gives the host's own name, which tells them apart.
TEST_F(CoreBackup, NamesWithoutABig5FormAreToldApartByTheHostsNames) {
    fs::path data = drives.host(u8"D:\\Data");
    writeFile(data / fs::path(u8"\U0001F600") / "a.txt", "grinning");
    writeFile(data / fs::path(u8"\U0001F603") / "a.txt", "smiling");
    writeFile(data / fs::path(u8"\U0001F600.txt"), "grinning");
    writeFile(data / fs::path(u8"\U0001F603.txt"), "smiling");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    EXPECT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 1) << console.err;
    const std::string why = ansi(u8"（名稱含有此系統無法表示的字元）");
    const std::pair<const char*, const char*> named[] = {
        {"D:\\Data\\?.txt", "\xF0\x9F\x98\x80.txt"},
        {"D:\\Data\\?.txt", "\xF0\x9F\x98\x83.txt"},
        {"D:\\Data\\?", "\xF0\x9F\x98\x80"},
        {"D:\\Data\\?", "\xF0\x9F\x98\x83"}};
    for (const auto& [path, host] : named)
        EXPECT_NE(console.out.find(path + why + " [" + host + "]\n"), std::string::npos)
            << host << "\n"
            << console.out;
}

#ifndef _WIN32
// A file whose host name has no code page 950 form cannot be backed up; the summary names it
// with the host's own name beside the "?" it reads as, so that the user can find it.
TEST_F(CoreBackup, AFileWithoutABig5NameIsNamedAsTheHostNamesIt) {
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    writeFile(drives.host(u8"D:\\Data") / fs::path(u8"caf\u00e9.txt"), "no Big5 form");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    EXPECT_EQ(backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"}), 1) << console.err;
    EXPECT_NE(console.out.find("D:\\Data\\caf?.txt" + ansi(u8"（名稱含有此系統無法表示的字元）") +
                               " [caf\xc3\xa9.txt]\n"),
              std::string::npos)
        << console.out;
}

// While the backup runs, another program swaps a folder of the source for a link to a folder
// outside it, between the listing of that folder and the opening of a folder below it: neither
// the copy nor the restore point's folder list holds anything of the outside (the swap is made
// with links of the test).
TEST_F(CoreBackup, ASourceFolderSwappedForALinkBringsNothingIn) {
    writeFile(drives.host(u8"D:\\Data\\Sub\\Inner\\a.txt"), "a");
    writeFile(drives.host(u8"D:\\Etc\\Inner\\ssl\\openssl.cnf"), "outside");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    platform::setTodayForTesting(year(2004) / May / 1);
    fs::path sub = drives.host(u8"D:\\Data\\Sub");
    int opened = 0;
    faults::beforeOperation("opensub", "/Inner", [&] {
        if (++opened != 2) // the copy pass's (the count pass's is the first)
            return;
        fs::rename(sub, drives.host(u8"D:\\Aside"));
        fs::create_directory_symlink(drives.host(u8"D:\\Etc"), sub);
    });
    int status = backUp({"--source", "D:\\Data", "--dest", "E:\\Bak"});
    faults::clear();
    EXPECT_EQ(status, 0) << console.out << console.err;
    ASSERT_TRUE(fs::is_symlink(sub));
    fs::path copy = drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data");
    EXPECT_EQ(readFile(copy / "Sub" / "Inner" / "a.txt"), "a");
    ASSERT_EQ(opened, 2);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(copy))
        EXPECT_NE(entry.path().filename(), "openssl.cnf") << entry.path();
    EXPECT_EQ(readFile(program() / "Recover" / "2004_5_1_Back1_Data.ini"),
              "D:\\Data\r\nD:\\Data\\Sub\r\nD:\\Data\\Sub\\Inner\r\n");
}
#endif

} // namespace

#ifdef _WIN32
namespace {

// A source whose names Windows would not keep as written (made here through the long form of
// the path, as another program may): each is named with the rule it breaks, the rest is backed
// up. A restore into a folder of such a name says the same, and copies nothing.
TEST(WindowsNames, ABackupAndARestoreNameTheRuleANameBreaks) {
    testsupport::TestDrives drives;
    writeFile(drives.host(u8"D:\\Data\\a.txt"), "a");
    fs::create_directories(drives.host(u8"E:\\Bak"));
    const std::wstring data = L"\\\\?\\" + fs::absolute(drives.host(u8"D:\\Data")).wstring();
    for (const wchar_t* name : {L"\\CON.txt", L"\\trail "}) {
        HANDLE file = ::CreateFileW((data + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << ::GetLastError();
        ::CloseHandle(file);
    }
    platform::setTodayForTesting(year(2004) / May / 1);
    RecordingConsole console;
    const std::vector<std::string> arguments{"--backup", "--source", "D:\\Data", "--dest",
                                             "E:\\Bak"};
    EXPECT_EQ(cli::runCommandLine(arguments, console).value_or(-1), 1) << console.err;
    platform::setTodayForTesting(std::nullopt);
    EXPECT_NE(console.out.find("D:\\Data\\CON.txt" + ansi(u8"（名稱是系統保留的裝置名稱）")),
              std::string::npos)
        << console.out;
    EXPECT_NE(console.out.find("D:\\Data\\trail " + ansi(u8"（名稱結尾不可以是句點或空格）")),
              std::string::npos)
        << console.out;
    EXPECT_EQ(readFile(drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data\\a.txt")), "a");

    struct View : restore::RestoreView {
        void showProgress(const restore::RestoreProgress&) override {}
        void restoreCompleted(const restore::RestoreReport&) override { completed = true; }
        void restoreImpossible(const std::string&) override {}
        void restoreTargetImpossible(const std::string& path, const std::string& reason) override {
            impossible = path + "|" + reason;
        }
        bool completed = false;
        std::string impossible;
    } view;
    restore::RestoreJob job(view);
    job.setInput({"E:\\Bak\\2004_5_1_Back\\Data", "D:\\Back\\Nul", "D:\\Back\\Nul"});
    EXPECT_FALSE(job.runPass(false));
    EXPECT_FALSE(view.completed);
    EXPECT_EQ(view.impossible, "D:\\Back\\Nul|" + ansi(u8"名稱是系統保留的裝置名稱"));
    EXPECT_TRUE(testsupport::folderNames(drives.host(u8"D:\\Back")).empty());
}

// A drive of the system itself, not of a test table: under Wine a dosdevices link that
// scripts/windows-core-tests makes and names in TARNWICK_TEST_DRIVE. Paths reach the system as
// the user types them, and the store lies in the system's own Program Files.
TEST(SystemDrive, ABackupOnADriveOfTheSystem) {
    const char* letter = std::getenv("TARNWICK_TEST_DRIVE");
    if (!letter || !std::isalpha(static_cast<unsigned char>(letter[0])))
        GTEST_SKIP() << "no drive made for the test";
    platform::useDriveTable(std::string());
    const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
    const std::string root = std::string(1, drive) + ":\\";
    EXPECT_NE(platform::logicalDrives() & (1u << (drive - 'A')), 0u);
    EXPECT_EQ(platform::driveType(root), platform::kDriveFixed); // from GetDriveTypeA

    const fs::path host(root);
    const fs::path program =
        fs::path(platform::systemDirectory()).root_path() / "Program Files" / "Tarnwick2004";
    fs::remove_all(program);
    fs::remove_all(host / "Data");
    fs::remove_all(host / "Bak");
    writeFile(host / "Data" / "a.txt", "alpha");
    writeFile(host / "Data" / fs::path(u8"許功蓋.txt"), "xu");
    fs::create_directories(host / "Bak");
    platform::setTodayForTesting(year(2004) / May / 1);

    RecordingConsole console;
    const std::vector<std::string> arguments{"--backup", "--source", root + "Data", "--dest",
                                             root + "Bak"};
    EXPECT_EQ(cli::runCommandLine(arguments, console).value_or(-1), 0) << console.err;
    platform::setTodayForTesting(std::nullopt);

    const fs::path copy = host / "Bak" / "2004_5_1_Back" / "Data";
    EXPECT_EQ(readFile(copy / "a.txt"), "alpha");
    EXPECT_EQ(readFile(copy / fs::path(u8"許功蓋.txt")), "xu");
    EXPECT_EQ(readFile(program / "Recover" / "BackupDir.ini"), root + "Bak\\<1>2004_5_1_Back\r\n");
    EXPECT_EQ(readFile(program / "TotalCount.ini"), "1");
    fs::remove_all(program);
}

} // namespace
#endif

// A profile holds links Windows keeps for old programs ("Application Data", "My Documents" ...):
// never followed, they are passed over and told, and a backup with nothing else amiss still ends
// with 0. Wine makes no such links; what the listing calls one is tested with the host layer.
TEST(CompatibilityLinks, ArePassedOverAndToldButAreNoFailure) {
    const std::string link = "C:\\Users\\Ann\\Application Data";
    for (bool quiet : {false, true}) {
        backup::CopyReport report;
        report.filesHandled = 1;
        report.restorePoint = 3;
        report.failures.addPassedLink(link);
        EXPECT_FALSE(report.failures.any());
        EXPECT_EQ(report.filesCopied(), 1);
        RecordingConsole console;
        cli::BackupPrinter printer(console, quiet);
        printer.completionDone(report, true);
        EXPECT_EQ(printer.finish("C:\\Users\\Ann", "D:\\Bak\\2004_5_1_Back"), cli::kAllBackedUp);
        const std::string told =
            ansi(u8"有 1 個 Windows "
                 u8"為舊程式保留的相容性連結（隱藏的系統連結，不跟隨，不算失敗）：\n") +
            link + "\n";
        EXPECT_EQ(console.out.find(told) != std::string::npos, !quiet) << console.out;
        EXPECT_EQ(console.err, "");
    }
}
