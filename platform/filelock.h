#pragma once

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
    int fd_ = -1;
};

} // namespace platform
