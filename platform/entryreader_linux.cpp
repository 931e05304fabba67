#include "entryreader.h"

#include "faults/faults.h"
#include "folderhandle_linux.h"
#include "hosterror.h"
#include "text/codepage.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

EntryFacts lookAt(const HeldFolder& folder, std::string_view name) {
    EntryFacts facts;
    std::optional<std::string> host = text::hostName(name);
    if (!host || !folder.handle_) {
        facts.kind = EntryKind::Unreadable;
        facts.reason = unusableNameReason();
        return facts;
    }
    int fd = folder.handle_->fd;
    struct stat st {};
    if (::fstatat(fd, host->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            facts.kind = EntryKind::Unreadable;
            facts.reason = reasonForError(errno);
        }
        return facts;
    }
    if (S_ISREG(st.st_mode)) {
        facts.kind = EntryKind::File;
        facts.size = static_cast<uint64_t>(st.st_size);
        facts.modified =
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    } else if (S_ISDIR(st.st_mode)) {
        facts.kind = EntryKind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
        facts.kind = EntryKind::Link;
        // A size of 0 (some file systems) or one out of date: read again with more room.
        std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        for (;;) {
            ssize_t length = ::readlinkat(fd, host->c_str(), text.data(), text.size());
            if (length < 0) {
                facts.kind = EntryKind::Unreadable;
                facts.reason = reasonForError(errno);
                break;
            }
            if (static_cast<size_t>(length) < text.size()) {
                facts.linkText.assign(text.data(), static_cast<size_t>(length));
                break;
            }
            text.resize(text.size() * 2);
        }
    } else {
        facts.kind = EntryKind::Other;
    }
    return facts;
}

struct FileReader::State {
    int fd = -1;
    ~State() {
        if (fd >= 0)
            ::close(fd);
    }
};

FileReader::FileReader() = default;
FileReader::~FileReader() = default;

int FileReader::open(const HeldFolder& folder, std::string_view name) {
    state_.reset();
    std::optional<std::string> host = text::hostName(name);
    if (!host || !folder.handle_)
        return ENOENT;
    if (int error = faults::injected("compare", *host))
        return error;
    int fd =
        ::openat(folder.handle_->fd, host->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto state = std::make_unique<State>();
    state->fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (st.st_size > (1 << 16))
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    state_ = std::move(state);
    return 0;
}

int64_t FileReader::read(char* buffer, size_t size) {
    if (!state_)
        return -EBADF;
    for (;;) {
        ssize_t got = ::read(state_->fd, buffer, size);
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return -errno;
    }
}

} // namespace platform
