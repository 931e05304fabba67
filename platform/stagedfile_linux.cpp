#include "stagedfile_linux.h"

#include "faults/faults.h"
#include "stagingname.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

int openUnnamed(int folderFd, const std::string& name, mode_t mode) {
    if (int error = faults::injected("tmpfile", name)) {
        errno = error;
        return -1;
    }
    return ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

bool meansNoUnnamedFiles(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

// Linking the descriptor itself is the quick way; kernels that allow it only to privileged
// callers refuse with ENOENT, and /proc then does it.
int linkUnnamedFile(int fd, int folderFd, const std::string& name) {
    static std::atomic<bool> emptyPathWorks{true};
    if (emptyPathWorks.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folderFd, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
        struct stat file {};
        struct stat folder {};
        if (::fstat(fd, &file) != 0 || file.st_nlink != 0 || ::fstat(folderFd, &folder) != 0 ||
            folder.st_nlink == 0)
            return ENOENT; // the target folder is what is missing
        emptyPathWorks = false;
    }
    std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, procPath.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno;
}

void removeStaleStagingFiles(int folderFd) {
    int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        if (!isStaleStagingName(entry->d_name))
            continue;
        ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

StagedFile::~StagedFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!tempName_.empty())
        ::unlinkat(folderFd_, tempName_.c_str(), 0);
}

int openStaging(int folderFd, const std::string& name, mode_t mode, std::string& tempName,
                std::optional<ExitBlocker>* guard) {
    int fd = openUnnamed(folderFd, name, mode);
    if (fd >= 0 || !meansNoUnnamedFiles(errno))
        return fd;
    // No unnamed files on this file system: a hidden temporary name beside the target.
    if (guard)
        guard->emplace();
    std::string temp = stagingName(name);
    fd = ::openat(folderFd, temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                  mode);
    if (fd >= 0)
        tempName = std::move(temp);
    return fd;
}

int StagedFile::open(int folderFd, const std::string& name, mode_t mode) {
    folderFd_ = folderFd;
    name_ = name;
    fd_ = openStaging(folderFd, name, mode, tempName_, &namedTempGuard_);
    return fd_ >= 0 ? 0 : errno;
}

int StagedFile::publishNoReplace() {
    if (tempName_.empty())
        return linkUnnamedFile(fd_, folderFd_, name_);
    int error = faults::injected("noreplace", name_);
    if (error == 0 && ::renameat2(folderFd_, tempName_.c_str(), folderFd_, name_.c_str(),
                                  RENAME_NOREPLACE) == 0) {
        tempName_.clear();
        return 0;
    }
    if (error == 0)
        error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    error = faults::injected("link", name_);
    if (error == 0 && ::linkat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str(), 0) == 0)
        return 0; // the destructor removes the temporary name
    if (error == 0)
        error = errno;
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
        return error;
    return renameOverPlaceholder();
}

// Neither a rename that refuses to replace nor a second name (FAT under FUSE, some shares): the
// name is taken first by an empty file of this copy's own, made only where nothing is, and the
// copy is renamed over it once it is known to be that file still.
int StagedFile::renameOverPlaceholder() {
    int placeholder = ::openat(folderFd_, name_.c_str(),
                               O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (placeholder < 0)
        return errno; // EEXIST: something holds the name, and is kept
    struct stat ours {};
    int error = ::fstat(placeholder, &ours) != 0 ? errno : 0;
    ::close(placeholder);
    if (error != 0) {
        ::unlinkat(folderFd_, name_.c_str(), 0); // made just now, and empty
        return error;
    }
    auto stillOurs = [&] {
        struct stat there {};
        return ::fstatat(folderFd_, name_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
               there.st_ino == ours.st_ino && there.st_dev == ours.st_dev &&
               S_ISREG(there.st_mode) && there.st_size == 0;
    };
    if (!stillOurs())
        return EEXIST; // taken by another since: never replaced
    if (::renameat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str()) == 0) {
        tempName_.clear();
        return 0;
    }
    error = errno;
    if (stillOurs())
        ::unlinkat(folderFd_, name_.c_str(), 0); // no empty file is left under the name
    return error;
}

} // namespace platform
