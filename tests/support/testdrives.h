#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A drive table of its own in a fresh temporary folder: c:, d: and e: are fresh folders, and c:
// has the folders a Windows system drive has. The program uses it while the object lives. On
// Linux the table's entries are links to the drives' folders; on Windows the table's sub-folder
// named by the letter is the drive itself (and drives cannot point elsewhere).
class TestDrives {
public:
    TestDrives();
    ~TestDrives();
    TestDrives(const TestDrives&) = delete;
    TestDrives& operator=(const TestDrives&) = delete;

    const std::filesystem::path& base() const { return base_; }
    std::filesystem::path table() const { return base_ / "dosdevices"; }
    // The host folder of a drive, made when missing.
    std::filesystem::path driveFolder(char letter);
    // Adds or replaces a drive letter pointing at the host folder (Linux only).
    void addDrive(char letter, const std::filesystem::path& target);
    void removeDrive(char letter);

    // The host path of a program path given in UTF-8, such as u8"D:\\Bak\\a.txt".
    std::filesystem::path host(std::u8string_view windowsPath) const;

private:
    std::filesystem::path base_;
};

// Makes a drive's label slow, like a network drive that does not answer: while the object lives
// (or until release(), and for 20 seconds at most), a read of the drive's label waits. The drive
// has the type and label given once released.
class SlowLabel {
public:
    SlowLabel(char letter, unsigned type, std::optional<std::string> label);
    ~SlowLabel();
    SlowLabel(const SlowLabel&) = delete;
    SlowLabel& operator=(const SlowLabel&) = delete;

    // Whether a read of the label is waiting now.
    bool held() const;
    void release();

private:
    struct State;
    std::shared_ptr<State> state_; // shared with the reads, which may outlive the object
    char letter_;
};

// Program text from UTF-8 source text.
std::string ansi(std::u8string_view utf8);

// Host file helpers for setting up and checking trees. A file that cannot be written throws; one
// that cannot be read reads as a text that names it, so that the comparison fails and the next
// test still runs.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// Every file below a folder: its path below the folder ("/" between names, UTF-8) and its bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::filesystem::path& folder);

// The names (UTF-8) in a host folder, sorted.
std::vector<std::string> folderNames(const std::filesystem::path& folder);

// Makes a symbolic link to a folder (on Windows through the system, which may refuse without the
// privilege); false when it cannot.
bool makeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link);

// Polls the condition until it holds (true) or the time is up (false).
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A path's text in UTF-8, whatever the host's own encoding of paths.
std::string utf8(const std::filesystem::path& path);

} // namespace testsupport
