#include "driveoverrides.h"

#include <array>
#include <cctype>
#include <mutex>

namespace platform {
namespace {

std::mutex overrideMutex;
std::array<std::optional<DriveOverride>, 26> overrides; // guarded by overrideMutex

} // namespace

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

void overrideDrive(char letter, std::optional<DriveOverride> drive) {
    int index = driveIndex(std::string_view(&letter, 1));
    if (index < 0)
        return;
    std::lock_guard lock(overrideMutex);
    overrides[static_cast<size_t>(index)] = std::move(drive);
}

} // namespace platform
