#include "testdrives.h"

#include "platform/drives.h"
#include "platform/hostpath.h"
#include "platform/hostsystem.h"
#include "text/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

#ifdef _WIN32
// Removes a whole tree, however deep, through the long form of its paths: the C++ library of
// mingw-w64 stops at 260 characters.
void removeLongTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (isFolder)
                removeLongTree(path);
            else if (!::DeleteFileW(path.c_str()))
                ::RemoveDirectoryW(path.c_str()); // a link to a folder
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}
#endif

void removeTree(const fs::path& folder) {
    std::error_code ec;
#ifdef _WIN32
    removeLongTree(L"\\\\?\\" + fs::absolute(folder, ec).wstring());
#else
    fs::remove_all(folder, ec);
#endif
}

} // namespace

TestDrives::TestDrives() {
    // A name no earlier run left behind: process numbers come round again (under Wine, soon).
    // Short, as the tests' own file calls on Windows stop at 260 characters.
    static std::atomic<int> made{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    do {
        base_ = fs::temp_directory_path() /
                ("tw" + std::to_string(platform::currentProcessId()) + "-" +
                 std::to_string(now % 100000) + "-" + std::to_string(made++));
    } while (!fs::create_directory(base_));
    fs::create_directories(table());
    for (char letter : {'c', 'd', 'e'})
        driveFolder(letter);
    fs::create_directories(driveFolder('c') / "Program Files");
    fs::create_directories(driveFolder('c') / "windows" / "system32");
    platform::useDriveTable(utf8(table()));
}

struct SlowLabel::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false; // guarded by mutex
    int waiting = 0;       // guarded by mutex: reads held now
};

SlowLabel::SlowLabel(char letter, unsigned type, std::optional<std::string> label)
    : state_(std::make_shared<State>()), letter_(letter) {
    auto wait = [state = state_] {
        std::unique_lock lock(state->mutex);
        ++state->waiting;
        state->changed.wait_for(lock, std::chrono::seconds(20), [&] { return state->released; });
        --state->waiting;
    };
    platform::overrideDrive(letter, platform::DriveOverride{type, std::move(label), wait});
}

SlowLabel::~SlowLabel() {
    release();
    platform::overrideDrive(letter_, std::nullopt);
}

bool SlowLabel::held() const {
    std::lock_guard lock(state_->mutex);
    return state_->waiting > 0;
}

void SlowLabel::release() {
    {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
    }
    state_->changed.notify_all();
}

TestDrives::~TestDrives() {
    for (char letter = 'a'; letter <= 'z'; ++letter)
        platform::overrideDrive(letter, std::nullopt);
#ifdef _WIN32
    platform::useDriveTable(std::string()); // the system's drives
#else
    platform::useDriveTable(utf8(fs::temp_directory_path() / "tarnwick-no-drives"));
#endif
    std::error_code ec;
    fs::permissions(base_, fs::perms::owner_all, fs::perm_options::add, ec);
    removeTree(base_);
}

#ifdef _WIN32
fs::path TestDrives::driveFolder(char letter) {
    fs::path folder = table() / std::string(1, letter);
    fs::create_directories(folder);
    return folder;
}

void TestDrives::addDrive(char letter, const fs::path& target) {
    if (fs::weakly_canonical(target) != fs::weakly_canonical(driveFolder(letter)))
        throw std::runtime_error("a drive elsewhere needs a drive table of links (Linux)");
}

void TestDrives::removeDrive(char letter) {
    fs::remove_all(table() / std::string(1, letter));
}
#else
fs::path TestDrives::driveFolder(char letter) {
    fs::path folder = base_ / (std::string("drive_") + letter);
    fs::create_directories(folder);
    fs::path entry = table() / (std::string(1, letter) + ":");
    if (!fs::is_symlink(entry))
        fs::create_directory_symlink(folder, entry);
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
#endif

fs::path TestDrives::host(std::u8string_view windowsPath) const {
    std::optional<std::string> path = platform::hostPath(ansi(windowsPath));
    if (!path)
        throw std::runtime_error("not a program path");
    std::string_view text = *path;
    if (text.starts_with("\\\\?\\"))
        text.remove_prefix(4); // the long form, which the test's own file calls need not see
    return fs::path(std::u8string(text.begin(), text.end()));
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

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string utf8(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ansi(std::u8string_view utf8) {
    return text::ansiFromUtf8(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + utf8(path));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<no file " + utf8(path) + ">"; // fails the comparison, and only this test
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

Snapshot snapshot(const fs::path& folder) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) {
            std::u8string name = fs::relative(entry.path(), folder).generic_u8string();
            files[std::string(name.begin(), name.end())] = readFile(entry.path());
        }
    return files;
}

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace testsupport
