#include "lockermap/YearChart.h"

#include "lockermap/Legend.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace lockermap {

namespace {
// A step of the axis that gives a handful of lines: 1, 2, 5, 10, 20, 50...
qint64 axisStep(qint64 highest)
{
    qint64 step = 1;
    for (;;) {
        for (qint64 factor : {1, 2, 5}) {
            if (highest / (step * factor) <= 5)
                return step * factor;
        }
        step *= 10;
    }
}

QFont sizedFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
} // namespace

YearChart::Colors YearChart::colorsFor(const QPalette &palette, bool highContrast)
{
    const QColor text = palette.color(QPalette::WindowText);
    return Colors{highContrast ? text : palette.color(QPalette::Highlight), text, text};
}

YearChart::Colors YearChart::paperColors()
{
    return Colors{QColor(90, 90, 90), Qt::black, Qt::black};
}

void YearChart::paint(QPainter &painter, const QRectF &area, const YearAhead &year, const Colors &colors)
{
    if (year.months.isEmpty() || area.width() < 10 || area.height() < 10)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double line = metrics.height();
    qint64 highest = 1;
    for (const MonthDue &m : year.months)
        highest = std::max(highest, m.due);
    const qint64 step = axisStep(highest);
    const qint64 top = ((highest + step - 1) / step) * step;

    // The axis labels on the left, two lines of month names below.
    const double axisWidth = metrics.horizontalAdvance(wholeNumber(top)) + line * 0.5;
    const QRectF plot(area.left() + axisWidth, area.top() + line * 1.2, area.width() - axisWidth,
                      area.height() - line * 3.4);
    if (plot.height() <= 0 || plot.width() <= 0) {
        painter.restore();
        return;
    }
    painter.setPen(QPen(colors.axis, 0));
    for (qint64 v = 0; v <= top; v += step) {
        const double y = plot.bottom() - plot.height() * double(v) / double(top);
        painter.setPen(QPen(colors.axis, 0, v == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(colors.text);
        painter.drawText(QRectF(area.left(), y - line / 2, axisWidth - line * 0.25, line),
                         Qt::AlignRight | Qt::AlignVCenter, wholeNumber(v));
    }
    const double slot = plot.width() / double(year.months.size());
    for (qsizetype i = 0; i < year.months.size(); ++i) {
        const MonthDue &m = year.months.at(i);
        const double x = plot.left() + slot * double(i);
        const double height = plot.height() * double(m.due) / double(top);
        const QRectF bar(x + slot * 0.18, plot.bottom() - height, slot * 0.64, height);
        painter.fillRect(bar, colors.bar);
        painter.setPen(colors.text);
        painter.drawText(QRectF(x, bar.top() - line * 1.1, slot, line), Qt::AlignHCenter | Qt::AlignBottom,
                         wholeNumber(m.due));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        painter.drawText(QRectF(x, plot.bottom() + line * 0.2, slot, line), Qt::AlignHCenter | Qt::AlignTop,
                         us.toString(m.month, QStringLiteral("MMM")));
        painter.drawText(QRectF(x, plot.bottom() + line * 1.2, slot, line), Qt::AlignHCenter | Qt::AlignTop,
                         us.toString(m.month, QStringLiteral("yyyy")));
    }
    painter.restore();
}

bool YearChart::print(QPagedPaintDevice *device, const YearAhead &year, QString *error)
{
    QPainter painter;
    if (!painter.begin(device)) {
        if (error)
            *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    const double dpi = device->logicalDpiY();
    // Half an inch all round, whatever margins the device keeps.
    const QRectF page(dpi * 0.5, dpi * 0.5, device->width() - dpi, device->height() - dpi);
    double y = page.top();
    const auto text = [&](const QString &line, const QFont &font, Qt::Alignment align = Qt::AlignLeft, double left = 0,
                          double width = 0) {
        painter.setFont(font);
        const double height = QFontMetricsF(font, device).height();
        painter.drawText(QRectF(page.left() + left, y, width > 0 ? width : page.width() - left, height),
                         align | Qt::AlignVCenter, line);
        return height;
    };
    painter.setPen(Qt::black);
    y += text(QStringLiteral("The Year Ahead"), sizedFont(18, true), Qt::AlignHCenter) * 1.2;
    y += text(QStringLiteral("Printed %1")
                  .arg(QLocale(QLocale::English, QLocale::UnitedStates)
                           .toString(year.today, QStringLiteral("MM/dd/yyyy"))),
              sizedFont(9), Qt::AlignHCenter)
        * 1.6;
    y += text(vacantText(year), sizedFont(11)) * 1.2;
    y += text(rateText(year), sizedFont(11)) * 1.6;

    painter.setFont(sizedFont(9));
    const double chartHeight = page.height() * 0.38;
    paint(painter, QRectF(page.left(), y, page.width(), chartHeight), year, paperColors());
    y += chartHeight + dpi * 0.3;

    // The table: every figure of the chart, and the income.
    const double column = page.width() / 3;
    const QFont head = sizedFont(10, true);
    const QFont body = sizedFont(10);
    text(QStringLiteral("Month"), head, Qt::AlignLeft, 0, column);
    text(QStringLiteral("Due"), head, Qt::AlignRight, column, column * 0.7);
    y += text(QStringLiteral("Income"), head, Qt::AlignRight, column * 2, column);
    painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
    y += dpi * 0.04;
    for (const MonthDue &m : year.months) {
        text(monthCaption(m.month), body, Qt::AlignLeft, 0, column);
        text(wholeNumber(m.due), body, Qt::AlignRight, column, column * 0.7);
        y += text(incomeCaption(m.income), body, Qt::AlignRight, column * 2, column);
    }
    painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
    y += dpi * 0.04;
    text(QStringLiteral("Next 12 months"), head, Qt::AlignLeft, 0, column);
    text(wholeNumber(year.totalDue()), head, Qt::AlignRight, column, column * 0.7);
    text(incomeCaption(year.totalIncome()), head, Qt::AlignRight, column * 2, column);
    painter.end();
    return true;
}

QString vacantText(const YearAhead &year)
{
    if (year.lockers == 0)
        return QStringLiteral("No lockers in the map's range.");
    return QStringLiteral("%1 of %2 %3 (%4 to %5) %6 vacant today.")
        .arg(wholeNumber(year.vacant), wholeNumber(year.lockers),
             year.lockers == 1 ? QStringLiteral("locker") : QStringLiteral("lockers"), wholeNumber(year.first),
             wholeNumber(year.last), year.vacant == 1 ? QStringLiteral("stands") : QStringLiteral("stand"));
}

QString rateText(const YearAhead &year)
{
    if (!year.rate.rate)
        return QStringLiteral("Income: no rental rate set under Center Information.");
    return QStringLiteral("Income at %1 a rental.").arg(dollars(*year.rate.rate));
}

} // namespace lockermap
