#include "codepage_win32.h"
#include "codepage.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

namespace text {
namespace {

constexpr UINT kBig5 = 950;

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

// MultiByteToWideChar; nullopt when flags ask for strictness and the bytes do not convert.
std::optional<std::wstring> toWide(UINT codePage, DWORD flags, std::string_view bytes) {
    if (bytes.empty())
        return std::wstring();
    int size = static_cast<int>(bytes.size());
    int length = ::MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
    return wide;
}

std::string fromWide(UINT codePage, std::wstring_view wide) {
    if (wide.empty())
        return {};
    int size = static_cast<int>(wide.size());
    // Best fit would turn a character code page 950 lacks into a look-alike that names another
    // file; "?" names none.
    DWORD flags = codePage == kBig5 ? WC_NO_BEST_FIT_CHARS : 0;
    const char* fallback = codePage == kBig5 ? "?" : nullptr;
    int length =
        ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, fallback, nullptr);
    if (length <= 0)
        return {};
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, fallback,
                          nullptr);
    return bytes;
}

} // namespace

std::wstring wideFromAnsi(std::string_view ansi) {
    return toWide(kBig5, 0, ansi).value_or(std::wstring());
}

std::string ansiFromWide(std::wstring_view wide) {
    // A character beyond the first 65536 (an emoji, 𠀀) is two UTF-16 units, and the system
    // would show each as "?": one "?" a character, as on Linux.
    std::wstring single;
    for (size_t i = 0; i < wide.size(); ++i) {
        bool pair =
            IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]);
        single += pair ? L'?' : wide[i];
        i += pair ? 1 : 0;
    }
    return fromWide(kBig5, single);
}

std::wstring wideFromUtf8(std::string_view utf8) {
    return toWide(CP_UTF8, 0, utf8).value_or(std::wstring());
}

std::string utf8FromWide(std::wstring_view wide) {
    return fromWide(CP_UTF8, wide);
}

std::string ansiFromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    return ansiFromWide(wideFromUtf8(utf8));
}

std::optional<std::string> utf8FromAnsiStrict(std::string_view ansi) {
    if (isAscii(ansi))
        return std::string(ansi);
    std::optional<std::wstring> wide = toWide(kBig5, MB_ERR_INVALID_CHARS, ansi);
    if (!wide)
        return std::nullopt;
    return utf8FromWide(*wide);
}

std::string utf8FromAnsi(std::string_view ansi) {
    if (isAscii(ansi))
        return std::string(ansi);
    return utf8FromWide(wideFromAnsi(ansi));
}

} // namespace text
