#include "folders.h"

#include "faults/faults.h"
#include "folderhandle_linux.h"
#include "hosterror.h"
#include "hostpath.h"
#include "text/codepage.h"

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct HostEntry {
    std::u16string key; // upper-cased UTF-16, the order NTFS keeps
    std::string name;   // host name, UTF-8
    unsigned char type; // d_type: DT_UNKNOWN when the file system does not say
};

std::u16string ntfsKey(const std::string& utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) {
        std::u16string key(utf8.size(), u'\0');
        for (size_t i = 0; i < utf8.size(); ++i)
            key[i] =
                static_cast<char16_t>(utf8[i] >= 'a' && utf8[i] <= 'z' ? utf8[i] - 32 : utf8[i]);
        return key;
    }
    // Upper case by the Unicode tables of the C.UTF-8 locale, whatever locale the user has.
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::u16string key;
    key.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        char32_t code = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (code >= 0x10000) { // outside the first plane NTFS keeps names as they are
            code -= 0x10000;
            key.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            key.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            continue;
        }
        wint_t upper =
            unicode ? ::towupper_l(static_cast<wint_t>(code), unicode) : static_cast<wint_t>(code);
        key.push_back(static_cast<char16_t>(upper <= 0xFFFF ? upper : code));
    }
    return key;
}

} // namespace

struct FolderSearch::State {
    int dirFd = -1;
    std::vector<HostEntry> entries;
    size_t next = 0;
    int dots = 0; // "." and ".." still to give
    bool withSizes = true;

    ~State() {
        if (dirFd >= 0)
            ::close(dirFd);
    }
};

FolderSearch::FolderSearch() = default;
FolderSearch::~FolderSearch() = default;

void FolderSearch::close() {
    state_.reset();
}

HeldFolder FolderSearch::holdFolder() const {
    return HeldFolder(holdDescriptor(state_ ? ::fcntl(state_->dirFd, F_DUPFD_CLOEXEC, 0) : -1));
}

HeldFolder HeldFolder::open(std::string_view path, std::string& whyNot) {
    std::optional<std::string> host = hostPath(path);
    if (!host) {
        whyNot = unusableNameReason();
        return {};
    }
    int error = faults::injected("opendir", *host);
    int fd = error ? -1 : ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        whyNot = error ? reasonForError(error) : whyNoFolder(AT_FDCWD, *host, errno);
        return {};
    }
    return HeldFolder(holdDescriptor(fd, *host));
}

