// Times the backup's count and copy passes, run through the backup dialog headless with its
// user-interface updates, beside cp, rsync and find on the same trees in the same run:
//   tarnwick_bench [WORK_FOLDER] [RUNS]
// Prints the median of each and the ratios. The trees: 20,000 files of 4 KiB in 400 folders,
// and three files of 256 MiB. The command-line backup (the program run as a process, start-up
// included) is timed beside them.

#include "backup/tcopythread.h"
#include "backup/tform2.h"
#include "platform/hostpath.h"
#include "store/backupstore.h"
#include "toolkit/messagebox.h"
#include "widgets/bitbtn.h"

#include <QProgressBar>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void writeBytes(const fs::path& path, size_t size, std::mt19937_64& random) {
    std::vector<uint64_t> block(1 << 17);
    std::ofstream out(path, std::ios::binary);
    for (size_t done = 0; done < size;) {
        for (uint64_t& word : block)
            word = random();
        size_t chunk = std::min(size - done, block.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(chunk));
        done += chunk;
    }
}

void makeTrees(const fs::path& source) {
    std::mt19937_64 random(2004);
    if (!fs::exists(source / "Small")) {
        for (int folder = 0; folder < 400; ++folder) {
            char group[16], name[16];
            std::snprintf(group, sizeof group, "F%d", folder / 20);
            std::snprintf(name, sizeof name, "G%d", folder);
            fs::path dir = source / "Small" / group / name;
            fs::create_directories(dir);
            for (int file = 0; file < 50; ++file) {
                char fileName[32];
                std::snprintf(fileName, sizeof fileName, "file%d.dat", file);
                writeBytes(dir / fileName, 4096, random);
            }
        }
    }
    if (!fs::exists(source / "Large")) {
        fs::create_directories(source / "Large");
        for (int file = 0; file < 3; ++file) {
            char big[16];
            std::snprintf(big, sizeof big, "big%d.bin", file);
            writeBytes(source / "Large" / big, 256 << 20, random);
        }
    }
}

