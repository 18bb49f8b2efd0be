#include "reports/PagePainter.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace reports {

namespace {

const QString &noRowsText()
{
    static const QString text = QStringLiteral("No records were selected.");
    return text;
}

QFont fontOf(const FontSpec &spec)
{
    QFont font(spec.family);
    font.setPointSizeF(spec.size);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setStyleHint(QFont::SansSerif);
    // No ligatures: a PDF's text must read back as typed ("Whitfield", not a
    // ligature glyph in its middle), so that it can be searched.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Where one line of text goes in a box, aligned, without a text layout:
// most texts of a page are single lines, and laying each out would cost
// more than drawing it. A line too long for the box ends in "…".
QPointF placeSingleLine(const QFontMetricsF &metrics, const QRectF &box, Qt::Alignment align, QString *text,
                        double advance)
{
    if (advance > box.width()) {
        *text = metrics.elidedText(*text, Qt::ElideRight, box.width());
        advance = metrics.horizontalAdvance(*text);
    }
    double x = box.left();
    if (align & Qt::AlignRight)
        x = box.right() - advance;
    else if (align & Qt::AlignHCenter)
        x = box.left() + (box.width() - advance) / 2;
    const double baseline = (align & Qt::AlignBottom) ? box.bottom() - metrics.descent() : box.top() + metrics.ascent();
    return QPointF(x, baseline);
}

// A listing's rows: drawn without kerning, so that a cell drawn in a run of
// glyphs (TextBatch) and one drawn as text place their letters alike.
QFont rowFontOf(const FontSpec &spec)
{
    QFont font = fontOf(spec);
    font.setKerning(false);
    return font;
}

constexpr double kCellPad = 0.04; // inches between a column's edge and its text

} // namespace

double AdvanceCache::estimate(const QString &text)
{
    double width = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < m_latin1.size()) {
            double &advance = m_latin1[u];
            if (advance < 0)
                advance = m_metrics.horizontalAdvance(c);
            width += advance;
        } else {
            auto it = m_other.find(u);
            if (it == m_other.end())
                it = m_other.insert(u, m_metrics.horizontalAdvance(c));
            width += *it;
        }
    }
    return width;
}

QRectF PagePainter::Scale::rect(const QRectF &inches) const
{
    return QRectF(inches.left() * dpiX, inches.top() * dpiY, inches.width() * dpiX, inches.height() * dpiY);
}

PagePainter::PagePainter(const ReportDefinition &def, const ReportRows &rows, const TextContext &context,
                         QPainter &painter)
    : m_def(def)
    , m_rows(rows)
    , m_layout(def)
    , m_context(context)
    , m_painter(painter)
    , m_scale{double(painter.device()->logicalDpiX()), double(painter.device()->logicalDpiY())}
    , m_rowFont(rowFontOf(def.font))
    , m_rowMetrics(m_rowFont, painter.device())
    , m_advances(m_rowMetrics)
    , m_rowText(m_rowFont, painter)
{
    m_context.row = nullptr;
    switch (def.kind) {
    case ReportDefinition::Kind::Listing: {
        m_header = prepare(def.pageHeader.items, true);
        m_footer = prepare(def.pageFooter.items, true);
        m_titleFont = fontOf(def.columnTitleFont);
        const QFontMetricsF titleMetrics(m_titleFont, painter.device());
        const QRectF titles = m_layout.columnTitleArea();
        for (size_t c = 0; c < def.columns.size(); ++c) {
            const Column &column = def.columns[c];
            const double left = m_layout.columnLeft(int(c));
            const QRectF cell(left + kCellPad, titles.top(), column.width - 2 * kCellPad, titles.height() - 0.03);
            QString text = column.title;
            const QPointF at = placeSingleLine(titleMetrics, m_scale.rect(cell), column.align | Qt::AlignBottom, &text,
                                               titleMetrics.horizontalAdvance(text));
            m_titles.push_back({text, at});
            m_cellLeft.push_back(m_scale.x(left + kCellPad));
            m_cellRoom.push_back(m_scale.x(column.width - 2 * kCellPad));
        }
        m_titleRule = QLineF(QPointF(m_scale.x(titles.left()), m_scale.y(titles.bottom())),
                             QPointF(m_scale.x(titles.right()), m_scale.y(titles.bottom())));
        // The text sits in the middle of its row.
        m_baselineOffset = (m_scale.y(def.rowHeight) + m_rowMetrics.ascent() - m_rowMetrics.descent()) / 2;
        break;
    }
    case ReportDefinition::Kind::Labels: m_labelItems = prepare(def.labelItems, false); break;
    case ReportDefinition::Kind::Letter: m_pageItems = prepare(def.pageItems, false); break;
    }
}

