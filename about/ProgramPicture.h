#pragma once

#include <QPixmap>

namespace about {

// The program's picture: a bank of rental lockers with a bowling ball and
// pins in front. Drawn rather than shipped, so it scales to any size.
QPixmap programPicture(const QSize &size);
// The program's icon: one locker door with a ball.
QIcon programIcon();

} // namespace about
