#include "support/testdrives.h"

#include "faults/faults.h"
#include "walk/copypool.h"
#include "walk/folderchain.h"
#include "walk/folderwalk.h"
#include "walk/jobchannel.h"
#include "walk/passcopy.h"
#include "walk/passprogress.h"
#include "walk/targettree.h"

#include "cli/taskloop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <stdio.h>
#endif

namespace fs = std::filesystem;
using testsupport::writeFile;

namespace {

// Writes down what the walk shows it, in order.
class Recorder : public walk::WalkVisitor {
public:
    std::vector<std::string> events;
    int stopAfter = -1;

    bool stopRequested() const override {
        return stopAfter >= 0 && static_cast<int>(events.size()) >= stopAfter;
    }
    void file(const walk::Folder& folder, const platform::FindData& entry) override {
        events.push_back("file " + folder.relPath + entry.name + " " + std::to_string(entry.size));
    }
    void subFolder(const walk::Folder& folder, const std::string& name) override {
        events.push_back("folder " + folder.relPath + name);
    }
    void folderUnreadable(const std::string& path, const std::string& reason,
                          const std::string&) override {
        events.push_back("unreadable " + path + " " + reason);
    }
    void folderScanned(const walk::Folder& folder) override {
        events.push_back("scanned " + std::to_string(folder.level) + " " + folder.path);
    }
};

// How many descriptors the process has open (Linux; 0 where it cannot tell).
size_t openDescriptors() {
#ifdef _WIN32
    return 0;
#else
    return static_cast<size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
#endif
}

// Copies the walked tree into a target tree, and notes the most handles open at once.
class TreeCopier : public walk::WalkVisitor {
public:
    walk::TargetTree targets;
    size_t mostOpen = 0;
    std::vector<std::string> failures;

    bool stopRequested() const override { return false; }
    void enterFolder(const walk::Folder& folder) override {
        std::string whyNot;
        if (!targets.enter(folder, whyNot))
            failures.push_back("enter " + folder.relPath + " " + whyNot);
        mostOpen = std::max(mostOpen, openDescriptors());
    }
    void file(const walk::Folder& folder, const platform::FindData& entry) override {
        if (beforeFile)
            beforeFile(folder, entry.name);
        walk::CopyFailures failed;
        platform::HeldFolder source = folder.listing->holdFolder();
        if (walk::copyPassFile(&source, folder.path + "\\" + entry.name, targets.current(),
                               entry.name, nullptr, false, failed)
                .status != platform::CopyStatus::Copied)
            failures.push_back("file " + folder.relPath + entry.name);
    }
    std::function<void(const walk::Folder&, const std::string&)> beforeFile;
    void subFolder(const walk::Folder& folder, const std::string& name) override {
        std::string whyNot;
        if (!targets.makeSub(name, whyNot))
            failures.push_back("folder " + folder.relPath + name + " " + whyNot);
    }
    void folderUnreadable(const std::string& path, const std::string&,
                          const std::string&) override {
        failures.push_back("unreadable " + path);
    }
    void folderScanned(const walk::Folder&) override {}
};

// A view that notes what reaches it, in order, on the user-interface thread.
struct ProgressLog {
    std::vector<std::string> events;
    void showProgress(const walk::PassProgress& progress) {
        events.push_back("progress " + std::to_string(progress.position.value_or(-1)) + " " +
                         progress.status.value_or(""));
    }
};

class Walk : public ::testing::Test {
protected:
    void TearDown() override { faults::clear(); }