std::vector<PagePainter::PreparedItem> PagePainter::prepare(const std::vector<ReportItem> &items, bool bands) const
{
    std::vector<PreparedItem> prepared;
    for (const ReportItem &item : items) {
        const QFont font = fontOf(item.font);
        const bool alike = bands && std::none_of(item.lines.begin(), item.lines.end(), [](const TextTemplate &line) {
                               return line.showsPage();
                           });
        prepared.push_back({&item, font, QFontMetricsF(font, m_painter.device()), alike, std::nullopt});
    }
    return prepared;
}

void PagePainter::setFont(const QFont &font)
{
    if (m_font != &font) {
        m_painter.setFont(font);
        m_font = &font;
    }
}

void PagePainter::paint(int page)
{
    const int perPage = m_layout.rowsPerPage();
    const qint64 first = qint64(page) * perPage;
    const qint64 last = qMin(first + perPage, m_rows.count());
    m_context.page = page + 1;

    m_painter.save();
    m_font = nullptr;
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    switch (m_def.kind) {
    case ReportDefinition::Kind::Listing: paintListing(first, last); break;
    case ReportDefinition::Kind::Labels:
        m_rows.readRows(first, last, [&](qint64 i, const PrintedRow &row) {
            m_context.row = &row;
            paintItems(m_layout.labelInside(int(i - first)), m_labelItems);
        });
        break;
    case ReportDefinition::Kind::Letter:
        m_rows.readRows(first, first + 1, [&](qint64, const PrintedRow &row) {
            m_context.row = &row;
            paintItems(m_layout.contentArea(), m_pageItems);
        });
        break;
    }
    m_context.row = nullptr;
    if (first >= last && m_def.kind != ReportDefinition::Kind::Listing) {
        setFont(m_rowFont);
        m_painter.setPen(Qt::black);
        m_painter.drawText(m_scale.rect(m_layout.contentArea()), Qt::AlignTop | Qt::AlignHCenter, noRowsText());
    }
    m_painter.restore();
}

