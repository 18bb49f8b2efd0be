// Reports at scale.
//  - The Complete listing of N customers to PDF, against a plain loop that
//    draws the same texts at the same places with QPainter on QPdfWriter
//    (the floor: texts and places prepared beforehand, only the drawing
//    timed), and against the same loop drawing the whole page: fonts, rules
//    and stripes too. peak_MB is the process's peak resident memory; run one size per
//    process (--benchmark_filter=Complete/10000, then /100000) to compare.
//  - Labels for 10,000 customers to PDF.
//  - The preview of the 1,000,000-customer listing up to its first page
//    painted: report file read, keyset opened, page 1 drawn.
#include "bench/BenchDatabase.h"
#include "bench/BenchWindows.h"
#include "reports/ReportFile.h"
#include "reports/ReportJob.h"
#include "reports/ReportLayout.h"
#include "reports/ui/ReportPreview.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/ProgramFolder.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "store/sql/AccessSql.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

double peakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QString reportFile(const char *name)
{
    return QStringLiteral(VANTREL_REPORT_FILES_DIR "/") + QLatin1String(name);
}

void renderToPdf(benchmark::State &state, const char *file, int rows)
{
    bench::BenchFolder folder(rows);
    const QString pdf = folder.dir.filePath(QStringLiteral("out.pdf"));
    int pages = 0;
    for (auto _ : state) {
        reports::ReportRequest request;
        request.reportFile = reportFile(file);
        QString error;
        auto job = reports::ReportJob::open(request, &error);
        if (!job || !job->prepare(nullptr) || !job->writePdf(pdf, nullptr, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        pages = job->pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["pdf_MB"] = double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = peakMB();
}

void BM_Complete(benchmark::State &state)
{
    renderToPdf(state, "Complete.rpt", int(state.range(0)));
}
BENCHMARK(BM_Complete)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same texts at the same places, every row's eight cells,
// the page header's lines, the column titles and the footer's page number,
// drawn on QPdfWriter. With `samePage`, the plain loop draws what the page
// shows besides: the header's texts in their own fonts, the rules under the
// column titles and above the footer, and every other row's stripe.
void completeFloor(benchmark::State &state, bool samePage)
{
    const int rows = int(state.range(0));
    bench::BenchFolder folder(rows);
    reports::ReportDefinition def;
    QString error;
    if (!reports::ReportFile::read(reportFile("Complete.rpt"), &def, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const reports::ReportLayout layout(def);
    const int perPage = layout.rowsPerPage();
    const int pages = layout.pageCount(rows);
    const double dpi = 1200;
    auto fontOf = [](const reports::FontSpec &spec) {
        QFont font(spec.family);
        font.setPointSizeF(spec.size);
        font.setBold(spec.bold);
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    };
    // The fonts: the rows', then the header's, the titles' and the footer's.
    std::vector<QFont> fonts{fontOf(def.font)};
    if (samePage) {
        for (const reports::ReportItem &item : def.pageHeader.items)
            fonts.push_back(fontOf(item.font));
        fonts.push_back(fontOf(def.columnTitleFont));
        fonts.push_back(fontOf(def.pageFooter.items.back().font));
    }
    auto font = [&](size_t which) { return samePage ? which : 0; };

    // The texts and their places, prepared outside the timing.
    struct Cell {
        QString text;
        QPointF at;
        size_t font = 0;
    };
    struct PageCells {
        std::vector<Cell> rows; // eight a row
        std::vector<Cell> others;
    };
    std::vector<PageCells> pageCells(static_cast<size_t>(pages));
    {
        store::EngineError e;
        auto db = store::DBEngine::OpenDatabase(store::programPath(QStringLiteral("\\Vantrel.mdb")), &e);
        auto rs = db->OpenRecordset(QStringLiteral("Select Information.* From Information ORDER BY [LockerNumber] ASC"),
                                    store::Recordset::Snapshot, &e);
        QPdfWriter probe(folder.dir.filePath(QStringLiteral("probe.pdf")));
        probe.setResolution(int(dpi));
        const QFontMetricsF metrics(fonts[0], &probe);
        const int fields[] = {0, 9, 16, 17, 6, 7, 1, 2};
        const store::TableDef &table = store::Schema::information();
        reports::PrintedRow printed(table.fields.size());
        reports::TextContext context;
        context.row = &printed;
        for (int i = 0; i < rs->RecordCount(); ++i) {
            const QVariantList row = rs->rowAt(i);
            const double baseline = layout.rowArea(i % perPage).top() * dpi + metrics.ascent();
            std::vector<Cell> &cells = pageCells[size_t(i / perPage)].rows;
            if (samePage) {
                // The texts the listing prints, written as it writes them.
                for (int f = 0; f < int(table.fields.size()); ++f)
                    printed[size_t(f)] = reports::FieldValue::of(row.value(f), table.fields.at(f).kind);
                for (size_t c = 0; c < def.columns.size(); ++c)
                    cells.push_back(
                        {def.columns[c].text.fill(context), QPointF(layout.columnLeft(int(c)) * dpi, baseline)});
                continue;
            }
            for (size_t c = 0; c < std::size(fields); ++c) {
                QString text = row.value(fields[c]).toString();
                if (c == 1)
                    text = row.value(9).toString() + QStringLiteral(", ") + row.value(8).toString();
                cells.push_back({text, QPointF(layout.columnLeft(int(c)) * dpi, baseline)});
            }
        }
        // Each page's header lines, column titles and footer.
        for (int p = 0; p < pages; ++p) {
            const double top = layout.headerArea().top() * dpi;
            std::vector<Cell> &cells = pageCells[size_t(p)].others;
            // The center's name: empty in the bench database.
            cells.push_back({QString(), QPointF(3 * dpi, top), font(1)});
            cells.push_back({def.title, QPointF(3 * dpi, top + 0.4 * dpi), font(2)});
            cells.push_back({QStringLiteral("Printed 12/01/2024"), QPointF(6.5 * dpi, top + 0.7 * dpi), font(3)});
            cells.push_back({QStringLiteral("%1 customers").arg(rows), QPointF(0.5 * dpi, top + 0.7 * dpi), font(4)});
            for (size_t c = 0; c < def.columns.size(); ++c)
                cells.push_back({def.columns[c].title,
                                 QPointF(layout.columnLeft(int(c)) * dpi, layout.columnTitleArea().bottom() * dpi),
                                 font(5)});
            cells.push_back({QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages),
                             QPointF(4 * dpi, layout.footerArea().top() * dpi), font(6)});
        }
    }
    const QRectF titles = layout.columnTitleArea();
    const QLineF titleRule(QPointF(titles.left() * dpi, titles.bottom() * dpi),
                           QPointF(titles.right() * dpi, titles.bottom() * dpi));
    const double footerTop = (layout.footerArea().top() + 0.05) * dpi;
    const QLineF footerRule(QPointF(layout.footerArea().left() * dpi, footerTop),
                            QPointF(layout.footerArea().right() * dpi, footerTop));
    QPen rule(Qt::black);
    rule.setWidthF(0.75 / 72.0 * dpi);
    const QString pdf = folder.dir.filePath(QStringLiteral("floor.pdf"));
    for (auto _ : state) {
        QPdfWriter writer(pdf);
        writer.setPageLayout(QPageLayout(def.pageSize, def.orientation, QMarginsF()));
        writer.setResolution(int(dpi));
        QPainter painter(&writer);
        painter.setFont(fonts[0]);
        for (int p = 0; p < pages; ++p) {
            if (p > 0)
                writer.newPage();
            const PageCells &cells = pageCells[size_t(p)];
            if (!samePage) {
                for (const Cell &cell : cells.rows)
                    painter.drawText(cell.at, cell.text);
                for (const Cell &cell : cells.others)
                    painter.drawText(cell.at, cell.text);
                continue;
            }
            for (const Cell &cell : cells.others) {
                painter.setFont(fonts[cell.font]);
                painter.drawText(cell.at, cell.text);
            }
            painter.setPen(rule);
            painter.drawLine(titleRule);
            painter.drawLine(footerRule);
            painter.setPen(Qt::black);
            painter.setFont(fonts[0]);
            for (size_t c = 0; c < cells.rows.size(); ++c) {
                const int slot = int(c / def.columns.size());
                if (c % def.columns.size() == 0 && slot % 2 == 1) {
                    const QRectF area = layout.rowArea(slot);
                    painter.fillRect(
                        QRectF(area.left() * dpi, area.top() * dpi, area.width() * dpi, area.height() * dpi),
                        def.stripe);
                }
                painter.drawText(cells.rows[c].at, cells.rows[c].text);
            }
        }
    }
    state.counters["pages"] = pages;
}

void BM_CompleteFloor(benchmark::State &state)
{
    completeFloor(state, false);
}
BENCHMARK(BM_CompleteFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompleteFloorSamePage(benchmark::State &state)
{
    completeFloor(state, true);
}
BENCHMARK(BM_CompleteFloorSamePage)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Labels(benchmark::State &state)
{
    renderToPdf(state, "Labels.rpt", 10000);
}
BENCHMARK(BM_Labels)->Unit(benchmark::kMillisecond)->Iterations(3);

// Opens the report of `request` in a preview and paints it up to its first
// page; null (and the benchmark skipped) when the report cannot be opened.
reports::ReportPreview *paintedPreview(benchmark::State &state, const reports::ReportRequest &request)
{
    QString error;
    auto job = reports::ReportJob::open(request, &error);
    if (!job || !job->prepare(nullptr)) {
        state.SkipWithError(qPrintable(error));
        return nullptr;
    }
    auto *preview = new reports::ReportPreview(std::move(job), nullptr);
    preview->show();
    benchmark::DoNotOptimize(preview->grab());
    return preview;
}

void BM_PreviewFirstPage(benchmark::State &state)
{
    constexpr int kRows = 1000000;
    bench::BenchFolder folder(kRows);
    for (auto _ : state) {
        reports::ReportRequest request;
        request.reportFile = reportFile("Complete.rpt");
        auto *preview = paintedPreview(state, request);
        if (!preview)
            return;
        state.PauseTiming();
        if (preview->pageView()->pagesRendered() < 1 || preview->job().rowCount() != kRows)
            state.SkipWithError("the preview did not paint the listing's first page");
        state.counters["pages"] = preview->job().pageCount();
        delete preview;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);

// The preview of a filtered listing of 1,000,000 customers up to its first
// page, its rows counted through the filter's statement, against the
// statement's own count; and, for comparison, the same through the formula
// alone (a formula typed on the command line).
constexpr char kFilterStatement[] = "Select Information.* From Information Where [City] = 'Shelbyville' AND "
                                    "[KeyDeposit] > 5";
constexpr char kFilterFormula[] = "{Information.City} = \"Shelbyville\" and {Information.KeyDeposit} > 5";

void filteredPreview(benchmark::State &state, bool withStatement)
{
    constexpr int kRows = 1000000;
    bench::BenchFolder folder(kRows);
    for (auto _ : state) {
        reports::ReportRequest request;
        request.reportFile = reportFile("Complete.rpt");
        request.selectionFormula = QLatin1String(kFilterFormula);
        if (withStatement)
            request.selectionStatement = QLatin1String(kFilterStatement);
        auto *preview = paintedPreview(state, request);
        if (!preview)
            return;
        state.PauseTiming();
        if (preview->pageView()->pagesRendered() < 1 || preview->job().rowCount() != 150000)
            state.SkipWithError("the preview did not paint the filtered listing's first page");
        delete preview;
        state.ResumeTiming();
    }
}

void BM_FilteredPreviewFirstPage(benchmark::State &state)
{
    filteredPreview(state, true);
}
BENCHMARK(BM_FilteredPreviewFirstPage)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

void BM_FilteredPreviewByFormula(benchmark::State &state)
{
    filteredPreview(state, false);
}
BENCHMARK(BM_FilteredPreviewByFormula)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

// The floor: the engine counting the statement's rows.
void BM_FilteredStatementCount(benchmark::State &state)
{
    constexpr int kRows = 1000000;
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    for (auto _ : state) {
        store::TranslatedStatement translated;
        if (!store::translateAccessSql(
                QLatin1String(kFilterStatement), [&db](const QString &name) { return db->tableDef(name); }, &translated,
                &e))
            return state.SkipWithError(qPrintable(e.text));
        store::Statement count(db->handle(), QStringLiteral("SELECT count(*) FROM (%1)").arg(translated.sql));
        count.bindAll(translated.params);
        if (!count.step() || count.int64(0) != 150000)
            state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_FilteredStatementCount)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

// The record set the preview opens: the statement's row ids in the
// listing's order. What it costs beyond the count is the engine's work of
// ordering, not the window's.
void BM_FilteredKeysetInOrder(benchmark::State &state)
{
    constexpr int kRows = 1000000;
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    for (auto _ : state) {
        auto keyset =
            db->OpenRecordset(QLatin1String(kFilterStatement) + QStringLiteral(" ORDER BY [LockerNumber] ASC"),
                              store::Recordset::Snapshot, &e);
        if (!keyset || keyset->RecordCount() != 150000)
            state.SkipWithError("wrong keyset");
    }
}
BENCHMARK(BM_FilteredKeysetInOrder)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
