#pragma once

#include <shared_mutex>

namespace platform {

// While one of these lives, endProcess() waits: writes that must not be cut short (the
// program's own files) hold one.
class ExitBlocker {
public:
    ExitBlocker();
    ~ExitBlocker();
    ExitBlocker(const ExitBlocker&) = delete;
    ExitBlocker& operator=(const ExitBlocker&) = delete;
};

// Ends the program at once, without waiting for worker threads: waits only for the writes that
// hold an ExitBlocker. A file copy in progress has no name yet and vanishes with the process;
// one under a temporary name (no unnamed files there) holds an ExitBlocker.
[[noreturn]] void endProcess(int code);

} // namespace platform
