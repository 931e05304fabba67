#pragma once

#include "commandline.h"
#include "console.h"

namespace cli {

// `--restore`: copies the files of a recorded backup of the destination (the restore point
// --point, or the backup of the day --date), the whole backup or the folder --folder of it, back
// where the restore point says they came from, or with --to below another folder, through the
// same job as the restore dialog: only files that are missing, nothing replaced. Writes what
// happened to the console; returns the exit status (ExitStatus).
int runRestore(const CommandLine& line, Console& console);

// `--list`: the restore points of the destination, one a line: the number, the day
// (YYYY-MM-DD) and the folders backed up, separated by tabs.
int runList(const CommandLine& line, Console& console);

} // namespace cli
