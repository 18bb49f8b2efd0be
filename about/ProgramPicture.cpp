#include "about/ProgramPicture.h"

#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace about {

namespace {

void drawLocker(QPainter &p, const QRectF &door, int number)
{
    QLinearGradient metal(door.topLeft(), door.topRight());
    metal.setColorAt(0, QColor(120, 140, 160));
    metal.setColorAt(0.5, QColor(175, 192, 208));
    metal.setColorAt(1, QColor(110, 128, 146));
    p.setPen(QPen(QColor(50, 60, 75), 1.2));
    p.setBrush(metal);
    p.drawRect(door);

    // Vents near the top of the door.
    p.setPen(QPen(QColor(60, 72, 88), 1.4));
    const qreal ventLeft = door.left() + door.width() * 0.25;
    const qreal ventRight = door.right() - door.width() * 0.25;
    for (int i = 0; i < 4; ++i) {
        const qreal y = door.top() + door.height() * (0.08 + i * 0.045);
        p.drawLine(QPointF(ventLeft, y), QPointF(ventRight, y));
    }
    // Number plate and handle.
    const QRectF plate(door.center().x() - door.width() * 0.22, door.top() + door.height() * 0.30, door.width() * 0.44,
                       door.height() * 0.11);
    p.setBrush(QColor(245, 240, 220));
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.drawRect(plate);
    QFont f = p.font();
    f.setPixelSize(qMax(6, int(plate.height() * 0.75)));
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(30, 30, 30));
    p.drawText(plate, Qt::AlignCenter, QString::number(number));
    p.setBrush(QColor(40, 45, 55));
    p.drawRoundedRect(QRectF(door.right() - door.width() * 0.22, door.center().y() - door.height() * 0.07,
                             door.width() * 0.08, door.height() * 0.14),
                      2, 2);
}

void drawPin(QPainter &p, const QPointF &base, qreal h)
{
    const qreal w = h * 0.34;
    QPainterPath pin;
    pin.moveTo(base.x() - w * 0.28, base.y());
    pin.cubicTo(base.x() - w * 0.62, base.y() - h * 0.35, base.x() - w * 0.5, base.y() - h * 0.55, base.x() - w * 0.16,
                base.y() - h * 0.68);
    pin.cubicTo(base.x() - w * 0.34, base.y() - h * 0.86, base.x() - w * 0.2, base.y() - h, base.x(), base.y() - h);
    pin.cubicTo(base.x() + w * 0.2, base.y() - h, base.x() + w * 0.34, base.y() - h * 0.86, base.x() + w * 0.16,
                base.y() - h * 0.68);
    pin.cubicTo(base.x() + w * 0.5, base.y() - h * 0.55, base.x() + w * 0.62, base.y() - h * 0.35, base.x() + w * 0.28,
                base.y());
    pin.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(250, 250, 246));
    p.drawPath(pin);
    p.setPen(QPen(QColor(200, 30, 40), h * 0.035));
    p.drawLine(QPointF(base.x() - w * 0.17, base.y() - h * 0.74), QPointF(base.x() + w * 0.17, base.y() - h * 0.74));
    p.drawLine(QPointF(base.x() - w * 0.16, base.y() - h * 0.79), QPointF(base.x() + w * 0.16, base.y() - h * 0.79));
}

void drawBall(QPainter &p, const QPointF &centre, qreal r)
{
    QRadialGradient shine(centre - QPointF(r * 0.4, r * 0.4), r * 1.4);
    shine.setColorAt(0, QColor(110, 150, 255));
    shine.setColorAt(0.45, QColor(30, 60, 180));
    shine.setColorAt(1, QColor(10, 20, 70));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(centre, r, r);
    p.setBrush(QColor(5, 10, 35));
    p.drawEllipse(centre + QPointF(-r * 0.25, -r * 0.35), r * 0.11, r * 0.11);
    p.drawEllipse(centre + QPointF(r * 0.05, -r * 0.42), r * 0.11, r * 0.11);
    p.drawEllipse(centre + QPointF(-r * 0.05, -r * 0.08), r * 0.13, r * 0.13);
}

} // namespace

QPixmap programPicture(const QSize &size)
{
    QPixmap pixmap(size);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient wall(0, 0, 0, h);
    wall.setColorAt(0, QColor(18, 36, 74));
    wall.setColorAt(1, QColor(44, 78, 138));
    p.fillRect(pixmap.rect(), wall);

    // Lane floor.
    QLinearGradient wood(0, h * 0.78, 0, h);
    wood.setColorAt(0, QColor(214, 168, 104));
    wood.setColorAt(1, QColor(170, 120, 64));
    p.fillRect(QRectF(0, h * 0.78, w, h * 0.22), wood);
    p.setPen(QPen(QColor(150, 105, 55), 1));
    for (int i = 1; i < 12; ++i)
        p.drawLine(QPointF(w * i / 12.0, h * 0.78), QPointF(w * i / 12.0 + (i - 6) * 6, h));

    // Two rows of lockers.
    const int columns = 6;
    const qreal bankLeft = w * 0.06;
    const qreal bankWidth = w * 0.58;
    const qreal doorWidth = bankWidth / columns;
    const qreal doorHeight = h * 0.33;
    int number = 101;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < columns; ++col)
            drawLocker(p, QRectF(bankLeft + col * doorWidth, h * 0.09 + row * doorHeight, doorWidth, doorHeight),
                       number++);
    }

    // Pins and ball in front.
    const qreal pinHeight = h * 0.36;
    const QPointF pinsBase(w * 0.82, h * 0.86);
    drawPin(p, pinsBase + QPointF(-w * 0.07, -h * 0.05), pinHeight * 0.9);
    drawPin(p, pinsBase + QPointF(w * 0.07, -h * 0.05), pinHeight * 0.9);
    drawPin(p, pinsBase, pinHeight);
    drawBall(p, QPointF(w * 0.62, h * 0.80), h * 0.12);

    // Title.
    QFont title = p.font();
    title.setPixelSize(int(h * 0.12));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(255, 214, 90));
    p.drawText(QRectF(w * 0.66, h * 0.08, w * 0.33, h * 0.16), Qt::AlignCenter, QStringLiteral("Vantrel"));
    QFont sub = p.font();
    sub.setPixelSize(int(h * 0.055));
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(QColor(230, 236, 250));
    p.drawText(QRectF(w * 0.66, h * 0.24, w * 0.33, h * 0.1), Qt::AlignCenter, QStringLiteral("Locker Rentals"));
    return pixmap;
}

void paintProgramIcon(QPainter &p, qreal side)
{
    p.setRenderHint(QPainter::Antialiasing);
    drawLocker(p, QRectF(side * 0.12, side * 0.04, side * 0.5, side * 0.92), 7);
    drawBall(p, QPointF(side * 0.68, side * 0.7), side * 0.26);
}

QIcon programIcon()
{
    QIcon icon;
    for (int side : {16, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paintProgramIcon(p, side);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace about
