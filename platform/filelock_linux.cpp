#include "filelock.h"

#include "hostpath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct FileLock::Held {
    int fd = -1;
    ~Held() {
        if (fd >= 0)
            ::close(fd); // closing releases the lock
    }
};

FileLock::FileLock(std::string_view path) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return;
    int fd = ::open(host->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return;
        }
    }
    held_ = std::make_unique<Held>();
    held_->fd = fd;
}

FileLock::~FileLock() = default;

} // namespace platform
