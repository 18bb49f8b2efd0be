#include "lockermap/GridAccessible.h"

#include "lockermap/LockerGrid.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace lockermap {

namespace {

class CellAccessible : public QAccessibleInterface
{
public:
    CellAccessible(LockerGrid *grid, qint64 number) : m_grid(grid), m_number(number) {}

    qint64 number() const { return m_number; }

    bool isValid() const override { return m_grid && m_grid->map() && m_grid->layout().contains(m_number); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_grid); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Description))
            return QString();
        return t == QAccessible::Name ? spokenName(m_grid->map()->cell(m_number)) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect r = m_grid->cellRect(m_number);
        return QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.selectable = true;
        const bool current = m_grid->current() == m_number;
        s.selected = current;
        s.focused = current && m_grid->hasFocus();
        const QRect r = m_grid->cellRect(m_number);
        if (!m_grid->viewport()->rect().intersects(r)) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

private:
    QPointer<LockerGrid> m_grid;
    qint64 m_number;
};

class GridAccessible : public QAccessibleWidget
{
public:
    explicit GridAccessible(LockerGrid *grid) : QAccessibleWidget(grid, QAccessible::List) {}
    ~GridAccessible() override { clear(); }

    LockerGrid *grid() const { return static_cast<LockerGrid *>(widget()); }

    int childCount() const override { return grid()->childCount(); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        const qint64 number = grid()->layout().first() + index;
        auto it = m_cells.constFind(number);
        if (it != m_cells.constEnd())
            return QAccessible::accessibleInterface(*it);
        auto *cell = new CellAccessible(grid(), number);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell);
        m_cells.insert(number, id);
        return cell;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *cell = dynamic_cast<const CellAccessible *>(child);
        if (!cell || !grid()->layout().contains(cell->number()))
            return -1;
        return int(cell->number() - grid()->layout().first());
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const auto number = grid()->numberAt(grid()->viewport()->mapFromGlobal(QPoint(x, y)));
        return number ? child(int(*number - grid()->layout().first())) : nullptr;
    }

    QAccessibleInterface *focusChild() const override
    {
        const auto current = grid()->current();
        return current && grid()->hasFocus() ? child(int(*current - grid()->layout().first())) : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QStringLiteral("Locker map");
        return QAccessibleWidget::text(t);
    }

    void clear()
    {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};

QAccessibleInterface *gridFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("lockermap::LockerGrid") && object && object->isWidgetType())
        return new GridAccessible(static_cast<LockerGrid *>(object));
    return nullptr;
}

} // namespace

void installGridAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(gridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void resetGridAccessibility(LockerGrid *grid)
{
    if (auto *iface = dynamic_cast<GridAccessible *>(QAccessible::queryAccessibleInterface(grid)))
        iface->clear();
}

QAccessibleInterface *gridCellInterface(LockerGrid *grid, qint64 number)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(grid);
    if (!iface || !grid->layout().contains(number))
        return nullptr;
    return iface->child(int(number - grid->layout().first()));
}

} // namespace lockermap
