// Searching code page 950 text by whole characters.
#include "text/big5.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t cut = size ? data[0] % (size + 1) : 0;
    std::string_view text = all.substr(cut);
    std::string_view needle = all.substr(0, cut);
    size_t found = text::big5::find(text, needle);
    if (found != std::string_view::npos && text.substr(found, needle.size()) != needle)
        std::abort();
    if (text::big5::endsWith(text, needle) && !text.ends_with(needle))
        std::abort();
    size_t slash = text::big5::rfind(text, '\\');
    if (slash != std::string_view::npos && text[slash] != '\\')
        std::abort();
    std::string_view last = text::big5::lastPathElement(text);
    std::string_view before = text::big5::beforeLastBackslash(text);
    if (last.size() > text.size() || before.size() > text.size())
        std::abort();
    return 0;
}
