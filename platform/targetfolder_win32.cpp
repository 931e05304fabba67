#include "targetfolder.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "stagingname.h"
#include "text/codepage.h"
#include "win32.h"

#include <cerrno>

namespace platform {
namespace {

const text::Text kLinkInTheWay{u8"此處是連結，不是資料夾"};
const text::Text kFileInTheWay{u8"此處是檔案，不是資料夾"};

} // namespace

std::string whyNoFolder(const std::wstring& path, int error) {
    DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (error == ENOTDIR || error == ELOOP || error == EEXIST)) {
        if (isLinkAt(path))
            return kLinkInTheWay.str();
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return kFileInTheWay.str();
    }
    return reasonForError(error);
}

namespace {

std::optional<FolderId> idOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace

FolderHandlePtr openChosenFolder(std::string_view path, std::string& whyNot) {
    std::optional<std::wstring> host = widePath(path);
    if (!host) {
        whyNot = unusablePathReason(path);
        return nullptr;
    }
    FolderHandlePtr held;
    if (int error = openFolderHandle(*host, true, held)) {
        whyNot = whyNoFolder(*host, error);
        return nullptr;
    }
    return held;
}

TargetFolder TargetFolder::open(std::string_view path, std::string& whyNot) {
    return TargetFolder(openChosenFolder(path, whyNot));
}

bool TargetFolder::linkToCopy(const TargetFolder&, std::string_view, std::string_view, uint64_t,
                              int64_t) const {
    return false; // the walk finds no file of several names here (HeldFolder::sharedFile)
}

TargetFolder TargetFolder::duplicate() const {
    return handle_ ? TargetFolder(duplicateFolderHandle(*handle_)) : TargetFolder();
}

bool TargetFolder::makeSub(std::string_view name, std::string& whyNot, bool* madeNow) const {
    if (madeNow)
        *madeNow = false;
    std::optional<std::wstring> host = wideName(name);
    if (!host || !handle_) {
        whyNot = host ? unusableNameReason() : unusableNameReason(name);
        return false;
    }
    std::wstring path = childPath(handle_->path, *host);
    int error = faults::injected("mkdir", text::utf8FromWide(*host));
    if (error == 0 && ::CreateDirectoryW(path.c_str(), nullptr)) {
        if (madeNow)
            *madeNow = true;
        return true;
    }
    if (error == 0)
        error = lastErrno();
    DWORD attributes = attributesOf(path);
    if (error == EEXIST && attributes != INVALID_FILE_ATTRIBUTES && !isLinkAt(path) &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // A folder found by another's short name or case is never merged into.
        std::optional<std::string> clash = nameClashAt(path, *host);
        if (!clash)
            return true;
        whyNot = *clash;
        return false;
    }
    whyNot = whyNoFolder(path, error);
    return false;
}

TargetFolder TargetFolder::openSub(std::string_view name, std::string& whyNot) const {
    if (!handle_) {
        whyNot = unusableNameReason();
        return {};
    }
    FolderHandlePtr held;
    if (openSubFolder(*handle_, name, held, whyNot) != 0)
        return {};
    return TargetFolder(std::move(held));
}

std::optional<FolderId> TargetFolder::id() const {
    if (!handle_)
        return std::nullopt;
    return idOf(handle_->handle);
}

std::optional<std::string> TargetFolder::setModificationTime(int64_t nanoseconds) const {
    if (!handle_)
        return reasonForError(ENOENT);
    // The folder held cannot be renamed or removed: its path still leads to it.
    HANDLE folder = ::CreateFileW(
        handle_->path.c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    int error = folder == INVALID_HANDLE_VALUE ? lastErrno() : 0;
    constexpr int64_t kFrom1601To1970 = 116444736000000000; // in 100 ns
    const uint64_t ticks = static_cast<uint64_t>(nanoseconds / 100 + kFrom1601To1970);
    const FILETIME lastWrite{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    if (error == 0 && !::SetFileTime(folder, nullptr, nullptr, &lastWrite))
        error = lastErrno();
    if (folder != INVALID_HANDLE_VALUE)
        ::CloseHandle(folder);
    if (error == 0 || error == EPERM || error == EOPNOTSUPP || error == ENOSYS)
        return std::nullopt;
    return reasonForError(error);
}

int TargetFolder::flushToDisk() const {
    if (!handle_)
        return ENOENT;
    if (!durableCopies())
        return 0;
    // Each copy was flushed before it was moved in; a hard link is only a record in the file
    // system's log, and flushing any handle of the volume commits that log up to now. Where the
    // system lets no folder be flushed (some file systems, without the right to write), nothing
    // but links can wait there, and a file system without a log of its own makes none.
    std::string hostPath = text::utf8FromWide(handle_->path);
    faults::runBefore("syncfs", hostPath);
    if (int error = faults::injected("syncfs", hostPath))
        return error;
    HANDLE folder =
        ::CreateFileW(handle_->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return 0;
    int error = 0;
    if (!::FlushFileBuffers(folder)) {
        DWORD code = ::GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_INVALID_FUNCTION &&
            code != ERROR_NOT_SUPPORTED)
            error = lastErrno();
    }
    ::CloseHandle(folder);
    return error;
}

void TargetFolder::removeStaleTemporaries() const {
    if (handle_)
        removeStaleStagingFiles(handle_->path);
}

void removeStaleStagingFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(childPath(folder, L".*.tmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            isStaleStagingName(text::utf8FromWide(found.cFileName))) {
            std::wstring path = childPath(folder, found.cFileName);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only copy
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

std::optional<FolderId> folderId(std::string_view path) {
    std::optional<std::wstring> host = widePath(path);
    FolderHandlePtr held;
    if (!host || openFolderHandle(*host, true, held) != 0)
        return std::nullopt;
    return idOf(held->handle);
}

} // namespace platform
