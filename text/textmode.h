#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's own files are text files in the manner of the C runtime's text mode: a line feed
// is stored as CR LF and CR LF reads back as one line feed.
namespace text::textmode {

std::string encode(std::string_view text);
std::string decode(std::string_view stored);

// The lines of decoded text: every line feed ends a line, and bytes after the last line feed
// make one more line.
std::vector<std::string> splitLines(std::string_view text);

} // namespace text::textmode
