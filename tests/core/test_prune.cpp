// Pruning old backups: which dated folders each policy keeps, what a dry run tells, and that a
// removal touches nothing but the folders the catalog records, even when cut short at any step.
#include "support/recordingconsole.h"
#include "support/testdrives.h"

#include "backup/keeppolicy.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "faults/faults.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <sstream>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testsupport::ansi;
using testsupport::readFile;
using testsupport::RecordingConsole;
using testsupport::snapshot;
using testsupport::Snapshot;
using testsupport::writeFile;
using namespace std::chrono;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string nameOf(year_month_day day) {
    return std::to_string(static_cast<int>(day.year())) + "_" +
           std::to_string(static_cast<unsigned>(day.month())) + "_" +
           std::to_string(static_cast<unsigned>(day.day())) + "_Back";
}

// ---- The policy alone ----

std::set<int> kept(const std::vector<backup::DatedBackup>& backups, backup::KeepPolicy policy) {
    std::vector<bool> keep = backup::backupsToKeep(backups, policy);
    std::set<int> indexes;
    for (size_t i = 0; i < keep.size(); ++i)
        if (keep[i])
            indexes.insert(static_cast<int>(i));
    return indexes;
}

TEST(KeepPolicy, TheNewestOfEachOfTheLatestPeriodsThatHaveBackups) {
    // Two backups on 2004/12/31 (a Friday), none on the weekend, one on Monday 2005/1/3. ISO
    // weeks: 12/27 to 1/2 is one week across the new year; 1/3 starts the next.
    std::vector<backup::DatedBackup> backups = {
        {year(2004) / November / 15, 0}, {year(2004) / December / 30, 1},
        {year(2004) / December / 31, 2}, {year(2004) / December / 31, 3},
        {year(2005) / January / 3, 4},
    };
    EXPECT_EQ(kept(backups, {0, 0, 0}), (std::set<int>{4})); // the newest always
    EXPECT_EQ(kept(backups, {2, 0, 0}), (std::set<int>{3, 4}));
    EXPECT_EQ(kept(backups, {3, 0, 0}), (std::set<int>{1, 3, 4}));
    EXPECT_EQ(kept(backups, {0, 2, 0}), (std::set<int>{3, 4}));
    EXPECT_EQ(kept(backups, {0, 3, 0}), (std::set<int>{0, 3, 4})); // a week without backups
    EXPECT_EQ(kept(backups, {0, 0, 2}), (std::set<int>{3, 4}));
    EXPECT_EQ(kept(backups, {0, 0, 3}), (std::set<int>{0, 3, 4}));
    EXPECT_EQ(kept(backups, {1, 1, 3}), (std::set<int>{0, 3, 4}));
    EXPECT_EQ(kept(backups, {100, 100, 100}), (std::set<int>{0, 1, 3, 4}));
    EXPECT_TRUE(backup::backupsToKeep({}, {1, 1, 1}).empty());
}

TEST(KeepPolicy, OnlyNamesOfTheProgramsOwnFormHaveADay) {
    EXPECT_EQ(backup::backupDay("2004_5_1_Back"), std::optional(year(2004) / May / 1));
    EXPECT_EQ(backup::backupDay("2004_12_31_Back"), std::optional(year(2004) / December / 31));
    EXPECT_EQ(backup::backupDay("2004_02_09_Back"), std::optional(year(2004) / February / 9));
    for (std::string_view name : {"2004_2_30_Back", "2004_13_1_Back", "2004_5_1_Back2",
                                  "2004_5_1_back", "__2004-05-01_Back", "2004_5__Back", "Data",
                                  "_5_1_Back", "2004_5_1_2_Back", "+004_5_1_Back"})
        EXPECT_EQ(backup::backupDay(name), std::nullopt) << name;
}

// ---- Pruning a destination ----

class Prune : public ::testing::Test {
protected:
    void TearDown() override {
        platform::setTodayForTesting(std::nullopt);
        faults::clear();
    }

    int run(std::vector<std::string> arguments) {
        console = RecordingConsole();
        return cli::runCommandLine(arguments, console).value_or(-1);
    }
    int backUpOn(year_month_day day, const std::string& dest = "D:\\Bak") {
        platform::setTodayForTesting(day);
        return run({"--backup", "--source", "C:\\Data", "--dest", dest});
    }
    int prune(std::vector<std::string> options) {
        options.insert(options.begin(), {"--prune", "--dest", "D:\\Bak"});
        return run(std::move(options));
    }
    fs::path dest() { return drives.host(u8"D:\\Bak"); }
    fs::path program() { return drives.host(u8"C:\\Program Files\\Tarnwick2004"); }
    std::set<std::string> destNames() {
        std::vector<std::string> names = testsupport::folderNames(dest());
        return {names.begin(), names.end()};
    }