    testsupport::TestDrives drives;
};

// Runs the user-interface thread's work until the condition holds (true) or the time is up.
bool runUntil(cli::TaskLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    bool met = false;
    std::function<void()> check = [&] {
        if (done()) {
            met = true;
            loop.quit();
        } else if (std::chrono::steady_clock::now() > deadline) {
            loop.quit();
        } else {
            loop.postAfter(std::chrono::milliseconds(2), check);
        }
    };
    loop.post(check);
    loop.run();
    return met;
}

TEST_F(Walk, FoldersAreWalkedInPreOrder) {
    // S holds, in listing order, folder A, file B1 and folder C; A holds a1 and folder E; E
    // holds x; C holds c1.
    fs::path s = drives.driveFolder('d') / "S";
    writeFile(s / "B1", "12");
    writeFile(s / "A" / "a1", "1");
    writeFile(s / "A" / "E" / "x", "123");
    writeFile(s / "C" / "c1", "");
    Recorder recorder;
    ASSERT_EQ(walk::WalkResult::Complete, walk::WalkTree("D:\\S", recorder));
    ASSERT_EQ(recorder.events,
              (std::vector<std::string>{"folder A", "file B1 2", "folder C", "scanned 1 D:\\S",
                                        "file A\\a1 1", "folder A\\E", "scanned 2 D:\\S\\A",
                                        "file A\\E\\x 3", "scanned 3 D:\\S\\A\\E", "file C\\c1 0",
                                        "scanned 2 D:\\S\\C"}));
}

TEST_F(Walk, EveryLevelIsWalked) {
    // Far deeper than any fixed table: every file is seen, the deepest included.
    fs::path folder = drives.driveFolder('d') / "Deep";
    constexpr int kLevels = 60;
    for (int level = 1; level <= kLevels; ++level) {
        writeFile(folder / ("f" + std::to_string(level)), "");
        folder /= "L" + std::to_string(level + 1);
    }
    fs::create_directories(folder);
    Recorder recorder;
    ASSERT_EQ(walk::WalkTree("D:\\Deep", recorder), walk::WalkResult::Complete);
    std::vector<std::string> files;
    int scans = 0;
    for (const std::string& event : recorder.events) {
        if (event.starts_with("file "))
            files.push_back(event.substr(event.rfind('\\') + 1));
        scans += event.starts_with("scanned ");
    }
    ASSERT_EQ(files.size(), size_t{kLevels});
    ASSERT_EQ(files.back(), "f" + std::to_string(kLevels) + " 0");
    ASSERT_EQ(scans, kLevels + 1); // the empty folder at the bottom too
}

#ifndef _WIN32 // links made by the test, and a fault planted at a Linux host path
TEST_F(Walk, FoldersThatCannotBeWalkedAreNamedAndLinksAreNotFollowed) {
    fs::path s = drives.driveFolder('d') / "S";
    writeFile(s / "Locked" / "secret", "x");
    writeFile(s / "Fine" / "a", "x");
    fs::create_directories(s / "\xed\x95\x9c"); // Korean: no code page 950 form
    writeFile(s / "\xed\x95\x9c" / "inside", "x");
    fs::create_directory_symlink(s / "Fine", s / "Loop");
    fs::create_directory_symlink("/", s / "Root");
    // A copy cut short on a file system without unnamed files leaves these behind.
    writeFile(s / ".a.tw99999999-3.tmp", "half");
    writeFile(s / "Fine" / "..tw12-0.tmp", "half");
    faults::failAt("opendir", "/S/Locked", EACCES);
    Recorder recorder;
    ASSERT_EQ(walk::WalkTree("D:\\S", recorder), walk::WalkResult::Complete);
    faults::clear();
    std::string denied = testsupport::ansi(u8"存取被拒");
    std::string noForm = testsupport::ansi(u8"名稱含有此系統無法表示的字元");
    ASSERT_EQ(recorder.events,
              (std::vector<std::string>{
                  "folder Fine", "folder Locked", "file Loop 0", "file Root 0",
                  "unreadable D:\\S\\? " + noForm, "scanned 1 D:\\S", "file Fine\\a 1",
                  "scanned 2 D:\\S\\Fine", "unreadable D:\\S\\Locked " + denied,
                  "scanned 2 D:\\S\\Locked"}));
}

// Between the listing of a folder and the opening of a sub-folder it showed, another program
// swaps a folder of the path for a link to a folder outside the tree that holds the same names.
// Nothing of the outside is ever listed or copied: the walk goes on from the folders it holds.
TEST_F(Walk, AFolderSwappedForALinkMidWalkNeverLeadsOutOfTheTree) {
    fs::path s = drives.driveFolder('d') / "S";
    writeFile(s / "Sub" / "Inner" / "inside.txt", "inside");
    writeFile(s / "Sub" / "Inner" / "Deeper" / "deep.txt", "deep");
    fs::path outside = drives.driveFolder('d') / "Outside";
    writeFile(outside / "Inner" / "marker.txt", "outside");
    writeFile(outside / "Inner" / "Deeper" / "marker2.txt", "outside");
    writeFile(outside / "Inner2" / "marker3.txt", "outside");
    std::error_code swapped;
    auto swapAboveInner = [&] {
        if (fs::is_symlink(s / "Sub"))
            return;
        fs::rename(s / "Sub", s / "Aside", swapped);
        if (!swapped)
            fs::create_directory_symlink(outside, s / "Sub", swapped);
    };

    // Counting: the names of the outside are never counted.
    faults::beforeOperation("opensub", "Inner", swapAboveInner);
    Recorder recorder;
    ASSERT_EQ(walk::WalkTree("D:\\S", recorder), walk::WalkResult::Complete);
    ASSERT_FALSE(swapped) << swapped.message();
    ASSERT_TRUE(fs::is_symlink(s / "Sub"));
    for (const std::string& event : recorder.events)
        EXPECT_EQ(event.find("marker"), std::string::npos) << event;
    EXPECT_NE(
        std::find(recorder.events.begin(), recorder.events.end(), "file Sub\\Inner\\inside.txt 6"),
        recorder.events.end());

    // Copying: the same swap again, from a fresh tree.
    faults::clear();
    fs::remove(s / "Sub");
    fs::rename(s / "Aside", s / "Sub");
    faults::beforeOperation("opensub", "Inner", swapAboveInner);
    fs::create_directories(drives.driveFolder('e') / "Copy");
    TreeCopier copier;
    std::string whyNot;
    copier.targets.open(platform::TargetFolder::open("E:\\Copy", whyNot));
    ASSERT_EQ(walk::WalkTree("D:\\S", copier), walk::WalkResult::Complete);
    copier.targets.close();
    ASSERT_TRUE(fs::is_symlink(s / "Sub"));
    fs::path copy = drives.driveFolder('e') / "Copy";
    for (const auto& entry : fs::recursive_directory_iterator(copy))
        EXPECT_EQ(entry.path().filename().string().find("marker"), std::string::npos)
            << entry.path();
    EXPECT_EQ(testsupport::readFile(copy / "Sub" / "Inner" / "inside.txt"), "inside");
    EXPECT_EQ(testsupport::readFile(copy / "Sub" / "Inner" / "Deeper" / "deep.txt"), "deep");
}

// The folder itself is swapped for a link, or for a file, after its parent's listing showed a
// folder: it is named as a folder that could not be read, with the reason, and nothing below it
// is read.
TEST_F(Walk, ALinkOrAFileWhereTheListingSawAFolderIsNamed) {
    fs::path s = drives.driveFolder('d') / "S";
    writeFile(s / "ToLink" / "a.txt", "a");
    writeFile(s / "ToFile" / "b.txt", "b");
    writeFile(drives.driveFolder('d') / "Outside" / "marker.txt", "outside");
    faults::beforeOperation("opensub", "ToLink", [&] {
        fs::rename(s / "ToLink", drives.driveFolder('d') / "Gone1");
        fs::create_directory_symlink(drives.driveFolder('d') / "Outside", s / "ToLink");
    });
    faults::beforeOperation("opensub", "ToFile", [&] {
        fs::rename(s / "ToFile", drives.driveFolder('d') / "Gone2");
        writeFile(s / "ToFile", "now a file");
    });
    Recorder recorder;
    ASSERT_EQ(walk::WalkTree("D:\\S", recorder), walk::WalkResult::Complete);
    std::string link = testsupport::ansi(u8"此處是連結，不是資料夾");
    std::string file = testsupport::ansi(u8"此處是檔案，不是資料夾");
    ASSERT_EQ(recorder.events, (std::vector<std::string>{
                                   "folder ToFile", "folder ToLink", "scanned 1 D:\\S",
                                   "unreadable D:\\S\\ToFile " + file, "scanned 2 D:\\S\\ToFile",
                                   "unreadable D:\\S\\ToLink " + link, "scanned 2 D:\\S\\ToLink"}));
}

// Another program swaps a folder of the source with a link to a folder outside it, as fast as
// it can, while the tree is counted and copied again and again: nothing of the outside is ever
// counted or copied, whichever moment the swap hits. In the slow group (ctest -L slow).
TEST(Race, ASourceFolderSwappedInALoopNeverLeadsOutOfTheTree) {
    testsupport::TestDrives drives;
    fs::path s = drives.driveFolder('d') / "S";
    for (int i = 0; i < 4; ++i)
        writeFile(s / "Sub" / ("Inner" + std::to_string(i)) / "inside.txt", "inside");
    fs::path outside = drives.driveFolder('d') / "Outside";
    for (int i = 0; i < 4; ++i)
        writeFile(outside / ("Inner" + std::to_string(i)) / "marker.txt", "outside");
    fs::create_directory_symlink(outside, drives.driveFolder('d') / "Link");
    std::string sub = (s / "Sub").string();
    std::string link = (drives.driveFolder('d') / "Link").string();
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        while (!stop) {
            if (::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0)
                ++swaps;
        }
    });
    constexpr int kRuns = 300;
    int outsideSeen = 0;
    int insideCopied = 0;
    for (int run = 0; run < kRuns; ++run) {
        Recorder recorder;
        walk::WalkTree("D:\\S", recorder);
        for (const std::string& event : recorder.events)
            outsideSeen += event.find("marker") != std::string::npos;
        fs::path copy = drives.driveFolder('e') / std::to_string(run);
        fs::create_directories(copy);
        TreeCopier copier;
        std::string whyNot;
        copier.targets.open(platform::TargetFolder::open("E:\\" + std::to_string(run), whyNot));
        walk::WalkTree("D:\\S", copier);
        copier.targets.close();
        for (const auto& entry : fs::recursive_directory_iterator(copy)) {
            outsideSeen += entry.path().filename() == "marker.txt";
            insideCopied += entry.path().filename() == "inside.txt";
        }
    }
    stop = true;
    swapper.join();
    ASSERT_GT(swaps.load(), kRuns) << "the swaps did not race the walks";
    ASSERT_GT(insideCopied, 0);
    EXPECT_EQ(outsideSeen, 0);
}

