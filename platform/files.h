#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and writes on program paths, in binary: the text-mode rules of the program's
// own files belong to their readers and writers.
namespace platform {

// The file's bytes, or nullopt when it cannot be opened for reading.
std::optional<std::string> readFile(std::string_view path);

bool canOpenForReading(std::string_view path);

// Gives the file new contents in one step: whatever happens, the file holds its old contents or
// the new ones, never part of them.
bool replaceFile(std::string_view path, std::string_view contents);

// Adds the bytes at the end of the file in one write; makes the file when it is missing.
bool appendFile(std::string_view path, std::string_view contents);

// Makes a file with these contents unless something exists at the name already.
bool createNewFile(std::string_view path, std::string_view contents);

} // namespace platform
