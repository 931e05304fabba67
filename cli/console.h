#pragma once

#include <string>
#include <string_view>

namespace cli {

// Where a run without a window writes: its standard output and its error output. Text is
// program text (code page 950), whole lines ending in "\n"; a progress line on a terminal is
// rewritten in place.
class Console {
public:
    virtual ~Console() = default;
    virtual bool isTerminal() const = 0;
    virtual void write(std::string_view text) = 0;
    virtual void writeError(std::string_view text) = 0;
    // A text of the host's own (UTF-8) on the standard output, written as it is: a name that
    // program text cannot show.
    virtual void writeHostText(std::string_view utf8) = 0;
};

// The process's own output.
class HostConsole : public Console {
public:
    bool isTerminal() const override;
    void write(std::string_view text) override;
    void writeError(std::string_view text) override;
    void writeHostText(std::string_view utf8) override;
};

} // namespace cli
