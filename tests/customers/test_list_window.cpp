#include "WindowFixture.h"
#include "customers/frmListWindow.h"
#include "widgets/DataGrid.h"

#include <QTableView>

namespace {

template<typename OnBackend>
class ListWindowOn : public OnBackend
{
protected:
    void addFourCustomers()
    {
        this->insert({{"LockerNumber", 40}, {"FirstName", "Dee"}, {"LastName", "Moreno"}});
        this->insert({{"LockerNumber", 10}, {"FirstName", "Al"}, {"LastName", "Zimmer"}});
        this->insert({{"LockerNumber", 30}, {"FirstName", "Cy"}, {"LastName", "Adams"}});
        this->insert({{"LockerNumber", 20}, {"FirstName", "Bo"}, {"LastName", "Baker"}});
    }
    customers::frmListWindow *openList()
    {
        this->trigger("MnuList");
        return this->window->listWindow();
    }
    static QStringList column(customers::frmListWindow *list, int c)
    {
        QStringList out;
        auto *model = list->grid()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, c).data().toString();
        return out;
    }
    static void clickRow(customers::frmListWindow *list, int row)
    {
        QTableView *view = list->grid()->view();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(list->grid()->model()->index(row, 1)).center());
    }
};

using ListWindow = ListWindowOn<testing_support::RecordWindowOnBackends>;
// What needs no rows: the grid's columns, and the list closing with its record window.
using ListWindowAlone = ListWindowOn<testing_support::RecordWindowTest>;

TEST_F(ListWindowAlone, ThirtyFourColumnsInOrderWithTheirKinds)
{
    QStringList columns;
    for (const widgets::GridColumn &c : customers::frmListWindow::gridColumns()) {
        const char *kind = c.kind == store::FieldKind::Long ? ":long" : c.kind == store::FieldKind::Date ? ":date" : "";
        EXPECT_EQ(c.caption, c.field);
        columns << c.caption + kind;
    }
    EXPECT_EQ(columns.join(' '),
              "LockerNumber:long FirstName LastName DateRented:date DatetoRenew:date City State Zip KeyDeposit:long "
              "VIBNumber:long Combo1 Combo2 Combo3 Address1 Address2 Address3 EMail KeyNumber:long Phone1 Phone2 Fax "
              "WorkName WorkAddress1 WorkAddress2 WorkCity WorkState WorkZip WorkPhone WorkFax Age Birthdate "
              "SSNumber Gender Notes");
}

TEST_P(ListWindow, AfterASortShowsThatOrderOnTheRecordWindowsCustomer)
{
    addFourCustomers();
    insert({{"LockerNumber", 50}, {"LastName", "Young"}, {"DateToRenew", QDate(2025, 1, 14)}, {"Notes", "one\ntwo"}});
    open();
    trigger("MnuSortName");
    click("Next");
    click("Next");
    ASSERT_EQ(shown("txtFields_1"), "Moreno");

    customers::frmListWindow *list = openList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->windowTitle(), "Customer Database");
    EXPECT_EQ(list->grid()->caption(), "Customers Information");
    EXPECT_EQ(column(list, 2), QStringList({"Adams", "Baker", "Moreno", "Young", "Zimmer"}));
    EXPECT_EQ(column(list, 0), QStringList({"30", "20", "40", "50", "10"}));
    EXPECT_EQ(list->grid()->currentRow(), 2);
    EXPECT_EQ(column(list, 4).at(3), "01/14/2025");
    EXPECT_EQ(column(list, 33).at(3), "one two");
    EXPECT_FALSE(list->grid()->model()->flags(list->grid()->model()->index(0, 0)) & Qt::ItemIsEditable);

    trigger("MnuList");
    EXPECT_EQ(window->listWindow(), list) << "the open list comes to the front, no second one";
}

TEST_P(ListWindow, BothWindowsKeepTheirCurrentRowsInStep)
{
    addFourCustomers();
    open();
    customers::frmListWindow *list = openList();
    EXPECT_EQ(list->grid()->currentRow(), 0);

    click("Last");
    EXPECT_EQ(list->grid()->currentRow(), 3);

    // A click in the grid moves the record window, writing its edit first.
    type("txtFields_5", "Springfield");
    clickRow(list, 1);
    EXPECT_EQ(shown("txtFields_1"), "Zimmer");
    EXPECT_EQ(stored(20).value("City").toString(), "Springfield");

    // An edit the engine refuses keeps both windows on the row.
    retype("TDBMask13", "9999999999");
    services.answer(platform::Button::OK);
    clickRow(list, 2);
    EXPECT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(list->grid()->currentRow(), 1);
    EXPECT_EQ(shown("TDBMask13"), "9999999999");
    retype("TDBMask13", "11");
    clickRow(list, 2);
    EXPECT_EQ(shown("txtFields_1"), "Adams");
    EXPECT_FALSE(stored(11).isEmpty());
}

TEST_P(ListWindow, FollowsTheRecordWindowsNewRecordSet)
{
    addFourCustomers();
    open();
    customers::frmListWindow *list = openList();
    trigger("MnuSortLockerNumber");
    EXPECT_EQ(list->data()->recordset(), window->data()->recordset());
    EXPECT_EQ(column(list, 0), QStringList({"10", "20", "30", "40"}));
    EXPECT_EQ(list->grid()->currentRow(), 0);
    trigger("MnuSortName");
    EXPECT_EQ(column(list, 2).first(), "Adams");
}

TEST_P(ListWindow, AnEmptyTableOpensEmptyAndNewRowsAppear)
{
    open();
    customers::frmListWindow *list = openList();
    EXPECT_TRUE(services.boxes.isEmpty());
    EXPECT_EQ(list->grid()->model()->rowCount(), 0);
    EXPECT_EQ(list->grid()->currentRow(), -1);

    type("TDBMask13", "7");
    type("txtFields_0", "Flo");
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(column(list, 1), QStringList({"Flo"}));
    EXPECT_EQ(list->grid()->currentRow(), 0);
}

TEST_F(ListWindowAlone, GoesWithTheRecordWindow)
{
    open();
    QPointer<customers::frmListWindow> list = openList();
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(list.isNull());
}

VANTREL_ON_BOTH_BACKENDS(ListWindow);

} // namespace
