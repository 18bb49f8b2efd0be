// The print commands on the real windows: the expiry-date dialog from the
// main menu, "Complete &Database", and "Labels" and "Report" of the record
// window with filters put in force through the filter window.
#include "SampleCenter.h"
#include "app/frmMainMenu.h"
#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"
#include "reports/ui/CrystalReport.h"
#include "reports/ui/ReportPreview.h"
#include "reports/ui/frmDate.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "widgets/DateEdit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using platform::Button;
using testing_support::ScriptedServices;

namespace {

class ReportWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
    }

    // Runs `steps` on the expiry-date dialog once it is shown modally.
    void whenDateDialogOpens(std::function<void(reports::frmDate &)> steps)
    {
        QTimer::singleShot(0, [steps] {
            auto *dialog = qobject_cast<reports::frmDate *>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "the expiry-date dialog is not shown";
                return;
            }
            steps(*dialog);
            if (dialog->isVisible()) // a test that forgot to close it would hang
                dialog->reject();
        });
    }
    void toPdf(reports::CrystalReport *control, const QString &name)
    {
        control->setDestination(reports::CrystalReport::Destination::File);
        control->setPrintFileName(folder.file(name));
    }

    testing_support::TempProgramFolder folder;
    ScriptedServices ui;
};

TEST_F(ReportWindows, ForTheLockerPrintsTheLockersExpiringByTheDate)
{
    app::frmMainMenu menu;
    QAction *mail = menu.menuAction("MnuPrintMail");
    QAction *locker = menu.menuAction("MnuPrintLocker");
    QString text;
    whenDateDialogOpens([&](reports::frmDate &dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Date ");
        EXPECT_TRUE(locker->isChecked());
        EXPECT_FALSE(mail->isChecked());
        toPdf(dialog.report(), "notices.pdf");
        QTest::keyClicks(dialog.findChild<widgets::DateEdit *>("TDBDate1"), "12312024");
        dialog.findChild<QPushButton *>("Command3")->click();
        EXPECT_EQ(dialog.findChild<QLineEdit *>("Text3")->text(), "{Information.DatetoRenew} <= Date (2024,12,31)");
        EXPECT_EQ(dialog.report()->lastRun().selectionFormula, "{Information.DatetoRenew} <= Date (2024,12,31)");
        EXPECT_EQ(dialog.report()->lastRun().reportFile, folder.file("RenewalLocker.rpt"));
        EXPECT_EQ(dialog.report()->LastErrorString(), "");
        text = testing_support::pdfText(folder.file("notices.pdf"));
        EXPECT_TRUE(dialog.isVisible()) << "the dialog stays for further dates";
        dialog.findChild<QPushButton *>("Command1")->click();
    });
    locker->trigger();
    EXPECT_TRUE(text.contains("Whitfield")) << "expires 12/31/2024";
    EXPECT_FALSE(text.contains("Redcloud")) << "expires 01/01/2025";
    EXPECT_FALSE(mail->isChecked());
    EXPECT_FALSE(locker->isChecked());
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

TEST_F(ReportWindows, ToBeMailedPrintsTheLettersAndTheFrameClearsTheMarks)
{
    app::frmMainMenu menu;
    QAction *mail = menu.menuAction("MnuPrintMail");
    whenDateDialogOpens([&](reports::frmDate &dialog) {
        EXPECT_TRUE(mail->isChecked());
        toPdf(dialog.report(), "letters.pdf");
        QTest::keyClicks(dialog.findChild<widgets::DateEdit *>("TDBDate1"), "03152025");
        dialog.Command3_Click();
        EXPECT_EQ(dialog.report()->lastRun().selectionFormula, "{Information.DatetoRenew} <= Date (2025,03,15)");
        EXPECT_EQ(dialog.report()->lastRun().reportFile, folder.file("RenewalMail.rpt"));
        dialog.close(); // by the window frame
    });
    mail->trigger();
    EXPECT_FALSE(mail->isChecked());
    EXPECT_FALSE(menu.menuAction("MnuPrintLocker")->isChecked());
    // Lockers 101 to 122 expire by 03/15/2025: one letter each.
    EXPECT_EQ(testing_support::pdfPages(folder.file("letters.pdf")).size(), 22);
}

TEST_F(ReportWindows, TheNoticesStayOpenAfterTheDialogCloses)
{
    app::frmMainMenu menu;
    QPointer<reports::ReportPreview> preview;
    whenDateDialogOpens([&](reports::frmDate &dialog) {
        QTest::keyClicks(dialog.findChild<widgets::DateEdit *>("TDBDate1"), "12312024");
        dialog.Command3_Click();
        preview = dialog.report()->lastPreview();
        dialog.findChild<QPushButton *>("Command1")->click();
    });
    menu.menuAction("MnuPrintLocker")->trigger();
    ASSERT_TRUE(preview) << "the preview outlives the dialog";
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), "Locker Renewal Notices");
    preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(preview) << "closed by the operator, it goes";
}

