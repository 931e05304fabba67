#include "files.h"

#include "hostpath.h"
#include "process.h"
#include "stagedfile_linux.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The folder of a host path, held open while a file is written into it.
class HostFolder {
public:
    explicit HostFolder(const std::string& hostFile) {
        size_t slash = hostFile.rfind('/');
        name_ = hostFile.substr(slash + 1);
        std::string folder = hostFile.substr(0, slash + 1);
        fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    ~HostFolder() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }

private:
    int fd_ = -1;
    std::string name_;
};

// Writes the contents into a staged file beside the target.
bool stage(StagedFile& staged, const HostFolder& folder, std::string_view contents) {
    return folder.fd() >= 0 && !folder.name().empty() &&
           staged.open(folder.fd(), folder.name(), 0666) == 0 && writeAll(staged.fd(), contents) &&
           ::fsync(staged.fd()) == 0;
}

// Opens a file for reading, refusing folders (which open fine on Linux but not on Windows).
int openForReading(std::string_view path) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return -1;
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::optional<std::string> readFile(std::string_view path) {
    int fd = openForReading(path);
    if (fd < 0)
        return std::nullopt;
    std::string contents;
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        contents.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return contents;
}

bool canOpenForReading(std::string_view path) {
    int fd = openForReading(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool replaceFile(std::string_view path, std::string_view contents) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return false;
    ExitBlocker wholeOrNothing;
    HostFolder folder(*host);
    StagedFile staged;
    return stage(staged, folder, contents) && staged.publishReplace() == 0;
}

bool appendFile(std::string_view path, std::string_view contents) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return false;
    ExitBlocker wholeOrNothing;
    int fd = ::open(host->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, contents);
    return ::close(fd) == 0 && ok;
}

bool createNewFile(std::string_view path, std::string_view contents) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return false;
    ExitBlocker wholeOrNothing;
    HostFolder folder(*host);
    StagedFile staged;
    return stage(staged, folder, contents) && staged.publishNoReplace() == 0;
}

} // namespace platform
