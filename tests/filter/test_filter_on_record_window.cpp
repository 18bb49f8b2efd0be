// The filter window on the real customer record window: "&Filter" /
// "&Create" opens it, "&OK" puts the filter in force in the record window
// and the list window, and a record window opened again is the one it
// works on from then on.
#include "BackendDatabase.h"
#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "filter/frmFindWindow.h"
#include "support/ScriptedServices.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FilterOnRecordWindow : public testing_support::BackendTest
{
protected:
    void SetUp() override
    {
        const char *cities[] = {"Springfield", "Shelbyville", "Springfield", "Ogdenville", "Springfield"};
        const char *names[] = {"Zimmer", "Adams", "Moreno", "Baker", "Cole"};
        for (int i = 0; i < 5; ++i)
            database.insert({{{"LockerNumber", 101 + i}, {"LastName", names[i]}, {"City", cities[i]}}});
        customers::frmInformation::setFilterWindowLauncher([this](customers::frmInformation &w) { find.showFor(&w); });
    }
    void TearDown() override
    {
        customers::frmInformation::setFilterWindowLauncher(nullptr);
        delete record.data();
    }
    void openRecordWindow()
    {
        record = new customers::frmInformation;
        record->show();
    }
    void choose(const QString &name, const QString &text)
    {
        auto *l = find.findChild<QComboBox *>(name);
        const int i = l->findText(text);
        ASSERT_GE(i, 0);
        l->setCurrentIndex(i);
        emit l->activated(i);
    }

    testing_support::ScriptedServices ui;
    filter::frmFindWindow find;
    QPointer<customers::frmInformation> record;
};

TEST_P(FilterOnRecordWindow, OkPutsTheFilterInForceInBothWindows)
{
    openRecordWindow();
    record->findChild<QAction *>("MnuFilterCreate")->trigger();
    ASSERT_TRUE(find.isVisible());
    EXPECT_EQ(record->data()->RecordsetType(), store::Recordset::Dynaset);
    choose("Field_0", "City");
    QTest::keyClicks(find.findChild<QLineEdit *>("Criteria_0"), "springfield");
    choose("SortField_0", "LastName");
    QTest::keyClick(find.findChild<QLineEdit *>("Criteria_0"), Qt::Key_Return);

    EXPECT_FALSE(find.isVisible());
    EXPECT_FALSE(record->filterLabel()->isHidden());
    EXPECT_EQ(record->filterLabel()->text(), "Filter is ON");
    EXPECT_TRUE(record->printMenu()->menuAction()->isEnabled());
    EXPECT_FALSE(record->sortMenu()->menuAction()->isEnabled());
    ASSERT_EQ(record->data()->recordset()->RecordCount(), 3);
    EXPECT_EQ(record->data()->recordset()->value("LastName").toString(), "Cole");

    record->findChild<QAction *>("MnuList")->trigger();
    ASSERT_TRUE(record->listWindow());
    EXPECT_EQ(record->listWindow()->data()->recordset()->RecordCount(), 3);

    // Cancelling brings every customer back, in both windows.
    record->findChild<QAction *>("MnuFilterCreate")->trigger();
    find.findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(record->filterLabel()->isHidden());
    EXPECT_FALSE(record->printMenu()->menuAction()->isEnabled());
    EXPECT_TRUE(record->sortMenu()->menuAction()->isEnabled());
    EXPECT_EQ(record->data()->recordset()->RecordCount(), 5);
    EXPECT_EQ(record->listWindow()->data()->recordset()->RecordCount(), 5);
}

TEST_P(FilterOnRecordWindow, ARecordWindowOpenedAgainIsTheOneFiltered)
{
    openRecordWindow();
    record->findChild<QAction *>("MnuFilterCreate")->trigger();
    choose("Field_0", "City");
    QTest::keyClicks(find.findChild<QLineEdit *>("Criteria_0"), "ogdenville");
    find.CancelButton_Click();
    record->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(record.isNull());

    openRecordWindow();
    record->findChild<QAction *>("MnuFilterCreate")->trigger();
    EXPECT_EQ(find.findChild<QLineEdit *>("Criteria_0")->text(), "OGDENVILLE") << "the rows survive";
    find.findChild<QPushButton *>("OKButton")->click();
    EXPECT_EQ(record->data()->recordset()->RecordCount(), 1);
    EXPECT_FALSE(record->filterLabel()->isHidden());
}

VANTREL_ON_BOTH_BACKENDS(FilterOnRecordWindow);

} // namespace
