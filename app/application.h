#pragma once

#include <QApplication>

// The application object: title "Tarnwick", the program's font, and the display of exceptions
// that escape an event handler (shown in a message box; the program goes on).
class TarnwickApplication : public QApplication {
    Q_OBJECT

public:
    TarnwickApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
