#include "drives.h"

#include "drivesbackend.h"
#include "hostpath.h"
#include "win32.h"

#include <cctype>
#include <vector>

namespace platform {
namespace {

// The root the system asks about: the drive itself, or for a drive of the test table the root
// of the volume that holds its folder.
std::optional<std::wstring> systemRoot(int index) {
    quietDriveErrors();
    std::string table = driveTableFolder();
    if (table.empty())
        return std::wstring{static_cast<wchar_t>(L'A' + index), L':', L'\\'};
    std::wstring folder = text::wideFromUtf8(table) + L"\\" + static_cast<wchar_t>(L'a' + index);
    DWORD attributes = attributesOf(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    wchar_t volume[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(folder.c_str(), volume, MAX_PATH))
        return std::nullopt;
    return std::wstring(volume);
}

} // namespace

uint32_t logicalDrives() {
    std::string table = driveTableFolder();
    if (table.empty())
        return static_cast<uint32_t>(::GetLogicalDrives());
    uint32_t mask = 0;
    for (int i = 0; i < 26; ++i)
        if (systemRoot(i))
            mask |= 1u << i;
    return mask;
}

unsigned hostDriveType(int index) {
    if (driveTableFolder().empty()) {
        char letterRoot[] = {static_cast<char>('A' + index), ':', '\\', '\0'};
        return ::GetDriveTypeA(letterRoot);
    }
    std::optional<std::wstring> volume = systemRoot(index);
    return volume ? ::GetDriveTypeW(volume->c_str()) : kDriveNoRootDir;
}

std::optional<std::string> hostVolumeLabel(int index) {
    std::optional<std::wstring> volume = systemRoot(index);
    wchar_t label[MAX_PATH + 1] = {};
    if (!volume || !::GetVolumeInformationW(volume->c_str(), label, MAX_PATH, nullptr, nullptr,
                                            nullptr, nullptr, 0))
        return std::nullopt;
    return text::ansiFromWide(label);
}

std::string systemDirectory() {
    if (!driveTableFolder().empty()) // a test's own drives: C stands for the system drive
        return (logicalDrives() & (1u << 2)) ? std::string("C:\\windows\\system32") : std::string();
    UINT length = ::GetSystemDirectoryW(nullptr, 0);
    std::vector<wchar_t> folder(length + 1);
    length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    return length > 0 ? text::ansiFromWide(std::wstring_view(folder.data(), length))
                      : std::string();
}

} // namespace platform
