#include "drives.h"

#include "drivesbackend.h"
#include "hostpath.h"
#include "text/codepage.h"

#include <cctype>
#include <dirent.h>
#include <fstream>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

std::string tableEntry(int index) {
    return driveTableFolder() + "/" + static_cast<char>('a' + index) + ":";
}

bool isRemovableDevice(dev_t device) {
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(device), minor(device));
    char resolved[PATH_MAX];
    if (!::realpath(link, resolved))
        return false;
    std::string folder = resolved;
    for (int up = 0; up < 2; ++up) { // a partition's flag sits on its disk
        std::ifstream flag(folder + "/removable");
        char value = 0;
        if (flag >> value)
            return value == '1';
        folder = folder.substr(0, folder.rfind('/'));
    }
    return false;
}

// by-label names escape characters as \xHH.
std::string unescapeLabel(const std::string& name) {
    std::string label;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size() &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            label += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            label += name[i];
        }
    }
    return label;
}

std::optional<std::string> fileSystemLabel(dev_t device) {
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (!dir)
        return std::nullopt;
    std::optional<std::string> label;
    while (dirent* d = ::readdir(dir)) {
        struct stat st {};
        std::string path = std::string("/dev/disk/by-label/") + d->d_name;
        if (d->d_name[0] != '.' && ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            st.st_rdev == device) {
            label = unescapeLabel(d->d_name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

} // namespace

uint32_t logicalDrives() {
    uint32_t mask = 0;
    std::string table = driveTableFolder();
    for (int i = 0; i < 26; ++i) {
        struct stat st {};
        if (::lstat((table + "/" + static_cast<char>('a' + i) + ":").c_str(), &st) == 0)
            mask |= 1u << i;
    }
    return mask;
}

unsigned hostDriveType(int index) {
    std::string entry = tableEntry(index);
    struct stat linkStat {};
    if (::lstat(entry.c_str(), &linkStat) != 0)
        return kDriveNoRootDir;
    struct stat st {};
    struct statfs fs {};
    if (::stat(entry.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::statfs(entry.c_str(), &fs) != 0)
        return kDriveNoRootDir;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case AFS_SUPER_MAGIC:
    case CODA_SUPER_MAGIC:
    case V9FS_MAGIC:
        return kDriveRemote;
    case ISOFS_SUPER_MAGIC:
    case UDF_SUPER_MAGIC:
        return kDriveCdRom;
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return kDriveRamDisk;
    default:
        return isRemovableDevice(st.st_dev) ? kDriveRemovable : kDriveFixed;
    }
}

std::optional<std::string> hostVolumeLabel(int index) {
    std::string entry = tableEntry(index);
    struct stat st {};
    if (::stat(entry.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    if (std::optional<std::string> label = fileSystemLabel(st.st_dev))
        return text::ansiFromUtf8(*label);
    char resolved[PATH_MAX];
    if (!::realpath(entry.c_str(), resolved))
        return std::nullopt;
    std::string_view path = resolved;
    return text::ansiFromUtf8(path.substr(path.rfind('/') + 1));
}

std::string systemDirectory() {
    return (logicalDrives() & (1u << 2)) ? std::string("C:\\windows\\system32") : std::string();
}

} // namespace platform
