#pragma once

#include "commandline.h"
#include "console.h"

namespace cli {

// Backs up the saved choice (or the folders the command line names) into today's dated folder,
// through the same job and restore-point recording as the backup dialog, and writes what
// happened to the console. Returns the exit status (ExitStatus).
int runBackup(const CommandLine& line, Console& console);

} // namespace cli