#endif

TEST_F(Walk, WideFoldersAreWalkedWhole) {
    fs::path wide = drives.driveFolder('d') / "Wide";
    for (int i = 0; i < 60; ++i)
        writeFile(wide / ("Sub" + std::to_string(100 + i)) / "f", "x");
    Recorder recorder;
    ASSERT_EQ(walk::WalkResult::Complete, walk::WalkTree("D:\\Wide", recorder));
    ASSERT_EQ(std::count_if(recorder.events.begin(), recorder.events.end(),
                            [](const std::string& e) { return e.starts_with("file "); }),
              60);
    Recorder scanner;
    // The count takes in the parent entry.
    ASSERT_EQ(walk::ScanFolder("D:\\Wide", 1, "", scanner), 61);
    ASSERT_EQ(walk::ScanFolder("D:\\Wide\\Sub100", 2, "Sub100\\", scanner), 1);
    ASSERT_EQ(walk::ScanFolder("D:\\Missing", 1, "", scanner), 0);
    ASSERT_EQ(scanner.events.back(), std::string("scanned 1 D:\\Missing"));
}

TEST_F(Walk, AStopEndsTheWalkAtTheNextEntry) {
    fs::path s = drives.driveFolder('d') / "S";
    for (const char* name : {"a", "b", "c", "d"})
        writeFile(s / name, "");
    writeFile(s / "Z" / "e", "");
    Recorder recorder;
    recorder.stopAfter = 2;
    ASSERT_EQ(walk::WalkTree("D:\\S", recorder), walk::WalkResult::Stopped);
    ASSERT_EQ(recorder.events, (std::vector<std::string>{"file a 0", "file b 0"}));
}

