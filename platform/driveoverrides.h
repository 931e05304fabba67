#pragma once

#include "drives.h"

#include <optional>
#include <string_view>

// The drives that tests make report another type or label: kept here for both backends.
namespace platform {

// 0 for drive A ... 25 for Z, from a drive root or a drive letter; -1 when it names no drive.
int driveIndex(std::string_view root);

// What the test seam says of the drive, when it says anything.
std::optional<DriveOverride> overrideOf(int index);

} // namespace platform
