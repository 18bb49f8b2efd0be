// The list window over a table larger than the ids the record set reads
// when it opens: scrolling to the end at once reaches the last customer.
#include "WindowFixture.h"
#include "customers/frmListWindow.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "widgets/DataGrid.h"

#include <QScrollBar>
#include <QTableView>
#include <sqlite3.h>

using testing_support::RecordWindowTest;

namespace {

class LargeList : public RecordWindowTest
{
protected:
    void addCustomers(int rows) { testing_support::insertNumberedCustomers(folder.databasePath(), rows); }
};

TEST_F(LargeList, ScrolledToTheEndAtOnceShowsTheLastCustomerAndTheRecordWindowFollows)
{
    addCustomers(3000);
    open();
    ASSERT_FALSE(window->data()->recordset()->keysetComplete()) << "the table should be larger than the first chunk";
    trigger("MnuList");
    customers::frmListWindow *list = window->listWindow();
    ASSERT_TRUE(list);
    QTableView *view = list->grid()->view();
    EXPECT_EQ(list->grid()->model()->rowCount(), 3000);

    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QModelIndex last = list->grid()->model()->index(2999, 0);
    EXPECT_EQ(last.data().toLongLong(), 3000);
    EXPECT_TRUE(view->viewport()->rect().intersects(view->visualRect(last))) << "the last row is on screen";

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(last).center());
    QApplication::processEvents();
    EXPECT_EQ(shown("TDBMask13"), "3000______");
    EXPECT_EQ(window->data()->recordset()->AbsolutePosition(), 2999);
}

} // namespace
