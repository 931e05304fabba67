#include "hostpath.h"

#include "win32.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

std::mutex tableMutex;
std::string tableFolder; // guarded by tableMutex; empty: the system's own drives

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
    std::optional<PathParts> parts = splitProgramPath(windowsPath);
    if (!parts)
        return std::nullopt;
    std::string table = driveTableFolder();
    std::wstring path;
    if (table.empty()) {
        path = L"X:";
        path[0] = static_cast<wchar_t>(parts->drive - 'a' + 'A');
    } else {
        path = wideFromUtf8(table) + L"\\" + static_cast<wchar_t>(parts->drive);
    }
    // The long form: no length limit, and the names reach the system as they are.
    if (path.size() >= 2 && path[1] == L':')
        path.insert(0, L"\\\\?\\");
    for (const std::string& name : parts->names)
        path += L"\\" + wideFromUtf8(name);
    if (parts->names.empty())
        path += L"\\";
    return path;
}

std::optional<std::wstring> wideName(std::string_view name) {
    std::optional<std::string> utf8 = hostName(name);
    if (!utf8)
        return std::nullopt;
    return wideFromUtf8(*utf8);
}

std::optional<std::string> hostPath(std::string_view windowsPath) {
    std::optional<std::wstring> wide = widePath(windowsPath);
    if (!wide)
        return std::nullopt;
    return utf8FromWide(*wide);
}

} // namespace platform
