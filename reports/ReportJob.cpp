#include "reports/ReportJob.h"

#include "reports/ReportFile.h"
#include "reports/ReportLayout.h"
#include "store/DBEngine.h"
#include "store/ProgramFolder.h"
#include "store/SafeFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <array>

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

// Inches to the painter's device pixels.
struct Scale {
    double dpiX;
    double dpiY;
    QRectF rect(const QRectF &inches) const
    {
        return QRectF(inches.left() * dpiX, inches.top() * dpiY, inches.width() * dpiX, inches.height() * dpiY);
    }
    double x(double inches) const { return inches * dpiX; }
    double y(double inches) const { return inches * dpiY; }
};

// Widths of texts in one font on one device, from the advances of their
// characters, each measured once. Text is drawn without shaping, so a
// line's width is the sum of its characters' advances; a text that comes
// near its room is measured in full before it is cut.
class AdvanceCache
{
public:
    explicit AdvanceCache(const QFontMetricsF &metrics) : m_metrics(metrics) { m_latin1.fill(-1); }

    double estimate(const QString &text)
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

private:
    const QFontMetricsF &m_metrics;
    std::array<double, 256> m_latin1;
    QHash<char16_t, double> m_other;
};

Scale scaleOf(const QPainter &painter)
{
    const QPaintDevice *device = painter.device();
    return Scale{double(device->logicalDpiX()), double(device->logicalDpiY())};
}

// One line of text in a box, aligned, without a text layout: most texts of
// a page are single lines, and laying each out would cost more than
// drawing it. A line too long for the box ends in "…".
void drawSingleLine(QPainter &painter, const QFontMetricsF &metrics, const QRectF &box, Qt::Alignment align,
                    QString text, double advance)
{
    if (advance > box.width()) {
        text = metrics.elidedText(text, Qt::ElideRight, box.width());
        advance = metrics.horizontalAdvance(text);
    }
    double x = box.left();
    if (align & Qt::AlignRight)
        x = box.right() - advance;
    else if (align & Qt::AlignHCenter)
        x = box.left() + (box.width() - advance) / 2;
    const double baseline = (align & Qt::AlignBottom) ? box.bottom() - metrics.descent() : box.top() + metrics.ascent();
    painter.drawText(QPointF(x, baseline), text);
}

void paintItem(QPainter &painter, const Scale &scale, const QRectF &area, const ReportItem &item,
               const TextContext &context)
{
    const double width = item.width > 0 ? item.width : area.width() - item.x;
    if (item.kind == ReportItem::Kind::Line) {
        QPen pen(Qt::black);
        pen.setWidthF(item.thickness / 72.0 * scale.dpiY);
        painter.setPen(pen);
        const double y = scale.y(area.top() + item.y);
        painter.drawLine(QPointF(scale.x(area.left() + item.x), y), QPointF(scale.x(area.left() + item.x + width), y));
        return;
    }
    QStringList lines;
    for (const TextTemplate &line : item.lines) {
        bool empty = false;
        const QString text = line.fill(context, &empty);
        if (item.skipEmptyLines && empty)
            continue;
        lines << text;
    }
    const double height = item.height > 0 ? item.height : area.height() - item.y;
    const QRectF box = scale.rect(QRectF(area.left() + item.x, area.top() + item.y, width, height));
    const QFont font = fontOf(item.font);
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (lines.size() == 1) {
        const QFontMetricsF metrics(font, painter.device());
        const double advance = metrics.horizontalAdvance(lines.first());
        // A box lower than the line is left to the clipping path below.
        if ((advance <= box.width() || !item.wrap) && metrics.height() <= box.height()) {
            drawSingleLine(painter, metrics, box, item.align, lines.first(), advance);
            return;
        }
    }
    const int flags = int(item.align) | Qt::AlignTop | (item.wrap ? Qt::TextWordWrap : 0);
    painter.drawText(box, flags, lines.join(QLatin1Char('\n')));
}

void paintItems(QPainter &painter, const Scale &scale, const QRectF &area, const std::vector<ReportItem> &items,
                const TextContext &context)
{
    for (const ReportItem &item : items)
        paintItem(painter, scale, area, item, context);
}

} // namespace

ReportJob::~ReportJob() = default;

