#pragma once

#include <string>
#include <string_view>

namespace platform {

// Why a host operation failed, in words the user reads (code page 950): every error the program
// can meet gets a Chinese reason, never the host's own English text.
std::string reasonForError(int error);

// The reason for a name that has no form on this system (a character code page 950 lacks, or
// one no Windows name may hold).
std::string unusableNameReason();

// How the program names a failure: "path（reason）"; the one alone when the other is empty.
std::string withReason(std::string_view what, std::string_view reason);

} // namespace platform