TEST_F(Walk, DeepTreesKeepFewHandlesOpen) {
    // A chain far deeper than the handles kept open, with folders met on the way back up,
    // so that closed handles are opened again.
    fs::path source = drives.driveFolder('d') / "Deep";
    fs::path folder = source;
    constexpr int kLevels = 100;
    for (int level = 1; level <= kLevels; ++level) {
        writeFile(folder / "f", std::to_string(level));
        if (level % 10 == 0)
            writeFile(folder / "Z" / "late", std::to_string(level));
        folder /= "A";
    }
    fs::create_directories(drives.driveFolder('e') / "Copy");
    TreeCopier copier;
    std::string whyNot;
    copier.targets.open(platform::TargetFolder::open("E:\\Copy", whyNot));
    [[maybe_unused]] size_t before = openDescriptors();
    ASSERT_EQ(walk::WalkTree("D:\\Deep", copier), walk::WalkResult::Complete);
    copier.targets.close();
    ASSERT_EQ(copier.failures, std::vector<std::string>{});
#ifndef _WIN32 // the count of open handles is read from /proc
    // The source's folders and the target's, each held along the path up to a bound.
    constexpr size_t kBound = 2 * walk::FolderChain<platform::HeldFolder>::kMostOpen + 8;
    ASSERT_TRUE(copier.mostOpen < before + kBound) << "a handle per level is kept open";
#endif
    fs::path copy = drives.driveFolder('e') / "Copy";
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file())
            continue;
        ASSERT_EQ(testsupport::readFile(copy / fs::relative(entry.path(), source)),
                  testsupport::readFile(entry.path()));
        ++files;
    }
    ASSERT_EQ(files, size_t{kLevels + kLevels / 10});
}

