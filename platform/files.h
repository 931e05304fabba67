#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whole-file reads and writes on program paths, in binary: the text-mode rules of the program's
// own files belong to their readers and writers.
namespace platform {

enum class ReadStatus { Read, Missing, TooLarge, Failed };

struct [[nodiscard]] FileContents {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
    std::string reason; // why not (code page 950), when Failed
};

// The file's bytes; Missing only when there is no such file (nor a folder on its way), TooLarge
// (and nothing read) when it holds more than `limit` bytes, Failed (and nothing read) when it is
// there but cannot be opened or read to its end: a part of a file is never its contents.
FileContents readFile(std::string_view path, size_t limit);

bool canOpenForReading(std::string_view path);

struct [[nodiscard]] WriteResult {
    bool ok = false;
    std::string reason; // why not (code page 950), when not ok
    explicit operator bool() const { return ok; }
};

// Gives the file new contents in one step, on the disk before it returns (the file, then its
// folder, are flushed): whatever happens, the file holds its old contents or the new ones,
// never part of them.
WriteResult replaceFile(std::string_view path, std::string_view contents);

// Makes a file with these contents, in the same way, unless something exists at the name
// already.
WriteResult createNewFile(std::string_view path, std::string_view contents);

// Whether a file can be made in the folder: one is made under a temporary name and removed at
// once, outside the steps of the program's own writes. The reason when it cannot.
WriteResult checkWritable(std::string_view folder);

// Removes the temporary files that a write cut short left in the folder (their program gone).
void removeStaleTemporaries(std::string_view folder);

} // namespace platform
