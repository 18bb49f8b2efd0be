// Saves pictures of the expiry-date dialog and of the preview window on the
// Complete listing of a 30-customer center into the folder given as the
// first argument. Run under Xvfb to see what an operator sees.
#include "SampleCenter.h"
#include "reports/ReportJob.h"
#include "reports/ui/ReportPreview.h"
#include "reports/ui/frmDate.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "support/ScreenshotMain.h"
#include "widgets/DateEdit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

int takeScreenshots(const ScreenshotRun &run)
{
    const QString &out = run.out;
    const QString &database = run.database;
    testing_support::fillSampleCenter(database);
    testing_support::installDeliveredReports(run.folder);

    QAction mail(QStringLiteral("To Be &Mailed"));
    QAction locker(QStringLiteral("For the &Locker"));
    reports::frmDate dialog(&mail, &locker);
    dialog.show();
    (void)QTest::qWaitForWindowExposed(&dialog);
    QTest::keyClicks(dialog.findChild<widgets::DateEdit *>(QStringLiteral("TDBDate1")), QStringLiteral("12312024"));
    dialog.grab().save(out + QStringLiteral("/frmDate.png"));
    dialog.hide();

    reports::ReportRequest request;
    request.reportFile = QDir(run.folder).filePath(QStringLiteral("Complete.rpt"));
    QString error;
    auto job = reports::ReportJob::open(request, &error);
    if (!job || !job->prepare(nullptr))
        return 1;
    reports::ReportPreview preview(std::move(job), nullptr);
    preview.resize(900, 800);
    preview.show();
    (void)QTest::qWaitForWindowExposed(&preview);
    preview.grab().save(out + QStringLiteral("/report-preview.png"));
    return 0;
}