TEST_F(Walk, FilesAreReadFromTheFolderListedNotThroughItsPath) {
    // While A is listed, something tries to move it aside and put a link to a folder outside
    // the source in its place, holding files of the same names: what is copied still comes from
    // A. On Windows the folder held open cannot even be moved.
    fs::path source = drives.driveFolder('d') / "S";
    writeFile(source / "A" / "f1", "inside 1");
    writeFile(source / "A" / "f2", "inside 2");
    fs::path outside = drives.driveFolder('d') / "Outside";
    writeFile(outside / "f1", "outside 1");
    writeFile(outside / "f2", "outside 2");
    fs::create_directories(drives.driveFolder('e') / "Copy");
    TreeCopier copier;
    bool tried = false;
    std::error_code moved;
    copier.beforeFile = [&](const walk::Folder& folder, const std::string&) {
        if (folder.name == "A" && !tried) {
            tried = true;
            fs::rename(source / "A", source / "Aside", moved);
            if (!moved)
                testsupport::makeFolderLink(outside, source / "A");
        }
    };
    std::string whyNot;
    copier.targets.open(platform::TargetFolder::open("E:\\Copy", whyNot));
    ASSERT_EQ(walk::WalkTree("D:\\S", copier), walk::WalkResult::Complete);
    copier.targets.close();
    ASSERT_TRUE(tried);
#ifdef _WIN32
    ASSERT_TRUE(moved) << "a folder being listed was moved";
#else
    ASSERT_FALSE(moved) << moved.message();
    ASSERT_TRUE(fs::is_symlink(source / "A"));
#endif
    ASSERT_EQ(copier.failures, std::vector<std::string>{});
    fs::path copy = drives.driveFolder('e') / "Copy" / "A";
    ASSERT_EQ(testsupport::readFile(copy / "f1"), std::string("inside 1"));
    ASSERT_EQ(testsupport::readFile(copy / "f2"), std::string("inside 2"));
}

