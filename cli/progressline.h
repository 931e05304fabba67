#pragma once

#include "console.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace cli {

// The progress line of a run without a window: on a terminal rewritten in place a few times a
// second; in a log a line every half minute, enough to show that a long run goes on.
class ProgressLine {
public:
    explicit ProgressLine(Console& console) : console_(console), terminal_(console.isTerminal()) {}

    bool onTerminal() const { return terminal_; }
    // How long after one line the next may come.
    std::chrono::milliseconds interval() const {
        return terminal_ ? std::chrono::milliseconds(250) : std::chrono::seconds(30);
    }
    void show(const std::string& line) {
        if (terminal_) {
            console_.write("\r" + line + "\x1b[K"); // the rest of the older line erased
            waiting_ = true;
        } else {
            console_.write(line + "\n");
        }
    }
    // Ends a line left waiting on the terminal, before anything else is written.
    void end() {
        if (waiting_)
            console_.write("\n");
        waiting_ = false;
    }

private:
    Console& console_;
    bool terminal_;
    bool waiting_ = false; // a line waits on the terminal for its line end
};

// MB per second, to a tenth.
inline std::string rateText(uint64_t bytes, double seconds) {
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.1f",
                  seconds > 0 ? static_cast<double>(bytes) / 1048576.0 / seconds : 0.0);
    return rate;
}

} // namespace cli
