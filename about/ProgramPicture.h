#pragma once

#include <QPixmap>

class QPainter;

namespace about {

// The program's picture: a bank of rental lockers with a bowling ball and
// pins in front. Drawn rather than shipped, so it scales to any size.
QPixmap programPicture(const QSize &size);
// The program's icon: one locker door with a ball.
QIcon programIcon();
// Paints the icon into a square of the given side at the painter's origin:
// the window icon, and the desktop's icon files at install.
void paintProgramIcon(QPainter &painter, qreal side);

} // namespace about
