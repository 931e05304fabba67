// Draws the pictures of the skin into a folder: drawskin FOLDER
// The pictures are kept in the project; run scripts/draw-skin after changing this file.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor kWindowBlue(53, 116, 170);
const QColor kDeepBlue(5, 63, 133);

QImage canvas(int width, int height, QColor fill = Qt::transparent) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void save(const QImage& image, const QString& folder, const QString& name, int quality = 92) {
    QString path = folder + QLatin1Char('/') + name;
    if (!image.save(path, nullptr, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QImage background() {
    QImage image = canvas(568, 409, kWindowBlue);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A soft light from the top edge, fading into the window colour.
    QLinearGradient glow(0, 0, 0, 46);
    glow.setColorAt(0, QColor(120, 170, 215));
    glow.setColorAt(1, kWindowBlue);
    p.fillRect(0, 0, 568, 46, glow);
    // The pickers' area sits on a faintly darker field with a thin highlight.
    QPainterPath field;
    field.addRoundedRect(QRectF(8.5, 38.5, 551, 290), 8, 8);
    p.fillPath(field, QColor(40, 100, 152, 90));
    p.setPen(QPen(QColor(150, 195, 235, 110), 1));
    p.drawPath(field);
    // Lower edge darkens towards the bottom strip.
    QLinearGradient shade(0, 300, 0, 409);
    shade.setColorAt(0, QColor(0, 0, 0, 0));
    shade.setColorAt(1, QColor(0, 20, 50, 70));
    p.fillRect(0, 300, 568, 109, shade);
    return image;
}

QImage titleStrip() {
    QImage image = canvas(577, 25, kWindowBlue);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gloss(0, 0, 0, 13);
    gloss.setColorAt(0, QColor(140, 186, 226));
    gloss.setColorAt(1, QColor(72, 136, 190));
    p.fillRect(0, 0, 577, 13, gloss);
    p.setPen(QColor(200, 225, 245));
    p.drawLine(0, 1, 577, 1);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    QRect text(248, 2, 130, 21);
    p.setPen(QColor(10, 40, 80, 160));
    p.drawText(text.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tarnwick 2004"));
    p.setPen(Qt::white);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarnwick 2004"));
    return image;
}

QImage bottomStrip() {
    QImage image = canvas(561, 65, kWindowBlue);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, 0, 65);
    base.setColorAt(0, QColor(44, 99, 153));
    base.setColorAt(1, QColor(26, 70, 118));
    p.fillRect(image.rect(), base);
    p.setPen(QColor(130, 180, 225));
    p.drawLine(0, 0, 561, 0);
    p.setPen(QColor(20, 55, 95));
    p.drawLine(0, 1, 561, 1);
    QFont font(QStringLiteral("Noto Sans CJK TC"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(QColor(170, 205, 235));
    p.drawText(QRect(14, 8, 380, 25), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("Tarnwick 2004 　資料夾備份與還原"));
    return image;
}

QImage band() {
    QImage image = canvas(537, 14, kWindowBlue);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bar(0, 0, 537, 0);
    bar.setColorAt(0, QColor(200, 225, 245));
    bar.setColorAt(0.6, QColor(110, 165, 212));
    bar.setColorAt(1, kWindowBlue);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 5, 537, 4), 2, 2);
    p.fillPath(path, bar);
    p.setPen(Qt::NoPen);
    for (int x = 6; x < 200; x += 14) {
        int alpha = 230 - x;
        p.setBrush(QColor(255, 255, 255, alpha));
        QPolygonF diamond({QPointF(x, 2), QPointF(x + 5, 7), QPointF(x, 12), QPointF(x - 5, 7)});
        p.drawPolygon(diamond);
    }
    return image;
}

QImage button(QColor face, bool close) {
    QImage image = canvas(17, 17, kWindowBlue);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 17);
    fill.setColorAt(0, face.lighter(150));
    fill.setColorAt(1, face);
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, 16, 16), 4, 4);
    p.fillPath(body, fill);
    p.setPen(QPen(face.darker(160), 1));
    p.drawPath(body);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    if (close) {
        p.drawLine(QPointF(5, 5), QPointF(12, 12));
        p.drawLine(QPointF(12, 5), QPointF(5, 12));
    } else {
        p.drawLine(QPointF(5, 12), QPointF(12, 12));
    }
    return image;
}

void drawFolder(QPainter& p, QRectF r, QColor color) {
    QPainterPath back;
    back.moveTo(r.left(), r.top() + r.height() * 0.15);
    back.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.15);
    back.lineTo(r.left() + r.width() * 0.48, r.top() + r.height() * 0.28);
    back.lineTo(r.right(), r.top() + r.height() * 0.28);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.fillPath(back, color.darker(125));
    QRectF front(r.left(), r.top() + r.height() * 0.38, r.width(), r.height() * 0.62);
    QLinearGradient shine(front.topLeft(), front.bottomLeft());
    shine.setColorAt(0, color.lighter(130));
    shine.setColorAt(1, color);
    QPainterPath face;
    face.addRoundedRect(front, r.width() * 0.06, r.width() * 0.06);
    p.fillPath(face, shine);
    p.setPen(QPen(color.darker(170), r.width() / 24.0));
    p.drawPath(face);
}