    // A backup of C:\Data into D:\Bak on every day from 2004/4/20 (a Tuesday) to 2004/5/20.
    std::vector<year_month_day> backUpAMonth() {
        writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
        writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta");
        fs::create_directories(dest());
        std::vector<year_month_day> days;
        for (sys_days day = sys_days{year(2004) / April / 20};
             day <= sys_days{year(2004) / May / 20}; day += std::chrono::days{1}) {
            days.push_back(year_month_day{day});
            EXPECT_EQ(backUpOn(days.back()), 0) << console.err;
        }
        return days;
    }
    void saveDest() {
        saved = drives.base() / "saved";
        fs::remove_all(saved);
        fs::copy(dest(), saved, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    void putDestBack() {
        fs::remove_all(dest());
        fs::copy(saved, dest(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }

    testsupport::TestDrives drives;
    RecordingConsole console;
    fs::path saved;
};

TEST_F(Prune, EachPolicyKeepsTheNewestOfItsPeriodsOverAMonth) {
    std::vector<year_month_day> days = backUpAMonth();
    saveDest();
    Snapshot store = snapshot(program());
    Snapshot whole = snapshot(dest() / "2004_5_20_Back");
    using Days = std::set<std::string>;
    struct Case {
        std::vector<std::string> options;
        Days keep;
    };
    std::vector<Case> cases = {
        {{"--keep-daily", "3"}, {"2004_5_18_Back", "2004_5_19_Back", "2004_5_20_Back"}},
        // Weeks from Monday: 5/17-5/23, 5/10-5/16, 5/3-5/9.
        {{"--keep-weekly", "3"}, {"2004_5_9_Back", "2004_5_16_Back", "2004_5_20_Back"}},
        {{"--keep-monthly", "2"}, {"2004_4_30_Back", "2004_5_20_Back"}},
        {{"--keep-daily", "2", "--keep-weekly", "2", "--keep-monthly", "2"},
         {"2004_4_30_Back", "2004_5_16_Back", "2004_5_19_Back", "2004_5_20_Back"}},
        {{"--keep-daily", "0"}, {"2004_5_20_Back"}},
        {{"--keep-monthly", "12"}, {"2004_4_30_Back", "2004_5_20_Back"}},
    };
    for (const Case& test : cases) {
        putDestBack();
        std::string what = test.options[0] + " " + test.options[1];
        ASSERT_EQ(prune(test.options), 0) << what << console.err << console.out;
        EXPECT_EQ(destNames(), test.keep) << what;
        // Each folder removed on a line of its own, oldest first, then the summary.
        std::vector<std::string> expected;
        for (year_month_day day : days)
            if (!test.keep.count(nameOf(day)))
                expected.push_back("D:\\Bak\\" + nameOf(day));
        std::vector<std::string> out = lines(console.out);
        ASSERT_EQ(out.size(), expected.size() + 2) << what << console.out;
        EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + expected.size()), expected);
        EXPECT_EQ(out[expected.size()], ansi(u8"已刪除 ") + std::to_string(expected.size()) +
                                            ansi(u8" 個備份資料夾，保留 ") +
                                            std::to_string(test.keep.size()) + ansi(u8" 個。"))
            << what;
        EXPECT_TRUE(out.back().starts_with(ansi(u8"可用空間：刪除前 "))) << out.back();
        // The kept backups are whole, and the store is as it was: no record goes.
        EXPECT_EQ(snapshot(dest() / "2004_5_20_Back"), whole);
        EXPECT_EQ(snapshot(program()), store) << what;
    }
    // Once pruned, a second run finds nothing more to remove.
    EXPECT_EQ(prune({"--keep-monthly", "12"}), 0);
    EXPECT_EQ(lines(console.out).front(), ansi(u8"已刪除 0 個備份資料夾，保留 2 個。"));
}

TEST_F(Prune, ADryRunListsWhatWouldGoAndRemovesNothing) {
    writeFile(drives.host(u8"C:\\Data\\big.bin"), std::string(1 << 20, 'x'));
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    // Changed, so that the second day copies it rather than link it to the first day's.
    writeFile(drives.host(u8"C:\\Data\\big.bin"), std::string((1 << 20) + 1, 'y'));
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    Snapshot before = snapshot(drives.base());
    ASSERT_EQ(prune({"--keep-daily", "1", "--dry-run"}), 0) << console.err;
    EXPECT_EQ(snapshot(drives.base()), before);
    std::vector<std::string> out = lines(console.out);
    ASSERT_EQ(out.size(), 2u) << console.out;
    EXPECT_EQ(out[0], "D:\\Bak\\2004_5_1_Back");
    EXPECT_TRUE(out[1].starts_with(ansi(u8"試執行，沒有刪除任何資料夾：將刪除 1 個備份資料夾，"
                                        u8"保留 1 個。約可釋放 1.0")))
        << out[1];

    // A file that a kept backup shares by a link frees nothing when one of its names goes.
    fs::path old = dest() / "2004_5_1_Back" / "Data" / "big.bin";
    fs::path kept = dest() / "2004_5_2_Back" / "Data" / "big.bin";
    fs::remove(kept);
    std::error_code linked;
    fs::create_hard_link(old, kept, linked);
    if (linked)
        GTEST_SKIP() << "this file system makes no hard links";
    ASSERT_EQ(prune({"--keep-daily", "1", "--dry-run"}), 0) << console.err;
    EXPECT_TRUE(lines(console.out).back().find(ansi(u8"約可釋放 0.00 MB")) != std::string::npos)
        << console.out;
    EXPECT_TRUE(fs::exists(old));
}

TEST_F(Prune, OnlyTheFoldersTheCatalogRecordsForTheDestinationAreTouched) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    fs::create_directories(dest());
    fs::create_directories(drives.host(u8"D:\\Other"));
    ASSERT_EQ(backUpOn(year(2004) / May / 1, "D:\\Other"), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 3), 0) << console.err;
    // Folders no record names, some of them named like backups; one named like the other
    // destination's backup; and the other destination's backup itself.
    writeFile(dest() / "2004_4_1_Back" / "Data" / "a.txt", "not a backup of ours");
    writeFile(dest() / "2004_5_1_Back" / "Data" / "a.txt", "recorded for D:\\Other only");
    writeFile(dest() / "Photos" / "p.jpg", "photo");
    writeFile(dest() / "notes.txt", "notes");
    writeFile(dest() / ".2004_4_1_Back.tw-removing" / "x.txt", "no record names it");
    Snapshot other = snapshot(drives.host(u8"D:\\Other"));