TEST_F(ReportWindows, GoWithoutADateOrWithABrokenOnePrintsNothing)
{
    app::frmMainMenu menu;
    ui.answer(Button::OK);
    ui.answerWith([](const platform::MessageBoxRequest &box) {
        EXPECT_EQ(box.text, "12/3_/____ is not a date. Type a date as mm/dd/yyyy, or leave the field empty.");
        return Button::OK;
    });
    ui.answer(Button::OK);
    whenDateDialogOpens([&](reports::frmDate &dialog) {
        auto *date = dialog.findChild<widgets::DateEdit *>("TDBDate1");
        dialog.findChild<QPushButton *>("Command3")->click();
        ASSERT_EQ(ui.boxes.size(), 1);
        EXPECT_EQ(ui.lastBox().title, "Warning");
        EXPECT_EQ(ui.lastBox().text, "A Date Is Required");
        EXPECT_EQ(ui.lastBox().icon, platform::Icon::Exclamation);
        EXPECT_EQ(ui.lastBox().buttons, platform::Buttons::OKOnly);
        EXPECT_EQ(ui.pointer(), platform::Pointer::Default);

        QTest::keyClicks(date, "123");
        dialog.Command3_Click();
        ASSERT_EQ(ui.boxes.size(), 2);
        EXPECT_TRUE(date->isBlank()) << "the field goes back to what it held";

        QTest::keyClicks(date, "02302024"); // no 30 February
        dialog.Command3_Click();
        EXPECT_EQ(ui.boxes.size(), 3);
        EXPECT_EQ(dialog.report()->runCount(), 0);
        dialog.Command1_Click();
    });
    menu.menuAction("MnuPrintLocker")->trigger();
    EXPECT_FALSE(menu.menuAction("MnuPrintLocker")->isChecked());
}

