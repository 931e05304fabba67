#pragma once

#include "text/programpath.h"

#include <optional>
#include <string>
#include <string_view>

// Program paths are Windows paths in code page 950: a drive letter, a colon, backslashes.
//
// On Linux the drive table maps each drive letter onto a host folder, the way a Windows
// compatibility layer does: an entry "d:" in the table is a symbolic link to the folder that is
// drive D. On Windows the drives are the system's own, unless a test sets a drive table: there
// a sub-folder named by the letter ("d") stands for drive D, so that tests never touch real
// drives.
namespace platform {

// The drive table folder (UTF-8). On Linux: $TARNWICK_PREFIX/dosdevices, by default
// ${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick2004/dosdevices; when it is missing it is made
// with c: -> ../drive_c (a folder with "Program Files" and "windows\system32") and z: -> /.
// On Windows: empty while the system's drives are used.
std::string driveTableFolder();

// Makes the program use another drive table from now on (tests make their own); on Windows an
// empty folder gives back the system's drives.
void useDriveTable(std::string folder);

// The host path (UTF-8) of a program path, or nullopt when it is none: not a full path with a drive
// letter, not valid code page 950 text, or holding a character no Windows name may hold
// (a "?" among them, which is what a host name without a code page 950 form reads as).
std::optional<std::string> hostPath(std::string_view windowsPath);

} // namespace platform
