#include "coredrives.h"

#include "platform/codepage.h"
#include "platform/hostpath.h"
#include "platform/hostsystem.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace coretest {

CoreDrives::CoreDrives() {
    static std::atomic<int> counter{0};
    base_ = fs::temp_directory_path() /
            ("tarnwick-core-" + std::to_string(platform::currentProcessId()) + "-" +
             std::to_string(counter++));
    fs::remove_all(base_);
    fs::create_directories(base_ / "table");
    fs::path c = drive('c');
    fs::create_directories(c / "Program Files");
    fs::create_directories(c / "windows" / "system32");
    platform::useDriveTable((base_ / "table").string());
}

CoreDrives::~CoreDrives() {
#ifdef _WIN32
    platform::useDriveTable(std::string());
#else
    platform::useDriveTable((fs::temp_directory_path() / "tarnwick-no-drives").string());
#endif
    std::error_code ec;
    fs::remove_all(base_, ec);
}

fs::path CoreDrives::drive(char letter) {
#ifdef _WIN32
    fs::path folder = base_ / "table" / std::string(1, letter); // the table's folder is the drive
    fs::create_directories(folder);
#else
    fs::path folder = base_ / ("drive_" + std::string(1, letter));
    fs::path entry = base_ / "table" / (std::string(1, letter) + ":");
    fs::create_directories(folder);
    if (!fs::is_symlink(entry))
        fs::create_directory_symlink(folder, entry);
#endif
    return folder;
}

fs::path CoreDrives::host(std::u8string_view windowsPath) {
    fs::path path = drive(static_cast<char>(windowsPath[0] | 0x20));
    std::u8string_view rest = windowsPath.substr(3);
    while (!rest.empty()) {
        size_t slash = rest.find(u8'\\');
        path /= fs::path(rest.substr(0, slash));
        rest = slash == rest.npos ? std::u8string_view() : rest.substr(slash + 1);
    }
    return path;
}

bool makeFolderLink(const fs::path& target, const fs::path& link) {
#ifdef _WIN32
    return ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                                 SYMBOLIC_LINK_FLAG_DIRECTORY |
                                     SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
#else
    std::error_code ec;
    fs::create_directory_symlink(target, link, ec);
    return !ec;
#endif
}

std::string ansi(std::u8string_view utf8) {
    return platform::ansiFromUtf8(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<cannot read " + path.string() + ">";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace coretest
