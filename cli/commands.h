#pragma once

#include "console.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// Runs what the command line asks for when it is no window: a backup, the help or the version.
// Returns the exit status, or nullopt when the program is to open its window.
std::optional<int> runCommandLine(const std::vector<std::string>& arguments, Console& console);

} // namespace cli
