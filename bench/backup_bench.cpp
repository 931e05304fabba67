// The backup benchmark: the program's passes beside cp, rsync and find, pair by pair.
//   tarnwick_bench [--large] [WORK_FOLDER] [RUNS]
// Each run times, on every tree and in an order rotated from run to run: the backup dialog's
// count and copy passes (headless, as the user sees them: from the showing or the click to the
// bar showing the count or the last file), `tarnwick2004 --backup` as a process with 1, 2 and 4
// copy workers (TARNWICK_COPY_WORKERS; the dialog uses the default) and with 2 but without the
// flush of its copies (TARNWICK_BENCH_UNFLUSHED), `cp -r`, `cp -r` followed by `sync` (the same
// guarantee as a backup's), `rsync -a` and, on trees of many files, `find`.
// On trees of many files it also times two days of backups into one destination (the program
// run as on 2004/5/1 and on 2004/5/2, tarnwick_bench_dated), beside `rsync -a` and `rsync -a
// --link-dest=<its day 1>` into a fresh folder: with the tree unchanged, and with one file in a
// hundred rewritten between the days (both tools then take their second day from the same
// changed tree, in an order that alternates). The second day's space is what `du` counts for it
// with the first day beside it. Every step writes into a fresh folder; every copy is compared
// with its source (names, sizes, permissions, times, a sample of contents; a second day's every
// file whole, and each a link to the first day's file where unchanged, a copy where changed),
// and a copy that differs ends the benchmark. Ratios are taken within each run and printed as
// min / median / max over the runs, with the limit a ratio must keep and in how many runs it did.
// Last, two days of backups onto destinations that make no links: the benchmark's disk with every
// link refused as FAT refuses it (one link tried in the pass, then every file a copy), and a vfat
// image where fusefat can mount one.

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
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sys/wait.h>
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
    store::BackupStore store;
    if (std::optional<store::FolderFailure> missing = store.CreateFolders())
        refuse("cannot make the program folder " + missing->path);
    if (platform::WriteResult saved = store.WriteSettings("D:\\" + tree, destination); !saved)
        refuse("cannot write " + store.SettingsFilePath());
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
    return store::FormBackupName(platform::shortDateToday());
}

// The days of the two-day backups; tarnwick_bench_dated runs the program as on that day.
constexpr const char* kDay1 = "2004/5/1";
constexpr const char* kDay2 = "2004/5/2";

// What `du -sk` counts for `first` and then for `second` in one call: an inode that both hold
// is counted once, under the first. Returns the second's share of the first.
double spaceBeside(const fs::path& first, const fs::path& second) {
    std::string command = "du -sk " + quoted(first) + " " + quoted(second);
    FILE* du = ::popen(command.c_str(), "r");
    if (!du)
        refuse("cannot run " + command);
    double kib[2] = {0, 0};
    char name[4096];
    int read = 0;
    for (double& figure : kib)
        read += std::fscanf(du, "%lf %4095[^\n]", &figure, name) == 2;
    if (::pclose(du) != 0 || read != 2 || kib[0] <= 0)
        refuse("failed: " + command);
    return kib[1] / kib[0];
}

// The limits the figures are held to: a ratio and the most it may be.
const std::map<std::string, double> kLimits = {
    {"--backup, 2 w / cp -r", 1.0},
    {"day 1 / cp -r", 1.0},
    {"day 2 / day 1", 0.5},
    {"day 2 / rsync --link-dest", 0.5},
    {"day 2 space / day 1", 0.02},
    {"1 %: day 2 / day 1", 0.5},
    {"1 %: day 2 / rsync --link-dest", 0.5},
};

// What one day's backup of the two-day runs onto a destination without links said.
struct DayOutput {
    int status = 0;                         // the exit status
    std::string summary;                    // its summary's line of copied and linked files
    int linksTried = -1;                    // as the seam counts them (-1: no seam)
    std::map<std::string, int> callsFailed; // link calls the system refused, by error (strace)
};

