#include "programerror.h"

#include <charconv>

namespace {

// The text as a message can show it: a message ends at its first NUL, and control bytes show as
// nothing or break lines, so these become \x00 and the like. Big5 has no such byte inside a
// character (its second bytes are 0x40 and above), so the characters stay whole.
std::string visibleText(const std::string& text) {
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            const char* digits = "0123456789ABCDEF";
            shown += {'\\', 'x', digits[byte >> 4], digits[byte & 0xF]};
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace

int StrToInt(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+' && begin + 1 != end && begin[1] != '-')
        ++begin;
    int value = 0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        throw ProgramError("'" + visibleText(text) + "' is not a valid integer value");
    return value;
}