    ASSERT_EQ(prune({"--keep-daily", "1"}), 0) << console.err;
    EXPECT_EQ(lines(console.out).front(), "D:\\Bak\\2004_5_2_Back");
    EXPECT_EQ(destNames(),
              (std::set<std::string>{".2004_4_1_Back.tw-removing", "2004_4_1_Back", "2004_5_1_Back",
                                     "2004_5_3_Back", "Photos", "notes.txt"}));
    EXPECT_EQ(readFile(dest() / "2004_5_1_Back" / "Data" / "a.txt"), "recorded for D:\\Other only");
    EXPECT_EQ(snapshot(drives.host(u8"D:\\Other")), other);
}

TEST_F(Prune, OptionsAreCheckedAndWhatCannotBeDoneIsTold) {
    struct Refusal {
        std::vector<std::string> arguments;
        std::u8string error;
    };
    std::vector<Refusal> refusals = {
        {{"--prune", "--dest", "D:\\Bak"},
         u8"--prune 必須與 --keep-daily、--keep-weekly 或 --keep-monthly 至少其中之一一起使用"},
        {{"--prune", "--keep-daily", "-1"}, u8"選項後面必須是 0 或正整數：--keep-daily"},
        {{"--prune", "--keep-weekly", "x"}, u8"選項後面必須是 0 或正整數：--keep-weekly"},
        {{"--prune", "--keep-monthly"}, u8"選項後面必須是 0 或正整數：--keep-monthly"},
        {{"--keep-daily", "3"}, u8"此選項只能與 --backup 或 --prune 一起使用：--keep-daily"},
        {{"--backup", "--dry-run"}, u8"此選項只能與 --prune 一起使用：--dry-run"},
        {{"--prune", "--keep-daily", "1", "--source", "C:\\Data"},
         u8"此選項只能與 --backup 一起使用：--source"},
        {{"--prune", "--backup", "--keep-daily", "1"},
         u8"--prune 不能與 --backup 一起使用（備份後清除請在 --backup 後面加上 --keep-daily "
         u8"等選項）"},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_EQ(run(refusal.arguments), 2) << refusal.arguments[1];
        EXPECT_TRUE(console.err.starts_with(ansi(refusal.error) + "\n")) << console.err;
    }
    // A destination that is not there, and a catalog that cannot be read.
    EXPECT_EQ(prune({"--keep-daily", "1"}), 2);
    EXPECT_TRUE(console.err.starts_with(ansi(u8"無法開啟備份目地資料夾：D:\\Bak（")))
        << console.err;
    fs::create_directories(dest());
    fs::create_directories(program() / "Recover" / "BackupDir.ini");
    EXPECT_EQ(prune({"--keep-daily", "1"}), 2);
    EXPECT_TRUE(console.err.starts_with(ansi(u8"無法讀取："))) << console.err;
}

