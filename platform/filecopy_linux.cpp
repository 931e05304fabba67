#include "filecopy.h"

#include "faults/faults.h"
#include "folderhandle_linux.h"
#include "hosterror.h"
#include "hostpath.h"
#include "nameclash.h"
#include "process.h"
#include "stagedfile_linux.h"
#include "targetfolder.h"
#include "text/codepage.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

const text::Text kNotRegular{u8"不是一般檔案"};

CopyResult failed(int error) {
    return {CopyStatus::Failed, reasonForError(error == ENOTDIR ? ENOENT : error)};
}

// Between chunks of a copy under a temporary name, which the program's end waits for: ECANCELED
// once the program is ending, so that it ends at once (the temporary file goes with the copy).
int stopWhenEnding(bool cancellable, const std::string& name) {
    if (!cancellable)
        return 0;
    faults::runBefore("copychunk", name);
    return exitRequested() ? ECANCELED : 0;
}

// Reads and writes from the files' current offsets: to the source's end, or `limit` bytes at
// most when it is given (*shorter set when the source ends first).
int copyByReadWrite(int from, int to, bool cancellable, const std::string& name,
                    std::optional<off_t> limit = std::nullopt, bool* shorter = nullptr) {
    std::vector<char> buffer(1 << 17);
    for (;;) {
        if (int error = stopWhenEnding(cancellable, name))
            return error;
        if (limit && *limit == 0)
            return 0;
        size_t want = limit ? static_cast<size_t>(std::min<off_t>(*limit, off_t(buffer.size())))
                            : buffer.size();
        ssize_t got = ::read(from, buffer.data(), want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0) {
            if (limit && shorter)
                *shorter = true;
            return 0;
        }
        if (limit)
            *limit -= got;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            done += put;
        }
    }
}

// Copies `length` bytes from `offset` in both files; the kernel moves the bytes (or shares
// extents) without a trip through user space. cancellable: the copy holds the program's end (it
// is under a temporary name), and goes in chunks small enough to stop between. *shorter is set
// when the source ended before the length (it shrank meanwhile).
int copyRange(int from, int to, off_t offset, off_t length, bool cancellable,
              const std::string& name, bool& shorter) {
    const off_t most = cancellable ? off_t{8} << 20 : off_t{1} << 30;
    off_t left = length;
    while (left > 0) {
        if (int error = stopWhenEnding(cancellable, name))
            return error;
        loff_t in = offset + (length - left);
        loff_t out = in;
        size_t chunk = static_cast<size_t>(std::min(left, most));
        ssize_t moved = ::copy_file_range(from, &in, to, &out, chunk, 0);
        if (moved > 0) {
            left -= moved;
            continue;
        }
        if (moved == 0 && left == length && offset == 0) {
            // Some files move nothing this way (those of /proc, say): read to their end.
            if (::lseek(from, 0, SEEK_SET) < 0 || ::lseek(to, 0, SEEK_SET) < 0)
                return errno;
            return copyByReadWrite(from, to, cancellable, name);
        }
        if (moved == 0) {
            shorter = true; // what there is has been copied
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF) {
            if (::lseek(from, in, SEEK_SET) < 0 || ::lseek(to, out, SEEK_SET) < 0)
                return errno;
            return copyByReadWrite(from, to, cancellable, name, left, &shorter);
        }
        return errno;
    }
    return 0;
}

