#include "filecopy.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "process.h"
#include "stagingname.h"
#include "targetfolder.h"
#include "text/codepage.h"
#include "win32.h"

#include <cerrno>
#include <optional>

namespace platform {
namespace {

const text::Text kNotRegular{u8"不是一般檔案"};

CopyResult failed(int error) {
    return {CopyStatus::Failed, reasonForError(error == ENOTDIR ? ENOENT : error)};
}

void removeTemporary(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only copy
    ::DeleteFileW(path.c_str());
}

// Sets the copy's last-write time again from the source's, whole, and puts the copy on the disk
// before it gets its name. A read-only copy is made writable for that moment.
int settleCopy(const std::wstring& path, const FILETIME& lastWrite) {
    DWORD attributes = attributesOf(path);
    bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return lastErrno();
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    int error = file == INVALID_HANDLE_VALUE ? lastErrno() : 0;
    if (error == 0 && !::SetFileTime(file, nullptr, nullptr, &lastWrite))
        error = lastErrno();
    if (error == 0 && durableCopies() && !::FlushFileBuffers(file))
        error = lastErrno();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (error == 0 && readOnly && !::SetFileAttributesW(path.c_str(), attributes))
        error = lastErrno();
    return error;
}

int64_t unixNanoseconds(const FILETIME& time) {
    constexpr int64_t kFrom1601To1970 = 116444736000000000; // in 100 ns
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                         time.dwLowDateTime);
    return (ticks - kFrom1601To1970) * 100;
}

uint64_t sizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Something holds the target name already: never replaced, and told apart from the source's
// copy by its size and last-write time. What the name matched by its short form or case is
// another file, and the copy fails rather than count as there.
CopyResult alreadyThere(const WIN32_FILE_ATTRIBUTE_DATA& source, const std::wstring& target,
                        const std::wstring& name) {
    if (std::optional<std::string> clash = nameClashAt(target, name))
        return {CopyStatus::Failed, *clash};
    WIN32_FILE_ATTRIBUTE_DATA there{};
    bool same = ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &there) &&
                (there.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !isLinkAt(target) &&
                sameSizeAndTime(sizeOf(source), unixNanoseconds(source.ftLastWriteTime),
                                sizeOf(there), unixNanoseconds(there.ftLastWriteTime));
    return {same ? CopyStatus::TargetExists : CopyStatus::TargetDiffers, {}};
}

// Whether the earlier backup's copy is the source as it is now, as far as the backup can tell
// without reading either: a plain file (no folder, no link) with the same size, last-write time
// and the attributes a copy keeps.
bool unchangedSince(const WIN32_FILE_ATTRIBUTE_DATA& source,
                    const WIN32_FILE_ATTRIBUTE_DATA& earlier) {
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                            FILE_ATTRIBUTE_REPARSE_POINT;
    return (source.dwFileAttributes & kKept) == (earlier.dwFileAttributes & kKept) &&
           (earlier.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
               0 &&
           sameSizeAndTime(sizeOf(source), unixNanoseconds(source.ftLastWriteTime), sizeOf(earlier),
                           unixNanoseconds(earlier.ftLastWriteTime));
}

// Makes `target` a hard link to `earlier` (the file of the same name in the earlier backup's
// folder, held open like today's) when the source is unchanged since; nullopt when it is to be
// copied instead (it changed, or no link could be made: the trial learns of a file system that
// makes none).
std::optional<CopyResult> linkUnchanged(const WIN32_FILE_ATTRIBUTE_DATA& source,
                                        const std::wstring& target, const std::wstring& earlier,
                                        const std::wstring& name, LinkTrial& trial) {
    WIN32_FILE_ATTRIBUTE_DATA there{};
    if (!::GetFileAttributesExW(earlier.c_str(), GetFileExInfoStandard, &there) ||
        !unchangedSince(source, there) || nameClashAt(earlier, name))
        return std::nullopt;
    std::optional<int> error = trial.attempt([&] {
        std::string hostName = text::utf8FromWide(name);
        faults::runBefore("link", hostName);
        int injected = faults::injected("link", hostName);
        if (injected == 0 && !::CreateHardLinkW(target.c_str(), earlier.c_str(), nullptr))
            return lastErrno();
        return injected;
    });
    if (error == EEXIST)
        return alreadyThere(source, target, name); // never replaced
    if (error != 0)
        return std::nullopt; // refused, EMLINK (its link limit), ENOENT (pruned meanwhile): a copy
    // Another file may have taken the earlier name since the look above: what was made is
    // judged as anything found at the name is.
    CopyResult made = alreadyThere(source, target, name);
    if (made.status == CopyStatus::TargetExists)
        made.status = CopyStatus::Linked;
    return made;
}

// The copy engine's progress routine, called between chunks: a copy under a temporary name holds
// the program's end, and gives up once the program is ending (the engine removes what it wrote).
DWORD CALLBACK stopWhenEnding(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                              DWORD, HANDLE, HANDLE, LPVOID name) {
    faults::runBefore("copychunk", *static_cast<const std::string*>(name));
    return exitRequested() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// A new copy: the system copies the contents, attributes and times under a temporary name beside
// the target, and the move gives the target name only to a whole file and only when nothing
// holds that name. A copy cut short leaves no half file under the real name.
CopyResult copyAnew(const std::wstring& source, const WIN32_FILE_ATTRIBUTE_DATA& data,
                    const FolderHandle& folder, const std::wstring& name,
                    const std::wstring& target) {
    // Windows has no unnamed files: the program's end waits for a copy under a temporary name
    // rather than leave a part of a file behind in the user's folder.
    ExitBlocker wholeOrNothing;
    if (exitRequested())
        return failed(ECANCELED);
    std::wstring temporary =
        childPath(folder.path, text::wideFromUtf8(stagingName(text::utf8FromWide(name))));
    // A link that takes the file's place after the look above is copied as a link (or refused
    // without the privilege), never followed.
    std::string hostName = text::utf8FromWide(name);
    if (!::CopyFileExW(source.c_str(), temporary.c_str(), stopWhenEnding, &hostName, nullptr,
                       COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK)) {
        int error = ::GetLastError() == ERROR_REQUEST_ABORTED ? ECANCELED : lastErrno();
        removeTemporary(temporary);
        return failed(error);
    }
    // The copy engine keeps the last-write time; some file systems only to the second, so it
    // is set again from the source's, whole.
    if (int error = settleCopy(temporary, data.ftLastWriteTime)) {
        removeTemporary(temporary);
        return failed(error);
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        int error = lastErrno();
        removeTemporary(temporary);
        if (error == EEXIST)
            return alreadyThere(data, target, name); // it appeared during the copy: kept
        return failed(error);
    }
    CopyResult result{CopyStatus::Copied, {}};
    result.bytes = sizeOf(data);
    return result;
}

// The copy itself, of `source` into the folder under `name`; with `earlier` (the copy of the
// folder in an earlier backup), an unchanged file is linked to its copy there instead.
CopyResult copyInto(const std::wstring& source, const FolderHandle& folder,
                    const std::wstring& name, bool lookFirst, const FolderHandle* earlier = nullptr,
                    LinkTrial* trial = nullptr) {
    faults::runBefore("copy", text::utf8FromWide(name));
    std::wstring target = childPath(folder.path, name);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data))
        return failed(lastErrno());
    // Links and junctions are never followed out of the tree, and a folder is no file.
    // The reparse tag is looked up only for a reparse point: most files are none.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && isLinkAt(source)))
        return {CopyStatus::Failed, kNotRegular.str()};
    // A link is made only where nothing is, so an unchanged file needs no look first.
    if (earlier && trial)
        if (std::optional<CopyResult> linked =
                linkUnchanged(data, target, childPath(earlier->path, name), name, *trial))
            return *linked;
    if (lookFirst && attributesOf(target) != INVALID_FILE_ATTRIBUTES)
        return alreadyThere(data, target, name);
    return copyAnew(source, data, folder, name, target);
}

} // namespace

