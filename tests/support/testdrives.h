#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A drive table of its own in a temporary folder: c:, d: and e: are fresh folders, and c: has
// the folders a Windows system drive has. The program uses it while the object lives.
class TestDrives {
public:
    TestDrives();
    ~TestDrives();

    const std::filesystem::path& base() const { return base_; }
    std::filesystem::path table() const { return base_ / "dosdevices"; }
    // The host folder of a drive, made when missing.
    std::filesystem::path driveFolder(char letter);
    // Adds or replaces a drive letter pointing at the host folder.
    void addDrive(char letter, const std::filesystem::path& target);
    void removeDrive(char letter);

    // The host path of a program path given in UTF-8, such as u8"D:\\Bak\\a.txt".
    std::filesystem::path host(std::u8string_view windowsPath) const;

private:
    QTemporaryDir dir_;
    std::filesystem::path base_;
};

// Program text from UTF-8 source text.
std::string ansi(std::u8string_view utf8);

// Host file helpers for setting up and checking trees. A file that cannot be read reads as a
// text that names it, so that the comparison fails and the next test still runs.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// Every file below a folder: its path below the folder and its bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::filesystem::path& folder);

// The names in a host folder, sorted.
std::vector<std::string> folderNames(const std::filesystem::path& folder);

} // namespace testsupport
