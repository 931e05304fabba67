// The host layer on the system it runs on: names, copies, the program's own writes, the lock,
// drives. The same tests run on Linux and, under Wine, on Win32.
#include "support/testdrives.h"

#include "faults/faults.h"
#include "platform/drives.h"
#include "platform/filecopy.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "platform/hostpath.h"
#include "platform/hostsystem.h"
#include "platform/process.h"
#include "platform/targetfolder.h"
#include "text/codepage.h"
#include "text/programpath.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

class HostLayer : public ::testing::Test {
protected:
    void TearDown() override { faults::clear(); }

    // The names a folder search gives, in its order.
    static std::vector<std::string> listing(const std::string& folder) {
        std::vector<std::string> names;
        platform::FolderSearch search;
        platform::FindData entry;
        for (bool found = search.findFirst(folder, entry); found; found = search.findNext(entry))
            names.push_back(entry.name);
        return names;
    }
    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::TestDrives drives;
};

TEST_F(HostLayer, Big5NamesWithBackslashTrailBytesRoundTrip) {
    // 許 is B3 5C and 功 is A5 5C: their trail byte is a backslash.
    const std::string xu = ansi(u8"許");
    const std::string gong = ansi(u8"功");
    ASSERT_EQ(xu, "\xB3\x5C");
    drives.driveFolder('d');
    ASSERT_TRUE(platform::createFolder("D:\\" + xu));
    ASSERT_TRUE(platform::folderExists("D:\\" + xu));
    EXPECT_TRUE(fs::is_directory(drives.host(u8"D:\\許")));

    // A file the program writes shows up under its Unicode name, and one the host makes is
    // listed in code page 950.
    ASSERT_TRUE(platform::replaceFile("D:\\" + xu + "\\" + gong + ".txt", "gong"));
    writeFile(drives.host(u8"D:\\許\\許功蓋.txt"), "xu");
    EXPECT_EQ(readFile(drives.host(u8"D:\\許\\功.txt")), "gong");
    std::vector<std::string> names = listing("D:\\" + xu);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    EXPECT_EQ(sorted({names[2], names[3]}), sorted({gong + ".txt", ansi(u8"許功蓋.txt")}));
    EXPECT_EQ(platform::readFile("D:\\" + xu + "\\" + ansi(u8"許功蓋.txt"), 100).bytes, "xu");
}

TEST_F(HostLayer, ANameWithoutACodePage950FormReadsAsQuestionMarkAndIsRefused) {
    writeFile(drives.driveFolder('d') / fs::path(u8"caf\u00E9.txt"), "x"); // é has no Big5 form
    // A character beyond the first 65536 is one "?" too, though Windows gives it two UTF-16 units.
    writeFile(drives.driveFolder('d') / fs::path(u8"\U0001F600.txt"), "smile");
    std::vector<std::string> names = sorted(listing("D:\\"));
    ASSERT_EQ(names, (std::vector<std::string>{"?.txt", "caf?.txt"})); // a root lists no dots
    EXPECT_EQ(platform::readFile("D:\\caf?.txt", 100).status, platform::ReadStatus::Missing);
    std::string whyNot;
    platform::TargetFolder folder = platform::TargetFolder::open("D:\\", whyNot);
    ASSERT_TRUE(folder.isOpen()) << whyNot;
    EXPECT_EQ(folder.copyIn("D:\\caf?.txt", "x.txt").reason,
              ansi(u8"名稱含有此系統無法表示的字元"));
}

TEST_F(HostLayer, CodePage950ConvertsBothWays) {
    EXPECT_EQ(ansi(u8"許功蓋"), "\xB3\x5C\xA5\x5C\xBB\x5C");
    EXPECT_EQ(text::utf8FromAnsiStrict("\xA4\x40"), std::string("\xE4\xB8\x80")); // 一
    EXPECT_EQ(text::utf8FromAnsiStrict("ok\xA4"), std::nullopt); // a lead byte alone
    EXPECT_EQ(text::utf8FromAnsi("ok"), "ok");
}

