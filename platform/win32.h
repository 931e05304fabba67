#pragma once

// What the Windows backend's files share. Paths go to the system in UTF-16, converted from code
// page 950 (text/codepage_win32.h) whatever the system's own ANSI code page is.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "folderhandle.h"
#include "text/codepage_win32.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct FolderHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring path; // the folder's full path, in the form widePath() gives
};

// A folder handle of our own: readable and listable, shared for reading and writing but not for
// deleting, so that the folder cannot be renamed, removed or swapped while it is held. With
// followLinks the folder is kept under its final path; without, a link or junction at the path
// is refused (ELOOP). 0 or an errno.
int openFolderHandle(const std::wstring& path, bool followLinks, FolderHandlePtr& held);
// The same for a folder the user chose, by its whole program path (links on the way followed);
// null, with the reason, when it cannot be opened.
FolderHandlePtr openChosenFolder(std::string_view path, std::string& whyNot);

// The errno value the program's reasons use for a Windows error; an error without one comes
// back negated, and reasonForError shows its own number.
int errnoFromWin32(DWORD error);
inline int lastErrno() {
    return errnoFromWin32(::GetLastError());
}

// Makes an empty removable drive fail like any other instead of the system asking the user to
// insert a disk; once for the process.
void quietDriveErrors();

// The full host path of a program path ("\\?\D:\Data", or below the test drive table), or
// nullopt when it is none (see hostPath).
std::optional<std::wstring> widePath(std::string_view windowsPath);
// One element of a program path, or nullopt (see hostName).
std::optional<std::wstring> wideName(std::string_view name);

// A name below a folder path (which may end with a backslash, at a drive root).
inline std::wstring childPath(const std::wstring& folder, std::wstring_view name) {
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path.append(name);
}

// Removes the temporary files in the folder that a program cut short left behind.
void removeStaleStagingFiles(const std::wstring& folder);

// The attributes of an entry without following a link at its place; INVALID_FILE_ATTRIBUTES
// when there is none.
inline DWORD attributesOf(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

// Whether a listed entry is a link: a symbolic link, a junction or a mount point, whose reparse
// tag names another place. Other reparse points (files kept in the cloud, deduplicated files)
// are the files and folders they seem.
inline bool isLinkEntry(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(found.dwReserved0);
}
// Whether a listed link is one Windows keeps for old programs: hidden and a system file, as the
// profile's "Application Data" or "My Documents" are.
inline bool isCompatibilityLink(const WIN32_FIND_DATAW& found) {
    constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return isLinkEntry(found) && (found.dwFileAttributes & kHiddenSystem) == kHiddenSystem;
}
// The same for the entry at a path (false when there is none).
bool isLinkAt(const std::wstring& path);

// nullopt when the entry at `path` is named `name` in its folder, else why it is not that entry
// (the name matched another's short name or case; see nameclash.h).
std::optional<std::string> nameClashAt(const std::wstring& path, const std::wstring& name);

// Another handle on the same folder, or nullptr.
FolderHandlePtr duplicateFolderHandle(const FolderHandle& folder);

// Opens the sub-folder `name` (a program name) of a folder held, never through a link or
// junction: 0, or an errno value with the reason in whyNot. The folder is held without shared
// deletion, so its path still leads to it.
int openSubFolder(const FolderHandle& folder, std::string_view name, FolderHandlePtr& held,
                  std::string& whyNot);

// Why the entry at the path is no folder that can be opened, for the error that opening it as
// one gave: a link or a file in the way is told as such.
std::string whyNoFolder(const std::wstring& path, int error);

} // namespace platform
