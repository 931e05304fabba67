#include "filelock.h"

#include "hostpath.h"
#include "win32.h"

namespace platform {

struct FileLock::Held {
    HANDLE file = INVALID_HANDLE_VALUE;
    OVERLAPPED range{};
    ~Held() {
        if (file == INVALID_HANDLE_VALUE)
            return;
        ::UnlockFileEx(file, 0, 1, 0, &range);
        ::CloseHandle(file);
    }
};

FileLock::FileLock(std::string_view path) {
    std::optional<std::wstring> host = widePath(path);
    if (!host)
        return;
    HANDLE file = ::CreateFileW(host->c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    auto held = std::make_unique<Held>();
    held->file = file;
    // Byte ranges are locked per handle: another thread of this program waits as well.
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &held->range)) {
        held->file = INVALID_HANDLE_VALUE;
        ::CloseHandle(file);
        return;
    }
    held_ = std::move(held);
}

FileLock::~FileLock() = default;

} // namespace platform
