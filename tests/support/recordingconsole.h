#pragma once

#include "cli/console.h"

#include <string>
#include <string_view>

namespace testsupport {

// Keeps what a command-line run writes, as a log (or, `terminal`, a terminal) would get it.
class RecordingConsole : public cli::Console {
public:
    explicit RecordingConsole(bool terminal = false) : terminal_(terminal) {}
    bool isTerminal() const override { return terminal_; }
    void write(std::string_view text) override { out += text; }
    void writeError(std::string_view text) override { err += text; }
    void writeHostText(std::string_view text) override { out += text; }

    std::string out;
    std::string err;

private:
    bool terminal_;
};

} // namespace testsupport
