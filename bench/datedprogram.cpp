// The program's command line on a day the benchmark names, so that one benchmark run can make a
// first day's backup and the next day's (a backup's dated folder comes from today's date):
//   tarnwick_bench_dated YEAR/MONTH/DAY ARGUMENTS...
// The arguments after the date go to the command line as tarnwick2004 takes them, and this
// program is linked as tarnwick2004 is, so that it starts as fast. With
// TARNWICK_BENCH_REFUSE_LINKS set, every link of an unchanged file fails as FAT refuses it
// (EPERM), and the number of links tried is written last to the error output.

#include "cli/commands.h"
#include "cli/console.h"
#include "faults/faults.h"
#include "platform/clock.h"
#include "platform/console.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    int year = 0;
    unsigned month = 0, day = 0;
    std::chrono::year_month_day today{};
    if (argc >= 2 && std::sscanf(argv[1], "%d/%u/%u", &year, &month, &day) == 3)
        today = std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day};
    if (!today.ok()) {
        std::fprintf(stderr, "usage: tarnwick_bench_dated YEAR/MONTH/DAY ARGUMENTS...\n");
        return 2;
    }
    platform::setTodayForTesting(today);
    static std::atomic<int> linksTried{0};
    bool refuseLinks = std::getenv("TARNWICK_BENCH_REFUSE_LINKS") != nullptr;
    if (refuseLinks) {
        faults::failAt("link", "", EPERM);
        faults::beforeOperation("link", "", [] { ++linksTried; });
    }
    std::vector<std::string> arguments = platform::commandLineArguments(argc - 1, argv + 1);
    cli::HostConsole console;
    if (std::optional<int> status = cli::runCommandLine(arguments, console)) {
        if (refuseLinks)
            std::fprintf(stderr, "links tried: %d\n", linksTried.load());
        return *status;
    }
    std::fprintf(stderr, "tarnwick_bench_dated runs the command line only\n");
    return 2;
}
