#include "panel.h"

#include "text/codepage.h"
#include "toolkit/qtext.h"

#include <QMouseEvent>

void placeComponent(QWidget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
}

TPanel::TPanel(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
               Bevel bevel, Qt::Alignment alignment)
    : QLabel(parent) {
    placeComponent(this, name, geometry);
    setAttribute(Qt::WA_NoMousePropagation);
    setFrameStyle(bevel == Bevel::Lowered ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    setLineWidth(1);
    setAlignment(alignment | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    setCaption(caption);
}

void TPanel::setCaption(const std::string& caption) {
    caption_ = caption;
    setText(toolkit::toQString(caption));
}

void TPanel::setColors(QColor background, QColor text) {
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, background);
    colors.setColor(QPalette::WindowText, text);
    setPalette(colors);
}

void TPanel::setTextColor(QColor text) {
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, text);
    setPalette(colors);
}

TLabel::TLabel(QWidget* parent, const char* name, QRect geometry, const std::string& caption)
    : QLabel(parent) {
    placeComponent(this, name, geometry);
    setTextFormat(Qt::PlainText);
    setCaption(caption);
}

void TLabel::setCaption(const std::string& caption) {
    caption_ = caption;
    setText(toolkit::toQString(caption));
}

void TLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

void TLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    emit MouseEnter();
}

void TLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    emit MouseLeave();
}
