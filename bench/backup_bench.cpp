// The backup benchmark: the program's passes beside cp, rsync and find, pair by pair.
//   tarnwick_bench [--large] [WORK_FOLDER] [RUNS]
// Each run times, on every tree and in an order rotated from run to run: the backup dialog's
// count and copy passes (headless, as the user sees them: from the showing or the click to the
// bar showing the count or the last file), `tarnwick2004 --backup` as a process with 1, 2 and 4
// copy workers (TARNWICK_COPY_WORKERS; the dialog uses the default) and with 2 but without the
// flush of its copies (TARNWICK_BENCH_UNFLUSHED), `cp -r`, `cp -r` followed by `sync` (the same
// guarantee as a backup's), `rsync -a` and, on trees of many files, `find`. Every step writes into
// a fresh folder; every copy is compared with its source (names, sizes, permissions, times, a
// sample of contents), and a copy that differs ends the benchmark. Ratios are taken within each run
// and printed as min / median / max over the runs.

#include "benchtrees.h"
#include "verify.h"

#include "backup/tcopythread.h"
#include "backup/tform2.h"
#include "platform/clock.h"
#include "platform/hostpath.h"
#include "store/backupstore.h"
#include "toolkit/messagebox.h"
#include "widgets/bitbtn.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

[[noreturn]] void refuse(const std::string& why) {
    std::fprintf(stderr, "benchmark refused: %s\n", why.c_str());
    std::exit(1);
}

// Every timed step starts from the same state: everything written out, a moment for the disk to
// settle, and for a tree of large files the source read once so that every tool finds it in
// the page cache alike.
void settle(const fs::path& source, const bench::Tree& tree) {
    std::system("sync");
    if (!tree.manyFiles)
        bench::readOnce(source);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

double runCommand(const std::string& command) {
    auto started = Clock::now();
    if (std::system(command.c_str()) != 0)
        refuse("failed: " + command);
    return seconds(started);
}

std::string quoted(const fs::path& path) {
    std::string text = "'";
    text += path.string();
    text += "'";
    return text;
}

// Handles the dialog's updates until `shown` holds; the seconds since `started`.
double secondsUntil(Clock::time_point started, const std::function<bool()>& shown) {
    QEventLoop loop;
    QTimer poll;
    double elapsed = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown()) {
            elapsed = seconds(started);
            loop.quit();
        }
    });
    poll.start(1);
    loop.exec();
    return elapsed;
}

struct DialogTimes {
    double count;
    double copy;
};

DialogTimes runDialog(TForm2& dialog, const std::string& tree, int64_t files,
                      const std::string& destination, const std::function<void()>& settleNow) {
    BackupStore store;
    store.CreateFolders();
    store.WriteSettings("D:\\" + tree, destination);
    dialog.PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
    dialog.ProgressBar1->setMaximum(0); // what the last run showed is no count of this one
    auto shown = Clock::now();
    dialog.show();
    double count = secondsUntil(shown, [&] { return dialog.ProgressBar1->maximum() == files; });
    dialog.WorkerThread->waitUntilSuspended();
    settleNow();
    auto clicked = Clock::now();
    emit dialog.BitBtn1->clicked();
    double copy = secondsUntil(clicked, [&] { return dialog.ProgressBar1->value() == files; });
    dialog.WorkerThread->waitUntilSuspended();
    QCoreApplication::processEvents();
    dialog.Timer1->stop();
    dialog.close();
    return {count, copy};
}

struct Spread {
    double min, median, max;
};

