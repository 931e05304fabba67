#include "codepage.h"

namespace text {

const std::string& Text::str() const {
    std::call_once(once_, [this] { ansi_ = ansiFromUtf8(reinterpret_cast<const char*>(utf8_)); });
    return ansi_;
}

} // namespace text