// Runs `command` with its output and error output in `output`, and reads what it said.
DayOutput runDay(const std::string& command, const fs::path& output, const fs::path& calls) {
    DayOutput day;
    int status = std::system((command + " >" + quoted(output) + " 2>&1").c_str());
    day.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream said(output);
    for (std::string line; std::getline(said, line);) {
        if (line.find("已複製") != std::string::npos)
            day.summary = line;
        if (line.starts_with("links tried: "))
            day.linksTried = std::atoi(line.c_str() + 13);
    }
    std::ifstream log(calls);
    for (std::string line; std::getline(log, line);) {
        size_t failure = line.find(" = -1 ");
        if (line.find("link") != std::string::npos && failure != std::string::npos)
            ++day.callsFailed[line.substr(failure + 6, line.find(' ', failure + 6) - failure - 6)];
    }
    return day;
}

void printDay(const char* date, const std::string& why, const DayOutput& day) {
    std::printf("  %s: %s", date,
                why.empty() ? "every file a copy equal to its source" : why.c_str());
    if (day.linksTried >= 0)
        std::printf("; links tried: %d", day.linksTried);
    for (const auto& [error, count] : day.callsFailed)
        std::printf("; link calls refused (the copies' own naming too): %d (%s)", count,
                    error.c_str());
    std::printf("%s%s\n", day.summary.empty() ? "" : "; the summary: ", day.summary.c_str());
}

// The program's path of a folder of the source drive D:.
std::string onDriveD(const fs::path& folder) {
    std::string path = "D:";
    for (const fs::path& name : folder) {
        path += '\\';
        path += name.string();
    }
    return path;
}

int64_t filesIn(const fs::path& folder) {
    int64_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files += entry.is_regular_file();
    return files;
}

// Two days of backups of the source drive's `folder` (a relative host path) on the benchmark's
// own disk with every link refused as FAT refuses it (tarnwick_bench_dated's
// TARNWICK_BENCH_REFUSE_LINKS): every file of the second day must be a copy equal to its source,
// and the program must try one link in the pass and no more; else the benchmark ends.
void refusedLinkDays(const fs::path& work, const fs::path& source, const fs::path& dest,
                     const std::string& environment, const fs::path& folder) {
    fs::path from = source / folder;
    std::string programFolder = onDriveD(folder);
    int64_t files = filesIn(from);
    auto command = [&](const char* day, const std::string& to, const std::string& before) {
        return environment + " " + before + TARNWICK_DATED_PROGRAM + " " + day +
               " --backup --source '" + programFolder + "' --dest '" + to + "'";
    };
    fs::path output = work / "fat-output.txt";
    fs::path calls = work / "fat-links.strace";
    std::error_code ec;
    fs::remove(calls, ec);

    std::printf("\nNo links (every link refused with EPERM, as on FAT), two days of %s (%lld "
                "files):\n",
                programFolder.c_str(), static_cast<long long>(files));
    fs::path refusing = dest / "nolinks";
    fs::create_directories(refusing);
    for (const char* day : {kDay1, kDay2}) {
        DayOutput said =
            runDay(command(day, "E:\\nolinks", "TARNWICK_BENCH_REFUSE_LINKS=1 "), output, calls);
        fs::path copy = refusing / store::FormBackupName(day) / folder.filename();
        std::string why;
        if (said.status != 0)
            why = "the backup ended with status " + std::to_string(said.status);
        else if (std::string_view(day) == kDay1)
            why = bench::compareTrees(from, copy);
        else if (bench::NextDay next = bench::compareNextDay(
                     from, refusing / store::FormBackupName(kDay1) / folder.filename(), copy, {});
                 !next.differs.empty())
            why = next.differs;
        else if (next.unchangedLinked != 0)
            why = std::to_string(next.unchangedLinked) + " files linked where links are refused";
        printDay(day, why, said);
        if (!why.empty())
            refuse(why + " (the program said: " + output.string() + ")");
        int expected = std::string_view(day) == kDay1 ? 0 : 1;
        std::printf("    one link tried in the pass, then copies: %s\n",
                    said.linksTried == expected ? "held" : "NOT held");
        if (said.linksTried != expected)
            refuse("links were tried after the file system refused one");
    }
}

