#include "files.h"

#include "faults/faults.h"
#include "hosterror.h"
#include "stagingname.h"
#include "storewrite.h"
#include "win32.h"

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle) {
        close();
        handle_ = handle;
    }
    void close() {
        if (isOpen())
            ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// A file written whole under a temporary name beside its target, flushed, then moved onto its
// name: the move is one step, and written through to the disk before it returns.
class StoreWrite : public StoreSteps {
public:
    explicit StoreWrite(const std::wstring& target) : target_(target) {
        size_t slash = target.rfind(L'\\');
        std::wstring name = target.substr(slash + 1);
        error_ = name.empty() ? EISDIR : 0;
        temporary_ =
            target.substr(0, slash + 1) + text::wideFromUtf8(stagingName(text::utf8FromWide(name)));
    }
    ~StoreWrite() {
        file_.close();
        if (staged_)
            ::DeleteFileW(temporary_.c_str());
    }
    StoreWrite(const StoreWrite&) = delete;
    StoreWrite& operator=(const StoreWrite&) = delete;

    void stage(std::string_view contents) {
        run("open", [&] {
            file_.reset(::CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
            staged_ = file_.isOpen();
            return staged_ ? 0 : lastErrno();
        });
        run("write", [&] { return writeAll(contents); });
        run("flush", [&] { return ::FlushFileBuffers(file_.get()) ? 0 : lastErrno(); });
        run("close", [&] {
            file_.close();
            return 0;
        });
    }

    // Puts the file at its name, in place of what was there or (create) only where nothing is.
    void publish(bool replace) {
        DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        run("move", [&] {
            return ::MoveFileExW(temporary_.c_str(), target_.c_str(), flags) ? 0 : lastErrno();
        });
        if (ok()) {
            staged_ = false;
            flushFolder();
        }
    }

private:
    // The move is written through, but a rename within one volume may still wait in the cache:
    // the folder is flushed where the system lets a program do so (it may refuse; the file
    // itself is on the disk already).
    void flushFolder() const {
        std::wstring folder = target_.substr(0, target_.rfind(L'\\'));
        HANDLE handle =
            ::CreateFileW(folder.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return;
        ::FlushFileBuffers(handle);
        ::CloseHandle(handle);
    }

    int writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!::WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr))
                return lastErrno();
            bytes.remove_prefix(written);
        }
        return 0;
    }

    std::wstring target_;
    std::wstring temporary_;
    Handle file_;
    bool staged_ = false; // the temporary file exists
};

// Opens a file for reading; folders and links to them do not open as files.
HANDLE openForReading(const std::wstring& host) {
    return ::CreateFileW(host.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// A file that could not be opened: missing only when nothing is at its name (or a folder on its
// way is none). Anything else is there and must not pass for missing, or its contents would be
// replaced by a fresh start.
FileContents notOpened(const std::wstring& host, DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return {};
    int code = errnoFromWin32(error);
    // A folder refuses to open as a file with "access denied": named for what it is.
    DWORD attributes = attributesOf(host);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        code = EISDIR;
    return {ReadStatus::Failed, {}, reasonForError(code)};
}

// The same for a failure the fault seam planted (an errno value).
FileContents notOpened(int error) {
    if (error == ENOENT || error == ENOTDIR)
        return {};
    return {ReadStatus::Failed, {}, reasonForError(error)};
}

} // namespace

FileContents readFile(std::string_view path, size_t limit) {
    std::optional<std::wstring> host = widePath(path);
    if (!host)
        return {}; // no file can have such a name
    if (int error = faults::injected("open", path))
        return notOpened(error);
    Handle file(openForReading(*host));
    if (!file.isOpen())
        return notOpened(*host, ::GetLastError());
    std::optional<faults::ReadFault> fault = faults::readFault(path);
    FileContents contents{ReadStatus::Read, {}, {}};
    char buffer[16384];
    for (;;) {
        DWORD size = sizeof buffer;
        if (fault) {
            size_t done = contents.bytes.size();
            if (done >= fault->offset)
                return {ReadStatus::Failed, {}, reasonForError(fault->error)};
            size = static_cast<DWORD>(std::min<size_t>(size, fault->offset - done));
        }
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, size, &got, nullptr))
            // What was read is a part of the file: whoever wrote it back would lose the rest.
            return {ReadStatus::Failed, {}, reasonForError(lastErrno())};
        if (got == 0)
            break;
        if (contents.bytes.size() + got > limit)
            return {ReadStatus::TooLarge, {}, {}};
        contents.bytes.append(buffer, got);
    }
    return contents;
}

bool canOpenForReading(std::string_view path) {
    std::optional<std::wstring> host = widePath(path);
    if (!host)
        return false;
    Handle file(openForReading(*host));
    return file.isOpen();
}

WriteResult replaceFile(std::string_view path, std::string_view contents) {
    return writeWhole<StoreWrite>(widePath(path), contents, true);
}

WriteResult createNewFile(std::string_view path, std::string_view contents) {
    return writeWhole<StoreWrite>(widePath(path), contents, false);
}

WriteResult checkWritable(std::string_view folder) {
    std::optional<std::wstring> host = widePath(folder);
    if (!host)
        return {false, unusableNameReason()};
    std::wstring path = childPath(*host, text::wideFromUtf8(stagingName("write-check")));
    int error = faults::injected("probe", text::utf8FromWide(*host));
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!error) {
        file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            error = lastErrno();
        else
            ::CloseHandle(file); // and the file is gone
    }
    if (error)
        return {false, reasonForError(error)};
    return {true, {}};
}

void removeStaleTemporaries(std::string_view folder) {
    if (std::optional<std::wstring> host = widePath(folder))
        removeStaleStagingFiles(*host);
}

} // namespace platform
