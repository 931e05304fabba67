#include "programerror.h"

#include <charconv>

int StrToInt(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+' && begin + 1 != end && begin[1] != '-')
        ++begin;
    int value = 0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end)
        throw ProgramError("'" + text + "' is not a valid integer value");
    return value;
}