TEST(ProgramPath, FoldersTakeTheFormTheDirectoryListsKeep) {
    using text::normalizedFolder;
    EXPECT_EQ(normalizedFolder("e:"), "E:\\");
    EXPECT_EQ(normalizedFolder("E:/"), "E:\\");
    EXPECT_EQ(normalizedFolder("E:\\.\\"), "E:\\");
    EXPECT_EQ(normalizedFolder("E:\\..\\.."), "E:\\"); // never above the root
    EXPECT_EQ(normalizedFolder("E:/Bak"), "E:\\Bak");
    EXPECT_EQ(normalizedFolder("E:\\.\\Bak"), "E:\\Bak");
    EXPECT_EQ(normalizedFolder("E:\\Bak\\..\\Bak\\"), "E:\\Bak");
    EXPECT_EQ(normalizedFolder("E:\\\\Bak//Old\\"), "E:\\Bak\\Old");
    // 許 and 功 end in the byte 0x5C: no separator, whatever follows them.
    EXPECT_EQ(normalizedFolder(ansi(u8"d:\\許\\")), ansi(u8"D:\\許"));
    EXPECT_EQ(normalizedFolder(ansi(u8"D:/許功/../功/./")), ansi(u8"D:\\功"));
    EXPECT_EQ(normalizedFolder(ansi(u8"D:\\許\\..")), "D:\\");
    // What is no full path is left for its refusal to show as it was given.
    EXPECT_EQ(normalizedFolder("E:Bak\\"), "E:Bak\\");
    EXPECT_EQ(normalizedFolder("Bak/"), "Bak/");
}

