#pragma once

#include <string>
#include <string_view>
#include <vector>

// Program paths as text, the same on every system: "D:\Data\Docs" in code page 950. Only whole
// characters are split, so a trail byte 0x5C (許 is B3 5C) never counts as a backslash.
namespace platform {

// The form the program keeps a folder in: "d:" and "D:\" name the same root, with the drive
// letter in upper case; other folders lose their trailing backslashes.
std::string normalizedFolder(std::string_view folder);

// The names of a full path below its drive root ("D:\Data\Docs" gives Data and Docs).
std::vector<std::string> pathElements(std::string_view path);

} // namespace platform
