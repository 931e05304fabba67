#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Program paths as text, the same on every system: "D:\Data\Docs" in code page 950. Only whole
// characters are split, so a trail byte 0x5C (許 is B3 5C) never counts as a backslash.
namespace text {

// The form the directory lists keep a folder in: the drive letter in upper case, a root as
// "D:\", every other folder as its names below the root joined by single backslashes, "/"
// read as "\" and "." and ".." resolved (never above the root), so that D:/Data, d:\Data\ and
// D:\Data\..\Data give D:\Data. A text that is no full path with a drive letter comes back as
// it is.
std::string normalizedFolder(std::string_view folder);
// The form the window keeps a destination in, and the catalog records it by: normalized, and a
// drive's root as letter and colon ("E:").
std::string destinationForm(std::string_view folder);

// The names of a full path below its drive root ("D:\Data\Docs" gives Data and Docs).
std::vector<std::string> pathElements(std::string_view path);

// A full program path taken apart for a host: its drive letter in lower case and its names in
// UTF-8, "." and ".." resolved without leaving the root; "/" counts as "\". nullopt when it is
// no full path with a drive letter, no valid code page 950 text, or holds a character no
// Windows name may hold (a "?" among them, which is what a name without a code page 950 form
// reads as).
struct PathParts {
    char drive;
    std::vector<std::string> names;
};
std::optional<PathParts> splitProgramPath(std::string_view windowsPath);

// Whether a UTF-8 text can be one name of a Windows path: not empty, not "." or "..", and
// without the characters Windows forbids in names or a separator.
bool isWindowsName(std::string_view utf8Name);

// Why Windows would not keep a name as it is written (it drops a trailing dot or space, and
// takes a device name such as CON, NUL, COM1 or LPT1, with any extension and in any case, for
// the device). The name may be UTF-8 or code page 950: the bytes looked at are ASCII, which no
// Big5 trail byte is.
enum class WindowsNameFault { None, DeviceName, TrailingDotOrSpace };
WindowsNameFault windowsNameFault(std::string_view name);

// The host name (UTF-8) of one element of a program path, or nullopt when it is none: empty,
// "." or "..", not valid code page 950 text, or holding a character no Windows name may hold.
std::optional<std::string> hostName(std::string_view name);

// Whether a program path names the root of a drive ("D:\" or "D:").
bool isDriveRoot(std::string_view windowsPath);

} // namespace text
