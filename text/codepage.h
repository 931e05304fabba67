#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// Program text is code page 950 (Big5). These convert between it and UTF-8, the host's names.

// UTF-8 to code page 950. A character without a code page 950 form becomes "?", as the ANSI
// functions of a code page 950 system report such a name.
std::string ansiFromUtf8(std::string_view utf8);

// Code page 950 to UTF-8, nullopt when the bytes are no valid code page 950 text.
std::optional<std::string> utf8FromAnsiStrict(std::string_view ansi);

// Code page 950 to UTF-8; an invalid byte becomes U+FFFD. For display only.
std::string utf8FromAnsi(std::string_view ansi);

// A fixed text of the program: written once in UTF-8 in the source, converted to code page 950
// on first use.
class Text {
public:
    constexpr explicit Text(const char8_t* utf8) : utf8_(utf8) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    const std::string& str() const;
    const char8_t* utf8() const { return utf8_; }

private:
    const char8_t* utf8_;
    mutable std::once_flag once_;
    mutable std::string ansi_;
};

} // namespace text