Spread spread(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

std::string todayFolder() {
    return FormBackupName(platform::shortDateToday());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool large = !arguments.empty() && arguments.front() == "--large";
    if (large)
        arguments.erase(arguments.begin());
    fs::path work =
        !arguments.empty() ? fs::path(arguments[0]) : fs::temp_directory_path() / "tarnwick-bench";
    int runs = arguments.size() > 1 ? std::atoi(arguments[1].c_str()) : 9;
    if (runs < 1)
        refuse("the number of runs must be at least 1");
    fs::path source = work / "src";
    fs::path dest = work / "dst";
    fs::path table = work / "dosdevices"; // where the program finds it with TARNWICK_PREFIX
    std::error_code ec;
    fs::remove_all(dest, ec); // copies of a run cut short
    fs::create_directories(table);
    fs::create_directories(work / "c" / "Program Files");
    fs::create_directories(work / "c" / "windows" / "system32");
    fs::create_directories(source);
    fs::create_directories(dest);
    for (const char* drive : {"c:", "d:", "e:"})
        fs::remove(table / drive, ec);
    fs::create_directory_symlink(work / "c", table / "c:");
    fs::create_directory_symlink(source, table / "d:");
    fs::create_directory_symlink(dest, table / "e:");
    platform::useDriveTable(table.string());
    toolkit::setMessageBoxHandler([](const toolkit::MessageBoxCall&) {});
    const std::string program = "TARNWICK_PREFIX=" + quoted(work) + " " TARNWICK_PROGRAM;

    std::vector<bench::Tree> trees = bench::benchmarkTrees(large);
    uintmax_t needed = 0;
    for (const bench::Tree& tree : trees)
        needed += (tree.bytes + static_cast<uintmax_t>(tree.files) * 4096) * 6 *
                  static_cast<uintmax_t>(runs);
    if (fs::space(work).available < needed + (uintmax_t{1} << 30))
        refuse("the copies of " + std::to_string(runs) + " runs need " +
               std::to_string(needed >> 30) + " GiB free in " + work.string());
    std::printf("making the trees in %s ...\n", source.c_str());
    for (const bench::Tree& tree : trees)
        bench::makeTree(source, tree);
    std::system("sync");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::printf(
        "%d runs; every copy goes to a fresh folder, and the copies are kept until the end\n"
        "(deleting many files slows a disk for minutes), then deleted.\n",
        runs);

    TForm2 dialog(nullptr);
    for (const bench::Tree& tree : trees) {
        fs::path src = source / tree.name;
        std::map<std::string, std::vector<double>> times;
        for (int run = 0; run < runs; ++run) {
            fs::path out = dest / tree.name / ("run" + std::to_string(run));
            std::string outDrive = "E:\\" + tree.name + "\\run" + std::to_string(run);
            fs::create_directories(out);
            auto settleNow = [&] { settle(src, tree); };
            auto check = [&](const fs::path& copy) {
                if (std::string why = bench::compareTrees(src, copy); !why.empty())
                    refuse(why);
            };
            // A backup flushes its copies to the disk before it records them; unflushed, the
            // same backup shows what that costs.
            auto backup = [&](int workers, bool flushed = true) {
                std::string folder = "cli" + std::to_string(workers) + (flushed ? "" : "unflushed");
                fs::create_directories(out / folder);
                settleNow();
                times["--backup, " + std::to_string(workers) + " w" +
                      (flushed ? "" : ", unflushed")]
                    .push_back(
                        runCommand(std::string(flushed ? "" : "TARNWICK_BENCH_UNFLUSHED=1 ") +
                                   "TARNWICK_COPY_WORKERS=" + std::to_string(workers) + " " +
                                   program + " --backup --quiet --source 'D:\\" + tree.name +
                                   "' --dest '" + outDrive + "\\" + folder + "'"));
                check(out / folder / todayFolder() / tree.name);
            };
            std::vector<std::function<void()>> steps = {
                [&] {
                    fs::create_directories(out / "dialog");
                    DialogTimes ours =
                        runDialog(dialog, tree.name, tree.files, outDrive + "\\dialog", settleNow);
                    times["count pass"].push_back(ours.count);
                    times["copy pass"].push_back(ours.copy);
                    check(out / "dialog" / todayFolder() / tree.name);
                },
                [&] { backup(1); },
                [&] { backup(2); },
                [&] { backup(4); },
                [&] { backup(2, false); },
                [&] {
                    settleNow();
                    times["cp -r"].push_back(runCommand("cp -r --preserve=mode,timestamps " +
                                                        quoted(src) + " " + quoted(out / "cp")));
                    check(out / "cp");
                },
                [&] {
                    // The same guarantee as a backup's: on the disk when it ends.
                    settleNow();
                    times["cp -r; sync"].push_back(runCommand("cp -r --preserve=mode,timestamps " +
                                                              quoted(src) + " " +
                                                              quoted(out / "cpsync") + " && sync"));
                    check(out / "cpsync");
                },
                [&] {
                    settleNow();
                    times["rsync -a"].push_back(
                        runCommand("rsync -a " + quoted(src) + "/ " + quoted(out / "rsync") + "/"));
                    check(out / "rsync");
                },
            };
            if (tree.manyFiles)
                steps.push_back([&] {
                    times["find"].push_back(
                        runCommand("find " + quoted(src) + " -printf '%s %p\\n' > /dev/null"));
                });
            std::rotate(steps.begin(), steps.begin() + run % static_cast<int>(steps.size()),
                        steps.end());
            for (const auto& step : steps)
                step();
            std::printf(".");
            std::fflush(stdout);
        }

        std::map<std::string, std::vector<double>> ratios;
        for (int run = 0; run < runs; ++run) {
            auto at = [&](const char* name) { return times[name][static_cast<size_t>(run)]; };
            ratios["copy pass / cp -r"].push_back(at("copy pass") / at("cp -r"));
            ratios["copy pass / rsync -a"].push_back(at("copy pass") / at("rsync -a"));
            for (const char* workers : {"1", "2", "4"}) {
                std::string name = std::string("--backup, ") + workers + " w";
                ratios[name + " / cp -r"].push_back(at(name.c_str()) / at("cp -r"));
            }
            ratios["--backup, 2 w / cp -r; sync"].push_back(at("--backup, 2 w") /
                                                            at("cp -r; sync"));
            ratios["--backup, 2 w, unflushed / cp -r"].push_back(at("--backup, 2 w, unflushed") /
                                                                 at("cp -r"));
            ratios["--backup, 2 w / (count + copy)"].push_back(
                at("--backup, 2 w") / (at("count pass") + at("copy pass")));
            if (tree.manyFiles)
                ratios["count pass / find"].push_back(at("count pass") / at("find"));
        }
        std::printf("\n%s (%s), %d runs, min / median / max:\n", tree.name.c_str(),
                    tree.label.c_str(), runs);
        for (const char* name :
             {"count pass", "find", "copy pass", "--backup, 1 w", "--backup, 2 w", "--backup, 4 w",
              "--backup, 2 w, unflushed", "cp -r", "cp -r; sync", "rsync -a"}) {
            if (times[name].empty())
                continue;
            Spread s = spread(times[name]);
            std::printf("  %-34s %7.3f %7.3f %7.3f s\n", name, s.min, s.median, s.max);
        }
        for (const char* name :
             {"copy pass / cp -r", "copy pass / rsync -a", "--backup, 1 w / cp -r",
              "--backup, 2 w / cp -r", "--backup, 4 w / cp -r", "--backup, 2 w / cp -r; sync",
              "--backup, 2 w, unflushed / cp -r", "--backup, 2 w / (count + copy)",
              "count pass / find"}) {
            if (ratios[name].empty())
                continue;
            Spread s = spread(ratios[name]);
            std::printf("  %-34s %7.3f %7.3f %7.3f\n", name, s.min, s.median, s.max);
        }
        std::fflush(stdout);
    }
    std::printf("deleting the copies ...\n");
    fs::remove_all(dest, ec);
    return 0;
}
