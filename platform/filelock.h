#pragma once

#include <memory>
#include <string_view>

namespace platform {

// Holds an exclusive lock on a lock file (made when missing) while it lives; other processes
// and threads that take the same lock wait. Without the lock file (its folder missing, say) it
// holds nothing.
class FileLock {
public:
    explicit FileLock(std::string_view path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    struct Held; // the host's handle on the lock file
    std::unique_ptr<Held> held_;
};

} // namespace platform