TEST_F(ReportWindows, CompleteDatabaseListsEveryoneAndTellsAMissingFile)
{
    app::frmMainMenu menu;
    auto *control = menu.findChild<reports::CrystalReport *>("CrystalReport1");
    ASSERT_TRUE(control);
    toPdf(control, "complete.pdf");
    menu.menuAction("MnuPrintComplete")->trigger();
    EXPECT_EQ(control->lastRun().selectionFormula, "");
    EXPECT_EQ(control->lastRun().sortFields, QStringList({"", "", ""}));
    EXPECT_EQ(testing_support::pdfText(folder.file("complete.pdf")).count(QRegularExpression("\\(217\\)555-01\\d\\d")),
              30 + 9);

    QFile::remove(folder.file("Complete.rpt"));
    ui.answer(Button::OK);
    menu.menuAction("MnuPrintComplete")->trigger();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.lastBox().text, "The report file " + folder.file("Complete.rpt") + " does not exist.");
    EXPECT_EQ(ui.lastBox().shownTitle(), "Vantrel");
    EXPECT_EQ(ui.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

// The record window with the filter window of the main menu, shown without
// waiting so that the test can fill its rows.
class FilteredPrints : public ReportWindows
{
protected:
    void SetUp() override
    {
        ReportWindows::SetUp();
        menu = std::make_unique<app::frmMainMenu>();
        customers::frmInformation::setFilterWindowLauncher(
            [this](customers::frmInformation &w) { menu->findWindow()->showFor(&w); });
        menu->Image1_Click();
        record = menu->informationWindow();
        ASSERT_TRUE(record);
        control = record->findChild<reports::CrystalReport *>("CrystalReport1");
        ASSERT_TRUE(control);
    }
    void TearDown() override { menu.reset(); }

    filter::frmFindWindow *find() { return menu->findWindow(); }
    void choose(const QString &listName, const QString &text)
    {
        auto *l = find()->findChild<QComboBox *>(listName);
        ASSERT_TRUE(l) << listName.toStdString();
        const int i = l->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        l->setCurrentIndex(i);
        emit l->activated(i);
    }
    void criteria(int row, const QString &text)
    {
        auto *box = find()->findChild<QLineEdit *>(QStringLiteral("Criteria_%1").arg(row));
        box->clear();
        QTest::keyClicks(box, text);
    }
    void openFilter()
    {
        record->findChild<QAction *>("MnuFilterCreate")->trigger();
        find()->ClearButton_Click();
        find()->ClearSortButton_Click();
    }

    std::unique_ptr<app::frmMainMenu> menu;
    customers::frmInformation *record = nullptr;
    reports::CrystalReport *control = nullptr;
};

TEST_F(FilteredPrints, LabelsWithoutAFilterShowTheNotice)
{
    ui.answer(Button::OK);
    record->MnuPrintLabels_Click();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.lastBox().title, "Notice");
    EXPECT_EQ(ui.lastBox().text, "This is for printing 'Filtered' records only");
    EXPECT_EQ(ui.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(control->runCount(), 0);
}

TEST_F(FilteredPrints, SortFieldsFollowTheFilterAndNoneAreLeftOver)
{
    toPdf(control, "filter.pdf");
    openFilter();
    choose("Field_0", "City");
    criteria(0, "springfield");
    choose("SortField_0", "KeyDeposit");
    choose("SortOrder_0", "Descending");
    choose("SortField_1", "LastName");
    find()->OKButton_Click();
    ASSERT_FALSE(record->filterLabel()->isHidden());
    record->findChild<QAction *>("MnuPrintReport")->trigger();
    // The record window's source names the table as "information".
    EXPECT_EQ(control->lastRun().sortFields, QStringList({"-{information.KeyDeposit}", "+{information.LastName}", ""}));
    EXPECT_EQ(control->lastRun().reportFile, folder.file("Filter.rpt"));
    EXPECT_EQ(control->lastRun().selectionFormula, "{information.City} = \"SPRINGFIELD\"");
    EXPECT_FALSE(record->sortMenu()->menuAction()->isEnabled());

    openFilter();
    choose("Field_0", "City");
    criteria(0, "chatham");
    choose("SortField_0", "LastName");
    find()->OKButton_Click();
    record->findChild<QAction *>("MnuPrintLabels")->trigger();
    EXPECT_EQ(control->lastRun().sortFields, QStringList({"+{information.LastName}", "", ""}));
    EXPECT_EQ(control->lastRun().reportFile, folder.file("Labels.rpt"));

    openFilter();
    choose("Field_0", "City");
    criteria(0, "rochester");
    find()->OKButton_Click();
    record->findChild<QAction *>("MnuPrintReport")->trigger();
    EXPECT_EQ(control->lastRun().sortFields, QStringList({"", "", ""}));
    EXPECT_EQ(control->runCount(), 3);
    EXPECT_EQ(ui.boxes.size(), 0);
}

TEST_F(FilteredPrints, AMissingReportFileIsToldAndThePointerComesBack)
{
    openFilter();
    choose("Field_0", "City");
    criteria(0, "chatham");
    find()->OKButton_Click();
    QFile::remove(folder.file("Labels.rpt"));
    ui.answer(Button::OK);
    record->MnuPrintLabels_Click();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.lastBox().text, "The report file " + folder.file("Labels.rpt") + " does not exist.");
    EXPECT_EQ(ui.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

TEST_F(FilteredPrints, TheReportOpensAPreviewOnItsFirstPage)
{
    openFilter();
    choose("Field_0", "City");
    criteria(0, "springfield");
    find()->OKButton_Click();
    record->MnuPrintReport_Click();
    ASSERT_TRUE(control->lastPreview());
    EXPECT_EQ(control->lastPreview()->windowTitle(), "Filtered Customer Listing");
    EXPECT_TRUE(control->lastPreview()->isVisible());
    delete control->lastPreview();
}

} // namespace
