#include "testdrives.h"

#include "platform/codepage.h"
#include "platform/drives.h"
#include "platform/hostpath.h"

#include <QTest>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

TestDrives::TestDrives() {
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder");
    base_ = fs::path(dir_.path().toStdString());
    fs::create_directories(table());
    for (char letter : {'c', 'd', 'e'})
        addDrive(letter, driveFolder(letter));
    fs::create_directories(driveFolder('c') / "Program Files");
    fs::create_directories(driveFolder('c') / "windows" / "system32");
    platform::useDriveTable(table().string());
}

TestDrives::~TestDrives() {
    for (char letter = 'a'; letter <= 'z'; ++letter)
        platform::overrideDrive(letter, std::nullopt);
    platform::useDriveTable((fs::temp_directory_path() / "tarnwick-no-drives").string());
}

fs::path TestDrives::driveFolder(char letter) {
    fs::path folder = base_ / (std::string("drive_") + letter);
    fs::create_directories(folder);
    return folder;
}

void TestDrives::addDrive(char letter, const fs::path& target) {
    removeDrive(letter);
    fs::create_directory_symlink(target, table() / (std::string(1, letter) + ":"));
}

void TestDrives::removeDrive(char letter) {
    std::error_code ec;
    fs::remove(table() / (std::string(1, letter) + ":"), ec);
}

fs::path TestDrives::host(std::u8string_view windowsPath) const {
    std::optional<std::string> path = platform::hostPath(ansi(windowsPath));
    if (!path)
        throw std::runtime_error("not a program path");
    return fs::path(*path);
}

std::string ansi(std::u8string_view utf8) {
    return platform::ansiFromUtf8(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        QTest::qFail(("cannot write " + path.string()).c_str(), __FILE__, __LINE__);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<no file " + path.string() + ">"; // fails the comparison, and only this test
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

Snapshot snapshot(const fs::path& folder) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
    return files;
}

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace testsupport