CopyResult TargetFolder::copyIn(std::string_view from, std::string_view name) const {
    if (!handle_)
        return failed(ENOENT);
    std::optional<std::wstring> source = widePath(from);
    std::optional<std::wstring> target = wideName(name);
    if (!source || !target)
        return {CopyStatus::Failed, source ? unusableNameReason(name) : unusablePathReason(from)};
    return copyInto(*source, *handle_, *target, true);
}

CopyResult TargetFolder::copyIn(const HeldFolder& from, std::string_view fromName,
                                std::string_view name, const LinkSource* linkFrom,
                                bool folderIsNew) const {
    if (!handle_ || !from.handle_)
        return failed(ENOENT);
    std::optional<std::wstring> source = wideName(fromName);
    std::optional<std::wstring> target = wideName(name);
    if (!source || !target)
        return {CopyStatus::Failed, unusableNameReason(source ? name : fromName)};
    // The listed folder is held without sharing deletion, so its path still leads to it.
    if (linkFrom && linkFrom->earlier.handle_)
        return copyInto(childPath(from.handle_->path, *source), *handle_, *target, !folderIsNew,
                        linkFrom->earlier.handle_.get(), &linkFrom->trial);
    return copyInto(childPath(from.handle_->path, *source), *handle_, *target, !folderIsNew);
}

} // namespace platform
