#pragma once

#include <string>
#include <string_view>

// Searching code page 950 text by characters, not bytes: the second byte of a double-byte
// character may be any of 0x40..0x7E, so a backslash byte (0x5C) is not always a backslash.
namespace text::big5 {

constexpr bool isLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Position of the first / last single-byte character c, or npos.
size_t find(std::string_view text, char c, size_t from = 0);
size_t rfind(std::string_view text, char c);

// Position of the first occurrence of needle that starts on a character boundary, or npos.
size_t find(std::string_view text, std::string_view needle, size_t from = 0);

// Whether the text ends with the suffix, the suffix starting on a character boundary.
bool endsWith(std::string_view text, std::string_view suffix);

// The text after the last backslash, or all of it when it has none.
std::string_view lastPathElement(std::string_view path);

// The text before the last backslash, or empty when it has none.
std::string_view beforeLastBackslash(std::string_view path);

} // namespace text::big5
