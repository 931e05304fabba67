#pragma once

#include "folders.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Reading a tree as it stands, for a verification: what is at a name of a folder held open, and
// the bytes of a file there. Nothing is followed through a link, and nothing is written.
namespace platform {

enum class EntryKind {
    Nothing,    // no entry at the name
    File,       // a plain file
    Folder,     //
    Link,       // a symbolic link (a junction or mount point on Windows), never followed
    Other,      // a pipe, a device or the like
    Unreadable, // there may be something, but it cannot be looked at (reason says why)
};

struct EntryFacts {
    EntryKind kind = EntryKind::Nothing;
    uint64_t size = 0;    // of a file
    int64_t modified = 0; // of a file: nanoseconds since 1970
    std::string linkText; // of a link: where it leads, as the host keeps it (Linux)
    std::string reason;   // Unreadable: why (code page 950)
};

// Looks at the entry `name` (program text) of the folder held, without following a link at it.
EntryFacts lookAt(const HeldFolder& folder, std::string_view name);

// A plain file of a folder held open, read from its start. Reads change nothing of it but the
// time it was last read, where the file system keeps one.
class FileReader {
public:
    FileReader();
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Opens the file `name` (program text) of the folder held, never through a link: 0, or the
    // errno value of why not.
    int open(const HeldFolder& folder, std::string_view name);
    // Reads up to `size` bytes: the count read (0 at the end), or a negated errno value.
    int64_t read(char* buffer, size_t size);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
