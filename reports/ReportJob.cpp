#include "reports/ReportJob.h"

#include "reports/PagePainter.h"
#include "reports/ReportFile.h"
#include "reports/ReportLayout.h"
#include "store/DBEngine.h"
#include "store/DatabaseChoice.h"
#include "store/OutputPaths.h"
#include "store/ProgramFolder.h"
#include "store/SafeFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace reports {

ReportJob::~ReportJob() = default;

std::unique_ptr<ReportJob> ReportJob::open(const ReportRequest &request, QString *error)
{
    std::unique_ptr<ReportJob> job(new ReportJob);
    if (!ReportFile::read(request.reportFile, &job->m_def, error))
        return nullptr;
    const QString databasePath =
        request.databasePath.isEmpty() ? store::DatabaseChoice::databaseName() : request.databasePath;
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
    job->m_rows.setFirstRows(job->rowsPerPage());
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

TextContext ReportJob::reportValues() const
{
    TextContext context;
    context.center = &m_rows.center();
    context.pages = pageCount();
    context.printDate = m_printDate;
    context.title = m_def.title;
    context.selectionFormula = m_formulaShown;
    context.records = m_rows.count();
    return context;
}

void ReportJob::paintPage(QPainter &painter, int page) const
{
    // Before the page count goes into the page's texts.
    m_rows.placeRows(qint64(page + 1) * rowsPerPage());
    PagePainter(m_def, m_rows, reportValues(), painter).paint(page);
}

bool ReportJob::paintPages(QPainter &painter, QPagedPaintDevice *device, int from, int to,
                           const Progress &progress) const
{
    placeAllRows();
    to = qMin(to, pageCount() - 1);
    const int total = to - from + 1;
    PagePainter pages(m_def, m_rows, reportValues(), painter);
    for (int page = from; page <= to; ++page) {
        if (progress && !progress(page - from, total))
            return false;
        if (page > from)
            device->newPage();
        pages.paint(page);
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
    store::OutputFile output(path);
    QString refused;
    if (!output.prepare(&refused)) {
        if (error)
            *error = refused;
        return false;
    }
    const QString partial = output.partialPath();
    store::EngineError e;
    QFile file(partial);
    if (!store::createOwnerOnlyFile(partial, &e) || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("The file %1 cannot be written: %2.")
                         .arg(path, e.isError() ? e.text : file.errorString());
        return false;
    }
    const auto fail = [&](const QString &reason) {
        file.close();
        output.discard();
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
        if (!placeAllRows())
            return fail(QStringLiteral("%1 was not written: %2").arg(path, readError()));
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
    QString why;
    if (!output.commit(&why))
        return fail(QStringLiteral("The file %1 cannot be written: %2.").arg(path, why));
    return true;
}

} // namespace reports
