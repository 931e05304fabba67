#pragma once

#include "text/programpath.h"

#include <string>
#include <string_view>

namespace platform {

// Why a host operation failed, in words the user reads (code page 950): every error the program
// can meet gets a Chinese reason, never the host's own English text.
std::string reasonForError(int error);

// The reason for a name that has no form on this system (a character code page 950 lacks, or
// one no Windows name may hold).
std::string unusableNameReason();
// The reason for a name Windows would not keep as written (a device name, a trailing dot or
// space); for None the reason above.
std::string reasonForNameFault(text::WindowsNameFault fault);
// Why this system cannot use the name (one element of a program path), or a name of the path:
// the reason that fits it, of those above. Only the Windows backend refuses a name for being a
// device name or for its ending.
std::string unusableNameReason(std::string_view name);
std::string unusablePathReason(std::string_view windowsPath);

#ifdef _WIN32
// The reason for a Windows error that has no errno value (the system's own number), or an empty
// text when the program has none of its own for it.
std::string reasonForWindowsError(unsigned long code);
#endif

// How the program names a failure: "path（reason）"; the one alone when the other is empty.
std::string withReason(std::string_view what, std::string_view reason);

} // namespace platform