HeldFolder HeldFolder::openSub(std::string_view name, std::string& whyNot) const {
    std::optional<std::string> host = text::hostName(name);
    if (!host || !handle_) {
        whyNot = unusableNameReason();
        return {};
    }
    std::string path = handle_->path + "/" + *host;
    faults::runBefore("opensub", path);
    int error = faults::injected("opendir", path);
    // One name, relative to the folder held: O_NOFOLLOW refuses a link at it, and nothing above
    // it is looked up again.
    int fd = error ? -1
                   : ::openat(handle_->fd, host->c_str(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        whyNot = error ? reasonForError(error) : whyNoFolder(handle_->fd, *host, errno);
        return {};
    }
    return HeldFolder(holdDescriptor(fd, std::move(path)));
}

std::optional<int64_t> HeldFolder::modificationTime() const {
    struct stat st {};
    if (!handle_ || ::fstat(handle_->fd, &st) != 0)
        return std::nullopt;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::optional<SharedFile> HeldFolder::sharedFile(std::string_view name) const {
    std::optional<std::string> host = text::hostName(name);
    struct stat st {};
    if (!handle_ || !host || ::fstatat(handle_->fd, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || st.st_nlink < 2)
        return std::nullopt;
    return SharedFile{FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)},
                      static_cast<uint64_t>(st.st_nlink), static_cast<uint64_t>(st.st_size),
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

HeldFolder HeldFolder::duplicate() const {
    if (!handle_)
        return {};
    return HeldFolder(holdDescriptor(::fcntl(handle_->fd, F_DUPFD_CLOEXEC, 0), handle_->path));
}

bool FolderSearch::findFirst(std::string_view folder, FindData& entry, bool withSizes) {
    close();
    failure_.clear();
    HeldFolder held = HeldFolder::open(folder, failure_);
    if (!held.isOpen())
        return false;
    return findFirst(held, text::isDriveRoot(folder), entry, withSizes);
}

bool FolderSearch::findFirst(const HeldFolder& folder, bool driveRoot, FindData& entry,
                             bool withSizes) {
    close();
    failure_.clear();
    int fd = folder.handle_ ? ::fcntl(folder.handle_->fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        failure_ = reasonForError(folder.handle_ ? errno : ENOENT);
        return false;
    }
    auto state = std::make_unique<State>();
    state->dirFd = fd;
    // A listing of its own: the descriptor's offset is shared by its duplicates.
    int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        failure_ = reasonForError(errno);
        if (listFd >= 0)
            ::close(listFd);
        return false;
    }
    while (dirent* d = ::readdir(dir)) {
        std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        state->entries.push_back({ntfsKey(name), std::move(name), d->d_type});
    }
    ::closedir(dir);
    std::sort(state->entries.begin(), state->entries.end(),
              [](const HostEntry& a, const HostEntry& b) { return a.key < b.key; });
    state->dots = driveRoot ? 0 : 2;
    state->withSizes = withSizes;
    state_ = std::move(state);
    if (findNext(entry))
        return true;
    close(); // an empty drive root: Windows reports no file found
    failure_ = reasonForError(ENOENT);
    return false;
}

bool FolderSearch::findNext(FindData& entry) {
    if (!state_)
        return false;
    State& s = *state_;
    if (s.dots > 0) {
        entry.name = s.dots == 2 ? "." : "..";
        entry.attributes = kDirectoryAttribute;
        entry.size = 0;
        --s.dots;
        return true;
    }
    if (s.next >= s.entries.size())
        return false;
    const HostEntry& host = s.entries[s.next++];
    if (host.name.find('\\') == std::string::npos) {
        entry.name = text::ansiFromUtf8(host.name);
    } else {
        // A backslash cannot stand in a Windows name: such a host name reads, and fails, as "?".
        std::string name = host.name;
        std::replace(name.begin(), name.end(), '\\', '?');
        entry.name = text::ansiFromUtf8(name);
    }
    entry.hostText.clear();
    if (entry.name.find('?') != std::string::npos && host.name.find('?') == std::string::npos)
        entry.hostText = host.name;
    entry.attributes = 0;
    entry.size = 0;
    if (host.type == DT_DIR) {
        entry.attributes = kDirectoryAttribute;
        return true;
    }
    if (host.type != DT_REG && host.type != DT_UNKNOWN)
        return true; // links and special files: listed as files, nothing to count
    if (host.type == DT_REG && !s.withSizes)
        return true;
    struct stat st {};
    if (::fstatat(s.dirFd, host.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode))
            entry.attributes = kDirectoryAttribute;
        else if (S_ISREG(st.st_mode))
            entry.size = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

bool createFolder(std::string_view folder) {
    std::string whyNot;
    return createFolder(folder, whyNot);
}

bool createFolder(std::string_view folder, std::string& whyNot) {
    std::optional<std::string> path = hostPath(folder);
    if (!path) {
        whyNot = unusableNameReason();
        return false;
    }
    if (::mkdir(path->c_str(), 0777) != 0) {
        whyNot = reasonForError(errno);
        return false;
    }
    return true;
}

bool folderExists(std::string_view folder) {
    std::optional<std::string> path = hostPath(folder);
    struct stat st {};
    return path && ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool folderCanBeEntered(std::string_view folder) {
    std::optional<std::string> path = hostPath(folder);
    struct stat st {};
    return path && ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path->c_str(), R_OK | X_OK) == 0;
}

bool nothingAt(std::string_view path) {
    std::optional<std::string> host = hostPath(path);
    struct stat st {};
    return host && ::lstat(host->c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace platform
