// The filter's flows driven without a window: a record window stand-in that
// holds a data control and the marks of a filter in force.
#include "support/TwelveCustomers.h"

#include "BackendDatabase.h"
#include "filter/FilterFlows.h"
#include "store/DataControl.h"
#include "store/Database.h"
#include "support/ScriptedServices.h"

#include <gtest/gtest.h>

namespace {

using filter::FilterFlows;
using platform::Button;
using platform::Buttons;
using platform::Icon;
using testing_support::ScriptedServices;
using Then = FilterFlows::Then;

class MarkedWindow : public filter::FilteredWindow
{
public:
    store::DataControl *data() const override { return control; }
    bool filterLabelShown() const override { return label; }
    void setFilterLabelShown(bool shown) override { label = shown; }
    void setPrintEnabled(bool enabled) override { print = enabled; }
    void setSortEnabled(bool enabled) override { sort = enabled; }

    bool filtered() const { return label && print && !sort; }
    bool unfiltered() const { return !label && !print && sort; }

    store::DataControl *control = nullptr;
    bool label = false;
    bool print = false;
    bool sort = true;
};

void expectBox(const platform::MessageBoxRequest &box, const QString &title, const QString &text, Buttons buttons,
               Button defaultAnswer, Icon icon)
{
    EXPECT_EQ(box.shownTitle(), title);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_EQ(box.defaultAnswer(), defaultAnswer);
    EXPECT_EQ(box.icon, icon);
}

filter::FilterRow cityIs(const QString &city)
{
    filter::FilterRow row;
    row.exists = true;
    row.field = QStringLiteral("City");
    row.typeCode = 10;
    row.op = filter::Operators::Equals;
    row.criteria = city;
    return row;
}

class FlowsWithoutWindow : public testing_support::BackendTest
{
protected:
    void SetUp() override
    {
        database.insert(twelveCustomers());
        data.setDatabaseName(database.name());
        data.setRecordSource(QStringLiteral("Information"));
        ASSERT_TRUE(data.Refresh());
        window.control = &data;
    }

    filter::GeneratedFilter filterOf(QList<filter::FilterRow> rows, bool deleteMode = false, bool sortByName = false)
    {
        filter::FilterRows input;
        input.rows = rows;
        input.deleteMode = deleteMode;
        input.table = QStringLiteral("Information");
        if (sortByName)
            input.sorts = {filter::SortRow{true, QStringLiteral("LastName"), QStringLiteral("Ascending")}};
        return filter::CreateSQLStatement(input);
    }
    filter::GeneratedFilter findAll(bool deleteMode = false)
    {
        filter::FilterRow all;
        all.exists = true;
        all.field = filter::FindAllRecords;
        return filterOf({all}, deleteMode);
    }
    Then apply(const filter::GeneratedFilter &f, bool count = false)
    {
        EXPECT_TRUE(flows.startApply());
        return flows.apply(f, count);
    }
    qint64 customers()
    {
        qint64 n = -1;
        store::EngineError e;
        EXPECT_TRUE(data.database()->count(QStringLiteral("Select * From Information"), &n, &e));
        return n;
    }
    void expectDefaultPointer() const { EXPECT_EQ(ui.pointer(), platform::Pointer::Default); }

