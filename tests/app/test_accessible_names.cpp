// Every input of every window reads a name to a screen reader: the main
// menu and each window it opens, with the filter's rows all shown.
#include "SampleCenter.h"
#include "app/frmMainMenu.h"
#include "backup/XZIPDEMO1.h"
#include "csv/CsvImport.h"
#include "csv/dlgImportPreview.h"
#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "filter/frmFindWindow.h"
#include "reports/ReportJob.h"
#include "reports/ui/ReportPreview.h"
#include "reports/ui/frmDate.h"
#include "support/AccessibleNames.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "zip/ZipMain.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

using testing_support::accessibleNameOf;
using testing_support::inputsWithoutAccessibleName;
using testing_support::ScriptedServices;

class AccessibleNames : public ::testing::Test
{
protected:
    void SetUp() override { menu.show(); }

    void expectAllNamed(QWidget *window)
    {
        ASSERT_TRUE(window);
        window->show();
        QCoreApplication::processEvents();
        const QStringList unnamed = inputsWithoutAccessibleName(window);
        EXPECT_TRUE(unnamed.isEmpty()) << window->objectName().toStdString() << ": "
                                       << unnamed.join(QStringLiteral(", ")).toStdString();
    }

    customers::frmInformation *recordWindow()
    {
        menu.Image1_Click();
        return menu.informationWindow();
    }

    // The filter window with all five rows and three sort rows shown.
    filter::frmFindWindow *filterWithEveryRow()
    {
        filter::frmFindWindow *find = menu.findWindow();
        find->showFor(recordWindow());
        for (int i = 0; i < 5; ++i) {
            auto *field = find->findChild<QComboBox *>(QStringLiteral("Field_%1").arg(i));
            EXPECT_TRUE(field) << i;
            if (!field)
                return find;
            field->setCurrentIndex(field->findText(QStringLiteral("LastName")));
            find->Field_Click(i);
            if (i < 4) {
                auto *condition = find->findChild<QComboBox *>(QStringLiteral("Condition_%1").arg(i));
                condition->setCurrentIndex(0);
                find->Condition_Click(i);
            }
        }
        for (int k = 0; k < 3; ++k) {
            auto *sort = find->findChild<QComboBox *>(QStringLiteral("SortField_%1").arg(k));
            EXPECT_TRUE(sort) << k;
            if (!sort)
                return find;
            sort->setCurrentIndex(sort->findText(QStringLiteral("LastName")));
            find->SortField_Click(k);
        }
        return find;
    }

    testing_support::TempProgramFolder folder;
    ScriptedServices ui;
    app::frmMainMenu menu;
};

TEST_F(AccessibleNames, EveryWindowNamesEachOfItsInputs)
{
    expectAllNamed(&menu);
    customers::frmInformation *record = recordWindow();
    expectAllNamed(record);
    record->findChild<QAction *>("MnuList")->trigger();
    expectAllNamed(record->listWindow());
    expectAllNamed(filterWithEveryRow());

    menu.MnuModifyCenterInfo_Click();
    expectAllNamed(menu.centerWindow());
    menu.centerWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    menu.MnuHelpAbout_Click();
    expectAllNamed(menu.aboutWindow());
    menu.aboutWindow()->close();

    menu.MnuBackupRestore_Click();
    expectAllNamed(menu.backupWindow());
    menu.backupWindow()->close();

    menu.MnuLockerMap_Click();
    expectAllNamed(menu.lockerMapWindow());
    menu.lockerMapWindow()->close();

    QAction mail, locker;
    reports::frmDate date(&mail, &locker);
    expectAllNamed(&date);

    const QString csvPath = folder.path() + QStringLiteral("/in.csv");
    QFile csvFile(csvPath);
    ASSERT_TRUE(csvFile.open(QIODevice::WriteOnly));
    csvFile.write("Locker,Last Name\n1,Ann\n");
    csvFile.close();
    auto import = std::make_unique<csv::CsvImport>();
    QString error;
    ASSERT_TRUE(import->open(csvPath, folder.databasePath(), &error)) << error.toStdString();
    csv::dlgImportPreview preview(std::move(import), folder.databasePath());
    expectAllNamed(&preview);

    backup::ZipMain zip;
    backup::ExtractDialog extract(zip);
    expectAllNamed(&extract);

    testing_support::installDeliveredReports(folder.path());
    reports::ReportRequest request;
    request.reportFile = folder.file(QStringLiteral("Complete.rpt"));
    auto job = reports::ReportJob::open(request, &error);
    ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();
    reports::ReportPreview reportPreview(std::move(job), nullptr);
    expectAllNamed(&reportPreview);
}

TEST_F(AccessibleNames, FilterRowsAddedLaterReadTheirColumnAndRow)
{
    filter::frmFindWindow *find = filterWithEveryRow();
    auto name = [find](const QString &control) {
        QWidget *w = find->findChild<QWidget *>(control);
        return (w ? accessibleNameOf(w) : QStringLiteral("(missing)")).toStdString();
    };
    EXPECT_EQ(name("Criteria_0"), "Criteria, row 1");
    EXPECT_EQ(name("Criteria_4"), "Criteria, row 5");
    EXPECT_EQ(name("Condition_3"), "And or Or, row 4");
    EXPECT_EQ(name("Operator_2"), "Operator, row 3");
    EXPECT_EQ(name("SortOrder_2"), "Sort order, row 3");
}

TEST_F(AccessibleNames, CenterRateAndPeriodReadTheirPromptsWithTheUnitAsDescription)
{
    menu.MnuModifyCenterInfo_Click();
    QWidget *center = menu.centerWindow();
    ASSERT_TRUE(center);
    QWidget *rate = center->findChild<QWidget *>("txtFields_0");
    QWidget *period = center->findChild<QWidget *>("txtFields_1");
    ASSERT_TRUE(rate && period);
    EXPECT_EQ(accessibleNameOf(rate), "Rental Rate");
    EXPECT_EQ(accessibleNameOf(period), "Rental Time Period");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rate)->text(QAccessible::Description), "Dollars");
    center->close();
}

TEST_F(AccessibleNames, ATickThroughTheScreenReaderRunsTheDeleteHandler)
{
    filter::frmFindWindow *find = filterWithEveryRow();
    auto *advanced = find->findChild<QWidget *>("AdvancedButton");
    QMetaObject::invokeMethod(advanced, "click");
    auto *deleteCheck = find->findChild<QCheckBox *>("DeleteCheck");
    ASSERT_TRUE(deleteCheck && deleteCheck->isVisible());
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(deleteCheck);
    ASSERT_TRUE(reader && reader->actionInterface());
    reader->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(deleteCheck->isChecked());
    // The handler took the sort rows away and locked the first sort field.
    EXPECT_FALSE(find->findChild<QWidget *>("SortField_1"));
    EXPECT_FALSE(find->findChild<QWidget *>("SortField_0")->isEnabled());
}

} // namespace
