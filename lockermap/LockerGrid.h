#pragma once

#include "lockermap/CellStyle.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapLayout.h"

#include <QAbstractScrollArea>
#include <memory>
#include <optional>

namespace lockermap {

// The map itself: paints the cells in view and nothing else, so a range of
// a million lockers opens as quickly as one of ten. A click, Enter or Space
// on a cell activates it; the arrow keys, Page Up/Down, Home and End move
// the current cell. Each cell is an accessible child with its spoken name.
class LockerGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit LockerGrid(QWidget *parent = nullptr);
    ~LockerGrid() override;

    // Shows a computed map, perRow cells to a row. The current cell and
    // the rows in view stay where they were when they still exist.
    void setMap(std::shared_ptr<const LockerMap> map, int perRow);
    void setCellStyle(const CellStyle &style);

    const LockerMap *map() const { return m_map.get(); }
    const MapLayout &layout() const { return m_layout; }
    const CellStyle &cellStyle() const { return m_style; }
    std::optional<qint64> current() const { return m_current; }
    void setCurrent(qint64 number);
    qint64 topRow() const;

    // Where a cell is in the viewport's coordinates (it may be out of view).
    QRect cellRect(qint64 number) const;
    // The cell under a point of the viewport.
    std::optional<qint64> numberAt(QPoint point) const;
    // Scrolls so that the cell shows.
    void ensureVisible(qint64 number);
    // Wide enough for a whole row of cells.
    QSize sizeHint() const override;

    // How many cells an accessibility client can reach as children.
    int childCount() const;

signals:
    void cellActivated(qint64 number);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void relayout();
    void updateScrollBars();
    void announceCurrent();

    std::shared_ptr<const LockerMap> m_map;
    MapLayout m_layout;
    CellStyle m_style;
    int m_perRow = 10;
    std::optional<qint64> m_current;
};

} // namespace lockermap
