#include "removalfolder.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "win32.h"

#include <cerrno>

namespace platform {
namespace {

// One step of a removal, with the fault seam's step before it and after it: 0 or an errno.
template <typename Call> int step(Call call) {
    if (int error = faults::removalStepBefore())
        return error;
    int error = call() ? 0 : lastErrno();
    faults::removalStepAfter();
    return error;
}

// The entry at the path itself, a link or junction never followed; INVALID_HANDLE_VALUE when it
// cannot be opened.
HANDLE openEntry(const std::wstring& path, DWORD access) {
    return ::CreateFileW(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Marks the entry for deletion and closes it: a read-only file loses that attribute first, as
// the user's own delete would.
bool deleteEntry(const std::wstring& path) {
    HANDLE entry = openEntry(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    bool marked =
        ::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition);
    DWORD error = ::GetLastError();
    ::CloseHandle(entry);
    ::SetLastError(error);
    return marked;
}

} // namespace

RemovalFolder RemovalFolder::open(std::string_view path, std::string& whyNot) {
    return RemovalFolder(openChosenFolder(path, whyNot));
}

RemovalFolder RemovalFolder::duplicate() const {
    return handle_ ? RemovalFolder(duplicateFolderHandle(*handle_)) : RemovalFolder();
}

std::optional<FolderId> RemovalFolder::id() const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle_ || !::GetFileInformationByHandle(handle_->handle, &info))
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool RemovalFolder::hasFolder(std::string_view name) const {
    std::optional<std::wstring> host = wideName(name);
    if (!handle_ || !host)
        return false;
    std::wstring path = childPath(handle_->path, *host);
    DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           !isLinkAt(path);
}

int RemovalFolder::renameSub(std::string_view from, std::string_view to) const {
    std::optional<std::wstring> hostFrom = wideName(from);
    std::optional<std::wstring> hostTo = wideName(to);
    if (!handle_ || !hostFrom || !hostTo)
        return EINVAL;
    std::wstring fromPath = childPath(handle_->path, *hostFrom);
    std::wstring toPath = childPath(handle_->path, *hostTo);
    // Without MOVEFILE_REPLACE_EXISTING nothing at the new name is replaced.
    return step([&] { return ::MoveFileExW(fromPath.c_str(), toPath.c_str(), 0) != 0; });
}

RemovalFolder RemovalFolder::openSub(const std::string& hostName, std::string& whyNot) const {
    if (!handle_) {
        whyNot = reasonForError(EBADF);
        return {};
    }
    std::wstring path = childPath(handle_->path, text::wideFromUtf8(hostName));
    faults::runBefore("opensub", text::utf8FromWide(path));
    FolderHandlePtr held;
    if (int error = openFolderHandle(path, false, held)) {
        whyNot = whyNoFolder(path, error);
        return {};
    }
    return RemovalFolder(std::move(held));
}

bool RemovalFolder::list(std::vector<RemovalEntry>& entries, bool withSizes,
                         std::string& whyNot) const {
    entries.clear();
    if (!handle_) {
        whyNot = reasonForError(EBADF);
        return false;
    }
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(childPath(handle_->path, L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        whyNot = reasonForError(lastErrno());
        return false;
    }
    do {
        std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        RemovalEntry entry;
        entry.hostName = text::utf8FromWide(name);
        entry.folder =
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isLinkEntry(found);
        if (withSizes && !entry.folder) {
            HANDLE file = openEntry(childPath(handle_->path, name), FILE_READ_ATTRIBUTES);
            BY_HANDLE_FILE_INFORMATION info{};
            FILE_STANDARD_INFO standard{};
            if (file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info) &&
                ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard,
                                               sizeof standard)) {
                entry.bytes = static_cast<uint64_t>(standard.AllocationSize.QuadPart);
                entry.links = standard.NumberOfLinks;
                entry.file = {info.dwVolumeSerialNumber,
                              (static_cast<uint64_t>(info.nFileIndexHigh) << 32) |
                                  info.nFileIndexLow};
            }
            if (file != INVALID_HANDLE_VALUE)
                ::CloseHandle(file);
        }
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(find, &found));
    DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        whyNot = reasonForError(errnoFromWin32(error));
        return false;
    }
    return true;
}

int RemovalFolder::remove(const std::string& hostName, bool) const {
    if (!handle_)
        return EBADF;
    // Opened as the entry itself: a junction or link is removed, not followed. A folder must be
    // empty, as it is after its entries went.
    std::wstring path = childPath(handle_->path, text::wideFromUtf8(hostName));
    return step([&] { return deleteEntry(path); });
}

std::optional<std::string> RemovalFolder::hostNameOf(std::string_view name) {
    std::optional<std::wstring> host = wideName(name);
    if (!host)
        return std::nullopt;
    return text::utf8FromWide(*host);
}

std::string RemovalFolder::programNameOf(const std::string& hostName) {
    return text::ansiFromWide(text::wideFromUtf8(hostName));
}

std::optional<uint64_t> freeSpace(std::string_view folder) {
    std::optional<std::wstring> host = widePath(folder);
    ULARGE_INTEGER available{};
    if (!host ||
        !::GetDiskFreeSpaceExW(childPath(*host, L"").c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

} // namespace platform
