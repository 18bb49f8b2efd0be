// Reports, the year ahead and the map sent to a real CUPS server whose
// queues write PDFs (scripts/test-cups): the queue's paper is used, the
// job's PDF holds the pages the preview shows, every label's text lies in
// its cell of the sheet on Letter and on A4, and a printer that cannot
// print is told without anything counted as printed.
#include "lockermap/MapSettings.h"
#include "lockermap/frmYearAhead.h"
#include "printing/PrintQueues.h"
#include "reports/ReportJob.h"
#include "reports/SampleCenter.h"
#include "reports/ui/ReportPreview.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>
#include <cups/cups.h>
#include <gtest/gtest.h>

using printing::PrintQueues;

namespace {

QString testServer()
{
    return qEnvironmentVariable("VANTREL_TEST_CUPS_SERVER");
}

// The jobs a queue holds or held, whatever their state.
QList<int> jobsOf(const QString &queue)
{
    cups_job_t *jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    QList<int> ids;
    for (int i = 0; i < count; ++i)
        ids << jobs[i].id;
    cupsFreeJobs(count, jobs);
    return ids;
}

// The PDF the queue wrote for a job, once the job is done.
QString jobPdf(const QString &queue, int job)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 90000) {
        cups_job_t *jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id == job)
                state = jobs[i].state;
        }
        cupsFreeJobs(count, jobs);
        if (state >= IPP_JSTATE_STOPPED) {
            EXPECT_EQ(state, IPP_JSTATE_COMPLETED) << "job " << job;
            const QDir out(qEnvironmentVariable("VANTREL_TEST_CUPS_OUTPUT"));
            const QStringList found = out.entryList({QStringLiteral("*job_%1.pdf").arg(job)}, QDir::Files);
            EXPECT_EQ(found.size(), 1) << "job " << job << " in " << out.path().toStdString();
            return found.isEmpty() ? QString() : out.filePath(found.first());
        }
        QTest::qWait(200);
    }
    ADD_FAILURE() << "job " << job << " did not finish";
    return QString();
}

QString pdfInfo(const QString &pdf, const QString &key)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(30000);
    for (const QString &line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    }
    return QString();
}

// Each page's words with their boxes, in points from the page's top-left.
struct Word {
    QString text;
    QRectF box;
};
QList<QList<Word>> pdfWords(const QString &pdf)
{
    QProcess bbox;
    bbox.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    bbox.waitForFinished(60000);
    QXmlStreamReader xml(bbox.readAllStandardOutput());
    QList<QList<Word>> pages;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            pages.append(QList<Word>());
        } else if (xml.name() == QLatin1String("word") && !pages.isEmpty()) {
            const auto a = xml.attributes();
            const QPointF topLeft(a.value("xMin").toDouble(), a.value("yMin").toDouble());
            const QPointF bottomRight(a.value("xMax").toDouble(), a.value("yMax").toDouble());
            pages.last().append({xml.readElementText(), QRectF(topLeft, bottomRight)});
        }
    }
    return pages;
}

// Texts compared without regard to how a PDF writer spaced them.
QString squeezed(const QString &text)
{
    return text.simplified().remove(QLatin1Char(' '));
}

class Printing : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }
    void SetUp() override
    {
        ASSERT_FALSE(testServer().isEmpty())
            << "VANTREL_TEST_CUPS_SERVER is not set: run the tests through scripts/test, or as "
               "scripts/test-server ctest ...";
        ASSERT_EQ(qEnvironmentVariable("CUPS_SERVER"), testServer()) << "every CUPS client must use the test server";
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
    }
    void TearDown() override { preview.reset(); }

    // The report in its preview, laid out on the default queue's paper.
    void showPreview(const QString &file)
    {
        reports::ReportRequest request;
        request.reportFile = folder.file(file);
        QString error;
        auto job = reports::ReportJob::open(request, &error);
        ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();
        preview = std::make_unique<reports::ReportPreview>(std::move(job), nullptr);
    }
    // Prints the preview on `queue`; the job's number, 0 when nothing went.
    // `chosen` runs once the dialog would have closed.
    int printOn(const QString &queue, const std::function<void()> &chosen = {})
    {
        const QList<int> before = jobsOf(queue);
        preview->setPrinterChooser([&](QPrinter &printer, int) {
            printer.setPrinterName(queue);
            EXPECT_EQ(printer.printerName(), queue);
            if (chosen)
                chosen();
            return true;
        });
        if (!preview->printReport())
            return 0;
        const QList<int> after = jobsOf(queue);
        EXPECT_EQ(after.size(), before.size() + 1);
        const QString sent = preview->lastPrint();
        EXPECT_TRUE(sent.startsWith(QStringLiteral("Sent to the printer %1 as job ").arg(queue))) << sent.toStdString();
        return sent.section(QLatin1Char(' '), -1).chopped(1).toInt();
    }

    testing_support::TempProgramFolder folder;
    testing_support::ScriptedServices ui;
    std::unique_ptr<reports::ReportPreview> preview;
};

