#pragma once

#include "text/codepage.h"

#include <QString>

#include <string>
#include <string_view>

// Program text at the widget edge: code page 950 to the toolkit's strings and back.
namespace toolkit {

QString toQString(std::string_view ansi);
std::string fromQString(const QString& text);
// A fixed text of the program, for a widget.
QString qstr(const text::Text& text);

} // namespace toolkit
