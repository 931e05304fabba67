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

// Whether the program is ending: a copy under a temporary name stops at its next chunk (and
// removes what it wrote) rather than hold the end for the rest of a large file.
bool exitRequested();
// For tests: what endProcess() does first, without ending; undone with false.
void requestExitForTesting(bool requested);

// Ends the program at once, without waiting for worker threads: waits only for the writes that
// hold an ExitBlocker. A file copy in progress has no name yet and vanishes with the process;
// one under a temporary name (no unnamed files there) holds an ExitBlocker.
[[noreturn]] void endProcess(int code);

} // namespace platform