// Copies the size the source had when opened. A file with holes (fewer blocks than its size
// needs) keeps them: only its data is copied, and the target is made as long as the source, its
// holes unwritten. A file system that keeps no holes (FAT) fills them with zeros itself.
int copyContents(int from, int to, off_t size, blkcnt_t blocks, bool cancellable,
                 const std::string& name) {
    bool shorter = false;
    if (blocks * 512 >= size)
        return copyRange(from, to, 0, size, cancellable, name, shorter);
    off_t offset = 0;
    while (offset < size && !shorter) {
        off_t data = ::lseek(from, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;    // a hole to the end
        if (data < 0) // the file system tells no holes: all of it is data
            return copyRange(from, to, offset, size - offset, cancellable, name, shorter);
        if (data >= size)
            break;
        off_t hole = ::lseek(from, data, SEEK_HOLE);
        if (hole < 0)
            return errno;
        hole = std::min(hole, size);
        if (int error = copyRange(from, to, data, hole - data, cancellable, name, shorter))
            return error;
        offset = hole;
    }
    // The holes at the end, as long as the source was when opened (or up to where it ended).
    if (!shorter && ::ftruncate(to, size) != 0)
        return errno;
    return 0;
}

int copyLink(int sourceDir, const char* from, int folderFd, const std::string& name,
             const struct stat& st) {
    // The size the link had when it was looked at may be 0 (some file systems) or out of date:
    // a target that fills the buffer is read again with more room.
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t length = 0;
    for (;;) {
        length = ::readlinkat(sourceDir, from, target.data(), target.size());
        if (length < 0)
            return errno;
        if (static_cast<size_t>(length) < target.size())
            break;
        target.resize(target.size() * 2);
    }
    target[static_cast<size_t>(length)] = '\0';
    if (::symlinkat(target.data(), folderFd, name.c_str()) != 0)
        return errno; // EEXIST when anything holds the name: never replaced
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(folderFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return 0;
}

bool keepsNoModes(int error) {
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

int copyRegular(int source, int folderFd, const std::string& name, const struct stat& st) {
    mode_t wanted = st.st_mode & 07777;
    StagedFile staged;
    if (int error = staged.open(folderFd, name, wanted))
        return error;
    // Read-ahead for a sequential read makes the kernel's copy of a large file many times quicker.
    if (st.st_size > (1 << 16))
        ::posix_fadvise(source, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (int error =
            copyContents(source, staged.fd(), st.st_size, st.st_blocks, staged.holdsTheEnd(), name))
        return error;
    // The file was made under the process's mask, which may strip any bit: set them whole.
    // A file system that keeps no permission bits of its own (FAT) refuses, and the copy is
    // whole without them.
    int error = faults::injected("chmod", name);
    if (error == 0 && ::fchmod(staged.fd(), wanted) != 0)
        error = errno;
    if (error != 0 && !keepsNoModes(error))
        return error;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(staged.fd(), times) != 0)
        return errno;
    return staged.publishNoReplace();
}

int64_t modificationTime(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

bool sameLinkText(int sourceDir, const char* from, int folderFd, const std::string& to) {
    std::vector<char> source(4096);
    std::vector<char> target(4096);
    ssize_t sourceLength = ::readlinkat(sourceDir, from, source.data(), source.size());
    ssize_t targetLength = ::readlinkat(folderFd, to.c_str(), target.data(), target.size());
    return sourceLength >= 0 && sourceLength == targetLength &&
           std::equal(source.begin(), source.begin() + sourceLength, target.begin());
}

// Something holds the target name already: never replaced, and told apart from the source's
// copy by its kind, size and time (a link by where it leads).
CopyResult alreadyThere(int sourceDir, const std::string& from, int folderFd, const std::string& to,
                        const struct stat& there) {
    // What the name matched by case or a FAT short name is another file: the copy fails rather
    // than count as there.
    if (std::optional<std::string> clash = nameClashIn(folderFd, to))
        return {CopyStatus::Failed, *clash};
    struct stat st {};
    if (::fstatat(sourceDir, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(errno);
    bool same = false;
    if (S_ISREG(st.st_mode))
        same = S_ISREG(there.st_mode) &&
               sameSizeAndTime(static_cast<uint64_t>(st.st_size), modificationTime(st),
                               static_cast<uint64_t>(there.st_size), modificationTime(there));
    else if (S_ISLNK(st.st_mode))
        same = S_ISLNK(there.st_mode) && sameLinkText(sourceDir, from.c_str(), folderFd, to);
    else
        return {CopyStatus::Failed, kNotRegular.str()};
    return {same ? CopyStatus::TargetExists : CopyStatus::TargetDiffers, {}};
}

// Whether the earlier backup's copy is the source as it is now, as far as the backup can tell
// without reading either: both plain files, the same size, modification time and permissions.
bool unchangedSince(const struct stat& source, const struct stat& earlier) {
    return S_ISREG(source.st_mode) && S_ISREG(earlier.st_mode) &&
           (source.st_mode & 07777) == (earlier.st_mode & 07777) &&
           sameSizeAndTime(static_cast<uint64_t>(source.st_size), modificationTime(source),
                           static_cast<uint64_t>(earlier.st_size), modificationTime(earlier));
}

// Makes `to` in folderFd a hard link to the file of the same name in the earlier backup's folder
// (earlierFd) when the source is unchanged since; nullopt when it is to be copied instead (it
// changed, or no link could be made: the trial learns of a file system that makes none).
std::optional<CopyResult> linkUnchanged(int sourceDir, const std::string& from, int folderFd,
                                        const std::string& to, int earlierFd, LinkTrial& trial) {
    struct stat source {};
    struct stat earlier {};
    if (::fstatat(sourceDir, from.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(earlierFd, to.c_str(), &earlier, AT_SYMLINK_NOFOLLOW) != 0 ||
        !unchangedSince(source, earlier))
        return std::nullopt;
    std::optional<int> error = trial.attempt([&] {
        faults::runBefore("link", to);
        int injected = faults::injected("link", to);
        // No flag: a link found at the earlier name is linked as itself, never followed.
        if (injected == 0 && ::linkat(earlierFd, to.c_str(), folderFd, to.c_str(), 0) != 0)
            return errno;
        return injected;
    });
    struct stat made {};
    if (error == EEXIST && ::fstatat(folderFd, to.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0)
        return alreadyThere(sourceDir, from, folderFd, to, made); // never replaced
    if (error != 0)
        return std::nullopt; // refused, EMLINK (its link limit), ENOENT (pruned meanwhile): a copy
    // What the link leads to is the file looked at, unless another took the earlier name in
    // between: then what was made is judged as anything found at the name is.
    if (::fstatat(folderFd, to.c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(errno);
    if (made.st_ino != earlier.st_ino || made.st_dev != earlier.st_dev)
        return alreadyThere(sourceDir, from, folderFd, to, made);
    return CopyResult{CopyStatus::Linked, {}};
}

// The copy itself: the source `from` relative to sourceDir (AT_FDCWD for a whole path), into
// the folder held open by folderFd under the host name `to`; with earlierFd (not -1), an
// unchanged file is linked to its copy in that earlier backup's folder instead. lookFirst: what
// holds the name already is found before the file is read (else when the copy is named).
CopyResult copyInto(int sourceDir, const std::string& from, int folderFd, const std::string& to,
                    bool lookFirst, int earlierFd = -1, LinkTrial* trial = nullptr) {
    faults::runBefore("copy", to);
    // What holds the name already, or took it while the copy was made (another backup of the
    // same file, say), is looked at and kept.
    auto outcome = [&](int error) -> CopyResult {
        struct stat there {};
        if (error == EEXIST && ::fstatat(folderFd, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0)
            return alreadyThere(sourceDir, from, folderFd, to, there);
        return error == 0 ? CopyResult{CopyStatus::Copied, {}} : failed(error);
    };
    // A link is made only where nothing is (EEXIST), so an unchanged file needs no look first.
    if (earlierFd >= 0 && trial)
        if (std::optional<CopyResult> linked =
                linkUnchanged(sourceDir, from, folderFd, to, earlierFd, *trial))
            return *linked;
    struct stat st {};
    if (lookFirst && ::fstatat(folderFd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return alreadyThere(sourceDir, from, folderFd, to, st);
    int fd = ::openat(sourceDir, from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP && ::fstatat(sourceDir, from.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            return outcome(copyLink(sourceDir, from.c_str(), folderFd, to, st));
        return failed(errno);
    }
    int error = 0;
    st.st_size = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = -1;
    else
        error = copyRegular(fd, folderFd, to, st);
    ::close(fd);
    if (error == -1)
        return {CopyStatus::Failed, kNotRegular.str()};
    CopyResult result = outcome(error);
    if (result.status == CopyStatus::Copied)
        result.bytes = static_cast<uint64_t>(st.st_size);
    return result;
}

} // namespace

CopyResult TargetFolder::copyIn(std::string_view from, std::string_view name) const {
    if (!handle_)
        return failed(ENOENT);
    std::optional<std::string> source = hostPath(from);
    std::optional<std::string> target = text::hostName(name);
    if (!source || !target)
        return {CopyStatus::Failed, unusableNameReason()};
    return copyInto(AT_FDCWD, *source, handle_->fd, *target, true);
}

CopyResult TargetFolder::copyIn(const HeldFolder& from, std::string_view fromName,
                                std::string_view name, const LinkSource* linkFrom,
                                bool folderIsNew) const {
    if (!handle_ || !from.handle_)
        return failed(ENOENT);
    std::optional<std::string> source = text::hostName(fromName);
    std::optional<std::string> target = text::hostName(name);
    if (!source || !target)
        return {CopyStatus::Failed, unusableNameReason()};
    if (linkFrom && linkFrom->earlier.handle_)
        return copyInto(from.handle_->fd, *source, handle_->fd, *target, !folderIsNew,
                        linkFrom->earlier.handle_->fd, &linkFrom->trial);
    return copyInto(from.handle_->fd, *source, handle_->fd, *target, !folderIsNew);
}

} // namespace platform
