#pragma once

#include "toolkit/messagebox.h"

#include <mutex>
#include <vector>

namespace testsupport {

// Answers every message box at once and keeps what it showed.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<toolkit::MessageBoxCall> calls() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<toolkit::MessageBoxCall> calls_;
};

} // namespace testsupport
