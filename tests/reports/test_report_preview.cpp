// The preview window paints only the pages in view, and saves the whole
// report as PDF; its rows and their count stay one set when the customers
// change while it is open.
#include "SampleCenter.h"
#include "reports/ReportJob.h"
#include "reports/ui/ReportPreview.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The renewal notices of the sample center (a page a customer) in a preview
// window, painted up to its first page.
class ReportPreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
        request.reportFile = folder.file("RenewalLocker.rpt");
    }
    void showPreview()
    {
        QString error;
        auto job = reports::ReportJob::open(request, &error);
        ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();
        preview = std::make_unique<reports::ReportPreview>(std::move(job), nullptr);
        preview->resize(700, 600);
        preview->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.get()));
        preview->pageView()->viewport()->repaint();
    }
    QString pageLabel() const { return preview->findChild<QLabel *>("PageLabel")->text(); }

    testing_support::TempProgramFolder folder;
    testing_support::ScriptedServices ui;
    reports::ReportRequest request;
    std::unique_ptr<reports::ReportPreview> preview;
};

TEST_F(ReportPreviewTest, PaintsThePagesInViewAndSavesThePdf)
{
    ASSERT_NO_FATAL_FAILURE(showPreview());
    reports::PageView *view = preview->pageView();
    EXPECT_GE(view->pagesRendered(), 1);
    EXPECT_LE(view->pagesRendered(), 2) << "only what is in view of 30 pages";
    EXPECT_EQ(pageLabel(), "Page 1 of 30");

    preview->findChild<QAction *>("LastPageButton")->trigger();
    view->viewport()->repaint();
    EXPECT_EQ(view->currentPage(), 29);
    EXPECT_EQ(pageLabel(), "Page 30 of 30");
    EXPECT_LE(view->pagesRendered(), 4);

    ui.answerFile(folder.file("saved.pdf"));
    preview->findChild<QAction *>("SavePdfButton")->trigger();
    EXPECT_EQ(testing_support::pdfPages(folder.file("saved.pdf")).size(), 30);
    EXPECT_EQ(ui.fileDialogs.size(), 1);
    EXPECT_EQ(ui.fileDialogs[0].fileName, "Locker Renewal Notices.pdf");
}

// The statement's rows are counted with the first page's; the rest are read
// when a later page is wanted. Changed meanwhile by another program, the
// later rows and their count hold, and every page follows them: no customer
// printed twice, none left out.
TEST_F(ReportPreviewTest, RowsChangedAfterTheFirstPageAreCountedAndPrintedOnce)
{
    request.selectionFormula = QStringLiteral("{Information.LockerNumber} < 120");
    request.selectionStatement = QStringLiteral("Select Information.* From Information Where [LockerNumber] < 120");
    ASSERT_NO_FATAL_FAILURE(showPreview());
    EXPECT_EQ(pageLabel(), "Page 1 of 19");

    store::EngineError e;
    auto other = store::DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(other);
    for (const char *change : {"UPDATE Information SET LockerNumber = 100 WHERE LockerNumber = 125",
                               "DELETE FROM Information WHERE LockerNumber IN (110, 111)"})
        ASSERT_TRUE(store::execSql(other->handle(), QLatin1String(change), &e)) << e.text.toStdString();

    preview->findChild<QAction *>("NextPageButton")->trigger();
    preview->pageView()->viewport()->repaint();
    EXPECT_EQ(preview->job().rowCount(), 18);
    EXPECT_EQ(pageLabel(), "Page 2 of 18");

    ui.answerFile(folder.file("saved.pdf"));
    preview->findChild<QAction *>("SavePdfButton")->trigger();
    QStringList printed;
    for (const QString &page : testing_support::pdfPages(folder.file("saved.pdf"))) {
        const qsizetype at = page.indexOf(QLatin1String("LOCKER "));
        printed << (at < 0 ? QString() : page.mid(at + 7, 3));
    }
    QStringList selected{QStringLiteral("100")};
    for (int locker = 101; locker < 120; ++locker) {
        if (locker != 110 && locker != 111)
            selected << QString::number(locker);
    }
    EXPECT_EQ(printed, selected);
}

} // namespace
