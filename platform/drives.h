#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Drive types as the Windows drive functions report them.
enum DriveType : unsigned {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};

// Bit i set: the drive with letter 'A' + i is in the drive table.
uint32_t logicalDrives();

// The type of the drive whose root ("D:\") or letter is given.
unsigned driveType(std::string_view root);

// The volume label (code page 950), or nullopt when the drive cannot be read.
std::optional<std::string> volumeLabel(std::string_view root);

// "C:\windows\system32" while the drive table has drive C; empty otherwise.
std::string systemDirectory();

// Test seam: makes a drive report this type and label instead of what its folder gives.
// whileReadingLabel, when set, runs on the thread that reads the label before it is given: a
// test holds it there to make the drive as slow as one that does not answer.
struct DriveOverride {
    unsigned type = kDriveFixed;
    std::optional<std::string> label;
    std::function<void()> whileReadingLabel = {};
};
void overrideDrive(char letter, std::optional<DriveOverride> drive);

} // namespace platform
