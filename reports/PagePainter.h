#pragma once

#include "reports/ReportDefinition.h"
#include "reports/ReportLayout.h"
#include "reports/ReportRows.h"
#include "reports/TextBatch.h"
#include "reports/TextTemplate.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QLineF>
#include <array>
#include <optional>
#include <vector>

class QPainter;

namespace reports {

// Widths of texts in one font on one device, from the advances of their
// characters, each measured once. Text is drawn without shaping, so a
// line's width is the sum of its characters' advances; a text that comes
// near its room is measured in full before it is cut.
class AdvanceCache
{
public:
    explicit AdvanceCache(const QFontMetricsF &metrics) : m_metrics(metrics) { m_latin1.fill(-1); }
    double estimate(const QString &text);

private:
    const QFontMetricsF &m_metrics;
    std::array<double, 256> m_latin1;
    QHash<char16_t, double> m_other;
};

// Paints the pages of a report on one painter, one page after another.
// What is alike on every page (the fonts and their metrics, the column
// titles and their places, the widths of characters) is made once, when
// the painter is made, so a page costs its rows and little more.
class PagePainter
{
public:
    // `context` holds the report's own values; the page and the row are
    // set per page.
    PagePainter(const ReportDefinition &def, const ReportRows &rows, const TextContext &context, QPainter &painter);

    // Page `page` (from 0), the sheet's top-left corner at the origin.
    void paint(int page);

private:
    struct Scale {
        double dpiX;
        double dpiY;
        QRectF rect(const QRectF &inches) const;
        double x(double inches) const { return inches * dpiX; }
        double y(double inches) const { return inches * dpiY; }
    };
    // A text item's texts and places as drawn.
    struct DrawnText {
        QString text;
        QPointF at;     // a single line: its baseline's start
        QRectF box;     // else the box it is laid out in
        int flags = -1; // and how; -1 for a single line
    };
    struct PreparedItem {
        const ReportItem *item;
        QFont font;
        QFontMetricsF metrics;
        bool alike = false; // drawn the same on every page: laid out once
        std::optional<DrawnText> drawn;
    };
    struct TitleCell {
        QString text;
        QPointF at;
    };

    // `bands`: items of a page's header or footer, which show no customer.
    std::vector<PreparedItem> prepare(const std::vector<ReportItem> &items, bool bands) const;
    void paintItems(const QRectF &area, std::vector<PreparedItem> &items);
    void paintItem(const QRectF &area, PreparedItem &prepared);
    DrawnText layOut(const QRectF &area, const PreparedItem &prepared) const;
    void paintListing(qint64 first, qint64 last);
    void setFont(const QFont &font);

    const ReportDefinition &m_def;
    const ReportRows &m_rows;
    const ReportLayout m_layout;
    TextContext m_context;
    QPainter &m_painter;
    const Scale m_scale;
    const QFont *m_font = nullptr; // the painter's font, when one of these

    std::vector<PreparedItem> m_header;
    std::vector<PreparedItem> m_footer;
    std::vector<PreparedItem> m_labelItems;
    std::vector<PreparedItem> m_pageItems;

    // Listing
    QFont m_titleFont;
    std::vector<TitleCell> m_titles;
    QLineF m_titleRule;
    QFont m_rowFont;
    QFontMetricsF m_rowMetrics;
    AdvanceCache m_advances;
    TextBatch m_rowText;
    double m_baselineOffset = 0; // from a row's top to its text's baseline
    std::vector<double> m_cellLeft;
    std::vector<double> m_cellRoom;
    QString m_cell;
};

} // namespace reports
