#pragma once

#include "platform/hostpath.h"
#include "store/backupstore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

// What the fuzz targets share: a program folder of their own on a drive table in a temporary
// folder (removed at the end), and a way to put the fuzzer's bytes into one of its files.
namespace fuzzing {

inline std::filesystem::path& baseFolder() {
    static std::filesystem::path base;
    return base;
}

inline const store::BackupStore& store() {
    static const store::BackupStore made = [] {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/tarnwick-fuzz-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        fs::path base = pattern;
        baseFolder() = base;
        fs::create_directories(base / "table");
        fs::create_directories(base / "c" / "windows" / "system32");
        fs::create_directories(base / "c" / "Program Files" / "Tarnwick2004" / "Recover");
        fs::create_directory_symlink(base / "c", base / "table" / "c:");
        platform::useDriveTable((base / "table").string());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(baseFolder(), ec);
        });
        return store::BackupStore();
    }();
    return made;
}

// Makes the program file hold exactly these bytes.
inline void plant(const std::string& programPath, const uint8_t* data, size_t size) {
    std::optional<std::string> host = platform::hostPath(programPath);
    if (!host)
        std::abort();
    std::ofstream out(*host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        std::abort();
}

// The bytes up to the first line feed, and those after it: a way to give a target two inputs.
inline std::pair<std::string, std::string_view> splitFirstLine(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t end = all.find('\n');
    if (end == std::string_view::npos)
        return {std::string(all), {}};
    return {std::string(all.substr(0, end)), all.substr(end + 1)};
}

} // namespace fuzzing
