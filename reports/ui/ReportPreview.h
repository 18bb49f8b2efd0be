#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QMainWindow>
#include <functional>
#include <list>
#include <memory>

class QLabel;
class QPrinter;

namespace reports {

class ReportJob;

// The pages of a report, one under the other. Only the pages in view are
// painted, each when it first comes into view, and a handful are kept, so a
// report of thousands of pages opens on its first page at once.
class PageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit PageView(const ReportJob &job, QWidget *parent = nullptr);

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    int currentPage() const;
    void showPage(int page);
    // How many pages were painted so far (each kept page counts once).
    int pagesRendered() const { return m_rendered; }
    // Drops the pages painted before the job found its rows changed, and
    // takes the new page count.
    void followRows();

signals:
    void currentPageChanged(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int pixelsPerInch() const;
    QSize pageSize() const;
    int pageTop(int page) const;
    void updateScrollBars();
    const QImage &pageImage(int page);

    const ReportJob &m_job;
    double m_zoom = 1.0;
    int m_rendered = 0;
    int m_rowsChanged = 0;                     // the job's count of changes the pages kept show
    std::list<std::pair<int, QImage>> m_cache; // most recent first
};

// The preview window of one report run, with Print and Save as PDF.
class ReportPreview : public QMainWindow
{
    Q_OBJECT
public:
    ReportPreview(std::unique_ptr<ReportJob> job, QWidget *owner);
    ~ReportPreview() override;

    const ReportJob &job() const { return *m_job; }
    PageView *pageView() const { return m_view; }

    // Sets up the printer for "&Print..." (the print dialog in the program)
    // and answers whether to print; pages is the report's page count.
    using PrinterChooser = std::function<bool(QPrinter &printer, int pages)>;
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

    // Sends the report where the print dialog says: the pages from the
    // chosen queue's paper on, unless the report file fixes its own. True
    // once the queue took the job (or the PDF was written); otherwise the
    // operator was told why and may print again.
    bool printReport();
    void saveAsPdf();
    // Where the last print went ("Sent to the printer ... as job 12."),
    // empty until a print succeeded.
    QString lastPrint() const { return m_lastPrint; }

private:
    void updatePageLabel(int page);

    std::unique_ptr<ReportJob> m_job;
    PrinterChooser m_choosePrinter;
    QString m_lastPrint;
    PageView *m_view = nullptr;
    QLabel *m_pageLabel = nullptr;
};

} // namespace reports
