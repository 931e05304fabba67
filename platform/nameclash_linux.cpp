#include "nameclash.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {
namespace {

// File systems that match names byte for byte, unless a folder asks to ignore case (ext4, f2fs,
// tmpfs and bcachefs can). FAT, exFAT, NTFS drivers, network shares and FUSE may not.
bool matchesExactly(int folderFd) {
    struct statfs fs {};
    if (::fstatfs(folderFd, &fs) != 0)
        return false;
    constexpr unsigned long kXfs = 0x58465342, kZfs = 0x2FC12FC1, kF2fs = 0xF2F52010,
                            kBcachefs = 0xCA451A4E, kOverlay = 0x794C7630;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case kXfs:
    case kZfs:
    case BTRFS_SUPER_MAGIC:
    case NFS_SUPER_MAGIC:
    case kOverlay:
    case RAMFS_MAGIC:
        return true;
    case EXT4_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case kF2fs:
    case kBcachefs:
        break;
    default:
        return false;
    }
    int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool casefold = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
    ::close(fd);
    return !casefold;
}

} // namespace

std::optional<std::string> nameClashIn(int folderFd, const std::string& name) {
    if (!namesMayMatchOthersAssumed() && matchesExactly(folderFd))
        return std::nullopt;
    int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!folder) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt; // unlistable: what was found is taken as the name's, as before
    }
    bool exact = false;
    bool caseOnly = false;
    while (dirent* entry = ::readdir(folder)) {
        if (name == entry->d_name) {
            exact = true;
            break;
        }
        caseOnly = caseOnly || ::strcasecmp(name.c_str(), entry->d_name) == 0;
    }
    ::closedir(folder);
    if (exact)
        return std::nullopt;
    return nameClashReason(caseOnly);
}

} // namespace platform