void PagePainter::paintListing(qint64 first, qint64 last)
{
    paintItems(m_layout.headerArea(), m_header);
    paintItems(m_layout.footerArea(), m_footer);

    // Column titles, then a rule under them.
    setFont(m_titleFont);
    m_painter.setPen(Qt::black);
    for (const TitleCell &title : m_titles)
        m_painter.drawText(title.at, title.text);
    QPen rule(Qt::black);
    rule.setWidthF(0.75 / 72.0 * m_scale.dpiY);
    m_painter.setPen(rule);
    m_painter.drawLine(m_titleRule);

    setFont(m_rowFont);
    m_painter.setPen(Qt::black);
    if (first >= last) {
        const QRectF area = m_layout.rowArea(0);
        m_painter.drawText(QPointF(m_scale.x(area.left() + kCellPad), m_scale.y(area.top()) + m_baselineOffset),
                           noRowsText());
    }
    // Every other row's background, the page's stripes under one pen and
    // brush: a change of them per stripe costs the PDF a graphics state each.
    // Each is filled on its own, as a rectangle of its own, so that a viewer
    // draws its edges as it always did.
    if (m_def.stripe.isValid() && last - first > 1) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(m_def.stripe);
        for (int slot = 1; slot < last - first; slot += 2)
            m_painter.drawRect(m_scale.rect(m_layout.rowArea(slot)));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(Qt::black);
    }
    m_rows.readRows(first, last, [&](qint64 i, const PrintedRow &row) {
        m_context.row = &row;
        const double baseline = m_scale.y(m_layout.rowArea(int(i - first)).top()) + m_baselineOffset;
        for (size_t c = 0; c < m_def.columns.size(); ++c) {
            const Column &column = m_def.columns[c];
            column.text.fillInto(m_cell, m_context);
            const double room = m_cellRoom[c];
            double advance = m_advances.estimate(m_cell);
            // Measured in full only when it may not fit.
            if (advance > room * 0.97 && m_rowMetrics.horizontalAdvance(m_cell) > room) {
                m_cell = m_rowMetrics.elidedText(m_cell, Qt::ElideRight, room);
                advance = m_rowMetrics.horizontalAdvance(m_cell);
            }
            double x = m_cellLeft[c];
            if (column.align & Qt::AlignRight)
                x += room - advance;
            else if (column.align & Qt::AlignHCenter)
                x += (room - advance) / 2;
            m_rowText.add(QPointF(x, baseline), m_cell);
        }
    });
    m_rowText.flush();
}

void PagePainter::paintItems(const QRectF &area, std::vector<PreparedItem> &items)
{
    for (PreparedItem &item : items)
        paintItem(area, item);
}

void PagePainter::paintItem(const QRectF &area, PreparedItem &prepared)
{
    const ReportItem &item = *prepared.item;
    if (item.kind == ReportItem::Kind::Line) {
        const double width = item.width > 0 ? item.width : area.width() - item.x;
        QPen pen(Qt::black);
        pen.setWidthF(item.thickness / 72.0 * m_scale.dpiY);
        m_painter.setPen(pen);
        const double y = m_scale.y(area.top() + item.y);
        m_painter.drawLine(QPointF(m_scale.x(area.left() + item.x), y),
                           QPointF(m_scale.x(area.left() + item.x + width), y));
        return;
    }
    if (prepared.alike && !prepared.drawn)
        prepared.drawn = layOut(area, prepared);
    const DrawnText drawn = prepared.alike ? *prepared.drawn : layOut(area, prepared);
    setFont(prepared.font);
    m_painter.setPen(Qt::black);
    if (drawn.flags < 0)
        m_painter.drawText(drawn.at, drawn.text);
    else
        m_painter.drawText(drawn.box, drawn.flags, drawn.text);
}

PagePainter::DrawnText PagePainter::layOut(const QRectF &area, const PreparedItem &prepared) const
{
    const ReportItem &item = *prepared.item;
    QStringList lines;
    for (const TextTemplate &line : item.lines) {
        bool empty = false;
        QString text = line.fill(m_context, &empty);
        if (item.skipEmptyLines && empty)
            continue;
        lines << std::move(text);
    }
    const double width = item.width > 0 ? item.width : area.width() - item.x;
    const double height = item.height > 0 ? item.height : area.height() - item.y;
    DrawnText drawn;
    drawn.box = m_scale.rect(QRectF(area.left() + item.x, area.top() + item.y, width, height));
    if (lines.size() == 1) {
        const QFontMetricsF &metrics = prepared.metrics;
        drawn.text = lines.first();
        const double advance = metrics.horizontalAdvance(drawn.text);
        // A box lower than the line is left to the clipping path below.
        if ((advance <= drawn.box.width() || !item.wrap) && metrics.height() <= drawn.box.height()) {
            drawn.at = placeSingleLine(metrics, drawn.box, item.align, &drawn.text, advance);
            return drawn;
        }
    }
    drawn.flags = int(item.align) | Qt::AlignTop | (item.wrap ? Qt::TextWordWrap : 0);
    drawn.text = lines.join(QLatin1Char('\n'));
    return drawn;
}

} // namespace reports