TEST_F(Prune, ABackupWithKeepOptionsPrunesOnceItsRestorePointIsRecorded) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    fs::create_directories(dest());
    for (unsigned day = 1; day <= 3; ++day)
        ASSERT_EQ(backUpOn(year(2004) / May / std::chrono::day{day}), 0) << console.err;
    platform::setTodayForTesting(year(2004) / May / 4);
    ASSERT_EQ(run({"--backup", "--source", "C:\\Data", "--dest", "D:\\Bak", "--keep-daily", "2"}),
              0)
        << console.err;
    EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_3_Back", "2004_5_4_Back"}));
    EXPECT_NE(console.out.find("D:\\Bak\\2004_5_1_Back\nD:\\Bak\\2004_5_2_Back\n"),
              std::string::npos)
        << console.out;
    // A backup that records nothing prunes nothing.
    platform::setTodayForTesting(year(2004) / May / 5);
    EXPECT_EQ(run({"--backup", "--source", "C:\\Gone", "--dest", "D:\\Bak", "--keep-daily", "1"}),
              2);
    EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_3_Back", "2004_5_4_Back"}));
}

// A hidden folder of a removal is never walked: a backup whose source holds one (its destination
// inside the source, say) takes nothing of it.
TEST_F(Prune, AFolderOnItsWayOutIsNeverWalked) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"C:\\Data\\.2004_5_1_Back.tw-removing\\Data\\a.txt"), "half");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    EXPECT_EQ(testsupport::folderNames(dest() / "2004_5_2_Back" / "Data"),
              (std::vector<std::string>{"a.txt"}));
}

// A tree far deeper than the folders held open at once goes whole.
TEST_F(Prune, ATreeTwoHundredLevelsDeepIsRemoved) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    fs::path deep = dest() / "2004_5_1_Back" / "Data";
#ifdef _WIN32 // deeper than MAX_PATH: the test makes it as the program reaches it
    deep = fs::path(L"\\\\?\\" + fs::absolute(deep).wstring());
#endif
    for (int level = 0; level < 200; ++level) {
        deep /= "d";
        fs::create_directory(deep);
        if (level == 0)
            writeFile(deep / "f.txt", "f");
    }
    ASSERT_EQ(prune({"--keep-daily", "1"}), 0) << console.err << console.out;
    EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_2_Back"}));
}

// A step of a removal that fails (a disk error, say) leaves no folder that looks like a whole
// backup: the folder is gone from its dated name before anything in it goes; the failure is
// named; the next pruning finishes what was left.
TEST_F(Prune, AFailureAtEveryStepOfARemovalIsToldAndFinishedNextTime) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    saveDest();
    Snapshot whole = snapshot(dest() / "2004_5_1_Back");
    faults::planRemovalSteps(0, 0, 0);
    ASSERT_EQ(prune({"--keep-daily", "1"}), 0);
    int steps = faults::removalStepsTaken();
    EXPECT_EQ(steps, 12); // a rename; two files and three folders removed; each before and after
    faults::clear();
    for (int step = 1; step <= steps; step += 2) {
        putDestBack();
        faults::planRemovalSteps(0, step, EIO);
        EXPECT_EQ(prune({"--keep-daily", "1"}), 1) << step;
        faults::clear();
        EXPECT_NE(console.out.find(ansi(u8"無法刪除：D:\\Bak\\")), std::string::npos) << step;
        if (fs::exists(dest() / "2004_5_1_Back")) {
            EXPECT_EQ(step, 1);
            EXPECT_EQ(snapshot(dest() / "2004_5_1_Back"), whole);
        } else {
            EXPECT_TRUE(fs::exists(dest() / ".2004_5_1_Back.tw-removing")) << step;
        }
        EXPECT_EQ(prune({"--keep-daily", "1"}), 0) << step << console.out;
        EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_2_Back"})) << step;
    }
}

