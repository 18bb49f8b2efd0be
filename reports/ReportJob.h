#pragma once

#include "printing/PdfOutput.h"
#include "reports/ReportDefinition.h"
#include "reports/ReportRows.h"

#include <QDate>
#include <QPageLayout>
#include <QStringList>
#include <memory>
#include <optional>

class QPainter;
class QPagedPaintDevice;

namespace reports {

// What a report control hands over when its action runs.
struct ReportRequest {
    QString reportFile;       // the full path of the report file
    QString databasePath;     // empty: the program folder's database
    QString selectionFormula; // with the file's own selection, both must hold
    // The rows of selectionFormula as a statement of the engine's dialect
    // ("Select Information.* From Information Where ..."), when there is one.
    QString selectionStatement;
    QStringList sortFields; // non-empty ones replace the file's own sort
    // The paper of a file that names no page size; none: the default
    // print queue's paper, else Letter.
    std::optional<QPageSize> paper;
};

// One run of a report: the file read, the database opened, the rows chosen
// and sorted. Pages are painted one at a time on demand, each from the rows
// it shows, so neither the rows nor the pages are all held at once.
class ReportJob
{
public:
    static std::unique_ptr<ReportJob> open(const ReportRequest &request, QString *error);
    ~ReportJob();

    // Finds the selected rows (a pass over the customers when a formula is
    // set). Must succeed before pages are counted or painted. False when
    // cancelled.
    bool prepare(const Progress &progress);
    // Why a customer could not be read, empty while every read succeeded.
    QString readError() const { return m_rows.readError(); }

    const ReportDefinition &definition() const { return m_def; }
    QPageLayout pageLayout() const;
    int rowsPerPage() const;
    int pageCount() const;
    qint64 rowCount() const { return m_rows.count(); }
    // Places every row before the pages are counted for printing: the rows
    // may be found changed since they were counted, and the count follows.
    // False when they cannot be read (readError()).
    bool placeAllRows() const { return m_rows.placeRows(m_rows.count()); }
    // Grows each time the rows are found changed since they were counted,
    // or the pages were laid out on other paper: pages painted before are
    // out of date, and so is their count.
    int rowsChanged() const { return m_rows.rowsChanged() + m_paperChanges; }

    // Lays the pages out on other paper, when the file names no page size of
    // its own (otherwise nothing changes). False, with the report as it was,
    // when the file has no layout for that paper (a label sheet).
    bool setPaper(const QPageSize &paper, QString *error);

    // Paints page `page` (from 0) on a painter whose origin is the sheet's
    // top-left corner, at its device's resolution.
    void paintPage(QPainter &painter, int page) const;

    // Paints pages from..to (from 0) on a paged device, one after another;
    // place the rows first (placeAllRows()). False when cancelled.
    bool paintPages(QPainter &painter, QPagedPaintDevice *device, int from, int to, const Progress &progress) const;

    // Writes the whole report as PDF. The file appears only when complete.
    bool writePdf(const QString &path, const Progress &progress, QString *error) const;
    // What paints pages from..to (from 0) into a PDF for the printing
    // library; `destination` names where they go in its messages.
    printing::PaintPdf pdfPainter(int from, int to, const Progress &progress, const QString &destination) const;

    void setPrintDate(const QDate &date) { m_printDate = date; }

private:
    ReportJob() = default;
    // The report's own values for its texts: page count, date, title...
    TextContext reportValues() const;

    ReportDefinition m_def;
    QByteArray m_source; // the report file's text, read again for other paper
    int m_paperChanges = 0;
    ReportRows m_rows;
    QString m_formulaShown;
    QDate m_printDate;
};

} // namespace reports
