#include "lockermap/LockerGrid.h"

#include "lockermap/GridAccessible.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

namespace lockermap {

LockerGrid::LockerGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    installGridAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(false);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

LockerGrid::~LockerGrid() = default;

void LockerGrid::setMap(std::shared_ptr<const LockerMap> map, int perRow)
{
    // The locker at the top left stays in view, also when the rows change length.
    const qint64 topLocker = m_layout.first() + topRow() * m_layout.perRow();
    m_map = std::move(map);
    m_perRow = perRow;
    relayout();
    updateGeometry();
    const qint64 top = m_layout.contains(topLocker) ? m_layout.rowOf(topLocker) : 0;
    verticalScrollBar()->setValue(int(std::min<qint64>(top, verticalScrollBar()->maximum())));
    if (m_current && !m_layout.contains(*m_current))
        m_current.reset();
    resetGridAccessibility(this);
    viewport()->update();
}

void LockerGrid::setCellStyle(const CellStyle &style)
{
    m_style = style;
    viewport()->update();
}

void LockerGrid::relayout()
{
    const QSize cell = CellStyle::cellSize(font());
    m_layout = m_map ? MapLayout(m_map->first(), m_map->size(), m_perRow, cell, 4) : MapLayout();
    updateScrollBars();
}

void LockerGrid::updateScrollBars()
{
    const int visible = m_layout.fullRowsInView(viewport()->height());
    const qint64 lastTop = std::max<qint64>(m_layout.rowCount() - visible, 0);
    verticalScrollBar()->setRange(0, int(std::min<qint64>(lastTop, std::numeric_limits<int>::max())));
    verticalScrollBar()->setPageStep(visible);
    horizontalScrollBar()->setRange(0, std::max(m_layout.contentWidth() - viewport()->width(), 0));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_layout.cellSize().width() / 2);
}

qint64 LockerGrid::topRow() const
{
    return verticalScrollBar()->value();
}

QRect LockerGrid::cellRect(qint64 number) const
{
    return m_layout.cellRect(number, topRow(), horizontalScrollBar()->value());
}

std::optional<qint64> LockerGrid::numberAt(QPoint point) const
{
    return m_layout.numberAt(point, topRow(), horizontalScrollBar()->value());
}

QSize LockerGrid::sizeHint() const
{
    const int frame = 2 * frameWidth();
    const int width = MapLayout(1, 1, m_perRow, CellStyle::cellSize(font()), 4).contentWidth();
    return {width + frame + verticalScrollBar()->sizeHint().width(), 10 * m_layout.rowHeight() + frame};
}

int LockerGrid::childCount() const
{
    return int(std::min<qint64>(m_layout.count(), std::numeric_limits<int>::max()));
}

void LockerGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), m_style.background());
    if (!m_map || m_layout.count() == 0) {
        QString why;
        if (m_map && m_map->highestInUse() == 0 && m_map->last() == 0)
            why = QStringLiteral("No customer holds a locker number yet. Set the last locker number to see the "
                                 "vacant lockers.");
        else if (m_map)
            why = QStringLiteral("No locker to show: the last locker number (%1) is below the first (%2).")
                      .arg(m_map->last())
                      .arg(m_map->first());
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, why);
        return;
    }
    const qint64 top = topRow();
    const int rows = m_layout.rowsInView(viewport()->height());
    const int xOffset = horizontalScrollBar()->value();
    const QRect area = viewport()->rect();
    for (qint64 row = top; row < top + rows; ++row) {
        for (int column = 0; column < m_layout.perRow(); ++column) {
            const qint64 number = m_layout.first() + row * m_layout.perRow() + column;
            if (!m_layout.contains(number))
                return;
            const QRect r = m_layout.cellRect(number, top, xOffset);
            if (r.right() < area.left())
                continue;
            if (r.left() > area.right())
                break;
            m_style.paintCell(painter, r, m_map->cell(number), font(), hasFocus() && m_current == number);
        }
    }
}

void LockerGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LockerGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    const auto number = numberAt(event->position().toPoint());
    if (!number)
        return;
    setCurrent(*number);
    emit cellActivated(*number);
}

void LockerGrid::setCurrent(qint64 number)
{
    if (!m_layout.contains(number))
        return;
    m_current = number;
    ensureVisible(number);
    viewport()->update();
    announceCurrent();
}

void LockerGrid::ensureVisible(qint64 number)
{
    const qint64 row = m_layout.rowOf(number);
    const int visible = m_layout.fullRowsInView(viewport()->height());
    if (row < topRow())
        verticalScrollBar()->setValue(int(row));
    else if (row >= topRow() + visible)
        verticalScrollBar()->setValue(int(row - visible + 1));
    const QRect r = cellRect(number);
    if (r.left() < 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + r.left() - m_layout.gap());
    else if (r.right() > viewport()->width())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + r.right() - viewport()->width()
                                        + m_layout.gap());
}

void LockerGrid::keyPressEvent(QKeyEvent *event)
{
    if (m_layout.count() == 0)
        return QAbstractScrollArea::keyPressEvent(event);
    const qint64 first = m_layout.first();
    const qint64 last = first + m_layout.count() - 1;
    const qint64 at = m_current.value_or(first);
    const qint64 page = qint64(m_layout.fullRowsInView(viewport()->height())) * m_layout.perRow();
    qint64 to = at;
    switch (event->key()) {
    case Qt::Key_Left: to = at - 1; break;
    case Qt::Key_Right: to = at + 1; break;
    case Qt::Key_Up: to = at - m_layout.perRow(); break;
    case Qt::Key_Down: to = at + m_layout.perRow(); break;
    case Qt::Key_PageUp: to = at - page; break;
    case Qt::Key_PageDown: to = at + page; break;
    case Qt::Key_Home: to = first; break;
    case Qt::Key_End: to = last; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        setCurrent(at);
        emit cellActivated(at);
        return;
    default: return QAbstractScrollArea::keyPressEvent(event);
    }
    setCurrent(std::clamp(to, first, last));
}

void LockerGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (!m_current && m_layout.count() > 0)
        m_current = m_layout.first() + topRow() * m_layout.perRow();
    viewport()->update();
    announceCurrent();
}

void LockerGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

bool LockerGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_map) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const auto number = numberAt(help->pos()))
            QToolTip::showText(help->globalPos(), spokenName(m_map->cell(*number)), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void LockerGrid::announceCurrent()
{
    if (!m_current || !hasFocus() || !QAccessible::isActive())
        return;
    if (QAccessibleInterface *cell = gridCellInterface(this, *m_current)) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

} // namespace lockermap
