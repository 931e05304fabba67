// An unchanged file is linked to its copy in the last backup rather than copied again: what
// counts as unchanged, what is never linked, and the file systems that refuse links.
#include "support/recordingconsole.h"
#include "support/testdrives.h"

#include "cli/commands.h"
#include "cli/console.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/targetfolder.h"
#include "walk/copypool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::RecordingConsole;
using testsupport::writeFile;
using namespace std::chrono;

namespace {

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

// Yesterday's copies in E:\Day1 of the files in D:\Src; today's go to E:\Day2.
class Linking : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(drives.host(u8"D:\\Src\\same.txt"), "unchanged since yesterday");
        writeFile(drives.host(u8"D:\\Src\\longer.txt"), "grew");
        writeFile(drives.host(u8"D:\\Src\\touched.txt"), "same bytes, new time");
        writeFile(drives.host(u8"D:\\Src\\locked.txt"), "permissions changed");
        writeFile(drives.host(u8"D:\\Src\\new.txt"), "not there yesterday");
        fs::create_directories(drives.host(u8"E:\\Day1"));
        fs::create_directories(drives.host(u8"E:\\Day2"));
        source = platform::HeldFolder::open("D:\\Src", whyNot);
        day1 = platform::TargetFolder::open("E:\\Day1", whyNot);
        day2 = platform::TargetFolder::open("E:\\Day2", whyNot);
        ASSERT_TRUE(source.isOpen() && day1.isOpen() && day2.isOpen()) << whyNot;
        for (const char* name : {"same.txt", "longer.txt", "touched.txt", "locked.txt"})
            ASSERT_EQ(day1.copyIn(source, name, name).status, platform::CopyStatus::Copied);
    }
    void TearDown() override { faults::clear(); }

    platform::CopyResult today(const char* name) {
        platform::LinkSource from{day1, trial};
        return day2.copyIn(source, name, name, &from);
    }
    fs::path yesterday(const char* name) { return drives.host(u8"E:\\Day1") / name; }
    fs::path copy(const char* name) { return drives.host(u8"E:\\Day2") / name; }
    fs::path src(const char* name) { return drives.host(u8"D:\\Src") / name; }

    testsupport::TestDrives drives;
    std::string whyNot;
    platform::HeldFolder source;
    platform::TargetFolder day1;
    platform::TargetFolder day2;
    platform::LinkTrial trial;
};

} // namespace

