#pragma once

#include "drives.h"

#include <optional>
#include <string>

// What each backend tells of a drive; the shared part answers for the drives a test overrides.
namespace platform {

// The type of drive 'A' + index, as the system reports it.
unsigned hostDriveType(int index);

// Its volume label (code page 950), or nullopt when it cannot be read.
std::optional<std::string> hostVolumeLabel(int index);

} // namespace platform
