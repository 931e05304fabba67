#include "hostpath.h"

#include "codepage.h"

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

bool isForbiddenInName(unsigned char c) {
    return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}

struct ParsedPath {
    char drive; // lower case
    std::vector<std::string> elements;
};

std::optional<ParsedPath> parse(std::string_view windowsPath) {
    std::optional<std::string> utf8 = utf8FromAnsiStrict(windowsPath);
    if (!utf8 || utf8->size() < 2 || (*utf8)[1] != ':')
        return std::nullopt;
    char letter = (*utf8)[0];
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return std::nullopt;
    std::string_view rest = std::string_view(*utf8).substr(2);
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/')
        return std::nullopt; // relative to a drive's current folder: not a full path
    ParsedPath parsed{letter, {}};
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view element = rest.substr(pos, end - pos);
        pos = end + 1;
        if (element.empty() || element == ".")
            continue;
        if (element == "..") {
            if (!parsed.elements.empty())
                parsed.elements.pop_back();
            continue;
        }
        for (unsigned char c : element)
            if (isForbiddenInName(c))
                return std::nullopt;
        parsed.elements.emplace_back(element);
    }
    return parsed;
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
    std::optional<ParsedPath> parsed = parse(windowsPath);
    if (!parsed)
        return std::nullopt;
    std::string path = driveTableFolder();
    path += '/';
    path += parsed->drive;
    path += ":/";
    for (size_t i = 0; i < parsed->elements.size(); ++i) {
        if (i > 0)
            path += '/';
        path += parsed->elements[i];
    }
    return path;
}

std::optional<std::string> hostName(std::string_view name) {
    std::optional<std::string> utf8 = utf8FromAnsiStrict(name);
    if (!utf8 || utf8->empty() || *utf8 == "." || *utf8 == "..")
        return std::nullopt;
    for (unsigned char c : *utf8)
        if (isForbiddenInName(c) || c == '\\' || c == '/')
            return std::nullopt;
    return utf8;
}

bool isDriveRoot(std::string_view windowsPath) {
    std::optional<ParsedPath> parsed = parse(windowsPath);
    return parsed && parsed->elements.empty();
}

} // namespace platform
