#include "reports/ui/ReportPreview.h"

#include "platform/Services.h"
#include "printing/PrintChoice.h"
#include "reports/ReportJob.h"
#include "reports/ui/ProgressWindow.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>

#include <limits>

namespace reports {

namespace {
constexpr int kGap = 16; // pixels between pages
constexpr size_t kKeptPages = 6;
} // namespace

PageView::PageView(const ReportJob &job, QWidget *parent)
    : QAbstractScrollArea(parent), m_job(job), m_rowsChanged(job.rowsChanged())
{
    setObjectName(QStringLiteral("PageView"));
    setAccessibleName(QStringLiteral("Report pages"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    updateScrollBars();
}

int PageView::pixelsPerInch() const
{
    // The pages stand one under the other in a scroll range of int pixels:
    // a report of very many pages is shown smaller rather than cut short.
    const double height = m_job.definition().pageInches().height();
    const double fit = (std::numeric_limits<int>::max() / 2.0 / qMax(1, m_job.pageCount()) - kGap) / height;
    return qMax(8, int(qMin(logicalDpiX() * m_zoom, fit)));
}

QSize PageView::pageSize() const
{
    const QSizeF inches = m_job.definition().pageInches();
    const int ppi = pixelsPerInch();
    return QSize(int(inches.width() * ppi), int(inches.height() * ppi));
}

int PageView::pageTop(int page) const
{
    return kGap + page * (pageSize().height() + kGap);
}

void PageView::updateScrollBars()
{
    const QSize page = pageSize();
    const int total =
        int(qMin<qint64>(qint64(m_job.pageCount()) * (page.height() + kGap) + kGap, std::numeric_limits<int>::max()));
    verticalScrollBar()->setRange(0, qMax(0, total - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setRange(0, qMax(0, page.width() + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void PageView::setZoom(double zoom)
{
    const int page = currentPage();
    m_zoom = qBound(0.25, zoom, 4.0);
    m_cache.clear();
    updateScrollBars();
    showPage(page);
    viewport()->update();
}

int PageView::currentPage() const
{
    const int middle = verticalScrollBar()->value() + viewport()->height() / 2;
    return qBound(0, middle / (pageSize().height() + kGap), m_job.pageCount() - 1);
}

void PageView::showPage(int page)
{
    verticalScrollBar()->setValue(pageTop(qBound(0, page, m_job.pageCount() - 1)) - kGap);
}

const QImage &PageView::pageImage(int page)
{
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->first == page) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front().second;
        }
    }
    const QSize size = pageSize();
    const int ppi = pixelsPerInch();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(qRound(ppi / 0.0254));
    image.setDotsPerMeterY(qRound(ppi / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        m_job.paintPage(painter, page);
    }
    ++m_rendered;
    followRows();
    m_cache.emplace_front(page, std::move(image));
    if (m_cache.size() > kKeptPages)
        m_cache.pop_back();
    return m_cache.front().second;
}

void PageView::followRows()
{
    // The rows changed since the pages kept were painted: they go, and the
    // page count follows. The page just painted shows the rows as they are.
    if (m_rowsChanged == m_job.rowsChanged())
        return;
    m_rowsChanged = m_job.rowsChanged();
    m_cache.clear();
    updateScrollBars();
    viewport()->update();
    emit currentPageChanged(currentPage());
}

void PageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QSize page = pageSize();
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    const int left = qMax(kGap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int step = page.height() + kGap;
    const int first = qMax(0, (top - kGap) / step);
    for (int p = first; p < m_job.pageCount(); ++p) {
        const int y = pageTop(p) - top;
        if (y + top > bottom)
            break;
        painter.fillRect(QRect(left + 3, y + 3, page.width(), page.height()), QColor(0, 0, 0, 80));
        painter.drawImage(QPoint(left, y), pageImage(p));
    }
}

void PageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PageView::scrollContentsBy(int, int)
{
    viewport()->update();
    emit currentPageChanged(currentPage());
}

ReportPreview::ReportPreview(std::unique_ptr<ReportJob> job, QWidget *owner)
    : QMainWindow(owner, Qt::Window), m_job(std::move(job))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(m_job->definition().title);
    m_view = new PageView(*m_job, this);
    setCentralWidget(m_view);

    QToolBar *bar = addToolBar(QStringLiteral("Report"));
    bar->setObjectName(QStringLiteral("ReportToolBar"));
    bar->setMovable(false);
    auto add = [&](const char *name, const QString &caption, auto handler) {
        QAction *a = bar->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    add("PrintButton", QStringLiteral("&Print..."), &ReportPreview::printReport);
    add("SavePdfButton", QStringLiteral("Save as P&DF..."), &ReportPreview::saveAsPdf);
    bar->addSeparator();
    add("ZoomInButton", QStringLiteral("Zoom &In"), [this] { m_view->setZoom(m_view->zoom() * 1.25); });
    add("ZoomOutButton", QStringLiteral("Zoom &Out"), [this] { m_view->setZoom(m_view->zoom() / 1.25); });
    bar->addSeparator();
    add("FirstPageButton", QStringLiteral("&First"), [this] { m_view->showPage(0); });
    add("PreviousPageButton", QStringLiteral("P&revious"), [this] { m_view->showPage(m_view->currentPage() - 1); });
    add("NextPageButton", QStringLiteral("&Next"), [this] { m_view->showPage(m_view->currentPage() + 1); });
    add("LastPageButton", QStringLiteral("&Last"), [this] { m_view->showPage(m_job->pageCount() - 1); });
    bar->addSeparator();
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("PageLabel"));
    m_pageLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pageLabel);
    bar->addSeparator();
    add("CloseButton", QStringLiteral("&Close"), &QWidget::close);

    m_choosePrinter = [this](QPrinter &printer, int pages) {
        return printing::askPrinter(printer, pages, QStringLiteral("Print %1").arg(m_job->definition().title), this);
    };
    statusBar()->setObjectName(QStringLiteral("PrintStatus"));
    connect(m_view, &PageView::currentPageChanged, this, &ReportPreview::updatePageLabel);
    updatePageLabel(0);
    resize(900, 1000);
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::updatePageLabel(int page)
{
    m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(page + 1).arg(m_job->pageCount()));
}

bool ReportPreview::printReport()
{
    const bool placed = m_job->placeAllRows();
    m_view->followRows();
    const QString title = m_job->definition().title;
    const auto tell = [](const QString &text) {
        platform::msgBox(text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    };
    if (!placed)
        return tell(QStringLiteral("The report %1 cannot be printed: %2").arg(title, m_job->readError()));
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    if (!m_choosePrinter || !m_choosePrinter(printer, m_job->pageCount()))
        return false;
    const printing::PrintChoice choice = printing::choiceOf(printer);
    QString error;
    // A report that names no paper is laid out anew for the chosen queue's;
    // the preview shows the pages as they are sent.
    if (!m_job->setPaper(choice.paper(m_job->definition().pageSize), &error)) {
        m_view->followRows();
        return tell(
            QStringLiteral("The report %1 cannot be printed on the paper of %2: %3").arg(title, choice.queue, error));
    }
    m_view->followRows();
    updatePageLabel(m_view->currentPage());
    const int last = m_job->pageCount() - 1;
    const int to = choice.toPage > 0 ? qMin(choice.toPage - 1, last) : last;
    const int from = qMin(choice.fromPage > 0 ? choice.fromPage - 1 : 0, to);
    QString done;
    bool sent = false;
    {
        platform::Hourglass busy;
        ProgressWindow progress(this, QStringLiteral("Printing %1...").arg(title));
        sent = printing::deliver(choice, title,
                                 m_job->pdfPainter(from, to, progress.callback(), QStringLiteral("\"%1\"").arg(title)),
                                 &done, &error);
    }
    m_view->followRows();
    if (!sent)
        return tell(error);
    m_lastPrint = done;
    statusBar()->showMessage(done);
    return true;
}

void ReportPreview::saveAsPdf()
{
    platform::FileDialogRequest request;
    request.parent = this;
    request.title = QStringLiteral("Save as PDF");
    request.folder = QDir::homePath();
    request.fileName = m_job->definition().title + QStringLiteral(".pdf");
    request.filter = QStringLiteral("PDF files (*.pdf);;All files (*)");
    request.mustExist = false;
    const std::optional<QString> path = platform::services().saveFileName(request);
    if (!path)
        return;
    QString error;
    bool written = false;
    {
        platform::Hourglass busy;
        ProgressWindow progress(this, QStringLiteral("Writing %1...").arg(*path));
        written = m_job->writePdf(*path, progress.callback(), &error);
    }
    m_view->followRows();
    if (!written)
        platform::msgBox(error, platform::Buttons::OKOnly, platform::Icon::Exclamation);
}

} // namespace reports