    ScriptedServices ui;
    store::DataControl data;
    MarkedWindow window;
    FilterFlows flows{window};
};

TEST_P(FlowsWithoutWindow, ApplyPutsTheFilterInForceAndCountsWhatItFound)
{
    ui.answer(Button::OK);
    EXPECT_EQ(apply(filterOf({cityIs("SPRINGFIELD")}, false, true), true), Then::Exit);
    ASSERT_EQ(ui.boxes.size(), 1);
    expectBox(ui.lastBox(), "Found Records!", "6 Records Were Found And Sorted.", Buttons::OKOnly, Button::OK,
              Icon::Exclamation);
    EXPECT_EQ(data.recordset()->RecordCount(), 6);
    EXPECT_TRUE(window.filtered());
    expectDefaultPointer();

    ui.answer(Button::OK);
    apply(filterOf({cityIs("OGDENVILLE")}), true);
    EXPECT_EQ(ui.lastBox().text, "3 Records Were Found.") << "no sort keys: not said to be sorted";
}

TEST_P(FlowsWithoutWindow, TheSameFilterAgainAsksAboutTheDuplicate)
{
    const filter::GeneratedFilter ogden = filterOf({cityIs("OGDENVILLE")});
    ASSERT_EQ(apply(ogden), Then::Exit);
    for (auto [answer, then] : {std::pair{Button::Cancel, Then::StayOpen}, std::pair{Button::No, Then::Hide},
                                std::pair{Button::Yes, Then::Exit}}) {
        ui.answer(answer);
        EXPECT_EQ(apply(ogden), then);
        expectBox(ui.lastBox(), "Filter Duplicated!",
                  "The current filter you have requested matches the current filter previously set.\r\rRefresh the "
                  "Database?",
                  Buttons::YesNoCancel, Button::Yes, Icon::Exclamation);
    }
    EXPECT_EQ(data.recordset()->RecordCount(), 3);
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, NoMatchPutsThePreviousSourceBackAndUnmarksTheWindow)
{
    ui.answer(Button::Yes);
    EXPECT_EQ(apply(filterOf({cityIs("NOWHERE")})), Then::StayOpen);
    expectBox(ui.lastBox(), "Sorry!", "Your filter has found no matching records.\r\rTry Again?", Buttons::YesNo,
              Button::Yes, Icon::Question);
    EXPECT_EQ(data.RecordSource(), "Information");
    EXPECT_EQ(data.recordset()->RecordCount(), 12);
    EXPECT_TRUE(window.unfiltered());

    ui.answer(Button::No);
    EXPECT_EQ(apply(filterOf({cityIs("NOWHERE")})), Then::Exit);
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, ARefusedStatementIsToldWithTheStatement)
{
    filter::GeneratedFilter bad = filterOf({cityIs("X")});
    bad.statement = QStringLiteral("Select Information.* From Nowhere");
    ui.answer(Button::OK);
    EXPECT_EQ(apply(bad), Then::StayOpen);
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_TRUE(ui.lastBox().text.endsWith("\r\rSelect Information.* From Nowhere")) << ui.lastBox().text.toStdString();
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, CountedDeleteAsksWithTheCountAndDeletesExactlyThat)
{
    const filter::GeneratedFilter shelby = filterOf({cityIs("SHELBYVILLE")}, true);
    ui.answer(Button::No);
    EXPECT_EQ(apply(shelby, true), Then::StayOpen);
    expectBox(ui.lastBox(), "Confirm!",
              "By performing this function, you will delete 3 records which meet your filter!\r\rAre you sure you "
              "wish to delete these records?",
              Buttons::YesNo, Button::No, Icon::Question);
    EXPECT_EQ(customers(), 12);

    ui.answer(Button::Yes);
    ui.answer(Button::OK);
    ui.answer(Button::OK);
    EXPECT_EQ(apply(shelby, true), Then::Exit);
    ASSERT_EQ(ui.boxes.size(), 4);
    expectBox(ui.boxes[2], "Finished Deleting!",
              "The specified records (if any) have been deleted!\r\rAn attempt to find all records will now be "
              "performed.",
              Buttons::OKOnly, Button::OK, Icon::Exclamation);
    EXPECT_EQ(ui.boxes[3].text, "9 Records Were Found.");
    EXPECT_EQ(customers(), 9);
    EXPECT_EQ(data.RecordSource(), "Select [Information].* From Information");
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, DeleteQuestionsByWhatTheFilterHolds)
{
    ui.answer(Button::No);
    apply(filterOf({cityIs("SHELBYVILLE")}, true));
    expectBox(ui.lastBox(), "Confirm!",
              "Hint: Select the 'Count Records' checkbox before performing the function to find out how many records "
              "will be deleted.\r\rAre you sure you wish to delete the records which meet the provided criteria?",
              Buttons::YesNo, Button::No, Icon::Question);

    ui.answer(Button::No);
    apply(findAll(true));
    expectBox(ui.lastBox(), "Confirm!", "Are you sure you wish to delete all the records in this database?",
              Buttons::YesNo, Button::No, Icon::Question);

    for (auto [answer, then] : {std::pair{Button::Yes, Then::StayOpen}, std::pair{Button::No, Then::Exit}}) {
        ui.answer(answer);
        EXPECT_EQ(apply(filterOf({cityIs("NOWHERE")}, true), true), then);
        expectBox(ui.lastBox(), "No Records Found!",
                  "By performing this function, you will not delete any records which meet the filter!\r\rTry Again?",
                  Buttons::YesNo, Button::Yes, Icon::Question);
    }
    EXPECT_EQ(customers(), 12);
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, DeletingEverythingEndsWithTheNoMatchQuestion)
{
    ui.answer(Button::Yes);
    ui.answer(Button::OK);
    ui.answer(Button::No);
    EXPECT_EQ(apply(findAll(true)), Then::Exit);
    ASSERT_EQ(ui.boxes.size(), 3);
    EXPECT_EQ(ui.boxes[2].shownTitle(), "Sorry!");
    EXPECT_EQ(customers(), 0);
    EXPECT_EQ(data.RecordSource(), "Information");
    EXPECT_TRUE(window.unfiltered());
}

TEST_P(FlowsWithoutWindow, CancelFilterNeedsAFilterInForceAndShowsEveryRecord)
{
    ui.answer(Button::OK);
    EXPECT_FALSE(flows.startCancelFilter());
    expectBox(ui.lastBox(), "Notice", "There is no active filter to cancel !", Buttons::OKOnly, Button::OK,
              Icon::Exclamation);

    apply(filterOf({cityIs("OGDENVILLE")}));
    ASSERT_TRUE(window.filtered());
    ASSERT_TRUE(flows.startCancelFilter());
    ui.answer(Button::OK);
    EXPECT_EQ(flows.cancelFilter(findAll(), true), Then::EndCancelFilter);
    EXPECT_EQ(ui.lastBox().text, "12 Records Were Found.");
    EXPECT_EQ(data.RecordSource(), "Select Information.* From Information");
    EXPECT_EQ(data.recordset()->RecordCount(), 12);
    expectDefaultPointer();
}

TEST_P(FlowsWithoutWindow, AGoneRecordWindowEndsEveryFlow)
{
    window.control = nullptr;
    EXPECT_FALSE(flows.startApply());
    EXPECT_EQ(flows.apply(findAll(), false), Then::Exit);
    EXPECT_TRUE(ui.boxes.isEmpty());
}

VANTREL_ON_BOTH_BACKENDS(FlowsWithoutWindow);

} // namespace