TEST_F(Printing, QueuesTellTheirStatePaperAndWhyTheyCannotPrint)
{
    EXPECT_EQ(PrintQueues::defaultQueue(), "Vantrel-Letter");
    EXPECT_TRUE(PrintQueues::defaultPaper().isEquivalentTo(QPageSize(QPageSize::Letter)));

    const auto a4 = PrintQueues::state("Vantrel-A4");
    EXPECT_TRUE(a4.found && a4.accepting && !a4.stopped);
    ASSERT_TRUE(a4.paper);
    EXPECT_EQ(a4.paper->id(), QPageSize::A4);
    EXPECT_EQ(PrintQueues::refusal("Vantrel-A4", a4, "\"Labels\""), "");

    const auto stopped = PrintQueues::state("Vantrel-Stopped");
    EXPECT_TRUE(stopped.found && stopped.accepting && stopped.stopped);
    EXPECT_EQ(PrintQueues::refusal("Vantrel-Stopped", stopped, "\"Labels\""),
              "The printer Vantrel-Stopped is stopped (Out of paper): \"Labels\" was not printed. Start the printer "
              "and print again, or choose another printer.");
    const auto refusing = PrintQueues::state("Vantrel-Refusing");
    EXPECT_TRUE(refusing.found && !refusing.accepting);
    EXPECT_EQ(PrintQueues::refusal("Vantrel-Refusing", refusing, "\"Labels\""),
              "The printer Vantrel-Refusing does not take jobs now (Closed for service): \"Labels\" was not printed. "
              "Print again once it takes jobs, or choose another printer.");
    const auto missing = PrintQueues::state("Vantrel-Missing");
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(PrintQueues::refusal("Vantrel-Missing", missing, "\"Labels\"")
                    .startsWith("The printer Vantrel-Missing cannot be found"));
}

TEST_F(Printing, TheJobHoldsThePagesThePreviewShows)
{
    ASSERT_NO_FATAL_FAILURE(showPreview("RenewalLocker.rpt"));
    ui.answerFile(folder.file("preview.pdf"));
    preview->saveAsPdf();
    const QStringList shown = testing_support::pdfPages(folder.file("preview.pdf"));
    ASSERT_EQ(shown.size(), preview->job().pageCount());

    const int job = printOn("Vantrel-Letter");
    ASSERT_GT(job, 0);
    const QString pdf = jobPdf("Vantrel-Letter", job);
    ASSERT_FALSE(pdf.isEmpty());
    const QStringList printed = testing_support::pdfPages(pdf);
    ASSERT_EQ(printed.size(), shown.size());
    for (int p = 0; p < printed.size(); ++p)
        EXPECT_EQ(squeezed(printed.at(p)), squeezed(shown.at(p))) << "page " << p + 1;
    EXPECT_TRUE(pdfInfo(pdf, "Page size").contains("letter")) << pdfInfo(pdf, "Page size").toStdString();
}

// The label report names no paper: on each queue it takes that queue's
// sheet, and every word of every label lies inside its own cell.
TEST_F(Printing, LabelsFallInTheirCellsOnLetterAndOnA4)
{
    for (const QString queue : {"Vantrel-Letter", "Vantrel-A4"}) {
        SCOPED_TRACE(queue.toStdString());
        ASSERT_NO_FATAL_FAILURE(showPreview("Labels.rpt"));
        const int job = printOn(queue);
        ASSERT_GT(job, 0) << ui.boxTexts().join("\n").toStdString();
        const reports::ReportDefinition &def = preview->job().definition();
        const bool a4 = queue.endsWith("A4");
        EXPECT_EQ(def.pageSize.id(), a4 ? QPageSize::A4 : QPageSize::Letter) << "the preview follows the queue's paper";
        const QString pdf = jobPdf(queue, job);
        ASSERT_FALSE(pdf.isEmpty());
        EXPECT_TRUE(pdfInfo(pdf, "Page size").contains(a4 ? "A4" : "letter"));

        const reports::LabelSheet &s = def.sheet;
        const int perPage = s.columns * s.rows;
        const QList<QList<Word>> pages = pdfWords(pdf);
        ASSERT_EQ(pages.size(), (testing_support::kSampleCustomers + perPage - 1) / perPage);
        int labels = 0;
        for (int p = 0; p < pages.size(); ++p) {
            QSet<int> filled;
            for (const Word &w : pages.at(p)) {
                // The cell the word's middle lies in, and the word whole inside it.
                const double x = w.box.center().x() / 72 - def.margins.left();
                const double y = w.box.center().y() / 72 - def.margins.top();
                const int column = int(x / (s.width + s.columnGap));
                const int row = int(y / (s.height + s.rowGap));
                const QRectF cell(72 * (def.margins.left() + column * (s.width + s.columnGap)),
                                  72 * (def.margins.top() + row * (s.height + s.rowGap)), 72 * s.width, 72 * s.height);
                EXPECT_TRUE(column < s.columns && row < s.rows && cell.contains(w.box))
                    << "page " << p + 1 << ": \"" << w.text.toStdString() << "\" at " << w.box.x() << "," << w.box.y()
                    << " leaves its cell";
                filled.insert(row * s.columns + column);
            }
            // Labels fill the cells in order, across then down.
            const int onPage = std::min(perPage, testing_support::kSampleCustomers - p * perPage);
            EXPECT_EQ(filled.size(), onPage);
            for (int cell = 0; cell < onPage; ++cell)
                EXPECT_TRUE(filled.contains(cell)) << "page " << p + 1 << " cell " << cell;
            labels += int(filled.size());
        }
        EXPECT_EQ(labels, testing_support::kSampleCustomers);
    }
}

