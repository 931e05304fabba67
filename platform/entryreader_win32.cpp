#include "entryreader.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "text/codepage.h"
#include "win32.h"

#include <cerrno>

namespace platform {
namespace {

int64_t unixNanoseconds(const FILETIME& time) {
    constexpr int64_t kFrom1601To1970 = 116444736000000000; // in 100 ns
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                         time.dwLowDateTime);
    return (ticks - kFrom1601To1970) * 100;
}

} // namespace

EntryFacts lookAt(const HeldFolder& folder, std::string_view name) {
    EntryFacts facts;
    std::optional<std::wstring> host = wideName(name);
    if (!host || !folder.handle_) {
        facts.kind = EntryKind::Unreadable;
        facts.reason = unusableNameReason(name);
        return facts;
    }
    std::wstring path = childPath(folder.handle_->path, *host);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        int error = lastErrno();
        if (error != ENOENT && error != ENOTDIR) {
            facts.kind = EntryKind::Unreadable;
            facts.reason = reasonForError(error);
        }
        return facts;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && isLinkAt(path))
        facts.kind = EntryKind::Link;
    else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        facts.kind = EntryKind::Folder;
    else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0)
        facts.kind = EntryKind::Other;
    else {
        facts.kind = EntryKind::File;
        facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        facts.modified = unixNanoseconds(data.ftLastWriteTime);
    }
    return facts;
}

struct FileReader::State {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~State() {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    }
};

FileReader::FileReader() = default;
FileReader::~FileReader() = default;

int FileReader::open(const HeldFolder& folder, std::string_view name) {
    state_.reset();
    std::optional<std::wstring> host = wideName(name);
    if (!host || !folder.handle_)
        return ENOENT;
    std::wstring path = childPath(folder.handle_->path, *host);
    if (int error = faults::injected("compare", text::utf8FromWide(*host)))
        return error;
    // Shared with every other program: a verification never stands in a writer's way.
    HANDLE file = ::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastErrno();
    auto state = std::make_unique<State>();
    state->file = file;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return lastErrno();
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return EINVAL;
    state_ = std::move(state);
    return 0;
}

int64_t FileReader::read(char* buffer, size_t size) {
    if (!state_)
        return -EBADF;
    DWORD got = 0;
    DWORD wanted = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!::ReadFile(state_->file, buffer, wanted, &got, nullptr))
        return -lastErrno();
    return got;
}

} // namespace platform
