#include "application.h"

#include "threads/uithread.h"
#include "toolkit/messagebox.h"

#include <QFont>

TarnwickApplication::TarnwickApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tarnwick"));
    // The menu entry the windows belong to, so that a dock groups them with it (the Wayland
    // application id, and the desktop-file property of each X11 window).
    setDesktopFileName(QStringLiteral("org.tarnwick2004.Tarnwick2004"));
    // The windows are laid out for "MS Sans Serif" at 8 points; Chinese text needs a face that
    // has it.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Noto Sans CJK TC"),
                                QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("AR PL UMing TW"), QStringLiteral("DejaVu Sans")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(12);
    setFont(font);
    threads::setPostedExceptionHandler(toolkit::showException);
}

bool TarnwickApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        toolkit::showException(std::current_exception());
        return false;
    }
}
