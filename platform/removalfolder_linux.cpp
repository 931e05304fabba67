#include "removalfolder.h"

#include "faults/faults.h"
#include "folderhandle_linux.h"
#include "hosterror.h"
#include "hostpath.h"
#include "text/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {
namespace {

// One step of a removal, with the fault seam's step before it and after it: 0 or an errno.
template <typename Call> int step(Call call) {
    if (int error = faults::removalStepBefore())
        return error;
    int error = call() < 0 ? errno : 0;
    faults::removalStepAfter();
    return error;
}

} // namespace

RemovalFolder RemovalFolder::open(std::string_view path, std::string& whyNot) {
    std::optional<std::string> host = hostPath(path);
    if (!host) {
        whyNot = unusableNameReason();
        return {};
    }
    int fd = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        whyNot = whyNoFolder(AT_FDCWD, *host, errno);
        return {};
    }
    return RemovalFolder(holdDescriptor(fd, *host));
}

RemovalFolder RemovalFolder::duplicate() const {
    if (!handle_)
        return {};
    return RemovalFolder(holdDescriptor(::fcntl(handle_->fd, F_DUPFD_CLOEXEC, 0), handle_->path));
}

std::optional<FolderId> RemovalFolder::id() const {
    struct stat st {};
    if (!handle_ || ::fstat(handle_->fd, &st) != 0)
        return std::nullopt;
    return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool RemovalFolder::hasFolder(std::string_view name) const {
    std::optional<std::string> host = text::hostName(name);
    struct stat st {};
    return handle_ && host &&
           ::fstatat(handle_->fd, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

int RemovalFolder::renameSub(std::string_view from, std::string_view to) const {
    std::optional<std::string> hostFrom = text::hostName(from);
    std::optional<std::string> hostTo = text::hostName(to);
    if (!handle_ || !hostFrom || !hostTo)
        return EINVAL;
    int fd = handle_->fd;
    return step([&] {
        int done = ::renameat2(fd, hostFrom->c_str(), fd, hostTo->c_str(), RENAME_NOREPLACE);
        if (done != 0 && errno == EINVAL) {
            // A file system without the flag: the name is looked at first. The folder is the
            // user's destination, where only this program makes such names.
            struct stat st {};
            if (::fstatat(fd, hostTo->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
                return -1;
            }
            done = ::renameat(fd, hostFrom->c_str(), fd, hostTo->c_str());
        }
        return done;
    });
}

RemovalFolder RemovalFolder::openSub(const std::string& hostName, std::string& whyNot) const {
    if (!handle_) {
        whyNot = reasonForError(EBADF);
        return {};
    }
    std::string path = handle_->path + "/" + hostName;
    faults::runBefore("opensub", path);
    // O_NOFOLLOW with O_DIRECTORY refuses a link at the name.
    int fd =
        ::openat(handle_->fd, hostName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        whyNot = whyNoFolder(handle_->fd, hostName, errno);
        return {};
    }
    return RemovalFolder(holdDescriptor(fd, std::move(path)));
}

bool RemovalFolder::list(std::vector<RemovalEntry>& entries, bool withSizes,
                         std::string& whyNot) const {
    entries.clear();
    // A listing of its own: the descriptor's offset would be shared by its duplicates.
    int listFd = handle_ ? ::openat(handle_->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        whyNot = reasonForError(handle_ ? errno : EBADF);
        if (listFd >= 0)
            ::close(listFd);
        return false;
    }
    errno = 0;
    while (dirent* d = ::readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        RemovalEntry entry;
        entry.hostName = std::move(name);
        entry.folder = d->d_type == DT_DIR;
        if (withSizes || d->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(handle_->fd, entry.hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                entry.folder = S_ISDIR(st.st_mode);
                entry.bytes = static_cast<uint64_t>(st.st_blocks) * 512;
                entry.links = static_cast<uint64_t>(st.st_nlink);
                entry.file = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
            }
        }
        entries.push_back(std::move(entry));
        errno = 0;
    }
    int error = errno;
    ::closedir(dir);
    if (error != 0) {
        whyNot = reasonForError(error);
        return false;
    }
    return true;
}

int RemovalFolder::remove(const std::string& hostName, bool folder) const {
    if (!handle_)
        return EBADF;
    int fd = handle_->fd;
    // unlinkat removes a link itself, never what it leads to; without AT_REMOVEDIR it refuses a
    // folder.
    return step([&] { return ::unlinkat(fd, hostName.c_str(), folder ? AT_REMOVEDIR : 0); });
}

std::optional<std::string> RemovalFolder::hostNameOf(std::string_view name) {
    return text::hostName(name);
}

std::string RemovalFolder::programNameOf(const std::string& hostName) {
    // A backslash cannot stand in a Windows name: it reads as "?", as in a folder listing.
    std::string name = hostName;
    std::replace(name.begin(), name.end(), '\\', '?');
    return text::ansiFromUtf8(name);
}

std::optional<uint64_t> freeSpace(std::string_view folder) {
    std::optional<std::string> host = hostPath(folder);
    struct statvfs fs {};
    if (!host || ::statvfs(host->c_str(), &fs) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace platform
