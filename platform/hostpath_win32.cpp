#include "hostpath.h"

#include "hosterror.h"
#include "win32.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

std::mutex tableMutex;
std::string tableFolder; // guarded by tableMutex; empty: the system's own drives

// Whether Windows keeps a name as it is written. The long form of a path (\\?\) would make
// a name ending in a space or a dot, or a device name (CON, NUL, COM1 ...), that Explorer can
// neither open nor remove; such a name is refused instead.
bool keepsItsName(std::string_view utf8) {
    return !utf8.empty() && text::windowsNameFault(utf8) == text::WindowsNameFault::None;
}

} // namespace

std::string driveTableFolder() {
    std::lock_guard lock(tableMutex);
    return tableFolder;
}

void useDriveTable(std::string folder) {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    std::lock_guard lock(tableMutex);
    tableFolder = std::move(folder);
}

std::optional<std::wstring> widePath(std::string_view windowsPath) {
    quietDriveErrors();
    std::optional<text::PathParts> parts = text::splitProgramPath(windowsPath);
    if (!parts)
        return std::nullopt;
    for (const std::string& name : parts->names)
        if (!keepsItsName(name))
            return std::nullopt;
    std::string table = driveTableFolder();
    std::wstring path;
    if (table.empty()) {
        path = L"X:";
        path[0] = static_cast<wchar_t>(parts->drive - 'a' + 'A');
    } else {
        path = text::wideFromUtf8(table) + L"\\" + static_cast<wchar_t>(parts->drive);
    }
    // The long form: no length limit, and the names reach the system as they are.
    if (path.size() >= 2 && path[1] == L':')
        path.insert(0, L"\\\\?\\");
    for (const std::string& name : parts->names)
        path += L"\\" + text::wideFromUtf8(name);
    if (parts->names.empty())
        path += L"\\";
    return path;
}

std::optional<std::wstring> wideName(std::string_view name) {
    std::optional<std::string> utf8 = text::hostName(name);
    if (!utf8 || !keepsItsName(*utf8))
        return std::nullopt;
    return text::wideFromUtf8(*utf8);
}

std::string unusableNameReason(std::string_view name) {
    if (!text::hostName(name))
        return unusableNameReason(); // a character without a form here
    return reasonForNameFault(text::windowsNameFault(name));
}

std::string unusablePathReason(std::string_view windowsPath) {
    // A name without a form here is told first: it would be refused whatever its ending.
    std::vector<std::string> names = text::pathElements(windowsPath);
    for (const std::string& name : names)
        if (name != "." && name != ".." && !text::hostName(name))
            return unusableNameReason();
    for (const std::string& name : names)
        if (text::WindowsNameFault fault = text::windowsNameFault(name);
            fault != text::WindowsNameFault::None)
            return reasonForNameFault(fault);
    return unusableNameReason();
}

std::optional<std::string> hostPath(std::string_view windowsPath) {
    std::optional<std::wstring> wide = widePath(windowsPath);
    if (!wide)
        return std::nullopt;
    return text::utf8FromWide(*wide);
}

} // namespace platform
