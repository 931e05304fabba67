#pragma once

#include <QIcon>
#include <QLabel>

// A picture at its natural size, clipped to its place. Presses stay with it; it tells its
// owner about them.
class TImage : public QLabel {
    Q_OBJECT

public:
    TImage(QWidget* parent, const char* name, QRect geometry, const QPixmap& picture);

signals:
    void MouseDown(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Pictures kept for other components to show; never visible itself.
class TImageList : public QObject {
    Q_OBJECT

public:
    TImageList(QObject* owner, const char* name, const QIcon& image);
    const QIcon& image() const { return image_; }

private:
    QIcon image_;
};
