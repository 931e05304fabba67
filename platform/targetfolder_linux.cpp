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