TEST_F(HostLayer, CopyWithoutReplacingKeepsWhatIsThere) {
    writeFile(drives.host(u8"D:\\Src\\a.txt"), "new contents");
    writeFile(drives.host(u8"D:\\Src\\b.txt"), std::string(300000, 'b'));
    writeFile(drives.host(u8"E:\\Bak\\a.txt"), "old");
    auto past = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(drives.host(u8"D:\\Src\\b.txt"), past);

    // Another file at the name is kept, and told apart from the source's copy.
    platform::CopyResult kept = platform::copyFileNoReplace("D:\\Src\\a.txt", "E:\\Bak\\a.txt");
    EXPECT_EQ(kept.status, platform::CopyStatus::TargetDiffers);
    EXPECT_EQ(readFile(drives.host(u8"E:\\Bak\\a.txt")), "old");

    platform::CopyResult copied = platform::copyFileNoReplace("D:\\Src\\b.txt", "E:\\Bak\\b.txt");
    EXPECT_EQ(copied.status, platform::CopyStatus::Copied) << copied.reason;
    EXPECT_EQ(copied.bytes, 300000u);
    EXPECT_EQ(readFile(drives.host(u8"E:\\Bak\\b.txt")), std::string(300000, 'b'));
    EXPECT_EQ(fs::last_write_time(drives.host(u8"E:\\Bak\\b.txt")),
              fs::last_write_time(drives.host(u8"D:\\Src\\b.txt")));
    // The copy itself, found again, is there already.
    EXPECT_EQ(platform::copyFileNoReplace("D:\\Src\\b.txt", "E:\\Bak\\b.txt").status,
              platform::CopyStatus::TargetExists);
    // The same size but another time, or the same time but another size: not the copy.
    writeFile(drives.host(u8"D:\\Src\\b.txt"), std::string(300000, 'c'));
    EXPECT_EQ(platform::copyFileNoReplace("D:\\Src\\b.txt", "E:\\Bak\\b.txt").status,
              platform::CopyStatus::TargetDiffers);
    writeFile(drives.host(u8"D:\\Src\\b.txt"), std::string(300001, 'b'));
    fs::last_write_time(drives.host(u8"D:\\Src\\b.txt"), past);
    EXPECT_EQ(platform::copyFileNoReplace("D:\\Src\\b.txt", "E:\\Bak\\b.txt").status,
              platform::CopyStatus::TargetDiffers);
    EXPECT_EQ(readFile(drives.host(u8"E:\\Bak\\b.txt")), std::string(300000, 'b'));

    // A missing source: a Chinese reason, and nothing under the name or beside it.
    platform::CopyResult missing =
        platform::copyFileNoReplace("D:\\Src\\gone.txt", "E:\\Bak\\gone.txt");
    EXPECT_EQ(missing.status, platform::CopyStatus::Failed);
    EXPECT_EQ(missing.reason, ansi(u8"找不到檔案或資料夾"));
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"E:\\Bak")),
              (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(HostLayer, ATargetFolderRefusesAFileInTheWay) {
    writeFile(drives.host(u8"E:\\Bak\\Data"), "a file, not a folder");
    std::string whyNot;
    platform::TargetFolder bak = platform::TargetFolder::open("E:\\Bak", whyNot);
    ASSERT_TRUE(bak.isOpen()) << whyNot;
    EXPECT_FALSE(bak.makeSub("Data", whyNot));
    EXPECT_EQ(whyNot, ansi(u8"此處是檔案，不是資料夾"));
    EXPECT_FALSE(bak.openSub("Data", whyNot).isOpen());
    EXPECT_EQ(whyNot, ansi(u8"此處是檔案，不是資料夾"));

    ASSERT_TRUE(bak.makeSub("New", whyNot)) << whyNot;
    EXPECT_TRUE(bak.makeSub("New", whyNot)); // already there: fine
    platform::TargetFolder sub = bak.openSub("New", whyNot);
    ASSERT_TRUE(sub.isOpen()) << whyNot;
    EXPECT_EQ(sub.id(), platform::folderId("E:\\Bak\\New"));
    EXPECT_NE(sub.id(), bak.id());
    writeFile(drives.host(u8"D:\\x.txt"), "x");
    EXPECT_EQ(sub.copyIn("D:\\x.txt", "x.txt").status, platform::CopyStatus::Copied);
    EXPECT_EQ(readFile(drives.host(u8"E:\\Bak\\New\\x.txt")), "x");
}

TEST_F(HostLayer, TheProgramsOwnWritesAreWholeOrNothing) {
    const std::string path = "C:\\Store.ini";
    ASSERT_TRUE(platform::replaceFile(path, "first"));
    ASSERT_TRUE(platform::replaceFile(path, "second, longer"));
    EXPECT_EQ(readFile(drives.host(u8"C:\\Store.ini")), "second, longer");
    platform::WriteResult refused = platform::createNewFile(path, "third");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.reason, ansi(u8"已有同名的項目"));
    ASSERT_TRUE(platform::createNewFile("C:\\Other.ini", "other"));

    // What a write does, call by call: the contents on the disk before they take the name, and
    // the name on the disk before the write returns.
    faults::planStoreSteps(0, 0, 0);
    ASSERT_TRUE(platform::createNewFile("C:\\New.ini", "new"));
    std::vector<std::string> created = faults::storeCallsMade();
    faults::planStoreSteps(0, 0, 0);
    ASSERT_TRUE(platform::replaceFile(path, "counted"));
    std::vector<std::string> replaced = faults::storeCallsMade();
#ifdef _WIN32
    using Calls = std::vector<std::string>;
    EXPECT_EQ(created, (Calls{"open", "write", "flush", "close", "move"}));
    EXPECT_EQ(replaced, (Calls{"open", "write", "flush", "close", "move"}));
#else
    using Calls = std::vector<std::string>;
    EXPECT_EQ(created, (Calls{"open", "write", "fsync", "link", "fsync folder"}));
    EXPECT_EQ(replaced, (Calls{"open", "write", "fsync", "link", "rename", "fsync folder"}));
#endif

    // A full disk at each step of a replacement in turn: the write fails with its reason, the
    // file holds the old or the new contents whole, and no temporary file is left.
    const int steps = faults::storeStepsTaken();
    ASSERT_EQ(steps, static_cast<int>(2 * replaced.size()));
    for (int step = 1; step <= steps; step += 2) { // each call: a step before it, one after
        faults::clear();
        ASSERT_TRUE(platform::replaceFile(path, "counted"));
        faults::planStoreSteps(0, step, ENOSPC);
        platform::WriteResult result = platform::replaceFile(path, "never seen");
        EXPECT_FALSE(result.ok) << "step " << step;
        EXPECT_EQ(result.reason, ansi(u8"磁碟空間不足"));
        std::string now = readFile(drives.host(u8"C:\\Store.ini"));
        EXPECT_TRUE(now == "counted" || now == "never seen") << "step " << step << ": " << now;
        if (step == 1) {
            EXPECT_EQ(now, "counted");
        }
        std::vector<std::string> names = testsupport::folderNames(drives.driveFolder('c'));
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& n) { return n.ends_with(".tmp"); }),
                  0)
            << "step " << step;
    }
    faults::clear();
    EXPECT_EQ(platform::readFile(path, 5).status, platform::ReadStatus::TooLarge);
    EXPECT_EQ(platform::readFile("C:\\None.ini", 5).status, platform::ReadStatus::Missing);
    EXPECT_FALSE(platform::canOpenForReading("C:\\windows")); // a folder is no file
}