// A FAT-like file system in an image file, mounted through FUSE (the machine's kernel may have
// no FAT of its own): how to make, mount and unmount it.
struct FatImage {
    const char* name;
    std::string mount;   // makes the image and mounts it; non-zero when it cannot be here
    std::string unmount; // unmounts it and frees what the mount took
};

// Two days of `folder` backed up onto the image, mounted as drive F:. Returns false when a day
// was not backed up whole (told on the way, with what the program said of its failures).
bool imageDays(const fs::path& work, const fs::path& table, const fs::path& source,
               const std::string& environment, const fs::path& folder, const FatImage& fat,
               const fs::path& mount) {
    std::system(("(" + fat.unmount + ") >/dev/null 2>&1").c_str()); // a cut-short run's
    std::error_code ec;
    fs::create_directories(mount);
    if (std::system((fat.mount + " >/dev/null 2>&1").c_str()) != 0) {
        std::printf("%s: no image can be mounted here: not measured\n", fat.name);
        std::system(("(" + fat.unmount + ") >/dev/null 2>&1").c_str());
        return true;
    }
    fs::path from = source / folder;
    std::string programFolder = onDriveD(folder);
    int64_t files = filesIn(from);
    fs::path output = work / "fat-output.txt";
    fs::path calls = work / "fat-links.strace";
    fs::remove(table / "f:", ec);
    fs::create_directory_symlink(mount, table / "f:");
    fs::create_directories(mount / "bak");
    std::printf("%s, two days of %s:\n", fat.name, programFolder.c_str());
    bool whole = true;
    for (const char* day : {kDay1, kDay2}) {
        fs::remove(calls, ec);
        DayOutput said = runDay(environment + " strace -f -qq -e trace=link,linkat -o " +
                                    quoted(calls) + " " + TARNWICK_DATED_PROGRAM + " " + day +
                                    " --backup --source '" + programFolder + "' --dest 'F:\\bak'",
                                output, calls);
        int64_t timesOff = 0;
        std::string why = said.status != 0
                              ? "the backup ended with status " + std::to_string(said.status)
                              : bench::compareFatCopy(from,
                                                      mount / "bak" / store::FormBackupName(day) /
                                                          folder.filename(),
                                                      timesOff);
        printDay(day, why, said);
        if (why.empty())
            std::printf("    modification times not kept (beyond FAT's 2 s): %lld of %lld files\n",
                        static_cast<long long>(timesOff), static_cast<long long>(files));
        if (!why.empty() && whole) {
            // What the program told of its failures: the heading and the first of them.
            std::ifstream said(output);
            int shown = 0;
            for (std::string line; shown < 2 && std::getline(said, line);)
                if (shown > 0 || line.find("無法備份") != std::string::npos) {
                    std::printf("    the program: %s\n", line.c_str());
                    ++shown;
                }
            whole = false;
        }
    }
    std::system(fat.unmount.c_str());
    return whole;
}

