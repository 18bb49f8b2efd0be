// The preview window paints only the pages in view, and saves the whole
// report as PDF.
#include "SampleCenter.h"
#include "reports/ReportJob.h"
#include "reports/ui/ReportPreview.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(ReportPreview, PaintsThePagesInViewAndSavesThePdf)
{
    testing_support::TempProgramFolder folder;
    testing_support::ScriptedServices ui;
    testing_support::fillSampleCenter(folder.databasePath());
    testing_support::installDeliveredReports(folder.path());
    reports::ReportRequest request;
    request.reportFile = folder.file("RenewalLocker.rpt");
    QString error;
    auto job = reports::ReportJob::open(request, &error);
    ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();

    reports::ReportPreview preview(std::move(job), nullptr);
    preview.resize(700, 600);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    reports::PageView *view = preview.pageView();
    view->viewport()->repaint();
    EXPECT_GE(view->pagesRendered(), 1);
    EXPECT_LE(view->pagesRendered(), 2) << "only what is in view of 30 pages";
    EXPECT_EQ(preview.findChild<QLabel *>("PageLabel")->text(), "Page 1 of 30");

    preview.findChild<QAction *>("LastPageButton")->trigger();
    view->viewport()->repaint();
    EXPECT_EQ(view->currentPage(), 29);
    EXPECT_EQ(preview.findChild<QLabel *>("PageLabel")->text(), "Page 30 of 30");
    EXPECT_LE(view->pagesRendered(), 4);

    ui.answerFile(folder.file("saved.pdf"));
    preview.findChild<QAction *>("SavePdfButton")->trigger();
    EXPECT_EQ(testing_support::pdfPages(folder.file("saved.pdf")).size(), 30);
    EXPECT_EQ(ui.fileDialogs.size(), 1);
    EXPECT_EQ(ui.fileDialogs[0].fileName, "Locker Renewal Notices.pdf");
}

} // namespace
