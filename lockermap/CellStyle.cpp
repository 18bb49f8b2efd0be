#include "lockermap/CellStyle.h"

#include <QFontMetrics>
#include <QPainter>

namespace lockermap {

QString spokenName(const LockerCell &cell)
{
    const auto date = [](const QDate &d) { return d.toString(QStringLiteral("MM/dd/yyyy")); };
    QString text = QStringLiteral("Locker %1, ").arg(cell.number);
    switch (cell.state) {
    case LockerState::Vacant: return text + QStringLiteral("vacant");
    case LockerState::Rented: text += QStringLiteral("rented until %1").arg(date(*cell.expiry)); break;
    case LockerState::Expiring: text += QStringLiteral("expiring %1").arg(date(*cell.expiry)); break;
    case LockerState::Expired: text += QStringLiteral("expired %1").arg(date(*cell.expiry)); break;
    case LockerState::NoDate: text += QStringLiteral("rented, no date"); break;
    case LockerState::Double: text += QStringLiteral("double, %1 customers").arg(cell.customers); break;
    }
    return text + QStringLiteral(", ") + (cell.name.isEmpty() ? QStringLiteral("no name") : cell.name);
}

CellStyle::CellStyle(bool highContrast, const QPalette &palette)
    : m_highContrast(highContrast)
    , m_background(highContrast ? palette.color(QPalette::Base) : QColor(0xf4, 0xf4, 0xf4))
    , m_text(highContrast ? palette.color(QPalette::Text) : QColor(Qt::black))
{
}

StateLook CellStyle::look(LockerState state) const
{
    StateLook l;
    l.ink = m_text;
    // Light tints of the Okabe-Ito colours: apart for every common kind of
    // colour blindness, and black text reads on each.
    switch (state) {
    case LockerState::Vacant:
        l.fill = m_highContrast ? m_background : QColor(Qt::white);
        l.dashedOutline = true;
        break;
    case LockerState::Rented:
        l.fill = QColor(0xb3, 0xe2, 0xd5); // bluish green
        l.mark = QStringLiteral("\u2713"); // check mark
        break;
    case LockerState::Expiring:
        l.fill = QColor(0xf8, 0xdf, 0xa6); // orange
        l.pattern = Qt::BDiagPattern;
        l.mark = QStringLiteral("!");
        break;
    case LockerState::Expired:
        l.fill = QColor(0xf2, 0xb8, 0x94); // vermillion
        l.pattern = Qt::DiagCrossPattern;
        l.mark = QStringLiteral("\u2717"); // ballot x
        break;
    case LockerState::NoDate:
        l.fill = QColor(0xc7, 0xe5, 0xf7); // sky blue
        l.pattern = Qt::Dense6Pattern;
        l.mark = QStringLiteral("?");
        break;
    case LockerState::Double:
        l.fill = QColor(0xe6, 0xb8, 0xd2); // reddish purple
        l.pattern = Qt::HorPattern;
        l.mark = QStringLiteral("\u00d72"); // times two
        break;
    }
    if (m_highContrast)
        l.fill = m_background;
    return l;
}

QSize CellStyle::cellSize(const QFont &font)
{
    const QFontMetrics fm(font);
    return {fm.horizontalAdvance(QStringLiteral("0000000 \u2717")) + 12, fm.height() * 2 + 10};
}

void CellStyle::paintBody(QPainter &painter, const QRect &rect, const StateLook &look) const
{
    painter.fillRect(rect, look.fill);
    if (look.pattern != Qt::NoBrush) {
        // The pattern runs along the left edge only, so the text stays clear.
        const QRect band(rect.left(), rect.top(), std::max(rect.width() / 8, 6), rect.height());
        painter.fillRect(band, QBrush(look.ink, look.pattern));
    }
    QPen pen(look.ink, m_highContrast ? 2 : 1, look.dashedOutline ? Qt::DashLine : Qt::SolidLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

void CellStyle::paintCell(QPainter &painter, const QRect &rect, const LockerCell &cell, const QFont &font,
                          bool current) const
{
    const StateLook l = look(cell.state);
    painter.save();
    paintBody(painter, rect, l);
    if (current) {
        painter.setPen(QPen(l.ink, 3));
        painter.drawRect(rect.adjusted(1, 1, -2, -2));
    }
    const int left = l.pattern != Qt::NoBrush ? std::max(rect.width() / 8, 6) + 3 : 4;
    const QRect text = rect.adjusted(left, 3, -4, -3);
    const QFontMetrics fm(font);
    QFont bold = font;
    bold.setBold(true);
    painter.setPen(l.ink);
    painter.setFont(bold);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, QString::number(cell.number));
    painter.setFont(font);
    if (!l.mark.isEmpty())
        painter.drawText(text, Qt::AlignRight | Qt::AlignTop, l.mark);
    if (!cell.name.isEmpty())
        painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom, fm.elidedText(cell.name, Qt::ElideRight, text.width()));
    painter.restore();
}

void CellStyle::paintSwatch(QPainter &painter, const QRect &rect, LockerState state) const
{
    const StateLook l = look(state);
    painter.save();
    paintBody(painter, rect, l);
    painter.setPen(l.ink);
    if (!l.mark.isEmpty())
        painter.drawText(rect.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, l.mark);
    painter.restore();
}

} // namespace lockermap
