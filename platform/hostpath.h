#pragma once

#include "programpath.h"

#include <optional>
#include <string>
#include <string_view>

// Program paths are Windows paths in code page 950: a drive letter, a colon, backslashes. The
// drive table maps each drive letter onto a host folder, the way a Windows compatibility layer
// does: an entry "d:" in the table is a symbolic link to the folder that is drive D.
namespace platform {

// The drive table folder: $TARNWICK_PREFIX/dosdevices, by default
// ${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick2004/dosdevices. When it is missing it is made
// with c: -> ../drive_c (a folder with "Program Files" and "windows\system32") and z: -> /.
std::string driveTableFolder();

// Makes the program use another drive table from now on (tests make their own).
void useDriveTable(std::string folder);

// The host path of a program path, or nullopt when it is none: not a full path with a drive
// letter, not valid code page 950 text, or holding a character no Windows name may hold
// (a "?" among them, which is what a host name without a code page 950 form reads as).
std::optional<std::string> hostPath(std::string_view windowsPath);

// The host name of one element of a program path, or nullopt when it is none: empty, "." or
// "..", not valid code page 950 text, or holding a character no Windows name may hold.
std::optional<std::string> hostName(std::string_view name);

} // namespace platform