std::unique_ptr<ReportJob> ReportJob::open(const ReportRequest &request, QString *error)
{
    std::unique_ptr<ReportJob> job(new ReportJob);
    if (!ReportFile::read(request.reportFile, &job->m_def, error))
        return nullptr;
    const QString databasePath =
        request.databasePath.isEmpty() ? store::programPath(QStringLiteral("\\Vantrel.mdb")) : request.databasePath;
    store::EngineError e;
    const auto db = store::DBEngine::OpenDatabase(databasePath, &e);
    if (!db) {
        if (error)
            *error = e.text;
        return nullptr;
    }
    QStringList sort;
    for (const QString &key : request.sortFields) {
        if (!key.trimmed().isEmpty())
            sort << key.trimmed();
    }
    if (sort.isEmpty())
        sort = job->m_def.sort;
    QString why;
    if (!job->m_rows.open(db, {job->m_def.selection, request.selectionFormula}, sort, &why,
                          request.selectionStatement)) {
        if (error)
            *error = QStringLiteral("%1 (report file %2)").arg(why, request.reportFile);
        return nullptr;
    }
    QList<int> printed;
    auto addFields = [&printed](const TextTemplate &text) {
        for (int field : text.informationFields()) {
            if (!printed.contains(field))
                printed << field;
        }
    };
    for (const Column &column : job->m_def.columns)
        addFields(column.text);
    for (const auto *items :
         {&job->m_def.pageHeader.items, &job->m_def.pageFooter.items, &job->m_def.labelItems, &job->m_def.pageItems}) {
        for (const ReportItem &item : *items) {
            for (const TextTemplate &line : item.lines)
                addFields(line);
        }
    }
    // A report that prints no customer field still counts its rows.
    if (printed.isEmpty())
        printed << 0;
    job->m_rows.setPrintedFields(printed);
    job->m_formulaShown = request.selectionFormula.isEmpty() ? job->m_def.selection : request.selectionFormula;
    job->m_printDate = QDate::currentDate();
    return job;
}

bool ReportJob::prepare(const Progress &progress)
{
    return m_rows.select(progress);
}