TEST_F(Walk, CopiesAreTakenInInTheOrderHandedOut) {
    // Later copies finish first; what they found is still taken in in order, one at a time.
    walk::CopyPool pool(3);
    std::vector<int> takenIn;
    std::atomic<int> inside{0};
    bool overlapped = false;
    for (int i = 0; i < 12; ++i)
        pool.submit([i] { std::this_thread::sleep_for(std::chrono::milliseconds(12 - i)); },
                    [&, i] {
                        overlapped |= inside.fetch_add(1) != 0;
                        takenIn.push_back(i);
                        inside.fetch_sub(1);
                    });
    pool.drain();
    ASSERT_EQ(takenIn, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    ASSERT_TRUE(!overlapped);
}

TEST_F(Walk, DrainWaitsForACopyThatFinishesAfterTheOnesBehindIt) {
    walk::CopyPool pool(2);
    std::atomic<bool> release{false};
    std::atomic<bool> laterDone{false};
    std::vector<int> takenIn;
    pool.submit(
        [&] {
            while (!release) // held until the test lets it go
                std::this_thread::yield();
        },
        [&] { takenIn.push_back(0); });
    pool.submit([&] { laterDone = true; }, [&] { takenIn.push_back(1); });
    ASSERT_TRUE(testsupport::eventually([&] { return laterDone.load(); }));

    // Nothing waits to be handed out now, and the last copy is done; the first still runs.
    std::atomic<bool> draining{false};
    std::atomic<bool> drained{false};
    bool releasedWhenDrained = false;
    size_t takenInWhenDrained = 0;
    std::thread drainer([&] {
        draining = true;
        pool.drain();
        releasedWhenDrained = release;
        takenInWhenDrained = takenIn.size();
        drained = true;
    });
    ASSERT_TRUE(testsupport::eventually([&] { return draining.load(); }));
    release = true;
    bool ended = testsupport::eventually([&] { return drained.load(); });
    drainer.join();
    ASSERT_TRUE(ended);
    ASSERT_TRUE(releasedWhenDrained);
    ASSERT_EQ(takenInWhenDrained, 2u);
    ASSERT_EQ(takenIn, (std::vector<int>{0, 1}));
}

TEST_F(Walk, ADiscardedPoolDropsWhatWaitsAndGoesOn) {
    walk::CopyPool pool(2);
    std::atomic<bool> release{false};
    std::atomic<int> started{0};
    std::atomic<int> worked{0};
    std::vector<int> takenIn;
    auto slow = [&] {
        ++started;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++worked;
    };
    for (int i = 0; i < 10; ++i)
        pool.submit(slow, [&, i] { takenIn.push_back(i); });
    ASSERT_TRUE(testsupport::eventually([&] { return started.load() == 2; }));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        release = true;
    });
    pool.discard(); // the two running finish and are taken in; eight are dropped
    releaser.join();
    ASSERT_EQ(worked.load(), 2);
    ASSERT_EQ(takenIn, (std::vector<int>{0, 1}));
    // The next pass's copies are taken in, not held back by the numbers dropped.
    pool.submit([] {}, [&] { takenIn.push_back(100); });
    pool.drain();
    ASSERT_EQ(takenIn, (std::vector<int>{0, 1, 100}));
}

TEST_F(Walk, OneWorkerCopiesOnTheWalksOwnThread) {
    walk::CopyPool pool(1);
    std::thread::id workedOn, takenOn;
    pool.submit([&] { workedOn = std::this_thread::get_id(); },
                [&] { takenOn = std::this_thread::get_id(); });
    ASSERT_EQ(workedOn, std::this_thread::get_id());
    ASSERT_EQ(takenOn, std::this_thread::get_id());
}

