#include "targetfolder.h"

#include "faults/faults.h"
#include "folderhandle_linux.h"
#include "hosterror.h"
#include "hostpath.h"
#include "nameclash.h"
#include "stagedfile_linux.h"
#include "text/codepage.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

const text::Text kLinkInTheWay{u8"此處是連結，不是資料夾"};
const text::Text kFileInTheWay{u8"此處是檔案，不是資料夾"};

} // namespace

std::string whyNoFolder(int folderFd, const std::string& name, int error) {
    struct stat st {};
    if ((error == ENOTDIR || error == ELOOP || error == EEXIST) &&
        ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return kLinkInTheWay.str();
        if (!S_ISDIR(st.st_mode))
            return kFileInTheWay.str();
    }
    return reasonForError(error);
}

void FolderHandleCloser::operator()(FolderHandle* handle) const {
    if (handle->fd >= 0)
        ::close(handle->fd);
    delete handle;
}

FolderHandlePtr holdDescriptor(int fd, std::string path) {
    return fd >= 0 ? FolderHandlePtr(new FolderHandle{fd, std::move(path)}) : nullptr;
}

bool TargetFolder::linkToCopy(const TargetFolder& copyFolder, std::string_view copyName,
                              std::string_view name, uint64_t size, int64_t modified) const {
    std::optional<std::string> from = text::hostName(copyName);
    std::optional<std::string> to = text::hostName(name);
    if (!handle_ || !copyFolder.handle_ || !from || !to)
        return false;
    if (faults::injected("link", *to) != 0 ||
        ::linkat(copyFolder.handle_->fd, from->c_str(), handle_->fd, to->c_str(), 0) != 0)
        return false;
    // What the link leads to must be the copy: had another program put something else at its
    // name meanwhile, the link made here goes again and the file is copied.
    struct stat st {};
    if (::fstatat(handle_->fd, to->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        sameSizeAndTime(size, modified, static_cast<uint64_t>(st.st_size),
                        static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                            st.st_mtim.tv_nsec))
        return true;
    ::unlinkat(handle_->fd, to->c_str(), 0);
    return false;
}

TargetFolder TargetFolder::duplicate() const {
    int fd = descriptorOf(handle_);
    return TargetFolder(holdDescriptor(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1,
                                       handle_ ? handle_->path : std::string()));
}

TargetFolder TargetFolder::open(std::string_view path, std::string& whyNot) {
    std::optional<std::string> host = hostPath(path);
    if (!host) {
        whyNot = unusableNameReason();
        return {};
    }
    int fd = ::open(host->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        whyNot = whyNoFolder(AT_FDCWD, *host, errno);
        return {};
    }
    return TargetFolder(holdDescriptor(fd, *host));
}

bool TargetFolder::makeSub(std::string_view name, std::string& whyNot, bool* madeNow) const {
    if (madeNow)
        *madeNow = false;
    std::optional<std::string> host = text::hostName(name);
    if (!host) {
        whyNot = unusableNameReason();
        return false;
    }
    int folderFd = descriptorOf(handle_);
    int error = faults::injected("mkdir", *host);
    if (error == 0 && ::mkdirat(folderFd, host->c_str(), 0777) == 0) {
        if (madeNow)
            *madeNow = true;
        return true;
    }
    if (error == 0)
        error = errno;
    struct stat st {};
    if (error == EEXIST && ::fstatat(folderFd, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode)) {
        // A folder found by another's case or FAT short name is never merged into.
        std::optional<std::string> clash = nameClashIn(folderFd, *host);
        if (!clash)
            return true;
        whyNot = *clash;
        return false;
    }
    whyNot = whyNoFolder(folderFd, *host, error);
    return false;
}

TargetFolder TargetFolder::openSub(std::string_view name, std::string& whyNot) const {
    std::optional<std::string> host = text::hostName(name);
    if (!host) {
        whyNot = unusableNameReason();
        return {};
    }
    int folderFd = descriptorOf(handle_);
    // A link is refused, not followed: O_NOFOLLOW with O_DIRECTORY fails on one.
    int fd = ::openat(folderFd, host->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        whyNot = whyNoFolder(folderFd, *host, errno);
        return {};
    }
    if (std::optional<std::string> clash = nameClashIn(folderFd, *host)) {
        ::close(fd);
        whyNot = *clash;
        return {};
    }
    return TargetFolder(holdDescriptor(fd, handle_->path + "/" + *host));
}

std::optional<FolderId> TargetFolder::id() const {
    struct stat st {};
    if (!handle_ || ::fstat(handle_->fd, &st) != 0)
        return std::nullopt;
    return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<std::string> TargetFolder::setModificationTime(int64_t nanoseconds) const {
    if (!handle_)
        return reasonForError(ENOENT);
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {static_cast<time_t>(nanoseconds / 1'000'000'000),
                                       static_cast<long>(nanoseconds % 1'000'000'000)}};
    int error = faults::injected("foldertime", handle_->path);
    // The handle only locates the folder (O_PATH): the time is set on "." below it.
    if (error == 0 && ::utimensat(handle_->fd, ".", times, 0) != 0)
        error = errno;
    // A file system that keeps no folder times of its own (some network shares) refuses.
    if (error == 0 || error == EPERM || error == EOPNOTSUPP || error == ENOSYS)
        return std::nullopt;
    return reasonForError(error);
}

int TargetFolder::flushToDisk() const {
    if (!handle_)
        return ENOENT;
    if (!durableCopies())
        return 0;
    // The handle is a path handle, which syncfs does not take.
    int fd = ::openat(handle_->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    faults::runBefore("syncfs", handle_->path);
    int error = faults::injected("syncfs", handle_->path);
    if (error == 0 && ::syncfs(fd) != 0)
        error = errno;
    ::close(fd);
    return error;
}

void TargetFolder::removeStaleTemporaries() const {
    if (handle_)
        removeStaleStagingFiles(handle_->fd);
}

std::optional<FolderId> folderId(std::string_view path) {
    std::optional<std::string> host = hostPath(path);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

} // namespace platform
