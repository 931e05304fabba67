#pragma once

#include <QPlainTextEdit>

#include <string>

// A read-only memo the program adds lines to, one program text a line. It scrolls by whole
// lines and follows the last line added, but never hides the first while every line fits.
class TMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    TMemo(QWidget* parent, const char* name, QRect geometry);

    void appendLine(const std::string& text);
};