TEST_F(Printing, APrinterThatCannotPrintIsToldAndTheReportCanBeSentAgain)
{
    ASSERT_NO_FATAL_FAILURE(showPreview("Labels.rpt"));
    const struct {
        const char *queue;
        const char *text;
    } cases[] = {
        {"Vantrel-Stopped",
         "The printer Vantrel-Stopped is stopped (Out of paper): \"Mailing Labels\" was not "
         "printed. Start the printer and print again, or choose another printer."},
        {"Vantrel-Refusing",
         "The printer Vantrel-Refusing does not take jobs now (Closed for service): \"Mailing "
         "Labels\" was not printed. Print again once it takes jobs, or choose another printer."},
        {"Vantrel-Gone", nullptr},
    };
    // A queue removed while the print dialog showed it.
    QProcess::execute(
        "lpadmin", {"-p", "Vantrel-Gone", "-E", "-v", "cups-pdf:/", "-P", "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.queue);
        const QList<int> before = jobsOf(c.queue);
        ui.answer(platform::Button::OK);
        EXPECT_EQ(printOn(c.queue,
                          [&] {
                              if (QLatin1String(c.queue) == QLatin1String("Vantrel-Gone"))
                                  QProcess::execute("lpadmin", {"-x", "Vantrel-Gone"});
                          }),
                  0);
        EXPECT_EQ(jobsOf(c.queue), before) << "no job waits to print later";
        EXPECT_EQ(preview->lastPrint(), "") << "nothing counted as printed";
        ASSERT_FALSE(ui.boxes.isEmpty());
        if (c.text)
            EXPECT_EQ(ui.lastBox().text, c.text);
        else
            EXPECT_TRUE(ui.lastBox().text.startsWith("The printer Vantrel-Gone cannot be found"))
                << ui.lastBox().text.toStdString();
        EXPECT_EQ(ui.lastBox().icon, platform::Icon::Exclamation);
    }
    const int job = printOn("Vantrel-A4");
    EXPECT_GT(job, 0) << "the same report, sent again";
    EXPECT_FALSE(jobPdf("Vantrel-A4", job).isEmpty());
}

TEST_F(Printing, TheYearAheadPrintsOnTheQueuesPaper)
{
    lockermap::MapSettings::clear();
    auto *window = new lockermap::frmYearAhead;
    window->setClock([] { return QDate(2024, 11, 15); });
    const QList<int> before = jobsOf("Vantrel-A4");
    window->setPrinterChooser([](QPrinter &printer, int pages) {
        EXPECT_EQ(pages, 1);
        printer.setPrinterName("Vantrel-A4");
        return true;
    });
    ASSERT_TRUE(window->MnuPrint_Click()) << ui.boxTexts().join("\n").toStdString();
    const QList<int> after = jobsOf("Vantrel-A4");
    ASSERT_EQ(after.size(), before.size() + 1);
    const QString pdf = jobPdf("Vantrel-A4", after.last());
    EXPECT_TRUE(pdfInfo(pdf, "Page size").contains("A4"));
    const QString text = testing_support::pdfText(pdf);
    EXPECT_TRUE(text.contains("The Year Ahead"));
    EXPECT_TRUE(text.contains("December 2024"));
    EXPECT_TRUE(text.contains("October 2025"));
    delete window;
}

} // namespace
