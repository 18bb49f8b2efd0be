#include "lockermap/MapLayout.h"

#include <algorithm>

namespace lockermap {

MapLayout::MapLayout(qint64 first, qint64 count, int perRow, QSize cell, int gap)
    : m_first(first)
    , m_count(std::max<qint64>(count, 0))
    , m_perRow(std::max(perRow, 1))
    , m_cell(cell)
    , m_gap(std::max(gap, 0))
{
}

qint64 MapLayout::rowCount() const
{
    return (m_count + m_perRow - 1) / m_perRow;
}

int MapLayout::rowsInView(int height) const
{
    const int h = std::max(height - m_gap, 0);
    return (h + rowHeight() - 1) / rowHeight();
}

int MapLayout::fullRowsInView(int height) const
{
    return std::max((height - m_gap) / rowHeight(), 1);
}

QRect MapLayout::cellRect(qint64 number, qint64 topRow, int xOffset) const
{
    const qint64 row = rowOf(number) - topRow;
    const int x = m_gap + columnOf(number) * (m_cell.width() + m_gap) - xOffset;
    return QRect(QPoint(x, int(m_gap + row * rowHeight())), m_cell);
}

std::optional<qint64> MapLayout::numberAt(QPoint point, qint64 topRow, int xOffset) const
{
    const int x = point.x() + xOffset - m_gap;
    const int y = point.y() - m_gap;
    if (x < 0 || y < 0)
        return std::nullopt;
    const int column = x / (m_cell.width() + m_gap);
    if (column >= m_perRow || x % (m_cell.width() + m_gap) >= m_cell.width())
        return std::nullopt;
    if (y % rowHeight() >= m_cell.height())
        return std::nullopt;
    const qint64 number = m_first + (topRow + y / rowHeight()) * m_perRow + column;
    if (!contains(number))
        return std::nullopt;
    return number;
}

} // namespace lockermap