TEST_F(Linking, OnlyAFileOfTheSameSizeTimeAndPermissionsIsLinked) {
    writeFile(src("longer.txt"), "grew by a few bytes");
    auto time = fs::last_write_time(src("touched.txt"));
    fs::last_write_time(src("touched.txt"), time + seconds(3));
    fs::permissions(src("locked.txt"), fs::perms::owner_write, fs::perm_options::remove);

    platform::CopyResult same = today("same.txt");
    EXPECT_EQ(same.status, platform::CopyStatus::Linked);
    EXPECT_EQ(same.bytes, 0u); // nothing written
    EXPECT_TRUE(sameFile(copy("same.txt"), yesterday("same.txt")));

    for (const char* changed : {"longer.txt", "touched.txt", "locked.txt", "new.txt"}) {
        platform::CopyResult result = today(changed);
        EXPECT_EQ(result.status, platform::CopyStatus::Copied) << changed;
        EXPECT_FALSE(sameFile(copy(changed), yesterday(changed))) << changed;
        EXPECT_EQ(readFile(copy(changed)), readFile(src(changed))) << changed;
        EXPECT_EQ(fs::last_write_time(copy(changed)), fs::last_write_time(src(changed)));
    }
    EXPECT_EQ(readFile(yesterday("longer.txt")), "grew"); // yesterday's copies are as they were
    EXPECT_EQ(fs::status(copy("locked.txt")).permissions(),
              fs::status(src("locked.txt")).permissions());
    fs::permissions(src("locked.txt"), fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(copy("locked.txt"), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(Linking, ALinkNeverReplacesWhatIsThere) {
    writeFile(copy("same.txt"), "someone else's");
    EXPECT_EQ(today("same.txt").status, platform::CopyStatus::TargetDiffers);
    EXPECT_EQ(readFile(copy("same.txt")), "someone else's");
    EXPECT_FALSE(sameFile(copy("same.txt"), yesterday("same.txt")));

    // Today's copy made earlier today is there already: kept as it is, and not linked again.
    fs::remove(copy("same.txt"));
    ASSERT_EQ(day2.copyIn(source, "same.txt", "same.txt").status, platform::CopyStatus::Copied);
    EXPECT_EQ(today("same.txt").status, platform::CopyStatus::TargetExists);
    EXPECT_FALSE(sameFile(copy("same.txt"), yesterday("same.txt")));
}

TEST_F(Linking, AFileSystemThatRefusesLinksGetsCopies) {
    // At a file's link limit, that file is copied and the next still linked.
    faults::failAt("link", "same.txt", EMLINK);
    platform::CopyResult atTheLimit = today("same.txt");
    EXPECT_EQ(atTheLimit.status, platform::CopyStatus::Copied);
    EXPECT_FALSE(trial.refused());
    EXPECT_EQ(readFile(copy("same.txt")), "unchanged since yesterday");
    EXPECT_FALSE(sameFile(copy("same.txt"), yesterday("same.txt")));

    // A file system without links (FAT, many shares) refuses the link: a copy, and no link is
    // tried there again.
    fs::remove(copy("same.txt"));
    for (int refusal : {EPERM, EXDEV, EOPNOTSUPP}) {
        faults::clear();
        trial.reset();
        faults::failAt("link", "", refusal);
        platform::CopyResult refused = today("same.txt");
        EXPECT_EQ(refused.status, platform::CopyStatus::Copied) << refusal;
        EXPECT_TRUE(trial.refused()) << refusal;
        EXPECT_EQ(readFile(copy("same.txt")), "unchanged since yesterday");
        fs::remove(copy("same.txt"));
        faults::clear();
        EXPECT_EQ(today("same.txt").status, platform::CopyStatus::Copied) << refusal;
        EXPECT_FALSE(sameFile(copy("same.txt"), yesterday("same.txt")));
        fs::remove(copy("same.txt"));
    }
}

// However many copies run at once, a file system that makes no links is asked once.
TEST(LinkTrial, AsksTheFileSystemOnceWhateverRunsBeside) {
    for (int answer : {EPERM, 0}) {
        platform::LinkTrial trial;
        std::atomic<int> tried{0};
        std::atomic<bool> go{false};
        auto link = [&] {
            ++tried;
            std::this_thread::yield();
            return answer;
        };
        std::vector<std::thread> copies;
        for (int i = 0; i < 8; ++i)
            copies.emplace_back([&] {
                while (!go) {
                }
                for (int file = 0; file < 50; ++file)
                    (void)trial.attempt(link);
            });
        go = true;
        for (std::thread& copy : copies)
            copy.join();
        if (answer == EPERM) {
            EXPECT_EQ(tried.load(), 1);
            EXPECT_TRUE(trial.refused());
        } else {
            EXPECT_EQ(tried.load(), 400);
            EXPECT_FALSE(trial.refused());
        }
    }
    // Only a link made or refused tells: a name taken or a file gone leaves it untold.
    platform::LinkTrial trial;
    for (int error : {EEXIST, ENOENT, EMLINK})
        EXPECT_EQ(trial.attempt([&] { return error; }), error);
    EXPECT_EQ(trial.attempt([] { return EXDEV; }), EXDEV);
    EXPECT_EQ(trial.attempt([] { return 0; }), std::nullopt);
}

#ifndef _WIN32 // symbolic links without the privilege Windows asks for
TEST_F(Linking, LinksAreNeverFollowedNorLinkedTo) {
    // Yesterday's copy is a symbolic link now (to a file just like the source): never linked to.
    fs::remove(yesterday("same.txt"));
    writeFile(drives.host(u8"E:\\Elsewhere\\same.txt"), "unchanged since yesterday");
    fs::last_write_time(drives.host(u8"E:\\Elsewhere\\same.txt"),
                        fs::last_write_time(src("same.txt")));
    fs::create_symlink(drives.host(u8"E:\\Elsewhere\\same.txt"), yesterday("same.txt"));
    EXPECT_EQ(today("same.txt").status, platform::CopyStatus::Copied);
    EXPECT_FALSE(fs::is_symlink(copy("same.txt")));
    EXPECT_EQ(fs::hard_link_count(drives.host(u8"E:\\Elsewhere\\same.txt")), 1u);

    // A file that became a link is copied as a link; a link that became a file, as a file.
    fs::remove(src("longer.txt"));
    fs::create_symlink("same.txt", src("longer.txt"));
    EXPECT_EQ(today("longer.txt").status, platform::CopyStatus::Copied);
    EXPECT_TRUE(fs::is_symlink(copy("longer.txt")));
    EXPECT_EQ(fs::read_symlink(copy("longer.txt")), fs::path("same.txt"));
    fs::create_symlink("same.txt", copy("link-yesterday"));
    fs::rename(copy("link-yesterday"), yesterday("link"));
    writeFile(src("link"), "a file now");
    EXPECT_EQ(today("link").status, platform::CopyStatus::Copied);
    EXPECT_FALSE(fs::is_symlink(copy("link")));
    EXPECT_EQ(readFile(copy("link")), "a file now");
}
#endif

namespace {

// Backups from the command line on faked days.
class LinkedBackup : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
        writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta");
        writeFile(drives.host(u8"C:\\Data\\Sub\\c.txt"), "gamma");
        fs::create_directories(drives.host(u8"D:\\Bak"));
    }
    void TearDown() override {
        platform::setTodayForTesting(std::nullopt);
        faults::clear();
    }

    int backUpOn(unsigned day, std::vector<std::string> options = {}) {
        platform::setTodayForTesting(year(2004) / May / day);
        options.insert(options.begin(), {"--backup", "--dest", "D:\\Bak"});
        if (std::find(options.begin(), options.end(), "--source") == options.end())
            options.insert(options.end(), {"--source", "C:\\Data"});
        console = RecordingConsole();
        return cli::runCommandLine(options, console).value_or(-1);
    }
    fs::path copyOn(unsigned day, const char* file, const char* folder = "Data") {
        return drives.host(u8"D:\\Bak") / ("2004_5_" + std::to_string(day) + "_Back") / folder /
               file;
    }
    bool linked(unsigned a, unsigned b, const char* file) {
        return sameFile(copyOn(a, file), copyOn(b, file));
    }
    bool says(std::u8string_view text) { return console.out.find(ansi(text)) != std::string::npos; }

    testsupport::TestDrives drives;
    RecordingConsole console;
};

} // namespace

TEST_F(LinkedBackup, ASecondDayLinksWhatDidNotChange) {
    ASSERT_EQ(backUpOn(1), 0) << console.err;
    EXPECT_FALSE(says(u8"未變更")); // nothing to link to on the first day

    writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta, changed");
    ASSERT_EQ(backUpOn(2), 0) << console.err;
    EXPECT_TRUE(says(u8"已複製 1 個檔案（0.00 MB），未變更（連結至上次備份）2 個檔案，已存在 0 個"))
        << console.out;
    EXPECT_TRUE(linked(1, 2, "a.txt"));
    EXPECT_TRUE(linked(1, 2, "Sub/c.txt"));
    EXPECT_FALSE(linked(1, 2, "Sub/b.txt"));
    EXPECT_EQ(readFile(copyOn(2, "Sub/b.txt")), "beta, changed");
    EXPECT_EQ(readFile(copyOn(1, "Sub/b.txt")), "beta");

    // The third day links to the second, the most recent: b.txt's new copy too.
    ASSERT_EQ(backUpOn(3), 0) << console.err;
    EXPECT_TRUE(linked(2, 3, "Sub/b.txt"));
    EXPECT_TRUE(linked(1, 3, "a.txt"));

    // --full-copy copies every file anew.
    ASSERT_EQ(backUpOn(4, {"--full-copy"}), 0) << console.err;
    EXPECT_TRUE(says(u8"已複製 3 個檔案"));
    EXPECT_FALSE(says(u8"未變更"));
    for (const char* file : {"a.txt", "Sub/b.txt", "Sub/c.txt"})
        EXPECT_FALSE(linked(3, 4, file)) << file;
}

TEST_F(LinkedBackup, OnlyTheLastBackupOfTheSameSourceIsLinkedTo) {
    ASSERT_EQ(backUpOn(1), 0) << console.err;
    // Another folder of the same name, backed up into the same destination: its files look the
    // same by name, size and time, but it is another source.
    fs::create_directories(drives.host(u8"E:\\Other"));
    fs::copy(drives.host(u8"C:\\Data"), drives.host(u8"E:\\Other\\Data"),
             fs::copy_options::recursive);
    for (const char* file : {"a.txt", "Sub/b.txt", "Sub/c.txt"})
        fs::last_write_time(drives.host(u8"E:\\Other\\Data") / file,
                            fs::last_write_time(drives.host(u8"C:\\Data") / file));
    ASSERT_EQ(backUpOn(2, {"--source", "E:\\Other\\Data"}), 0) << console.err;
    EXPECT_FALSE(says(u8"未變更"));
    EXPECT_FALSE(linked(1, 2, "a.txt"));

    // C:\Data on day 3 links to day 1, its own last backup, not to day 2.
    ASSERT_EQ(backUpOn(3), 0) << console.err;
    EXPECT_TRUE(linked(1, 3, "a.txt"));
    EXPECT_FALSE(linked(2, 3, "a.txt"));

    // With day 3's copy gone, day 4 links to day 1's, the newest that is still there. A folder
    // of a dated name that no backup recorded is never linked to.
    fs::remove_all(drives.host(u8"D:\\Bak\\2004_5_3_Back"));
    fs::create_directories(drives.host(u8"D:\\Bak\\2004_5_9_Back"));
    fs::copy(drives.host(u8"D:\\Bak\\2004_5_1_Back\\Data"),
             drives.host(u8"D:\\Bak\\2004_5_9_Back\\Data"), fs::copy_options::recursive);
    ASSERT_EQ(backUpOn(4), 0) << console.err;
    EXPECT_TRUE(linked(1, 4, "a.txt"));
    EXPECT_FALSE(
        sameFile(copyOn(4, "a.txt"), drives.host(u8"D:\\Bak\\2004_5_9_Back\\Data\\a.txt")));
}

TEST_F(LinkedBackup, AFileSystemThatRefusesLinksStillGetsEveryFile) {
    ASSERT_EQ(backUpOn(1), 0) << console.err;
    std::atomic<int> tried{0};
    faults::beforeOperation("link", "", [&tried] { ++tried; });
    faults::failAt("link", "", EPERM);
    ASSERT_EQ(backUpOn(2), 0) << console.err;
    EXPECT_TRUE(says(u8"已複製 3 個檔案"));
    EXPECT_FALSE(says(u8"未變更"));
    for (const char* file : {"a.txt", "Sub/b.txt", "Sub/c.txt"}) {
        EXPECT_FALSE(linked(1, 2, file)) << file;
        EXPECT_EQ(readFile(copyOn(2, file)), readFile(copyOn(1, file))) << file;
    }
    // Refused once, never tried again in the pass (a copy already under way may have tried).
    EXPECT_GE(tried.load(), 1);
    EXPECT_LE(tried.load(), walk::copyWorkers());
}

#ifndef _WIN32
TEST_F(LinkedBackup, AnEarlierFolderSwappedForALinkLeadsNowhereOutside) {
    ASSERT_EQ(backUpOn(1), 0) << console.err;
    // Yesterday's Sub is a link now, to a folder outside the backups holding files just like it.
    fs::path outside = drives.host(u8"E:\\Outside");
    fs::rename(copyOn(1, "Sub"), outside);
    fs::create_directory_symlink(outside, copyOn(1, "Sub"));
    ASSERT_EQ(backUpOn(2), 0) << console.err;
    EXPECT_TRUE(linked(1, 2, "a.txt"));
    for (const char* file : {"b.txt", "c.txt"}) {
        EXPECT_EQ(fs::hard_link_count(outside / file), 1u) << file;
        EXPECT_EQ(readFile(copyOn(2, "Sub") / file), readFile(outside / file)) << file;
    }
}
#endif

#ifndef _WIN32 // the calls Linux makes on FAT under FUSE, refused as it refuses them
TEST_F(LinkedBackup, ADestinationLikeFatGetsEveryFileOnEveryDay) {
    // No unnamed files, no rename that refuses to replace, no second name for a file, no
    // permission bits of its own.
    faults::failAt("tmpfile", "", EOPNOTSUPP);
    faults::failAt("chmod", "", ENOSYS);
    faults::failAt("noreplace", "", EINVAL);
    faults::failAt("link", "", EPERM);
    ASSERT_EQ(backUpOn(1), 0) << console.err;
    writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta, changed");
    ASSERT_EQ(backUpOn(2), 0) << console.err;
    EXPECT_TRUE(says(u8"已複製 3 個檔案")) << console.out;
    for (unsigned day : {1u, 2u})
        for (const char* file : {"a.txt", "Sub/b.txt", "Sub/c.txt"})
            EXPECT_TRUE(fs::is_regular_file(copyOn(day, file))) << day << file;
    EXPECT_EQ(fs::last_write_time(copyOn(2, "Sub/b.txt")),
              fs::last_write_time(drives.host(u8"C:\\Data\\Sub\\b.txt")));
    EXPECT_EQ(readFile(copyOn(1, "Sub/b.txt")), "beta");
    EXPECT_EQ(readFile(copyOn(2, "Sub/b.txt")), "beta, changed");
    EXPECT_EQ(readFile(copyOn(2, "a.txt")), "alpha");
    EXPECT_FALSE(linked(1, 2, "a.txt"));
    // No temporary name is left beside the copies.
    for (const auto& entry : fs::recursive_directory_iterator(drives.host(u8"D:\\Bak")))
        EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();

    // A file at a copy's name is kept, never replaced, even without the rename that refuses.
    writeFile(drives.host(u8"C:\\Data\\late.txt"), "late");
    writeFile(copyOn(2, "late.txt"), "someone else's");
    EXPECT_EQ(backUpOn(2), 1) << console.out;
    EXPECT_EQ(readFile(copyOn(2, "late.txt")), "someone else's");
}
#endif