QPageLayout ReportJob::pageLayout() const
{
    return QPageLayout(m_def.pageSize, m_def.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
}

int ReportJob::rowsPerPage() const
{
    return ReportLayout(m_def).rowsPerPage();
}

int ReportJob::pageCount() const
{
    return ReportLayout(m_def).pageCount(m_rows.count());
}

void ReportJob::paintPage(QPainter &painter, int page) const
{
    const ReportLayout layout(m_def);
    const Scale scale = scaleOf(painter);
    const int perPage = layout.rowsPerPage();
    const qint64 first = qint64(page) * perPage;
    const qint64 last = qMin(first + perPage, m_rows.count());
    TextContext context;
    context.center = &m_rows.center();
    context.page = page + 1;
    context.pages = pageCount();
    context.printDate = m_printDate;
    context.title = m_def.title;
    context.selectionFormula = m_formulaShown;
    context.records = m_rows.count();

    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    switch (m_def.kind) {
    case ReportDefinition::Kind::Listing: {
        paintItems(painter, scale, layout.headerArea(), m_def.pageHeader.items, context);
        paintItems(painter, scale, layout.footerArea(), m_def.pageFooter.items, context);

        // Column titles, then a rule under them.
        const QFont titleFont = fontOf(m_def.columnTitleFont);
        const QFontMetricsF titleMetrics(titleFont, painter.device());
        const QRectF titles = layout.columnTitleArea();
        painter.setFont(titleFont);
        painter.setPen(Qt::black);
        const double pad = 0.04;
        for (size_t c = 0; c < m_def.columns.size(); ++c) {
            const Column &column = m_def.columns[c];
            const QRectF cell(layout.columnLeft(int(c)) + pad, titles.top(), column.width - 2 * pad,
                              titles.height() - 0.03);
            drawSingleLine(painter, titleMetrics, scale.rect(cell), column.align | Qt::AlignBottom, column.title,
                           titleMetrics.horizontalAdvance(column.title));
        }
        QPen rule(Qt::black);
        rule.setWidthF(0.75 / 72.0 * scale.dpiY);
        painter.setPen(rule);
        painter.drawLine(QPointF(scale.x(titles.left()), scale.y(titles.bottom())),
                         QPointF(scale.x(titles.right()), scale.y(titles.bottom())));

        const QFont rowFont = fontOf(m_def.font);
        const QFontMetricsF metrics(rowFont, painter.device());
        AdvanceCache advances(metrics);
        painter.setFont(rowFont);
        painter.setPen(Qt::black);
        // The text sits in the middle of its row.
        const double baselineOffset = (scale.y(m_def.rowHeight) + metrics.ascent() - metrics.descent()) / 2;
        if (first >= last) {
            painter.drawText(
                QPointF(scale.x(layout.rowArea(0).left() + pad), scale.y(layout.rowArea(0).top()) + baselineOffset),
                noRowsText());
        }
        for (qint64 i = first; i < last; ++i) {
            const int slot = int(i - first);
            const QVariantList row = m_rows.row(i);
            context.row = &row;
            const QRectF area = layout.rowArea(slot);
            if (m_def.stripe.isValid() && slot % 2 == 1)
                painter.fillRect(scale.rect(area), m_def.stripe);
            const double baseline = scale.y(area.top()) + baselineOffset;
            for (size_t c = 0; c < m_def.columns.size(); ++c) {
                const Column &column = m_def.columns[c];
                QString text = column.text.fill(context);
                const double left = scale.x(layout.columnLeft(int(c)) + pad);
                const double room = scale.x(column.width - 2 * pad);
                double advance = advances.estimate(text);
                // Measured in full only when it may not fit.
                if (advance > room * 0.97 && metrics.horizontalAdvance(text) > room) {
                    text = metrics.elidedText(text, Qt::ElideRight, room);
                    advance = metrics.horizontalAdvance(text);
                }
                double x = left;
                if (column.align & Qt::AlignRight)
                    x = left + room - advance;
                else if (column.align & Qt::AlignHCenter)
                    x = left + (room - advance) / 2;
                painter.drawText(QPointF(x, baseline), text);
            }
        }
        break;
    }
    case ReportDefinition::Kind::Labels: {
        for (qint64 i = first; i < last; ++i) {
            const QVariantList row = m_rows.row(i);
            context.row = &row;
            paintItems(painter, scale, layout.labelInside(int(i - first)), m_def.labelItems, context);
        }
        break;
    }
    case ReportDefinition::Kind::Letter: {
        if (first < last) {
            const QVariantList row = m_rows.row(first);
            context.row = &row;
            paintItems(painter, scale, layout.contentArea(), m_def.pageItems, context);
        }
        break;
    }
    }
    if (first >= last && m_def.kind != ReportDefinition::Kind::Listing) {
        painter.setFont(fontOf(m_def.font));
        painter.setPen(Qt::black);
        painter.drawText(scale.rect(layout.contentArea()), Qt::AlignTop | Qt::AlignHCenter, noRowsText());
    }
    painter.restore();
}

bool ReportJob::paintPages(QPainter &painter, QPagedPaintDevice *device, int from, int to,
                           const Progress &progress) const
{
    const int total = to - from + 1;
    for (int page = from; page <= to; ++page) {
        if (progress && !progress(page - from, total))
            return false;
        if (page > from)
            device->newPage();
        paintPage(painter, page);
    }
    if (progress)
        progress(total, total);
    return true;
}

bool ReportJob::writePdf(const QString &path, const Progress &progress, QString *error) const
{
    // Written beside the destination, readable by its owner only (it lists
    // customers), and renamed over it when whole: a link planted at the
    // name is replaced, never written through.
    const QString partial = store::partialNameFor(path);
    QFile::remove(partial);
    store::EngineError e;
    QFile file(partial);
    if (!store::createOwnerOnlyFile(partial, &e) || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("The file %1 cannot be written: %2.")
                         .arg(path, e.isError() ? e.text : file.errorString());
        QFile::remove(partial);
        return false;
    }
    const auto fail = [&](const QString &reason) {
        file.close();
        QFile::remove(partial);
        if (error)
            *error = reason;
        return false;
    };
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(pageLayout());
        writer.setResolution(1200);
        writer.setTitle(m_def.title);
        writer.setCreator(QStringLiteral("Vantrel"));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("The PDF file %1 cannot be started.").arg(path));
        const bool done = paintPages(painter, &writer, 0, pageCount() - 1, progress);
        painter.end();
        if (!readError().isEmpty())
            return fail(QStringLiteral("%1 was not written: %2").arg(path, readError()));
        if (!done)
            return fail(QStringLiteral("The report was cancelled; %1 was not written.").arg(path));
    }
    if (!file.flush())
        return fail(QStringLiteral("The file %1 cannot be written: %2.").arg(path, file.errorString()));
    file.close();
    if (!store::syncFile(partial, &e) || !store::renameReplacing(partial, path, &e))
        return fail(QStringLiteral("The file %1 cannot be written: %2.").arg(path, e.text));
    store::syncFolder(QFileInfo(path).absolutePath(), nullptr);
    return true;
}

} // namespace reports
