// Compress while the customer record window and its list window are open:
// the typed edit is written, and both windows come back on the same customer
// in the same order, on the compacted file.
#include "DatabaseFiles.h"

#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "maintenance/MaintenanceCommands.h"
#include "store/ProgramFolder.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(CompressWithCustomerWindows, TheEditIsWrittenAndBothWindowsComeBackOnTheSameCustomer)
{
    TempProgramFolder folder;
    ScriptedServices services;
    insertVariedCustomers(folder.databasePath(), 60, 7);
    QPointer<customers::frmInformation> window = new customers::frmInformation;
    window->show();
    QApplication::processEvents();
    window->findChild<QAction *>("MnuSortName")->trigger();
    window->findChild<QAction *>("MnuList")->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(window->listWindow());

    store::DataControl *data = window->data();
    ASSERT_TRUE(data->moveTo(20));
    const qint64 customer = data->recordset()->Bookmark();
    auto *firstName = window->findChild<QLineEdit *>("txtFields_0");
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Rosalind");
    services.answer(platform::Button::OK);

    EXPECT_TRUE(maintenance::compressDatabase());
    QApplication::processEvents();

    EXPECT_EQ(services.lastBox().text, "Your database has been successfully compressed. ");
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    ASSERT_TRUE(data->recordset());
    EXPECT_EQ(data->DatabaseName(), folder.file("VANTREL.MDB"));
    EXPECT_EQ(data->recordset()->Bookmark(), customer);
    EXPECT_EQ(data->recordset()->AbsolutePosition(), 20);
    EXPECT_EQ(data->recordset()->index(), "LastName");
    EXPECT_EQ(firstName->text(), "Rosalind");
    EXPECT_EQ(window->listWindow()->data()->recordset(), data->recordset()) << "the list window shows the same rows";
    EXPECT_EQ(window->listWindow()->data()->recordset()->RecordCount(), 60 - 60 / 7);

    const auto rows = storedRows(store::programPath("\\Vantrel.mdb"), "Information");
    const auto written =
        std::find_if(rows.cbegin(), rows.cend(), [&](const StoredRow &r) { return r.rowid == customer; });
    ASSERT_NE(written, rows.cend());
    EXPECT_EQ(written->values.at(8).toString(), "Rosalind");

    // The window goes on working, on the compacted file.
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Rosa");
    ASSERT_TRUE(data->moveNext());
    const auto after = storedRows(store::programPath("\\Vantrel.mdb"), "Information");
    const auto again =
        std::find_if(after.cbegin(), after.cend(), [&](const StoredRow &r) { return r.rowid == customer; });
    ASSERT_NE(again, after.cend());
    EXPECT_EQ(again->values.at(8).toString(), "Rosa");
    window->close();
    QApplication::processEvents();
    delete window.data();
}

} // namespace
