#pragma once

#include "lockermap/YearAhead.h"

#include <QColor>
#include <QRectF>

class QPagedPaintDevice;
class QPainter;
class QPalette;

namespace lockermap {

// The year ahead drawn with a painter, on the window and on paper alike:
// a bar a month of the rentals that fall due, the count above each bar and
// the month below it.
class YearChart
{
public:
    struct Colors {
        QColor bar;
        QColor text;
        QColor axis;
    };
    // The window's colours; high contrast draws in the text colour alone.
    static Colors colorsFor(const QPalette &palette, bool highContrast);
    static Colors paperColors();

    static void paint(QPainter &painter, const QRectF &area, const YearAhead &year, const Colors &colors);

    // One page: the title, the vacant lockers, the chart and the table of
    // every figure. False with a reason when the device cannot be painted.
    static bool print(QPagedPaintDevice *device, const YearAhead &year, QString *error);
};

// "12 of 300 lockers (1 to 300) stand vacant today."
QString vacantText(const YearAhead &year);
// "At $45.00 a rental", or why there is no income.
QString rateText(const YearAhead &year);

} // namespace lockermap
