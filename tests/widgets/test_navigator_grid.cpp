#include "BackendDatabase.h"
#include "store/DataControl.h"
#include "support/ScriptedServices.h"
#include "widgets/BoundLineEdit.h"
#include "widgets/DataErrorReporter.h"
#include "widgets/DataGrid.h"
#include "widgets/RecordNavigator.h"

#include <QApplication>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sqlite3.h>

using testing_support::ScriptedServices;

namespace {

// A data control over the customer table with a few rows, and one bound field.
template<typename OnBackend>
class BoundRowsOn : public OnBackend
{
protected:
    void SetUp() override
    {
        data.setDatabaseName(this->database.name());
        data.setRecordSource("Information");
        data.bind(&name);
        ASSERT_TRUE(data.Refresh());
        for (const char *n : {"Ann", "Bob", "Cy", "Di"}) {
            ASSERT_TRUE(data.addNew());
            name.setText(n);
            name.setBoundModified(true);
        }
        ASSERT_TRUE(data.moveFirst());
    }
    QString shownName() const { return name.text(); }

    ScriptedServices services;
    store::DataControl data;
    widgets::BoundLineEdit name{"FirstName"};
};

using BoundRows = BoundRowsOn<testing_support::BackendTest>;
// A read refused through the file's own connection.
using FileBoundRows = BoundRowsOn<testing_support::FileTest>;

TEST_P(BoundRows, DeleteAsksFirstWithNoAsTheDefault)
{
    widgets::RecordNavigator nav;
    nav.setDataControl(&data);
    auto *del = nav.findChild<QToolButton *>("Delete");

    services.answer(platform::Button::No);
    del->click();
    ASSERT_EQ(services.boxes.size(), 1);
    const auto &box = services.lastBox();
    EXPECT_EQ(box.text, "Do you want to delete this record? A deleted record cannot be brought back.");
    EXPECT_EQ(box.buttons, platform::Buttons::YesNo);
    EXPECT_EQ(box.defaultAnswer(), platform::Button::No);
    EXPECT_EQ(box.shownTitle(), "Vantrel");
    EXPECT_EQ(data.recordset()->RecordCount(), 4);

    services.answer(platform::Button::Yes);
    del->click();
    EXPECT_EQ(data.recordset()->RecordCount(), 3);
    EXPECT_EQ(shownName(), "Bob") << "the next row becomes current";
    EXPECT_EQ(nav.findChild<QLabel *>("Position")->text(), "Record 1 of 3");

    nav.setEditingEnabled(false);
    EXPECT_TRUE(del->isHidden());
    nav.deleteCurrent();
    EXPECT_EQ(data.recordset()->RecordCount(), 3) << "a navigator that only moves deletes nothing";
}

TEST_P(BoundRows, AWindowsBoundControlsAndDataControlGoInEitherOrder)
{
    for (const bool controlsFirst : {true, false}) {
        SCOPED_TRACE(controlsFirst ? "controls created first" : "data control created first");
        auto window = std::make_unique<QWidget>();
        store::DataControl *listData = nullptr;
        if (!controlsFirst)
            listData = new store::DataControl(window.get());
        auto *edit = new widgets::BoundLineEdit("LastName", window.get());
        auto *kept = new widgets::BoundLineEdit("FirstName", window.get());
        if (controlsFirst)
            listData = new store::DataControl(window.get());
        listData->bind(edit);
        listData->bind(kept);
        listData->setRecordset(data.recordset());
        EXPECT_EQ(kept->text(), "Ann");

        delete edit;
        ASSERT_TRUE(data.moveNext()) << "the shared rows move the window's controls";
        EXPECT_EQ(kept->text(), "Bob");

        window.reset(); // its children go in the order they were created
        ASSERT_TRUE(data.moveNext());
        EXPECT_EQ(shownName(), "Cy");
        ASSERT_TRUE(data.moveFirst());
    }
}

int refuseFirstName(void *, int action, const char *, const char *column, const char *, const char *)
{
    return action == SQLITE_READ && column && qstricmp(column, "FirstName") == 0 ? SQLITE_DENY : SQLITE_OK;
}

TEST_F(FileBoundRows, TheOperatorIsToldOnceWhenARowCannotBeRead)
{
    widgets::reportDataErrors(&data);
    sqlite3 *handle = data.database()->handle();
    sqlite3_set_authorizer(handle, refuseFirstName, nullptr);
    services.answer(platform::Button::OK);
    ASSERT_TRUE(data.Refresh());
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, "The record could not be read: access to Information.FirstName is prohibited");
    EXPECT_EQ(services.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_EQ(shownName(), "");

    services.answer(platform::Button::OK);
    ASSERT_TRUE(data.moveNext());
    EXPECT_EQ(services.boxes.size(), 2) << "one box for the move to the next unreadable row";

    sqlite3_set_authorizer(handle, nullptr, nullptr);
    ASSERT_TRUE(data.moveNext());
    EXPECT_EQ(shownName(), "Cy");
    ASSERT_TRUE(data.moveFirst());
    EXPECT_EQ(shownName(), "Ann") << "a failed read is tried again";
    EXPECT_EQ(services.boxes.size(), 2);
}

class GridRows : public BoundRows
{
protected:
    void SetUp() override
    {
        BoundRows::SetUp();
        grid = std::make_unique<widgets::DataGrid>(
            QList<widgets::GridColumn>{{"FirstName", "FirstName", store::FieldKind::Text},
                                       {"LockerNumber", "LockerNumber", store::FieldKind::Long}});
        list.setRecordset(data.recordset());
        grid->setDataControl(&list);
        grid->resize(400, 300);
        grid->show();
    }
    QString cell(int row, int column = 0) const { return grid->model()->index(row, column).data().toString(); }

    store::DataControl list; // a second window's control on the same record set
    std::unique_ptr<widgets::DataGrid> grid;
};

TEST_P(GridRows, ShowsTheRecordSetReadOnlyAndFollowsItsChanges)
{
    auto *model = grid->model();
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(cell(2), "Cy");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "LockerNumber");
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(grid->view()->editTriggers(), QAbstractItemView::NoEditTriggers);

    data.addNew();
    name.setText("Eve");
    name.setBoundModified(true);
    ASSERT_TRUE(data.UpdateRecord());
    EXPECT_EQ(model->rowCount(), 5);
    EXPECT_EQ(cell(4), "Eve");
    EXPECT_EQ(grid->currentRow(), 4) << "the grid is on the row just added";

    data.moveFirst();
    name.setText("Anne");
    name.setBoundModified(true);
    ASSERT_TRUE(data.UpdateRecord());
    EXPECT_EQ(cell(0), "Anne") << "an edited row shows its new values";

    data.recordset()->Delete();
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(cell(0), "Bob");

    data.closeRecordset();
    list.closeRecordset();
    EXPECT_EQ(model->rowCount(), 0);
}

VANTREL_ON_BOTH_BACKENDS(BoundRows);
VANTREL_ON_BOTH_BACKENDS(GridRows);

} // namespace