#ifndef _WIN32 // killed children and links made by the test
// The program killed at each step of a removal: the dated folder is either whole or gone from
// its name, and the next pruning (or the next backup into the destination) finishes the rest.
TEST_F(Prune, AKillAtEveryStepOfARemovalLeavesNoHalfBackup) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"C:\\Data\\Sub\\b.txt"), "beta");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    saveDest();
    Snapshot whole = snapshot(dest() / "2004_5_1_Back");
    for (int step = 1; step <= 12; ++step) {
        putDestBack();
        Snapshot store = snapshot(program());
        pid_t child = ::fork();
        if (child == 0) {
            faults::planRemovalSteps(step, 0, 0);
            RecordingConsole quiet;
            cli::runCommandLine({"--prune", "--dest", "D:\\Bak", "--keep-daily", "1"}, quiet);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 86) << "no kill at " << step;
        // Whole under its dated name, or not under it at all.
        if (fs::exists(dest() / "2004_5_1_Back")) {
            EXPECT_EQ(snapshot(dest() / "2004_5_1_Back"), whole) << step;
        }
        EXPECT_EQ(snapshot(program()), store) << step;
        // Odd steps are finished by the next pruning, even ones by the next backup.
        if (step % 2 == 1) {
            EXPECT_EQ(prune({"--keep-daily", "1"}), 0) << step << console.out;
            EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_2_Back"})) << step;
        } else {
            EXPECT_EQ(backUpOn(year(2004) / May / 3), 0) << step << console.out;
            std::set<std::string> names = destNames();
            EXPECT_EQ(names.count(".2004_5_1_Back.tw-removing"), 0u) << step;
            EXPECT_EQ(names.count("2004_5_1_Back"), 0u) << step; // renamed at step 2 already
            fs::remove_all(dest() / "2004_5_3_Back");
        }
    }
}

// Links inside a pruned folder lead outside it: the links go, never what they lead to; and a
// folder swapped for a link while the removal runs brings nothing of the outside into it.
TEST_F(Prune, NothingOutsideThePrunedFolderIsEverRemoved) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    writeFile(drives.host(u8"C:\\Data\\Sub\\Deeper\\b.txt"), "beta");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 3), 0) << console.err;
    writeFile(drives.host(u8"E:\\Outside\\keep.txt"), "keep");
    writeFile(drives.host(u8"E:\\Outside\\Inner\\keep2.txt"), "keep2");
    Snapshot outside = snapshot(drives.host(u8"E:\\Outside"));
    fs::create_directory_symlink(drives.host(u8"E:\\Outside"),
                                 dest() / "2004_5_1_Back" / "Data" / "ToOutside");
    fs::create_symlink(drives.host(u8"E:\\Outside\\keep.txt"),
                       dest() / "2004_5_1_Back" / "Data" / "keep-link.txt");
    // Just before the removal opens the folder Sub of 2004_5_2_Back, another program puts a link
    // to the outside in its place.
    fs::path swappedAway = drives.host(u8"E:\\Moved");
    faults::beforeOperation("opensub", "/Data/Sub", [&] {
        fs::path sub = dest() / ".2004_5_2_Back.tw-removing" / "Data" / "Sub";
        if (fs::is_symlink(sub) || !fs::exists(sub))
            return;
        fs::rename(sub, swappedAway);
        fs::create_directory_symlink(drives.host(u8"E:\\Outside"), sub);
    });
    ASSERT_EQ(prune({"--keep-daily", "1"}), 0) << console.out;
    faults::clear();
    EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_3_Back"}));
    EXPECT_EQ(snapshot(drives.host(u8"E:\\Outside")), outside);
    EXPECT_EQ(readFile(swappedAway / "Deeper" / "b.txt"), "beta");
}

// However deep the tree, the removal holds a bounded number of folders open.
TEST_F(Prune, ADeepTreeIsRemovedWithFewDescriptors) {
    writeFile(drives.host(u8"C:\\Data\\a.txt"), "alpha");
    fs::create_directories(dest());
    ASSERT_EQ(backUpOn(year(2004) / May / 1), 0) << console.err;
    ASSERT_EQ(backUpOn(year(2004) / May / 2), 0) << console.err;
    fs::path deep = dest() / "2004_5_1_Back" / "Data";
    for (int level = 0; level < 200; ++level)
        fs::create_directory(deep /= "d");
    size_t most = 0;
    faults::beforeOperation("opensub", "/d", [&] {
        size_t open = 0;
        for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator();
             ++it)
            ++open;
        most = std::max(most, open);
    });
    ASSERT_EQ(prune({"--keep-daily", "1"}), 0) << console.out;
    faults::clear();
    EXPECT_EQ(destNames(), (std::set<std::string>{"2004_5_2_Back"}));
    EXPECT_GT(most, 0u);
    EXPECT_LT(most, 80u);
}
#endif

} // namespace
