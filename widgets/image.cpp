#include "image.h"

#include "panel.h"

#include <QMouseEvent>

TImage::TImage(QWidget* parent, const char* name, QRect geometry, const QPixmap& picture)
    : QLabel(parent) {
    placeComponent(this, name, geometry);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setPixmap(picture);
}

void TImage::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit MouseDown(event);
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit MouseMove(event);
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit MouseUp(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

TImageList::TImageList(QObject* owner, const char* name, const QIcon& image)
    : QObject(owner), image_(image) {
    setObjectName(QString::fromLatin1(name));
}