TEST_F(HostLayer, TheStoreLockMakesOthersWait) {
    const std::string lockPath = "C:\\store.lock";
    std::atomic<bool> secondHasIt{false};
    std::thread second;
    {
        platform::FileLock first(lockPath);
        second = std::thread([&] {
            platform::FileLock mine(lockPath);
            secondHasIt = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(secondHasIt.load());
    }
    second.join();
    EXPECT_TRUE(secondHasIt.load());
}

TEST_F(HostLayer, TemporariesOfAProgramThatIsGoneAreSwept) {
    const std::string mine = ".a.txt.tw" + std::to_string(platform::currentProcessId()) + "-1.tmp";
    writeFile(drives.host(u8"E:\\Bak\\.a.txt.tw999999-3.tmp"), "left over");
    writeFile(drives.host(u8"E:\\Bak\\a.txt"), "kept");
    writeFile(drives.driveFolder('e') / "Bak" / mine, "in use");
    platform::removeStaleTemporaries("E:\\Bak");
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"E:\\Bak")),
              (std::vector<std::string>{mine, "a.txt"}));
    EXPECT_TRUE(platform::isStagingName(".a.txt.tw999999-3.tmp"));
    EXPECT_FALSE(platform::isStagingName("a.txt.tmp"));
}

// Whether this runs under Wine, whose copy engine never calls a copy's progress routine.
static bool underWine() {
#ifdef _WIN32
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// A copy under a temporary name holds the program's end (Windows always; FAT on Linux): once the
// program is ending it gives up at its next chunk, leaving neither the temporary nor the file.
TEST_F(HostLayer, TheProgramsEndStopsACopyUnderATemporaryNameAtItsNextChunk) {
    writeFile(drives.host(u8"D:\\Src\\big.bin"), std::string(size_t{48} << 20, 'b'));
    fs::create_directories(drives.host(u8"E:\\Bak"));
    faults::failAt("tmpfile", "big.bin", EOPNOTSUPP); // no unnamed files, as on FAT
    std::string whyNot;
    platform::HeldFolder source = platform::HeldFolder::open("D:\\Src", whyNot);
    platform::TargetFolder bak = platform::TargetFolder::open("E:\\Bak", whyNot);
    ASSERT_TRUE(source.isOpen() && bak.isOpen()) << whyNot;

    // Ending already: no copy begins.
    platform::requestExitForTesting(true);
    platform::CopyResult refused = bak.copyIn(source, "big.bin", "big.bin");
    platform::requestExitForTesting(false);
    EXPECT_EQ(refused.status, platform::CopyStatus::Failed);
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"E:\\Bak")), std::vector<std::string>{});

    // Ending during the copy: it stops at the next chunk.
    int chunks = 0;
    faults::beforeOperation("copychunk", "big.bin", [&] {
        if (++chunks == 2)
            platform::requestExitForTesting(true);
    });
    platform::CopyResult stopped = bak.copyIn(source, "big.bin", "big.bin");
    platform::requestExitForTesting(false);
    if (chunks == 0 && underWine()) {
        // The copy went through whole without a chunk reported: that part only shows on Windows.
        EXPECT_EQ(stopped.status, platform::CopyStatus::Copied) << stopped.reason;
        return;
    }
    EXPECT_EQ(stopped.status, platform::CopyStatus::Failed);
    EXPECT_EQ(chunks, 2); // not one chunk more than it had begun
    EXPECT_EQ(testsupport::folderNames(drives.host(u8"E:\\Bak")), std::vector<std::string>{});
    // Not ending, the same copy goes through whole.
    platform::CopyResult whole = bak.copyIn(source, "big.bin", "big.bin");
    EXPECT_EQ(whole.status, platform::CopyStatus::Copied) << whole.reason;
    EXPECT_GT(chunks, 3);
    EXPECT_EQ(fs::file_size(drives.host(u8"E:\\Bak\\big.bin")), size_t{48} << 20);
}

TEST_F(HostLayer, DrivesOfTheTableAndOfTheSystem) {
    drives.driveFolder('d');
    uint32_t mask = platform::logicalDrives();
    EXPECT_EQ(mask & 0b1100, 0b1100u); // C and D
    EXPECT_EQ(mask & (1u << 16), 0u);  // no Q
    EXPECT_EQ(platform::driveType("Q:\\"), platform::kDriveNoRootDir);
    EXPECT_NE(platform::driveType("D:\\"), platform::kDriveNoRootDir);
    EXPECT_EQ(platform::systemDirectory(), "C:\\windows\\system32");
    platform::overrideDrive('D', platform::DriveOverride{platform::kDriveCdRom, "DISC"});
    EXPECT_EQ(platform::driveType("d:"), platform::kDriveCdRom);
    EXPECT_EQ(platform::volumeLabel("D:\\"), std::string("DISC"));
    platform::overrideDrive('D', std::nullopt);
}

