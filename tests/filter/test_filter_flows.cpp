#include "FindWindowFixture.h"

using platform::Button;
using platform::Buttons;
using platform::Icon;

namespace {

void expectBox(const platform::MessageBoxRequest &box, const QString &title, const QString &text, Buttons buttons,
               Button defaultAnswer, Icon icon)
{
    EXPECT_EQ(box.shownTitle(), title);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_EQ(box.defaultAnswer(), defaultAnswer);
    EXPECT_EQ(box.icon, icon);
}

class FilterFlowTest : public FindWindowOn<testing_support::BackendTest>
{
protected:
    void filterCity(const QString &city)
    {
        choose("Field_0", "City");
        type(0, city);
    }
    void advancedWith(bool count, bool del)
    {
        button("AdvancedButton")->click();
        if (count)
            check("CountCheck")->click();
        if (del)
            check("DeleteCheck")->click();
    }
    bool filterMarks() const
    {
        return !customer->filterLabel->isHidden() && customer->print->menuAction()->isEnabled()
            && !customer->sort->menuAction()->isEnabled();
    }
    bool noFilterMarks() const
    {
        return customer->filterLabel->isHidden() && !customer->print->menuAction()->isEnabled()
            && customer->sort->menuAction()->isEnabled();
    }
};

TEST_P(FilterFlowTest, OkAppliesTheFilterAndCountsItWithTheSortPart)
{
    advancedWith(true, false);
    filterCity("springfield");
    choose("SortField_0", "LastName");
    ui.answer(Button::OK);
    button("OKButton")->click();
    ASSERT_EQ(ui.boxes.size(), 1);
    expectBox(ui.lastBox(), "Found Records!", "6 Records Were Found And Sorted.", Buttons::OKOnly, Button::OK,
              Icon::Exclamation);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(filterMarks());
    auto rs = customer->data->recordset();
    ASSERT_EQ(rs->RecordCount(), 6);
    EXPECT_EQ(rs->value("LastName").toString(), "Baker");
    EXPECT_EQ(label("Label6"), "+{Information.LastName}");
}

TEST_P(FilterFlowTest, OneFoundRecordHasItsOwnMessage)
{
    advancedWith(true, false);
    choose("Field_0", "LockerNumber");
    type(0, "7");
    ui.answer(Button::OK);
    button("OKButton")->click();
    expectBox(ui.lastBox(), "Found Record!", "1 Record Was Found.", Buttons::OKOnly, Button::OK, Icon::Exclamation);
}

TEST_P(FilterFlowTest, NoMatchRestoresThePreviousSourceAndTheNoFilterMarks)
{
    filterCity("springfield");
    button("OKButton")->click();
    ASSERT_TRUE(filterMarks());
    const QString previous = customer->data->RecordSource();

    window->showFor(customer);
    type(0, "nowhere");
    ui.answer(Button::Yes);
    button("OKButton")->click();
    expectBox(ui.lastBox(), "Sorry!", "Your filter has found no matching records.\r\rTry Again?", Buttons::YesNo,
              Button::Yes, Icon::Question);
    EXPECT_EQ(customer->data->RecordSource(), previous);
    EXPECT_EQ(customer->data->recordset()->RecordCount(), 6);
    EXPECT_TRUE(noFilterMarks());
    EXPECT_FALSE(window->isHidden()) << "Yes: try again";

    ui.answer(Button::No);
    button("OKButton")->click();
    EXPECT_TRUE(window->isHidden());
}

TEST_P(FilterFlowTest, HowAFlowEndsIsWhatTheWindowShows)
{
    // The duplicate's "No" hides the window with its options kept; "Yes" exits.
    filterCity("ogdenville");
    button("OKButton")->click();
    window->showFor(customer);
    advancedWith(true, false);
    ui.answer(Button::No);
    button("OKButton")->click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(check("CountCheck")->isChecked()) << "hidden as it is";
    window->showFor(customer);
    ui.answer(Button::Yes);
    ui.answer(Button::OK);
    button("OKButton")->click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_FALSE(check("CountCheck")->isChecked()) << "exit resets the options";
}

TEST_P(FilterFlowTest, RefusedStatementShowsTheEngineTextAndKeepsTheWindowOpen)
{
    choose("Field_0", "KeyDeposit");
    choose("Condition_0", "And");
    choose("Field_1", "City");
    type(1, "x");
    // A number row with an operator outside its list writes no term.
    list("Operator_0")->addItem("Bogus");
    list("Operator_0")->setCurrentIndex(list("Operator_0")->count() - 1);
    criteria(0)->setText("5");
    ui.answer(Button::OK);
    button("OKButton")->click();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.lastBox().shownTitle(), "Vantrel");
    EXPECT_TRUE(ui.lastBox().text.endsWith("\r\rSelect Information.* From Information Where  AND [City] = 'X'"))
        << ui.lastBox().text.toStdString();
    EXPECT_FALSE(window->isHidden());
    EXPECT_TRUE(filterMarks());
}

TEST_P(FilterFlowTest, CheckFailureStopsBeforeAnyStatement)
{
    choose("Field_0", "City");
    ui.answer(Button::OK);
    button("OKButton")->click();
    expectBox(ui.lastBox(), "Empty Criteria Field",
              "When finding a text or memo field that equals nothing, use the criteria 'empty'.", Buttons::OKOnly,
              Button::OK, Icon::Exclamation);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(criteria(0)->text(), "empty");
    EXPECT_EQ(customer->data->RecordSource(), "Information");
}

TEST_P(FilterFlowTest, DeletingEverythingEndsWithNothingToShow)
{
    advancedWith(false, true);
    ui.answer(Button::Yes);
    ui.answer(Button::OK);
    ui.answer(Button::No);
    button("OKButton")->click();
    ASSERT_EQ(ui.boxes.size(), 3);
    expectBox(ui.boxes[0], "Confirm!", "Are you sure you wish to delete all the records in this database?",
              Buttons::YesNo, Button::No, Icon::Question);
    EXPECT_EQ(ui.boxes[2].shownTitle(), "Sorry!");
    EXPECT_EQ(customers(), 0);
    EXPECT_EQ(customer->data->RecordSource(), "Information");
}

TEST_P(FilterFlowTest, CancelFilterNeedsAnActiveFilter)
{
    choose("Field_0", "City");
    type(0, "x");
    ui.answer(Button::OK);
    button("Command1")->click();
    expectBox(ui.lastBox(), "Notice", "There is no active filter to cancel !", Buttons::OKOnly, Button::OK,
              Icon::Exclamation);
    EXPECT_EQ(list("Field_0")->currentText(), "City") << "the rows stay as they were";

    filterCity("ogdenville");
    button("OKButton")->click();
    window->showFor(customer);
    button("Command1")->click();
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(noFilterMarks());
    EXPECT_EQ(customer->data->RecordSource(), "Select Information.* From Information");
    EXPECT_EQ(customer->data->recordset()->RecordCount(), 12);
    EXPECT_EQ(list("Field_0")->currentText(), "** Find All Records **");
}

VANTREL_ON_BOTH_BACKENDS(FilterFlowTest);

} // namespace
