#pragma once

#include "console.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The program the command line is run by: the one with windows, or the console program beside
// it, which has none (its help says so).
enum class Program { WithWindows, Console };

// Runs what the command line asks for when it is no window: a backup, the help or the version.
// Returns the exit status, or nullopt when the program is to open its window.
std::optional<int> runCommandLine(const std::vector<std::string>& arguments, Console& console,
                                  Program program = Program::WithWindows);

} // namespace cli
