#include "drivesbackend.h"

#include <array>
#include <cctype>
#include <mutex>

namespace platform {
namespace {

std::mutex overrideMutex;
std::array<std::optional<DriveOverride>, 26> overrides; // guarded by overrideMutex

int driveIndex(std::string_view root) {
    if (root.empty())
        return -1;
    int c = std::toupper(static_cast<unsigned char>(root[0]));
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

std::optional<DriveOverride> overrideOf(int index) {
    std::lock_guard lock(overrideMutex);
    return overrides[static_cast<size_t>(index)];
}

} // namespace

unsigned driveType(std::string_view root) {
    int index = driveIndex(root);
    if (index < 0)
        return kDriveNoRootDir;
    if (std::optional<DriveOverride> drive = overrideOf(index))
        return drive->type;
    return hostDriveType(index);
}

std::optional<std::string> volumeLabel(std::string_view root) {
    int index = driveIndex(root);
    if (index < 0)
        return std::nullopt;
    if (std::optional<DriveOverride> drive = overrideOf(index)) {
        if (drive->whileReadingLabel)
            drive->whileReadingLabel();
        return drive->label;
    }
    return hostVolumeLabel(index);
}

void overrideDrive(char letter, std::optional<DriveOverride> drive) {
    int index = driveIndex(std::string_view(&letter, 1));
    if (index < 0)
        return;
    std::lock_guard lock(overrideMutex);
    overrides[static_cast<size_t>(index)] = std::move(drive);
}

} // namespace platform
