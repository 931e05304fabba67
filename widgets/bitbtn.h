#pragma once

#include <QPushButton>

#include <string>

// A button with a picture beside its caption.
class TBitBtn : public QPushButton {
    Q_OBJECT

public:
    TBitBtn(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
            const QIcon& glyph = {});
};
