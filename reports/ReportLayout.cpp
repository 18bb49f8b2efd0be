#include "reports/ReportLayout.h"

#include <cmath>

namespace reports {

QRectF ReportLayout::contentArea() const
{
    const QSizeF sheet = m_def.pageInches();
    return QRectF(QPointF(0, 0), sheet).marginsRemoved(m_def.margins);
}

int ReportLayout::rowsPerPage() const
{
    switch (m_def.kind) {
    case ReportDefinition::Kind::Listing: {
        const double body = footerArea().top() - columnTitleArea().bottom();
        // A hair of tolerance so that rows that fit exactly are not lost to rounding.
        return qMax(1, int(std::floor(body / m_def.rowHeight + 1e-9)));
    }
    case ReportDefinition::Kind::Labels: return m_def.sheet.columns * m_def.sheet.rows;
    case ReportDefinition::Kind::Letter: return 1;
    }
    return 1;
}

int ReportLayout::pageCount(qint64 rows) const
{
    const qint64 perPage = rowsPerPage();
    return int(qMax<qint64>(1, (rows + perPage - 1) / perPage));
}

QRectF ReportLayout::headerArea() const
{
    const QRectF c = contentArea();
    return QRectF(c.left(), c.top(), c.width(), m_def.pageHeader.height);
}

QRectF ReportLayout::footerArea() const
{
    const QRectF c = contentArea();
    return QRectF(c.left(), c.bottom() - m_def.pageFooter.height, c.width(), m_def.pageFooter.height);
}

QRectF ReportLayout::columnTitleArea() const
{
    const QRectF h = headerArea();
    return QRectF(h.left(), h.bottom(), h.width(), m_def.rowHeight * 1.5);
}

QRectF ReportLayout::rowArea(int slot) const
{
    const QRectF t = columnTitleArea();
    return QRectF(t.left(), t.bottom() + slot * m_def.rowHeight, t.width(), m_def.rowHeight);
}

double ReportLayout::columnLeft(int column) const
{
    double x = contentArea().left();
    for (int i = 0; i < column && i < int(m_def.columns.size()); ++i)
        x += m_def.columns[size_t(i)].width;
    return x;
}

QRectF ReportLayout::labelArea(int slot) const
{
    const LabelSheet &s = m_def.sheet;
    const int column = slot % s.columns;
    const int row = slot / s.columns;
    return QRectF(m_def.margins.left() + column * (s.width + s.columnGap),
                  m_def.margins.top() + row * (s.height + s.rowGap), s.width, s.height);
}

QRectF ReportLayout::labelInside(int slot) const
{
    const double p = m_def.sheet.padding;
    return labelArea(slot).marginsRemoved(QMarginsF(p, p, p, p));
}

} // namespace reports
