#include "qtext.h"

namespace toolkit {

QString toQString(std::string_view ansi) {
    std::string utf8 = text::utf8FromAnsi(ansi);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return text::ansiFromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString qstr(const text::Text& text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text.utf8()));
}

} // namespace toolkit
