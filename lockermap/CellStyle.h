#pragma once

#include "lockermap/LockerMap.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QPainter;

namespace lockermap {

// "Locker 112, expired 03/01/2026, Zimmer": what a screen reader says of a
// cell, and the cell's tooltip.
QString spokenName(const LockerCell &cell);

// How a state looks. Besides its colour every state but vacant carries a
// mark and a fill pattern, so it reads without colour vision and in print;
// vacant cells have a dashed outline and no fill.
struct StateLook {
    QColor fill;
    QColor ink; // text, mark and pattern
    Qt::BrushStyle pattern = Qt::NoBrush;
    QString mark; // drawn in the cell's top right corner
    bool dashedOutline = false;
};

class CellStyle
{
public:
    // Colours from a palette that colour-blind readers tell apart; the high
    // contrast form uses the palette's own base and text colours and leaves
    // the telling apart to marks and patterns.
    explicit CellStyle(bool highContrast = false, const QPalette &palette = QPalette());

    bool highContrast() const { return m_highContrast; }
    StateLook look(LockerState state) const;
    QColor background() const { return m_background; }

    // Paints one cell into rect: number, name, mark and pattern.
    void paintCell(QPainter &painter, const QRect &rect, const LockerCell &cell, const QFont &font,
                   bool current = false) const;
    // A small sample of a state for legends.
    void paintSwatch(QPainter &painter, const QRect &rect, LockerState state) const;

    // The cell size that fits a seven-digit number and a short name in this font.
    static QSize cellSize(const QFont &font);

private:
    void paintBody(QPainter &painter, const QRect &rect, const StateLook &look) const;

    bool m_highContrast;
    QColor m_background;
    QColor m_text;
};

} // namespace lockermap
