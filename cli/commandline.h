#pragma once

#include "backup/keeppolicy.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// What the command line asks for.
struct CommandLine {
    enum class Action { Window, Backup, Prune, Restore, List, Verify, Help, Version, Invalid };
    Action action = Action::Window;
    std::optional<std::string> sourceDir;   // --source, program text
    std::optional<std::string> destDir;     // --dest
    bool save = false;                      // --save: the pair becomes the saved choice
    bool quiet = false;                     // --quiet: failures only
    bool fullCopy = false;                  // --full-copy: unchanged files copied, not linked
    std::optional<backup::KeepPolicy> keep; // --keep-daily N ...: the backups a pruning keeps
    bool dryRun = false;                    // --dry-run: a pruning only tells what would go
    std::optional<int> point;               // --point N: the restore point to restore
    std::optional<std::chrono::year_month_day> date; // --date YYYY-MM-DD: that day's backup
    std::optional<std::string> folder; // --folder: a folder inside the backup (its path)
    std::optional<std::string> toDir;  // --to: restore into this folder instead
    bool fullCompare = false;          // --full: a verification compares the bytes too
    std::string error;                 // Invalid: what is wrong (program text)
};

// Reads the arguments after the program's name (program text). Options of the toolkit's own
// (one dash, such as -platform) are left to the window.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

} // namespace cli
