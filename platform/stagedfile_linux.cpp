#include "stagedfile_linux.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string uniqueTempName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + base + ".tw" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

// Gives an unnamed file a name. Linking the descriptor itself is the quick way; kernels that
// allow it only to privileged callers refuse with ENOENT, and /proc then does it.
int linkUnnamed(int fd, const std::string& name) {
    static std::atomic<bool> emptyPathWorks{true};
    if (emptyPathWorks.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_nlink != 0 ||
            ::access(folderOf(name).c_str(), F_OK) != 0)
            return ENOENT; // the target folder is what is missing
        emptyPathWorks = false;
    }
    std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
}

} // namespace

StagedFile::~StagedFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
}

int StagedFile::open(const std::string& hostTarget, mode_t mode) {
    target_ = hostTarget;
    fd_ = ::open(folderOf(hostTarget).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0)
        return 0;
    int error = errno;
    if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
        return error;
    // No unnamed files on this file system: a hidden temporary name beside the target.
    namedTempGuard_.emplace();
    std::string name = uniqueTempName(hostTarget);
    fd_ = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0)
        return errno;
    tempName_ = std::move(name);
    return 0;
}

int StagedFile::publishNoReplace() {
    if (tempName_.empty())
        return linkUnnamed(fd_, target_);
    if (::renameat2(AT_FDCWD, tempName_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) ==
        0) {
        tempName_.clear();
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(tempName_.c_str(), target_.c_str()) != 0)
        return errno;
    return 0; // the destructor removes the temporary name
}

int StagedFile::publishReplace() {
    if (tempName_.empty()) {
        std::string name = uniqueTempName(target_);
        if (int error = linkUnnamed(fd_, name))
            return error;
        tempName_ = std::move(name);
    }
    if (::rename(tempName_.c_str(), target_.c_str()) != 0)
        return errno;
    tempName_.clear();
    return 0;
}

} // namespace platform
