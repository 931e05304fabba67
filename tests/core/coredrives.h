#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace coretest {

// Drives of the test's own in a fresh temporary folder, on either system: on Linux a drive
// table of links, on Windows the host layer's table of folders. C: has the folders of a Windows
// system drive. The program uses them while the object lives.
class CoreDrives {
public:
    CoreDrives();
    ~CoreDrives();
    CoreDrives(const CoreDrives&) = delete;
    CoreDrives& operator=(const CoreDrives&) = delete;

    // The host folder of a drive, made (and the drive added) when missing.
    std::filesystem::path drive(char letter);
    // The host path of a program path given in UTF-8, such as u8"D:\\Bak\\a.txt".
    std::filesystem::path host(std::u8string_view windowsPath);

private:
    std::filesystem::path base_;
};

// Program text from UTF-8 source text.
std::string ansi(std::u8string_view utf8);

// Makes a symbolic link to a folder (on Windows through the system, which may refuse without
// the privilege); false when it cannot.
bool makeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link);

void writeFile(const std::filesystem::path& path, std::string_view bytes);
// The file's bytes; a file that cannot be read reads as a text that names it.
std::string readFile(const std::filesystem::path& path);

} // namespace coretest
