// Saves a picture of what a (virtual) display shows, cut to the windows on it:
// screengrab FILE. Waits up to ten seconds for something to appear on the white screen.

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>

namespace {

QRect drawnArea(const QImage& image) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF)
                area |= QRect(x, y, 1, 1);
    }
    return area;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screengrab FILE\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QElapsedTimer waited;
    waited.start();
    QRect area;
    QImage shot;
    while (waited.elapsed() < 10000) {
        QThread::msleep(500);
        shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        QRect now = drawnArea(shot);
        if (now.isValid() && now == area)
            break; // drawn, and still since the last look
        area = now;
    }
    if (!area.isValid()) {
        std::fprintf(stderr, "nothing appeared on the display\n");
        return 1;
    }
    area = area.adjusted(-12, -12, 12, 12).intersected(shot.rect());
    if (!shot.copy(area).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
