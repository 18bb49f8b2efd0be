#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace lockermap {

// Where the cells of a map of lockers first..first+count-1 sit: rows of
// perRow cells, read left to right, top to bottom. The view scrolls by
// whole rows, so a map of any length fits a scroll bar, and only the rows
// in view are ever looked at.
class MapLayout
{
public:
    MapLayout() = default;
    MapLayout(qint64 first, qint64 count, int perRow, QSize cell, int gap);

    qint64 first() const { return m_first; }
    qint64 count() const { return m_count; }
    int perRow() const { return m_perRow; }
    QSize cellSize() const { return m_cell; }
    int gap() const { return m_gap; }

    qint64 rowCount() const;
    int rowHeight() const { return m_cell.height() + m_gap; }
    int contentWidth() const { return m_gap + m_perRow * (m_cell.width() + m_gap); }
    // Rows that show, at least in part, in a view of this height.
    int rowsInView(int height) const;
    // Whole rows that fit in a view of this height (at least 1).
    int fullRowsInView(int height) const;

    qint64 rowOf(qint64 number) const { return (number - m_first) / m_perRow; }
    int columnOf(qint64 number) const { return int((number - m_first) % m_perRow); }
    bool contains(qint64 number) const { return number >= m_first && number < m_first + m_count; }

    // The rectangle of a cell in a view whose top shows row topRow and whose
    // left edge is xOffset pixels into the rows.
    QRect cellRect(qint64 number, qint64 topRow, int xOffset = 0) const;
    // The locker under a point of the view; none between cells and past the end.
    std::optional<qint64> numberAt(QPoint point, qint64 topRow, int xOffset = 0) const;

private:
    qint64 m_first = 1;
    qint64 m_count = 0;
    int m_perRow = 1;
    QSize m_cell{80, 40};
    int m_gap = 4;
};

} // namespace lockermap
