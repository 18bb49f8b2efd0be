#pragma once

#include "lockermap/CellStyle.h"
#include "lockermap/CenterRate.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapLayout.h"

#include <QFont>

class QPagedPaintDevice;

namespace lockermap {

// The map on paper: a title and the legend on the first page, then the
// cells, perRow to a row, scaled to the page width; "Page n of m" below.
// Pages are painted one at a time, so a long map costs time per page
// printed, not memory.
class MapPrint
{
public:
    MapPrint(const LockerMap &map, const CenterRate &rate, int perRow, const CellStyle &style);

    int pageCount(QPagedPaintDevice *device) const;
    // Paints pages fromPage..toPage (1-based; 0, 0 for all) onto the device.
    // False with a reason when the device cannot be painted on.
    bool print(QPagedPaintDevice *device, int fromPage, int toPage, QString *error) const;

private:
    struct Geometry {
        double scale = 1;
        int pageHeight = 0; // in the map's own units
        int headerHeight = 0;
        int legendHeight = 0;
        int footerHeight = 0;
        int rowsFirstPage = 1;
        int rowsPerPage = 1;
        int pages = 1;
    };
    Geometry geometry(QPagedPaintDevice *device) const;
    void paintPage(class QPainter &painter, const Geometry &g, int page, int pageWidth) const;

    const LockerMap &m_map;
    CenterRate m_rate;
    CellStyle m_style;
    MapLayout m_layout;
    QFont m_font;
};

} // namespace lockermap
