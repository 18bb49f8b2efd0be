#include "lockermap/MapPrint.h"

#include "lockermap/Legend.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>

namespace lockermap {

namespace {
// The map's own units are screen pixels at 96 dots per inch; the page
// scales them down when a row would not fit, never up.
constexpr double kUnitsPerInch = 96.0;
constexpr int kSwatch = 16;
constexpr int kLegendColumns = 3;

QFont pixelFont(int pixels, bool bold = false)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
} // namespace

MapPrint::MapPrint(const LockerMap &map, const CenterRate &rate, int perRow, const CellStyle &style)
    : m_map(map), m_rate(rate), m_style(style), m_font(pixelFont(12))
{
    m_layout = MapLayout(map.first(), map.size(), perRow, CellStyle::cellSize(m_font), 4);
}

MapPrint::Geometry MapPrint::geometry(QPagedPaintDevice *device) const
{
    Geometry g;
    const double fit = double(device->width()) / double(m_layout.contentWidth());
    g.scale = std::min(fit, device->logicalDpiX() / kUnitsPerInch);
    g.pageHeight = int(device->height() / g.scale);
    const int line = QFontMetrics(m_font).lineSpacing();
    g.headerHeight = QFontMetrics(pixelFont(18, true)).lineSpacing() + line + 8;
    const int legendRows = (kStateCount + kLegendColumns - 1) / kLegendColumns;
    g.legendHeight = legendRows * (kSwatch + 4) + line + 12;
    g.footerHeight = line + 6;
    const int rowHeight = m_layout.rowHeight();
    g.rowsFirstPage = std::max(1, (g.pageHeight - g.headerHeight - g.legendHeight - g.footerHeight) / rowHeight);
    g.rowsPerPage = std::max(1, (g.pageHeight - g.headerHeight - g.footerHeight) / rowHeight);
    const qint64 rows = m_layout.rowCount();
    const qint64 more = std::max<qint64>(rows - g.rowsFirstPage, 0);
    g.pages = int(std::min<qint64>(1 + (more + g.rowsPerPage - 1) / g.rowsPerPage, std::numeric_limits<int>::max()));
    return g;
}

int MapPrint::pageCount(QPagedPaintDevice *device) const
{
    return geometry(device).pages;
}

bool MapPrint::print(QPagedPaintDevice *device, int fromPage, int toPage, QString *error) const
{
    const Geometry g = geometry(device);
    if (fromPage <= 0 || toPage <= 0) {
        fromPage = 1;
        toPage = g.pages;
    }
    fromPage = std::clamp(fromPage, 1, g.pages);
    toPage = std::clamp(toPage, fromPage, g.pages);

    QPainter painter;
    if (!painter.begin(device)) {
        if (error)
            *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    const int pageWidth = int(device->width() / g.scale);
    for (int page = fromPage; page <= toPage; ++page) {
        if (page > fromPage && !device->newPage()) {
            if (error)
                *error = QStringLiteral("The printer did not take page %1.").arg(page);
            painter.end();
            return false;
        }
        painter.save();
        painter.scale(g.scale, g.scale);
        paintPage(painter, g, page, pageWidth);
        painter.restore();
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("The printer could not finish the map.");
        return false;
    }
    return true;
}

void MapPrint::paintPage(QPainter &painter, const Geometry &g, int page, int pageWidth) const
{
    const QColor ink(Qt::black);
    painter.setPen(ink);
    const QFont title = pixelFont(18, true);
    const int titleHeight = QFontMetrics(title).lineSpacing();
    painter.setFont(title);
    painter.drawText(QRect(0, 0, pageWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Locker Map"));
    painter.setFont(m_font);
    const int line = QFontMetrics(m_font).lineSpacing();
    painter.drawText(
        QRect(0, titleHeight, pageWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("%1, as of %2").arg(rangeText(m_map), m_map.today().toString(QStringLiteral("MM/dd/yyyy"))));
    int y = g.headerHeight;

    qint64 firstRow = 0;
    int rows = g.rowsFirstPage;
    if (page == 1) {
        const int columnWidth = pageWidth / kLegendColumns;
        for (int i = 0; i < kStateCount; ++i) {
            const LockerState state = kAllStates[size_t(i)];
            const QRect swatch((i % kLegendColumns) * columnWidth, y + (i / kLegendColumns) * (kSwatch + 4),
                               kSwatch * 2, kSwatch);
            m_style.paintSwatch(painter, swatch, state);
            painter.setPen(ink);
            painter.setFont(m_font);
            painter.drawText(QRect(swatch.right() + 6, swatch.top(), columnWidth - swatch.width() - 8, kSwatch),
                             Qt::AlignLeft | Qt::AlignVCenter, countText(state, m_map.count(state)));
        }
        const int incomeTop = y + ((kStateCount + kLegendColumns - 1) / kLegendColumns) * (kSwatch + 4) + 2;
        painter.drawText(QRect(0, incomeTop, pageWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         incomeText(m_map, m_rate));
        y += g.legendHeight;
    } else {
        firstRow = g.rowsFirstPage + qint64(page - 2) * g.rowsPerPage;
        rows = g.rowsPerPage;
    }

    painter.save();
    painter.translate(0, y);
    for (qint64 row = firstRow; row < firstRow + rows && row < m_layout.rowCount(); ++row) {
        for (int column = 0; column < m_layout.perRow(); ++column) {
            const qint64 number = m_layout.first() + row * m_layout.perRow() + column;
            if (!m_layout.contains(number))
                break;
            m_style.paintCell(painter, m_layout.cellRect(number, firstRow), m_map.cell(number), m_font);
        }
    }
    painter.restore();

    painter.setPen(ink);
    painter.setFont(m_font);
    painter.drawText(QRect(0, g.pageHeight - g.footerHeight, pageWidth, g.footerHeight), Qt::AlignCenter,
                     QStringLiteral("Page %1 of %2").arg(page).arg(g.pages));
}

} // namespace lockermap