// Whether fusefat names a file made under one long name and renamed to another, 100 times in
// one folder, as the program's copies do where nothing better is there: the count it managed.
int fusefatRenames(const fs::path& mount) {
    fs::path folder = mount / "renames";
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (int i = 0; i < 100; ++i) {
        fs::path temporary = folder / (".file" + std::to_string(i) + ".dat.tw1-1.tmp");
        std::ofstream(temporary) << "x";
        fs::rename(temporary, folder / ("file" + std::to_string(i) + ".dat"), ec);
        if (ec || !fs::exists(folder / ("file" + std::to_string(i) + ".dat")))
            return i;
    }
    return 100;
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
    const std::string datedProgram =
        "TARNWICK_PREFIX=" + quoted(work) + " TARNWICK_COPY_WORKERS=2 " TARNWICK_DATED_PROGRAM;

    std::vector<bench::Tree> trees = bench::benchmarkTrees(large);
    uintmax_t needed = 0;
    for (const bench::Tree& tree : trees)
        needed += (tree.bytes + static_cast<uintmax_t>(tree.files) * 4096) *
                  (tree.manyFiles ? 12u : 8u) * static_cast<uintmax_t>(runs);
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
        std::map<std::string, std::vector<double>> ratios;
        std::map<std::string, bench::NextDay> held; // what the second days linked and copied
        for (int run = 0; run < runs; ++run) {
            fs::path out = dest / tree.name / ("run" + std::to_string(run));
            std::string outDrive = "E:\\" + tree.name + "\\run" + std::to_string(run);
            fs::create_directories(out);
            auto settleNow = [&] { settle(src, tree); };
            auto check = [&](const fs::path& copy) {
                if (std::string why = bench::compareTrees(src, copy); !why.empty())
                    refuse(why);
            };
            // Checks a second day; what it linked and copied adds up under `name`. Returns what
            // differs, or an empty text.
            auto nextDay = [&](const std::string& name, const fs::path& day1, const fs::path& day2,
                               const std::set<std::string>& changed) {
                bench::NextDay found = bench::compareNextDay(src, day1, day2, changed);
                bench::NextDay& total = held[name];
                total.unchanged += found.unchanged;
                total.unchangedLinked += found.unchangedLinked;
                total.changed += found.changed;
                total.changedCopied += found.changedCopied;
                return found.differs;
            };
            auto nextDayCheck = [&](const std::string& name, const fs::path& day1,
                                    const fs::path& day2) {
                if (std::string why = nextDay(name, day1, day2, {}); !why.empty())
                    refuse(why);
            };
            // The backup of the tree as on `date` into `folder` of this run, with 2 workers.
            auto dated = [&](const char* date, const std::string& folder) {
                return datedProgram + " " + date + " --backup --quiet --source 'D:\\" + tree.name +
                       "' --dest '" + outDrive + "\\" + folder + "'";
            };
            auto dayCopy = [&](const fs::path& folder, const char* date) {
                return folder / store::FormBackupName(date) / tree.name;
            };
            auto rsyncNextDay = [&](const fs::path& day1, const fs::path& day2) {
                return runCommand("rsync -a --link-dest=" + quoted(fs::absolute(day1)) + " " +
                                  quoted(src) + "/ " + quoted(day2) + "/");
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
                    if (!tree.manyFiles)
                        return;
                    // The peer's next day, linked to the copy just made.
                    settleNow();
                    times["rsync --link-dest"].push_back(
                        rsyncNextDay(out / "rsync", out / "rsync2"));
                    nextDayCheck("rsync --link-dest", out / "rsync", out / "rsync2");
                    ratios["rsync day 2 space / day 1"].push_back(
                        spaceBeside(out / "rsync", out / "rsync2"));
                },
            };
            if (tree.manyFiles) {
                steps.push_back([&] {
                    times["find"].push_back(
                        runCommand("find " + quoted(src) + " -printf '%s %p\\n' > /dev/null"));
                });
                steps.push_back([&] {
                    // Two days into one destination, the tree unchanged in between.
                    fs::create_directories(out / "days");
                    settleNow();
                    times["day 1"].push_back(runCommand(dated(kDay1, "days")));
                    check(dayCopy(out / "days", kDay1));
                    settleNow();
                    times["day 2"].push_back(runCommand(dated(kDay2, "days")));
                    nextDayCheck("day 2", dayCopy(out / "days", kDay1),
                                 dayCopy(out / "days", kDay2));
                    ratios["day 2 space / day 1"].push_back(
                        spaceBeside(out / "days" / store::FormBackupName(kDay1),
                                    out / "days" / store::FormBackupName(kDay2)));
                });
                steps.push_back([&] {
                    // Both tools' first days, then one file in a hundred rewritten and both
                    // tools' second days from that tree; the tree is put back after.
                    fs::create_directories(out / "changed");
                    settleNow();
                    times["1 %: day 1"].push_back(runCommand(dated(kDay1, "changed")));
                    check(dayCopy(out / "changed", kDay1));
                    settleNow();
                    times["1 %: rsync -a"].push_back(runCommand(
                        "rsync -a " + quoted(src) + "/ " + quoted(out / "changedrsync") + "/"));
                    check(out / "changedrsync");
                    bench::ChangedFiles changes(src);
                    auto ours = [&] {
                        settleNow();
                        times["1 %: day 2"].push_back(runCommand(dated(kDay2, "changed")));
                    };
                    auto theirs = [&] {
                        settleNow();
                        times["1 %: rsync --link-dest"].push_back(
                            rsyncNextDay(out / "changedrsync", out / "changedrsync2"));
                    };
                    if (run % 2 == 0) {
                        ours();
                        theirs();
                    } else {
                        theirs();
                        ours();
                    }
                    std::string why = nextDay("1 %: day 2", dayCopy(out / "changed", kDay1),
                                              dayCopy(out / "changed", kDay2), changes.relative());
                    if (why.empty())
                        why = nextDay("1 %: rsync --link-dest", out / "changedrsync",
                                      out / "changedrsync2", changes.relative());
                    changes.undo();
                    if (!why.empty())
                        refuse(why);
                    ratios["1 %: day 2 space / day 1"].push_back(
                        spaceBeside(out / "changed" / store::FormBackupName(kDay1),
                                    out / "changed" / store::FormBackupName(kDay2)));
                    ratios["1 %: rsync day 2 space / day 1"].push_back(
                        spaceBeside(out / "changedrsync", out / "changedrsync2"));
                });
            }
            std::rotate(steps.begin(), steps.begin() + run % static_cast<int>(steps.size()),
                        steps.end());
            for (const auto& step : steps)
                step();
            std::printf(".");
            std::fflush(stdout);
        }

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
            if (tree.manyFiles) {
                ratios["count pass / find"].push_back(at("count pass") / at("find"));
                ratios["day 1 / cp -r"].push_back(at("day 1") / at("cp -r"));
                ratios["day 2 / day 1"].push_back(at("day 2") / at("day 1"));
                ratios["day 2 / rsync --link-dest"].push_back(at("day 2") /
                                                              at("rsync --link-dest"));
                ratios["rsync --link-dest / rsync -a"].push_back(at("rsync --link-dest") /
                                                                 at("rsync -a"));
                ratios["1 %: day 2 / day 1"].push_back(at("1 %: day 2") / at("1 %: day 1"));
                ratios["1 %: day 2 / rsync --link-dest"].push_back(at("1 %: day 2") /
                                                                   at("1 %: rsync --link-dest"));
            }
        }
        std::printf("\n%s (%s), %d runs, min / median / max:\n", tree.name.c_str(),
                    tree.label.c_str(), runs);
        for (const char* name :
             {"count pass", "find", "copy pass", "--backup, 1 w", "--backup, 2 w", "--backup, 4 w",
              "--backup, 2 w, unflushed", "cp -r", "cp -r; sync", "rsync -a", "day 1", "day 2",
              "rsync --link-dest", "1 %: day 1", "1 %: day 2", "1 %: rsync -a",
              "1 %: rsync --link-dest"}) {
            if (times[name].empty())
                continue;
            Spread s = spread(times[name]);
            std::printf("  %-34s %7.3f %7.3f %7.3f s\n", name, s.min, s.median, s.max);
        }
        for (const char* name :
             {"copy pass / cp -r", "copy pass / rsync -a", "--backup, 1 w / cp -r",
              "--backup, 2 w / cp -r", "--backup, 4 w / cp -r", "--backup, 2 w / cp -r; sync",
              "--backup, 2 w, unflushed / cp -r", "--backup, 2 w / (count + copy)",
              "count pass / find", "day 1 / cp -r", "day 2 / day 1", "day 2 / rsync --link-dest",
              "rsync --link-dest / rsync -a", "day 2 space / day 1", "rsync day 2 space / day 1",
              "1 %: day 2 / day 1", "1 %: day 2 / rsync --link-dest", "1 %: day 2 space / day 1",
              "1 %: rsync day 2 space / day 1"}) {
            if (ratios[name].empty())
                continue;
            Spread s = spread(ratios[name]);
            std::printf("  %-34s %7.4f %7.4f %7.4f", name, s.min, s.median, s.max);
            if (auto limit = kLimits.find(name); limit != kLimits.end()) {
                auto within = std::count_if(ratios[name].begin(), ratios[name].end(),
                                            [&](double ratio) { return ratio <= limit->second; });
                std::printf("   limit %.2f: within in %d of %d runs", limit->second,
                            static_cast<int>(within), runs);
            }
            std::printf("\n");
        }
        for (const char* name :
             {"day 2", "rsync --link-dest", "1 %: day 2", "1 %: rsync --link-dest"}) {
            if (!held.count(name))
                continue;
            const bench::NextDay& total = held[name];
            std::printf("  %-34s linked %lld of %lld unchanged files", name,
                        static_cast<long long>(total.unchangedLinked),
                        static_cast<long long>(total.unchanged));
            if (total.changed > 0)
                std::printf(", copied %lld of %lld changed",
                            static_cast<long long>(total.changedCopied),
                            static_cast<long long>(total.changed));
            std::printf(" (all runs)\n");
        }
        std::fflush(stdout);
    }
    const std::string environment = "TARNWICK_PREFIX=" + quoted(work) + " TARNWICK_COPY_WORKERS=2";
    const fs::path fatFolder = fs::path("Small") / "F0";
    refusedLinkDays(work, source, dest, environment, fatFolder);
    // exFAT, as USB sticks come, through its FUSE driver on a loop device; then vfat through
    // fusefat, which needs no device.
    fs::path image = work / "fat.img";
    fs::path mount = work / "fat";
    fs::path loop = work / "fat.loop";
    FatImage exfat{"exFAT (an image on a loop device, exfat-fuse)",
                   "truncate -s 256M " + quoted(image) + " && mkfs.exfat " + quoted(image) +
                       " && losetup -f --show " + quoted(image) + " >" + quoted(loop) +
                       " && mount.exfat-fuse $(cat " + quoted(loop) + ") " + quoted(mount),
                   "fusermount -u " + quoted(mount) + "; losetup -d $(cat " + quoted(loop) +
                       "); rm -f " + quoted(image) + " " + quoted(loop)};
    FatImage vfat{"vfat (an image, fusefat)",
                  "truncate -s 128M " + quoted(image) + " && mkfs.vfat " + quoted(image) +
                      " && fusefat -o rw+ " + quoted(image) + " " + quoted(mount),
                  "fusermount -u " + quoted(mount) + "; rm -f " + quoted(image)};
    bool exfatWhole = imageDays(work, table, source, environment, fatFolder, exfat, mount);
    if (!imageDays(work, table, source, environment, fatFolder, vfat, mount) &&
        std::system((vfat.mount + " >/dev/null 2>&1").c_str()) == 0) {
        // fusefat's own limit, shown without the program.
        std::printf("    fusefat itself: of 100 files made under a long temporary name and renamed "
                    "in one folder, %d were\n",
                    fusefatRenames(mount));
        std::system(vfat.unmount.c_str());
    }
    std::printf("deleting the copies ...\n");
    fs::remove_all(dest, ec);
    if (!exfatWhole) {
        std::fprintf(stderr, "benchmark refused: the exFAT image was not backed up whole\n");
        return 1;
    }
    return 0;
}