// Each name Windows would not keep as written has a reason of its own: a device name (any case,
// with or without an extension) and a trailing dot or space. The rule looks only at ASCII bytes,
// so a Big5 name whose trail byte is 0x5C is read whole.
TEST(WindowsNames, EachNameWindowsWouldNotKeepHasItsReason) {
    using text::WindowsNameFault;
    for (const char* name : {"CON", "con.txt", "Nul", "AUX .log", "PRN.tar.gz", "Com1", "lpt9.log"})
        EXPECT_EQ(text::windowsNameFault(name), WindowsNameFault::DeviceName) << name;
    for (std::string name : {std::string("name."), std::string("trail "), std::string("a.b."),
                             std::string("CON "), ansi(u8"許.")})
        EXPECT_EQ(text::windowsNameFault(name), WindowsNameFault::TrailingDotOrSpace) << name;
    for (std::string name :
         {std::string("COM10"), std::string("console"), std::string("LPT"), std::string("CONX.txt"),
          std::string(".hidden"), std::string("a.b"), std::string("NUL_"), ansi(u8"許功蓋")})
        EXPECT_EQ(text::windowsNameFault(name), WindowsNameFault::None) << name;
    EXPECT_EQ(platform::reasonForNameFault(WindowsNameFault::DeviceName),
              ansi(u8"名稱是系統保留的裝置名稱"));
    EXPECT_EQ(platform::reasonForNameFault(WindowsNameFault::TrailingDotOrSpace),
              ansi(u8"名稱結尾不可以是句點或空格"));
    EXPECT_EQ(platform::reasonForNameFault(WindowsNameFault::None),
              ansi(u8"名稱含有此系統無法表示的字元"));
}

#ifdef _WIN32
// Names Windows would not keep as written (a trailing space or dot, a device name) are refused,
// not made through the long form of the path where Explorer could not reach them, and each
// refusal says which rule the name breaks: a folder, a copy, a folder opened by its path.
TEST_F(HostLayer, NamesWindowsWouldNotKeepAreRefusedWithTheirReason) {
    drives.driveFolder('d');
    writeFile(drives.host(u8"E:\\a.txt"), "a");
    const std::string device = ansi(u8"名稱是系統保留的裝置名稱");
    const std::string ending = ansi(u8"名稱結尾不可以是句點或空格");
    const std::pair<const char*, std::string> cases[] = {
        {"Trailing ", ending}, {"Dot.", ending}, {"CON", device},
        {"nul.txt", device},   {"Com1", device}, {"LPT9.log", device}};
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        std::string whyNot;
        EXPECT_FALSE(platform::createFolder(std::string("D:\\") + name, whyNot));
        EXPECT_EQ(whyNot, reason);
        whyNot.clear();
        platform::TargetFolder root = platform::TargetFolder::open("D:\\", whyNot);
        EXPECT_FALSE(root.makeSub(name, whyNot));
        EXPECT_EQ(whyNot, reason);
        platform::CopyResult copy = root.copyIn("E:\\a.txt", name);
        EXPECT_EQ(copy.status, platform::CopyStatus::Failed);
        EXPECT_EQ(copy.reason, reason);
        whyNot.clear();
        EXPECT_FALSE(
            platform::TargetFolder::open(std::string("D:\\") + name + "\\Sub", whyNot).isOpen());
        EXPECT_EQ(whyNot, reason);
        whyNot.clear();
        EXPECT_FALSE(platform::HeldFolder::open(std::string("D:\\") + name, whyNot).isOpen());
        EXPECT_EQ(whyNot, reason);
    }
    // A name without a code page 950 form keeps its own reason, whatever its ending.
    std::string whyNot;
    EXPECT_FALSE(platform::createFolder("D:\\a?b.", whyNot));
    EXPECT_EQ(whyNot, ansi(u8"名稱含有此系統無法表示的字元"));
    EXPECT_TRUE(testsupport::folderNames(drives.driveFolder('d')).empty());
    EXPECT_TRUE(platform::createFolder("D:\\COM10"));
    EXPECT_TRUE(platform::createFolder("D:\\console"));
}

