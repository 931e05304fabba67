#pragma once

#include "commandline.h"
#include "console.h"

#include "backup/keeppolicy.h"
#include "store/backupstore.h"

#include <string>

namespace cli {

// `--prune`: removes the backup folders of the destination (--dest, else the saved one) that the
// --keep-* options do not keep, or with --dry-run lists them. Each folder removed is written on a
// line of its own, then a summary; every failure is named with its reason. The exit status: 0
// all done, 1 some could not be removed, 2 nothing could be done.
int runPrune(const CommandLine& line, Console& console);

// The same for the destination of a backup that recorded its restore point (`--backup` with
// --keep-* options): the backup's exit status, raised to 1 when something could not be removed.
int pruneAfterBackup(const store::BackupStore& store, const std::string& destDir,
                     const backup::KeepPolicy& policy, bool quiet, Console& console,
                     int backupStatus);

} // namespace cli
