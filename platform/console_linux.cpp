#include "console.h"

#include "text/codepage.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace platform {
namespace {

int descriptor(Output output) {
    return output == Output::Standard ? STDOUT_FILENO : STDERR_FILENO;
}

} // namespace

bool isTerminal(Output output) {
    return ::isatty(descriptor(output)) == 1;
}

bool writeOutput(Output output, std::string_view text) {
    // A reader that goes away (a pager closed early) must not end a backup half done: the write
    // fails instead.
    static const bool pipeSignalIgnored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)pipeSignalIgnored;
    return writeHostText(output, text::utf8FromAnsi(text));
}

bool writeHostText(Output output, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = ::write(descriptor(output), bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool windowsCanShow(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments)
        if (argument == "-platform" || argument == "-display")
            return true; // what was asked for, and the toolkit's word if it fails
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(text::ansiFromUtf8(argv[i]));
    return arguments;
}

} // namespace platform
