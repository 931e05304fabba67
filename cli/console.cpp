#include "console.h"

#include "platform/console.h"

namespace cli {

bool HostConsole::isTerminal() const {
    return platform::isTerminal(platform::Output::Standard);
}

void HostConsole::write(std::string_view text) {
    platform::writeOutput(platform::Output::Standard, text);
}

void HostConsole::writeError(std::string_view text) {
    platform::writeOutput(platform::Output::Errors, text);
}

void HostConsole::writeHostText(std::string_view utf8) {
    platform::writeHostText(platform::Output::Standard, utf8);
}

} // namespace cli
