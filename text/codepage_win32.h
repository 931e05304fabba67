#pragma once

#include <string>
#include <string_view>

// Code page 950 and UTF-16, for the Windows backends: paths go to the system in UTF-16,
// converted from code page 950 whatever the system's own ANSI code page is, so a Big5 name
// survives on any Windows; names come back through code page 950 too.
namespace text {

std::wstring wideFromAnsi(std::string_view ansi);
// A character without a code page 950 form becomes "?", as the ANSI functions give it.
std::string ansiFromWide(std::wstring_view wide);
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

} // namespace text
