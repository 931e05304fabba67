#include "files.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "hostpath.h"
#include "stagedfile_linux.h"
#include "storewrite.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The errno value of a system call's result, 0 when it succeeded.
int errorOf(int result) {
    return result < 0 ? errno : 0;
}

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

// A file written whole beside its target in the target's folder, then put in place: the folder
// is held open (readable, so that it can be flushed) for the whole write.
class StoreWrite : public StoreSteps {
public:
    explicit StoreWrite(const std::string& hostFile) {
        size_t slash = hostFile.rfind('/');
        name_ = hostFile.substr(slash + 1);
        folderFd_ =
            ::open(hostFile.substr(0, slash + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        error_ = folderFd_ < 0 ? errno : name_.empty() ? EISDIR : 0;
    }
    ~StoreWrite() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!tempName_.empty())
            ::unlinkat(folderFd_, tempName_.c_str(), 0);
        if (folderFd_ >= 0)
            ::close(folderFd_);
    }
    StoreWrite(const StoreWrite&) = delete;
    StoreWrite& operator=(const StoreWrite&) = delete;

    // Writes the contents under no name (or a hidden temporary one) and flushes them.
    void stage(std::string_view contents) {
        // The write's caller holds an ExitBlocker already: a named temporary is covered.
        run("open", [&] {
            fd_ = openStaging(folderFd_, name_, 0666, tempName_, nullptr);
            return errorOf(fd_);
        });
        run("write", [&] { return errorOf(writeAll(fd_, contents)); });
        run("fsync", [&] { return errorOf(::fsync(fd_)); });
    }

    // Puts the file at its name, in place of what was there or (not replace) only where nothing
    // is (else EEXIST); then flushes the folder, so that the name is on the disk too.
    void publish(bool replace) {
        if (replace)
            replaceTarget();
        else
            createTarget();
        run("fsync folder", [&] { return errorOf(::fsync(folderFd_)); });
    }

private:
    void replaceTarget() {
        if (tempName_.empty()) {
            std::string temp = stagingName(name_);
            run("link", [&] { return linkUnnamedFile(fd_, folderFd_, temp); });
            if (ok())
                tempName_ = std::move(temp);
        }
        run("rename", [&] {
            return errorOf(::renameat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str()));
        });
        if (ok())
            tempName_.clear();
    }

    void createTarget() {
        if (tempName_.empty()) {
            run("link", [&] { return linkUnnamedFile(fd_, folderFd_, name_); });
        } else {
            run("rename", [&] {
                return errorOf(::renameat2(folderFd_, tempName_.c_str(), folderFd_, name_.c_str(),
                                           RENAME_NOREPLACE));
            });
            if (ok())
                tempName_.clear();
        }
    }

    int folderFd_ = -1;
    int fd_ = -1;
    std::string name_;
    std::string tempName_; // a named temporary file that exists
};

// Opens a file for reading: 0 and the descriptor, or an errno value. A folder opens fine on Linux
// but is no file (on Windows it does not open at all); nor is a pipe, a socket or a device.
int openForReading(const std::string& host, int& fd) {
    fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    struct stat st {};
    int error = ::fstat(fd, &st) != 0  ? errno
                : S_ISDIR(st.st_mode)  ? EISDIR
                : !S_ISREG(st.st_mode) ? ENXIO
                                       : 0;
    if (error != 0) {
        ::close(fd);
        fd = -1;
    }
    return error;
}

// A file that could not be opened: missing only when nothing is at its name (or a folder on its
// way is none). Anything else is there and must not pass for missing, or its contents would be
// replaced by a fresh start.
FileContents notOpened(int error) {
    if (error == ENOENT || error == ENOTDIR)
        return {};
    return {ReadStatus::Failed, {}, reasonForError(error)};
}

// One read() of at most `size` bytes, `done` bytes into the file; the fault seam's bad sector
// fails it.
ssize_t readSome(int fd, char* buffer, size_t size, size_t done,
                 const std::optional<faults::ReadFault>& fault) {
    if (fault) {
        if (done >= fault->offset) {
            errno = fault->error;
            return -1;
        }
        size = std::min(size, fault->offset - done);
    }
    return ::read(fd, buffer, size);
}

} // namespace

FileContents readFile(std::string_view path, size_t limit) {
    std::optional<std::string> host = hostPath(path);
    if (!host)
        return {}; // no file can have such a name
    int fd = -1;
    int error = faults::injected("open", path);
    if (error == 0)
        error = openForReading(*host, fd);
    if (error != 0)
        return notOpened(error);
    std::optional<faults::ReadFault> fault = faults::readFault(path);
    FileContents contents{ReadStatus::Read, {}, {}};
    char buffer[16384];
    for (;;) {
        ssize_t got = readSome(fd, buffer, sizeof buffer, contents.bytes.size(), fault);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            // What was read is a part of the file: whoever wrote it back would lose the rest.
            contents = {ReadStatus::Failed, {}, reasonForError(errno)};
            break;
        }
        if (got == 0)
            break;
        if (contents.bytes.size() + static_cast<size_t>(got) > limit) {
            contents = {ReadStatus::TooLarge, {}, {}};
            break;
        }
        contents.bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return contents;
}

bool canOpenForReading(std::string_view path) {
    std::optional<std::string> host = hostPath(path);
    int fd = -1;
    if (!host || openForReading(*host, fd) != 0)
        return false;
    ::close(fd);
    return true;
}

WriteResult replaceFile(std::string_view path, std::string_view contents) {
    return writeWhole<StoreWrite>(hostPath(path), contents, true);
}

WriteResult createNewFile(std::string_view path, std::string_view contents) {
    return writeWhole<StoreWrite>(hostPath(path), contents, false);
}

WriteResult checkWritable(std::string_view folder) {
    std::optional<std::string> host = hostPath(folder);
    if (!host)
        return {false, unusableNameReason()};
    int error = faults::injected("probe", *host);
    int fd = error ? -1 : ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!error && fd < 0)
        error = errno;
    if (!error) {
        std::string name = stagingName("write-check");
        int file = ::openat(fd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (file < 0) {
            error = errno;
        } else {
            ::close(file);
            ::unlinkat(fd, name.c_str(), 0);
        }
        ::close(fd);
    }
    if (error)
        return {false, reasonForError(error)};
    return {true, {}};
}

void removeStaleTemporaries(std::string_view folder) {
    std::optional<std::string> host = hostPath(folder);
    int fd = host ? ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd < 0)
        return;
    removeStaleStagingFiles(fd);
    ::close(fd);
}

} // namespace platform
