#include "memo.h"

#include "panel.h"

#include "toolkit/qtext.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TMemo::TMemo(QWidget* parent, const char* name, QRect geometry) : QPlainTextEdit(parent) {
    placeComponent(this, name, geometry);
    setReadOnly(true);
    // No margin around the text: it would leave a line that nearly fits out of sight, with the
    // room for it empty below the last.
    document()->setDocumentMargin(0);
}

void TMemo::appendLine(const std::string& text) {
    appendPlainText(toolkit::toQString(text));
    // Following the last line, the editor scrolls as soon as the lines fill the view exactly;
    // while they all fit, the first stays in sight. Lines are never lower than the font's
    // height, so a long list is passed over without measuring it.
    if (verticalScrollBar()->value() == 0 ||
        blockCount() * fontMetrics().height() > viewport()->height())
        return;
    QRect first = cursorRect(QTextCursor(document()));
    QRect last = cursorRect(QTextCursor(document()->lastBlock()));
    if (first.top() < 0 && last.bottom() - first.top() < viewport()->height())
        verticalScrollBar()->setValue(0);
}
