// What a backup and a restore keep of a file tree besides the bytes: folders' modification
// times, files of several names, files with holes.
#include "support/recordingconsole.h"
#include "support/testdrives.h"

#include "cli/commands.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;
using namespace std::chrono;

namespace {

// Sets a folder's modification time to some hours ago (the C++ library of mingw-w64 cannot set
// a folder's).
void setFolderTime(const fs::path& folder, int hoursAgo) {
#ifdef _WIN32
    HANDLE handle = ::CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << folder;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = ((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) -
                           uint64_t(hoursAgo) * 3600 * 10'000'000;
    const FILETIME lastWrite{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_TRUE(::SetFileTime(handle, nullptr, nullptr, &lastWrite)) << folder;
    ::CloseHandle(handle);
#else
    fs::last_write_time(folder, fs::file_time_type::clock::now() - hours(hoursAgo));
#endif
}

class Faithful : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(drives.host(u8"E:\\Bak"));
        platform::setTodayForTesting(year(2004) / May / 1);
    }
    void TearDown() override { platform::setTodayForTesting(std::nullopt); }

    int backUp() {
        const std::vector<std::string> arguments{"--backup", "--source", "D:\\Data", "--dest",
                                                 "E:\\Bak"};
        return cli::runCommandLine(arguments, console).value_or(-1);
    }
    // Restores the backup into D:\Back (as D:\Back\Data), as the restore dialog would.
    int restore() {
        const std::vector<std::string> arguments{"--restore", "--dest", "E:\\Bak", "--point",
                                                 "1",         "--to",   "D:\\Back"};
        return cli::runCommandLine(arguments, console).value_or(-1);
    }
    fs::path source() { return drives.host(u8"D:\\Data"); }
    fs::path backup() { return drives.host(u8"E:\\Bak\\2004_5_1_Back\\Data"); }
    fs::path restored() { return drives.host(u8"D:\\Back\\Data"); }

    testsupport::TestDrives drives;
    testsupport::RecordingConsole console;
};

// A folder's time is what its files and sub-folders left it: the copy's folders were just made
// and filled, and would all say today.
TEST_F(Faithful, FoldersKeepTheirModificationTimes) {
    writeFile(source() / "Old" / "Deeper" / "a.txt", "a");
    writeFile(source() / "Old" / "b.txt", "b");
    fs::create_directories(source() / "Empty");
    setFolderTime(source() / "Old" / "Deeper", 24 * 400);
    setFolderTime(source() / "Old", 24 * 365);
    setFolderTime(source() / "Empty", 24 * 400);
    setFolderTime(source(), 24 * 365);

    ASSERT_EQ(backUp(), 0) << console.err << console.out;
    ASSERT_EQ(restore(), 0) << console.err << console.out;
    // To the second: FAT keeps two, and the Windows build's copies a hundred nanoseconds.
    auto secondsOf = [](const fs::path& folder) {
        return duration_cast<seconds>(fs::last_write_time(folder).time_since_epoch()).count();
    };
    for (const fs::path& copy : {backup(), restored()}) {
        SCOPED_TRACE(copy.string());
        for (const char* folder : {"Old/Deeper", "Old", "Empty"})
            EXPECT_EQ(secondsOf(copy / folder), secondsOf(source() / folder)) << folder;
        EXPECT_EQ(readFile(copy / "Old" / "Deeper" / "a.txt"), "a");
    }
    // The backup's own root is the source folder's copy; the restore's is where it went back to.
    EXPECT_EQ(secondsOf(backup()), secondsOf(source()));
}

#ifndef _WIN32
struct stat statOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Two names of one file are one file in the copy, with both names: copied once, and what is
// written through one name is what the other reads, as in the source.
TEST_F(Faithful, AFileOfSeveralNamesIsCopiedOnceAndLinked) {
    writeFile(source() / "one.txt", "shared");
    fs::create_directories(source() / "Sub" / "Deep");
    fs::create_hard_link(source() / "one.txt", source() / "Sub" / "two.txt");
    fs::create_hard_link(source() / "one.txt", source() / "Sub" / "Deep" / "three.txt");
    writeFile(source() / "alone.txt", "alone");
    // One name of it lies outside the tree: the names inside are still one file.
    writeFile(source() / "pair.txt", "pair");
    fs::create_hard_link(source() / "pair.txt", drives.host(u8"D:\\outside.txt"));
    fs::create_hard_link(source() / "pair.txt", source() / "Sub" / "pair2.txt");

    ASSERT_EQ(backUp(), 0) << console.err << console.out;
    ASSERT_EQ(restore(), 0) << console.err << console.out;
    for (const fs::path& copy : {backup(), restored()}) {
        SCOPED_TRACE(copy.string());
        struct stat one = statOf(copy / "one.txt");
        EXPECT_EQ(one.st_nlink, 3u);
        EXPECT_EQ(statOf(copy / "Sub" / "two.txt").st_ino, one.st_ino);
        EXPECT_EQ(statOf(copy / "Sub" / "Deep" / "three.txt").st_ino, one.st_ino);
        EXPECT_EQ(readFile(copy / "Sub" / "Deep" / "three.txt"), "shared");
        EXPECT_EQ(statOf(copy / "Sub" / "pair2.txt").st_ino, statOf(copy / "pair.txt").st_ino);
        EXPECT_EQ(statOf(copy / "alone.txt").st_nlink, 1u);
        EXPECT_NE(statOf(copy / "alone.txt").st_ino, one.st_ino);
    }
    EXPECT_EQ(statOf(backup() / "pair.txt").st_nlink, 2u); // not the name outside
}

// A restore reads a backup whose every file is also a name in the day before (linked, unchanged):
// those names outside the tree are many, and the tree's own two names of one file still come
// back as one file.
TEST_F(Faithful, ARestoreOfALinkedDayKeepsTheTreesOwnLinks) {
    for (int i = 0; i < 600; ++i)
        writeFile(source() / ("f" + std::to_string(i) + ".txt"), std::to_string(i));
    writeFile(source() / "Sub" / "one.txt", "shared");
    fs::create_hard_link(source() / "Sub" / "one.txt", source() / "Sub" / "two.txt");
    ASSERT_EQ(backUp(), 0) << console.err << console.out;
    platform::setTodayForTesting(year(2004) / May / 2);
    ASSERT_EQ(backUp(), 0) << console.err << console.out;
    const fs::path day2 = drives.host(u8"E:\\Bak\\2004_5_2_Back\\Data");
    ASSERT_EQ(statOf(day2 / "f599.txt").st_nlink, 2u); // linked to the day before

    const std::vector<std::string> arguments{"--restore", "--dest", "E:\\Bak", "--point",
                                             "2",         "--to",   "D:\\Back"};
    ASSERT_EQ(cli::runCommandLine(arguments, console).value_or(-1), 0) << console.err;
    const fs::path back = restored() / "Sub";
    EXPECT_EQ(statOf(back / "one.txt").st_ino, statOf(back / "two.txt").st_ino);
    EXPECT_EQ(statOf(back / "one.txt").st_nlink, 2u);
    EXPECT_EQ(readFile(restored() / "f599.txt"), "599");
}

// A file with holes (a disk image, a database) keeps them: a 24 MiB file of one written MiB
// takes about a MiB in the copy, not 24, and reads the same.
TEST_F(Faithful, HolesStayHoles) {
    fs::create_directories(source());
    const fs::path sparse = source() / "disk.img";
    int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const std::string island(1 << 20, 'x');
    ASSERT_EQ(::pwrite(fd, island.data(), island.size(), 8 << 20), ssize_t(island.size()));
    ASSERT_EQ(::ftruncate(fd, 24 << 20), 0); // a hole at the end too
    ::close(fd);
    if (statOf(sparse).st_blocks * 512 > (4 << 20))
        GTEST_SKIP() << "the test's file system keeps no holes";

    ASSERT_EQ(backUp(), 0) << console.err << console.out;
    ASSERT_EQ(restore(), 0) << console.err << console.out;
    for (const fs::path& copy : {backup() / "disk.img", restored() / "disk.img"}) {
        SCOPED_TRACE(copy.string());
        struct stat st = statOf(copy);
        EXPECT_EQ(st.st_size, 24 << 20);
        EXPECT_LE(st.st_blocks * 512, 4 << 20);
        EXPECT_TRUE(readFile(copy) == readFile(sparse));
    }
}
#endif

} // namespace
