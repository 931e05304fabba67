#include "folders.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "hostpath.h"
#include "win32.h"

#include <cerrno>

namespace platform {

void FolderHandleCloser::operator()(FolderHandle* handle) const {
    if (handle->handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle->handle);
    delete handle;
}

namespace {

std::wstring finalPath(HANDLE handle, const std::wstring& fallback) {
    DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD length = ::GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
    if (length == 0)
        return fallback;
    std::wstring path(length, L'\0');
    length = ::GetFinalPathNameByHandleW(handle, path.data(), length, flags);
    if (length == 0 || length >= path.size())
        return fallback;
    path.resize(length);
    return path;
}

} // namespace

int openFolderHandle(const std::wstring& path, bool followLinks, FolderHandlePtr& held) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE handle =
        ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastErrno();
    // A folder reached through links is known from now on by where it really is, so that a link
    // on the way that is changed meanwhile cannot send the writes below it elsewhere.
    FolderHandlePtr opened(new FolderHandle{handle, followLinks ? finalPath(handle, path) : path});
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastErrno();
    if (!followLinks && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
            IsReparseTagNameSurrogate(tag.ReparseTag))
            return ELOOP;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ENOTDIR;
    held = std::move(opened);
    return 0;
}

struct FolderSearch::State {
    HANDLE find = INVALID_HANDLE_VALUE;
    FolderHandlePtr folder; // held for the whole listing, so that it stays the folder listed
    WIN32_FIND_DATAW next{};
    bool hasNext = false;
    bool skipDots = false; // a drive root of the test table: a root lists no "." or ".."
    bool withSizes = true;

    ~State() {
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
    }
    bool advance() {
        hasNext = ::FindNextFileW(find, &next) != 0;
        return hasNext;
    }
};

FolderSearch::FolderSearch() = default;
FolderSearch::~FolderSearch() = default;

void FolderSearch::close() {
    state_.reset();
}

HeldFolder FolderSearch::holdFolder() const {
    if (!state_ || !state_->folder)
        return {};
    return HeldFolder(duplicateFolderHandle(*state_->folder));
}

HeldFolder HeldFolder::open(std::string_view path, std::string& whyNot) {
    std::optional<std::wstring> host = widePath(path);
    if (!host) {
        whyNot = unusablePathReason(path);
        return {};
    }
    FolderHandlePtr held;
    int error = faults::injected("opendir", text::utf8FromWide(*host));
    if (error == 0)
        error = openFolderHandle(*host, true, held);
    if (error) {
        whyNot = whyNoFolder(*host, error);
        return {};
    }
    return HeldFolder(std::move(held));
}

FolderHandlePtr duplicateFolderHandle(const FolderHandle& folder) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, folder.handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return FolderHandlePtr(new FolderHandle{copy, folder.path});
}

int openSubFolder(const FolderHandle& folder, std::string_view name, FolderHandlePtr& held,
                  std::string& whyNot) {
    std::optional<std::wstring> host = wideName(name);
    if (!host) {
        whyNot = unusableNameReason(name);
        return EINVAL;
    }
    // The sub-folder is opened as it stands, and a link or junction there is refused.
    std::wstring path = childPath(folder.path, *host);
    std::string utf8 = text::utf8FromWide(path);
    faults::runBefore("opensub", utf8);
    int error = faults::injected("opendir", utf8);
    if (error == 0)
        error = openFolderHandle(path, false, held);
    if (error) {
        whyNot = whyNoFolder(path, error);
        return error;
    }
    // The name may have found another folder by its short name or case: never that one.
    if (std::optional<std::string> clash = nameClashAt(path, *host)) {
        held.reset();
        whyNot = *clash;
        return EEXIST;
    }
    return 0;
}

HeldFolder HeldFolder::openSub(std::string_view name, std::string& whyNot) const {
    if (!handle_) {
        whyNot = unusableNameReason();
        return {};
    }
    FolderHandlePtr held;
    if (openSubFolder(*handle_, name, held, whyNot) != 0)
        return {};
    return HeldFolder(std::move(held));
}

std::optional<int64_t> HeldFolder::modificationTime() const {
    FILETIME lastWrite{};
    if (!handle_ || !::GetFileTime(handle_->handle, nullptr, nullptr, &lastWrite))
        return std::nullopt;
    constexpr int64_t kFrom1601To1970 = 116444736000000000; // in 100 ns
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32) |
                                         lastWrite.dwLowDateTime);
    return (ticks - kFrom1601To1970) * 100;
}

std::optional<SharedFile> HeldFolder::sharedFile(std::string_view) const {
    return std::nullopt;
}

HeldFolder HeldFolder::duplicate() const {
    return handle_ ? HeldFolder(duplicateFolderHandle(*handle_)) : HeldFolder();
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
    auto state = std::make_unique<State>();
    state->folder = std::move(folder.duplicate().handle_);
    if (!state->folder) {
        failure_ = reasonForError(lastErrno());
        return false;
    }
    state->find = ::FindFirstFileW(childPath(state->folder->path, L"*").c_str(), &state->next);
    if (state->find == INVALID_HANDLE_VALUE) {
        failure_ = reasonForError(lastErrno()); // an empty root: no file found
        return false;
    }
    state->hasNext = true;
    state->skipDots = driveRoot;
    state->withSizes = withSizes;
    state_ = std::move(state);
    if (findNext(entry))
        return true;
    close();
    failure_ = reasonForError(ENOENT);
    return false;
}

bool FolderSearch::findNext(FindData& entry) {
    if (!state_)
        return false;
    State& s = *state_;
    while (s.hasNext) {
        WIN32_FIND_DATAW found = s.next;
        s.advance();
        std::wstring_view name = found.cFileName;
        if (s.skipDots && (name == L"." || name == L".."))
            continue;
        entry.name = text::ansiFromWide(name);
        entry.hostText.clear();
        if (entry.name.find('?') != std::string::npos && name.find(L'?') == std::wstring_view::npos)
            entry.hostText = text::utf8FromWide(name);
        entry.attributes = found.dwFileAttributes;
        entry.size = 0;
        entry.compatibilityLink = isCompatibilityLink(found);
        if (isLinkEntry(found)) {
            // A link or junction: listed as a file, never followed, nothing to count.
            entry.attributes &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY);
        } else if (!entry.isDirectory() && s.withSizes) {
            entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
        return true;
    }
    return false;
}

bool isLinkAt(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(find);
    return isLinkEntry(found);
}

bool createFolder(std::string_view folder) {
    std::string whyNot;
    return createFolder(folder, whyNot);
}

bool createFolder(std::string_view folder, std::string& whyNot) {
    std::optional<std::wstring> path = widePath(folder);
    if (!path) {
        whyNot = unusablePathReason(folder);
        return false;
    }
    if (!::CreateDirectoryW(path->c_str(), nullptr)) {
        whyNot = reasonForError(lastErrno());
        return false;
    }
    return true;
}

bool folderExists(std::string_view folder) {
    std::optional<std::wstring> path = widePath(folder);
    if (!path)
        return false;
    DWORD attributes = attributesOf(*path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool folderCanBeEntered(std::string_view folder) {
    std::optional<std::wstring> path = widePath(folder);
    if (!path || !folderExists(folder))
        return false;
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(childPath(*path, L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive root
    ::FindClose(find);
    return true;
}

bool nothingAt(std::string_view path) {
    std::optional<std::wstring> host = widePath(path);
    if (!host || attributesOf(*host) != INVALID_FILE_ATTRIBUTES)
        return false;
    int error = lastErrno();
    return error == ENOENT || error == ENOTDIR;
}

} // namespace platform
