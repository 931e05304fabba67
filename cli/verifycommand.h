#pragma once

#include "commandline.h"
#include "console.h"

namespace cli {

// The exit statuses of a verification.
enum VerifyStatus : int {
    kNoDifference = 0, // the backup holds every file and folder of the source, as they are
    kDifferences = 1,  // some differ (all listed)
    kCannotVerify = 2, // nothing compared: bad arguments, no backup recorded, ... (told why)
};

// `--verify`: compares the newest backup of the source folder (--source, else the saved one) in
// the destination (--dest, else the saved one) with the source as it is now, and with --full
// their bytes too. Each difference is written on a line of its own with its kind, then a
// summary. Reads only: nothing of the backup, the source or the program folder is written.
int runVerify(const CommandLine& line, Console& console);

} // namespace cli
