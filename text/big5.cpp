#include "big5.h"

namespace text::big5 {
namespace {

// Calls visit(position) at the start of every character from `from` on (from must be a
// boundary) until it returns true; gives that position or npos.
template <typename Visit> size_t scan(std::string_view text, size_t from, Visit visit) {
    for (size_t i = from; i < text.size();) {
        if (visit(i))
            return i;
        i += isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return std::string_view::npos;
}

} // namespace

size_t find(std::string_view text, char c, size_t from) {
    return scan(text, from, [&](size_t i) { return text[i] == c; });
}

size_t rfind(std::string_view text, char c) {
    size_t last = std::string_view::npos;
    scan(text, 0, [&](size_t i) {
        if (text[i] == c)
            last = i;
        return false;
    });
    return last;
}

size_t find(std::string_view text, std::string_view needle, size_t from) {
    if (needle.empty())
        return from <= text.size() ? from : std::string_view::npos;
    return scan(text, from, [&](size_t i) { return text.substr(i).starts_with(needle); });
}

bool endsWith(std::string_view text, std::string_view suffix) {
    if (suffix.size() > text.size() || !text.ends_with(suffix))
        return false;
    size_t start = text.size() - suffix.size();
    return start == text.size() || scan(text, 0, [&](size_t i) { return i >= start; }) == start;
}

std::string_view lastPathElement(std::string_view path) {
    size_t slash = rfind(path, '\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view beforeLastBackslash(std::string_view path) {
    size_t slash = rfind(path, '\\');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

} // namespace text::big5