// The program's icon, drawn on a 32-pixel grid and scaled to the size asked for.
QImage icon(int size = 32) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    drawFolder(p, QRectF(1, 3, 26, 24), QColor(240, 190, 60));
    // A circular arrow: the copy that comes back.
    QRectF ring(14, 14, 16, 16);
    QRadialGradient disc(ring.center(), 8);
    disc.setColorAt(0, QColor(90, 200, 110));
    disc.setColorAt(1, QColor(30, 130, 60));
    p.setBrush(disc);
    p.setPen(QPen(QColor(15, 80, 35), 1));
    p.drawEllipse(ring);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(18, 18, 8, 8), 60 * 16, 270 * 16);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(24.5, 16.5), QPointF(27.5, 20.5), QPointF(22.5, 21)}));
    return image;
}

QImage smallFolder() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawFolder(p, QRectF(1, 2, 14, 12), QColor(240, 190, 60));
    return image;
}

QImage arrow(QColor color, bool right) {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF shape({QPointF(2, 6), QPointF(8, 6), QPointF(8, 2), QPointF(14, 8), QPointF(8, 14),
                     QPointF(8, 10), QPointF(2, 10)});
    if (!right)
        shape = QTransform(-1, 0, 0, 1, 16, 0).map(shape);
    QLinearGradient fill(0, 2, 0, 14);
    fill.setColorAt(0, color.lighter(140));
    fill.setColorAt(1, color);
    p.setBrush(fill);
    p.setPen(QPen(color.darker(170), 1));
    p.drawPolygon(shape);
    return image;
}

QImage check() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(25, 130, 50), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    return image;
}

QImage history() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(250, 250, 245));
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
    p.setPen(QPen(kDeepBlue, 1));
    for (int y = 5; y <= 11; y += 3)
        p.drawLine(5, y, 11, y);
    return image;
}

QImage disk() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(60, 90, 150));
    p.setPen(QPen(QColor(25, 40, 80), 1));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    p.setBrush(QColor(235, 235, 240));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(4, 2, 8, 5));
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(4, 9, 8, 5));
    return image;
}

// A Windows icon file holding the icon at every size, each as PNG (read by Windows Vista and
// later): the program's icon in its resources there.
void saveWindowsIcon(const QString& folder, const QList<int>& sizes) {
    QByteArray header;
    QByteArray images;
    auto put16 = [&header](int value) {
        header.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    };
    auto put32 = [&](qint64 value) {
        put16(int(value & 0xFFFF));
        put16(int((value >> 16) & 0xFFFF));
    };
    put16(0);
    put16(1); // an icon
    put16(int(sizes.size()));
    const qint64 firstImage = 6 + 16 * sizes.size();
    for (int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon(size).save(&buffer, "PNG");
        header.append(char(size >= 256 ? 0 : size)).append(char(size >= 256 ? 0 : size));
        header.append(char(0)).append(char(0)); // no palette, reserved
        put16(1);                               // planes
        put16(32);                              // bits per pixel
        put32(png.size());
        put32(firstImage + images.size());
        images.append(png);
    }
    QFile file(folder + QStringLiteral("/tarnwick2004.ico"));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(header + images) != header.size() + images.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: drawskin SKIN_FOLDER ICON_FOLDER\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    // The icon of the desktop's menus, in the sizes of the icon theme.
    QString icons = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(icons);
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        save(icon(size), icons, QStringLiteral("tarnwick2004-%1.png").arg(size), -1);
    saveWindowsIcon(icons, {16, 24, 32, 48, 64, 128, 256});
    save(background(), folder, QStringLiteral("background.jpg"));
    save(titleStrip(), folder, QStringLiteral("title.jpg"));
    save(bottomStrip(), folder, QStringLiteral("bottom.jpg"));
    save(band(), folder, QStringLiteral("band.jpg"));
    save(button(QColor(200, 60, 50), true), folder, QStringLiteral("close.jpg"));
    save(button(QColor(40, 100, 170), false), folder, QStringLiteral("minimize.bmp"));
    save(icon(), folder, QStringLiteral("icon.png"));
    save(smallFolder(), folder, QStringLiteral("folder16.png"));
    save(arrow(QColor(40, 150, 60), true), folder, QStringLiteral("next.png"));
    save(arrow(QColor(200, 120, 30), false), folder, QStringLiteral("restore.png"));
    save(check(), folder, QStringLiteral("confirm.png"));
    save(history(), folder, QStringLiteral("history.png"));
    save(disk(), folder, QStringLiteral("backup.png"));
    return 0;
}
