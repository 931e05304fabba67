#include "hostpath.h"

#include "hosterror.h"
#include "text/codepage.h"
#include "text/programpath.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex tableMutex;
std::string tableFolder; // guarded by tableMutex; empty until first use

std::string defaultTableFolder() {
    if (const char* prefix = std::getenv("TARNWICK_PREFIX"); prefix && *prefix)
        return std::string(prefix) + "/dosdevices";
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = std::string(home) + "/.local/share";
    else
        data = "/tmp";
    return data + "/tarnwick2004/dosdevices";
}

// A fresh table: drive C with the folders every Windows system drive has, and Z for the host's
// whole file system.
void createDefaultTable(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(folder, ec))
        return;
    fs::path table(folder);
    fs::path driveC = table.parent_path() / "drive_c";
    fs::create_directories(table, ec);
    fs::create_directories(driveC / "Program Files", ec);
    fs::create_directories(driveC / "windows" / "system32", ec);
    fs::create_symlink("../drive_c", table / "c:", ec);
    fs::create_symlink("/", table / "z:", ec);
}

} // namespace

std::string driveTableFolder() {
    std::lock_guard lock(tableMutex);
    if (tableFolder.empty()) {
        tableFolder = defaultTableFolder();
        createDefaultTable(tableFolder);
    }
    return tableFolder;
}

void useDriveTable(std::string folder) {
    std::lock_guard lock(tableMutex);
    tableFolder = std::move(folder);
}

std::optional<std::string> hostPath(std::string_view windowsPath) {
    std::optional<text::PathParts> parts = text::splitProgramPath(windowsPath);
    if (!parts)
        return std::nullopt;
    std::string path = driveTableFolder();
    path += '/';
    path += parts->drive;
    path += ":/";
    for (size_t i = 0; i < parts->names.size(); ++i) {
        if (i > 0)
            path += '/';
        path += parts->names[i];
    }
    return path;
}

// Linux keeps a device name or a name ending in a dot or a space as it is written: a name fails
// here only for a character it cannot show.
std::string unusableNameReason(std::string_view) {
    return unusableNameReason();
}

std::string unusablePathReason(std::string_view) {
    return unusableNameReason();
}

} // namespace platform