TEST_F(Walk, ProgressIsMergedAndTheLastArrivesBeforeTheEnd) {
    cli::TaskLoop loop;
    ProgressLog log;
    walk::JobChannel<walk::PassProgress, ProgressLog> channel(log);
    int64_t last = 0;
    std::thread worker([&] {
        using namespace std::chrono_literals;
        channel.beginPass();
        auto started = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - started < 1s) {
            walk::PassProgress progress;
            progress.position = ++last;
            if (last == 1)
                progress.status = "first";
            channel.publish(std::move(progress));
        }
        channel.flush();
        channel.post([](ProgressLog& view) { view.events.push_back("end"); });
    });
    ASSERT_TRUE(runUntil(
        loop, [&] { return !log.events.empty() && log.events.back() == "end"; },
        std::chrono::seconds(5)));
    worker.join();
    ASSERT_TRUE(last > 1000);
    // A second of updates shows as about 25, the last of them exact and before the end.
    size_t shown = log.events.size() - 1;
    ASSERT_TRUE(shown >= 10 && shown <= 27) << shown;
    ASSERT_EQ(log.events[shown - 1], "progress " + std::to_string(last) + " ");
    // A status is kept by the updates without one that replace it before it is shown.
    ASSERT_TRUE(log.events.front().ends_with(" first"));
}

TEST_F(Walk, WhatAnOlderShowingSendsIsDropped) {
    cli::TaskLoop loop;
    ProgressLog log;
    walk::JobChannel<walk::PassProgress, ProgressLog> channel(log);
    channel.beginPass();
    channel.newGeneration(); // the dialog was closed and shown again meanwhile
    ASSERT_TRUE(channel.stale());
    walk::PassProgress progress;
    progress.position = 7;
    channel.publish(progress);
    channel.flush();
    channel.post([](ProgressLog& view) { view.events.push_back("old end"); });
    bool anyway = false;
    channel.postAnyway([&](ProgressLog&, bool current) { anyway = !current; });
    runUntil(
        loop, [] { return false; }, std::chrono::milliseconds(100));
    ASSERT_TRUE(log.events.empty());
    ASSERT_TRUE(anyway); // what must be told is told, marked as of an older showing
    channel.beginPass();
    ASSERT_TRUE(!channel.stale());
    progress.position = 8;
    channel.publish(progress);
    channel.flush();
    const std::vector<std::string> eight{"progress 8 "};
    ASSERT_TRUE(runUntil(
        loop, [&] { return log.events == eight; }, std::chrono::seconds(5)));
}

TEST_F(Walk, FailureReportsNameTheFirstFiveOfEachKind) {
    const std::string done = "done", filesBefore = "files ", filesAfter = ":",
                      foldersBefore = "folders ", foldersAfter = ":", differingBefore = "differ ";
    walk::FailureWords words{done,         filesBefore,     filesAfter,  foldersBefore,
                             foldersAfter, differingBefore, foldersAfter};
    walk::CopyFailures failures;
    ASSERT_EQ(failures.describe(words), std::string("done"));
    for (int i = 1; i <= 5; ++i)
        failures.add("f" + std::to_string(i), "r");
    std::string five =
        testsupport::ansi(u8"done\n\nfiles 5:\nf1（r）\nf2（r）\nf3（r）\nf4（r）\nf5（r）");
    ASSERT_EQ(failures.describe(words), five);
    failures.add("f6", "r");
    failures.addFolder("d1", "why");
    failures.addDiffering("x1");
    ASSERT_EQ(
        failures.describe(words),
        testsupport::ansi(u8"done\n\nfiles 6:\nf1（r）\nf2（r）\nf3（r）\nf4（r）\nf5（r）\n……"
                          u8"\n\nfolders 1:\nd1（why）\n\ndiffer 1:\nx1"));
}

} // namespace
