#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's standard output and error, and its command-line arguments, for a run without a
// window. Program text is code page 950; the host's terminal may want another encoding.
namespace platform {

enum class Output { Standard, Errors };

// Whether the output goes to a terminal (a console window), not to a file or a pipe.
bool isTerminal(Output output);

// Writes program text as the host shows it (UTF-8 on Linux). False when it could not be written
// (a pipe whose reader has gone, a full disk under a log): the run goes on without it.
bool writeOutput(Output output, std::string_view text);
// Writes a text of the host's own (UTF-8), such as a file name without a code page 950 form, as
// it is: to a console as its characters, elsewhere as UTF-8.
bool writeHostText(Output output, std::string_view utf8);

// The program's command-line arguments (those after its name) as program text. On Windows they
// are read from the system's own UTF-16 command line, not from argv, whose conversion to the
// ANSI code page may turn a character into a look-alike that names another folder.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Whether the program's windows have somewhere to show: on Linux a display (DISPLAY,
// WAYLAND_DISPLAY or WAYLAND_SOCKET, or the -display argument), or a toolkit platform named
// (QT_QPA_PLATFORM or -platform; offscreen needs no display); always on Windows.
bool windowsCanShow(const std::vector<std::string>& arguments);

} // namespace platform