// Every timed step starts from the same state: everything written out, and a moment for the
// disk to settle. Outputs are not deleted between steps: deleting 20,000 files makes the disk
// busy (it discards freed blocks) for whatever runs next.
void settleDisk() {
    std::system("sync");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

double runCommand(const std::string& command) {
    auto started = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds(started);
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

struct Times {
    double count;
    double copy;
};

// Each pass is timed as the user sees it: from the showing (or the click) to the bar showing
// the count (or the last file).
Times runOurs(TForm2& dialog, const std::string& tree, int64_t files, const fs::path& output,
              const std::string& destination) {
    BackupStore store;
    store.CreateFolders();
    store.WriteSettings("D:\\" + tree, destination);
    dialog.PrepareBackup({store.SettingsFilePath(), store.EnsureRecordCount()});
    dialog.ProgressBar1->setMaximum(0); // what the last run showed is no count of this one
    auto shown = Clock::now();
    dialog.show();
    double count = secondsUntil(shown, [&] { return dialog.ProgressBar1->maximum() == files; });
    dialog.WorkerThread->waitUntilSuspended();
    fs::create_directories(output);
    settleDisk();
    auto clicked = Clock::now();
    emit dialog.BitBtn1->clicked();
    double copy = secondsUntil(clicked, [&] { return dialog.ProgressBar1->value() == files; });
    dialog.WorkerThread->waitUntilSuspended();
    QCoreApplication::processEvents();
    dialog.Timer1->stop();
    dialog.close();
    return {count, copy};
}

long maxResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tarnwick-bench";
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    fs::path source = work / "src";
    fs::path dest = work / "dst";
    fs::path table = work / "dosdevices"; // where the program finds it with TARNWICK_PREFIX
    fs::create_directories(table);
    fs::create_directories(work / "c" / "Program Files");
    fs::create_directories(work / "c" / "windows" / "system32");
    fs::create_directories(dest);
    std::error_code ec;
    for (const char* drive : {"c:", "d:", "e:"})
        fs::remove(table / drive, ec);
    fs::create_directory_symlink(work / "c", table / "c:");
    fs::create_directory_symlink(source, table / "d:");
    fs::create_directory_symlink(dest, table / "e:");
    platform::useDriveTable(table.string());
    const std::string program = "TARNWICK_PREFIX='" + work.string() + "' " TARNWICK_PROGRAM;
    toolkit::setMessageBoxHandler([](const toolkit::MessageBoxCall&) {});

    std::printf("making the trees in %s ...\n", source.c_str());
    makeTrees(source);
    TForm2 dialog(nullptr);

    for (const char* tree : {"Small", "Large"}) {
        std::map<std::string, std::vector<double>> times;
        std::string src = (source / tree).string();
        const int64_t files = std::string(tree) == "Small" ? 20000 : 3;
        long residentBefore = maxResidentKb();
        long residentAfterFirst = 0;
        for (int run = 0; run < runs; ++run) {
            // Every other run the others go first, so that no tool always follows the same one.
            char runName[16];
            std::snprintf(runName, sizeof runName, "run%d", run);
            fs::path out = dest / runName;
            fs::create_directories(out);
            auto others = [&] {
                settleDisk();
                times["cp -r"].push_back(runCommand("cp -r --preserve=mode,timestamps '" + src +
                                                    "' '" + (out / "cp").string() + "'"));
                settleDisk();
                times["rsync"].push_back(runCommand("rsync -a --ignore-existing '" + src + "/' '" +
                                                    (out / "rsync").string() + "/'"));
                times["find"].push_back(
                    runCommand("find '" + src + "' -printf '%s %p\\n' > /dev/null"));
                settleDisk();
                fs::create_directories(out / "cli");
                times["--backup"].push_back(
                    runCommand(program + " --backup --quiet --source 'D:\\" + tree +
                               "' --dest 'E:\\run" + std::to_string(run) + "\\cli'"));
            };
            if (run % 2)
                others();
            Times ours = runOurs(dialog, tree, files, out / "ours",
                                 "E:\\run" + std::to_string(run) + "\\ours");
            times["count pass"].push_back(ours.count);
            times["copy pass"].push_back(ours.copy);
            if (run % 2 == 0)
                others();
            if (run == 0)
                residentAfterFirst = maxResidentKb();
        }
        fs::remove_all(dest, ec);
        std::system("sync");
        std::this_thread::sleep_for(std::chrono::seconds(3));
        std::printf("\n%s tree, medians of %d runs:\n", tree, runs);
        for (const char* name : {"count pass", "find", "copy pass", "cp -r", "rsync", "--backup"}) {
            std::printf("  %-11s %8.3f s   (", name, median(times[name]));
            for (double time : times[name])
                std::printf(" %.3f", time);
            std::printf(" )\n");
        }
        std::printf("  copy pass / cp -r  = %.3f\n",
                    median(times["copy pass"]) / median(times["cp -r"]));
        std::printf("  copy pass / rsync  = %.3f\n",
                    median(times["copy pass"]) / median(times["rsync"]));
        std::printf("  --backup / cp -r   = %.3f  (count and copy, process start included)\n",
                    median(times["--backup"]) / median(times["cp -r"]));
        std::printf("  --backup / (count pass + copy pass) = %.3f\n",
                    median(times["--backup"]) /
                        (median(times["count pass"]) + median(times["copy pass"])));
        std::printf("  count pass / find  = %.3f\n",
                    median(times["count pass"]) / median(times["find"]));
        std::printf("  peak memory: +%ld KiB in the first run, +%ld KiB in the %d runs after it\n",
                    residentAfterFirst - residentBefore, maxResidentKb() - residentAfterFirst,
                    runs - 1);
    }
    fs::remove_all(dest, ec);
    return 0;
}
