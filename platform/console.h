#pragma once

#include <string>
#include <string_view>

// The program's standard output and error, and its command-line arguments, for a run without a
// window. Program text is code page 950; the host's terminal may want another encoding.
namespace platform {

enum class Output { Standard, Errors };

// Whether the output goes to a terminal (a console window), not to a file or a pipe.
bool isTerminal(Output output);

// Writes program text as the host shows it (UTF-8 on Linux). False when it could not be written
// (a pipe whose reader has gone, a full disk under a log): the run goes on without it.
bool writeOutput(Output output, std::string_view text);

// The program text of a command-line argument as the host hands it over.
std::string argumentText(std::string_view hostArgument);

} // namespace platform