// Windows errors that have no errno value get reasons of their own where a user meets them
// (an encrypted file on a FAT stick, antivirus, files kept in the cloud, files the system cannot
// reach), with the system's number to look up; others keep the number alone.
TEST(WindowsErrors, CommonErrorsWithoutAnErrnoHaveTheirOwnReason) {
    auto reason = [](DWORD code) {
        return platform::reasonForError(platform::errnoFromWin32(code));
    };
    EXPECT_EQ(reason(6000), ansi(u8"加密的檔案無法以加密方式存入此磁碟，代碼 6000"));
    EXPECT_EQ(reason(225), ansi(u8"防毒程式認為檔案含有病毒，已封鎖，代碼 225"));
    EXPECT_EQ(reason(226), ansi(u8"防毒程式認為檔案含有病毒，已刪除，代碼 226"));
    EXPECT_EQ(reason(1920), ansi(u8"系統無法存取此檔案，代碼 1920"));
    for (DWORD code : {362u, 386u, 388u, 404u, 426u})
        EXPECT_EQ(reason(code), ansi(u8"檔案存放在雲端，但雲端同步程式未執行或無法連線，代碼 ") +
                                    std::to_string(code));
    for (DWORD code : {358u, 363u, 366u, 374u, 379u, 383u, 389u, 391u, 395u, 398u})
        EXPECT_EQ(reason(code),
                  ansi(u8"檔案存放在雲端，無法從雲端取得，代碼 ") + std::to_string(code));
    // Not cloud errors, though their numbers lie among them.
    for (DWORD code : {367u, 369u, 376u, 400u})
        EXPECT_EQ(reason(code), ansi(u8"系統錯誤，代碼 ") + std::to_string(code));
}

// Without a table of its own the program sees the system's drives, as GetDriveTypeA reports
// them: under Wine, C: is the prefix's drive and Z: the host's root, both fixed disks.
TEST_F(HostLayer, TheSystemsOwnDrivesComeFromWindows) {
    platform::useDriveTable(std::string());
    EXPECT_NE(platform::logicalDrives() & (1u << 2), 0u);
    EXPECT_EQ(platform::driveType("C:\\"), platform::kDriveFixed);
    EXPECT_EQ(platform::driveType("c"), platform::kDriveFixed);
    std::string system = platform::systemDirectory();
    EXPECT_EQ(system.substr(0, 3), "C:\\");
    EXPECT_TRUE(platform::folderExists(system)) << system;
    uint32_t mask = platform::logicalDrives();
    for (int i = 0; i < 26; ++i) {
        std::string root = std::string(1, static_cast<char>('A' + i)) + ":\\";
        bool listed = (mask & (1u << i)) != 0;
        EXPECT_EQ(platform::driveType(root) == platform::kDriveNoRootDir, !listed) << root;
    }
}
#endif

} // namespace

#ifdef _WIN32
// The links Windows keeps in a profile for old programs are hidden system junctions; a link the
// user made, or a hidden file that is no link, is none.
TEST(CompatibilityLinks, AreHiddenSystemLinks) {
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    constexpr DWORD kLinkFolder = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    auto entry = [](DWORD attributes, DWORD tag) {
        WIN32_FIND_DATAW found{};
        found.dwFileAttributes = attributes;
        found.dwReserved0 = tag;
        return found;
    };
    EXPECT_TRUE(platform::isCompatibilityLink(
        entry(kLinkFolder | kHiddenSystem, IO_REPARSE_TAG_MOUNT_POINT)));
    EXPECT_TRUE(
        platform::isCompatibilityLink(entry(kLinkFolder | kHiddenSystem, IO_REPARSE_TAG_SYMLINK)));
    EXPECT_FALSE(platform::isCompatibilityLink(entry(kLinkFolder, IO_REPARSE_TAG_MOUNT_POINT)));
    EXPECT_FALSE(platform::isCompatibilityLink(
        entry(kLinkFolder | FILE_ATTRIBUTE_HIDDEN, IO_REPARSE_TAG_MOUNT_POINT)));
    // A file kept in the cloud is a reparse point but no link: it is the file it seems.
    EXPECT_FALSE(platform::isCompatibilityLink(
        entry(FILE_ATTRIBUTE_REPARSE_POINT | kHiddenSystem, 0x9000001AL)));
    EXPECT_FALSE(platform::isCompatibilityLink(entry(FILE_ATTRIBUTE_DIRECTORY | kHiddenSystem, 0)));
}
#endif
