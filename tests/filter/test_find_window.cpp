#include "FindWindowFixture.h"

namespace {

QStringList entries(QComboBox *l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->itemText(i);
    return out;
}

TEST_F(FindWindowTest, FreshWindowShowsOnlyTheFindAllAndDoNotSortLists)
{
    EXPECT_EQ(window->windowTitle(), "Set Filter");
    EXPECT_EQ(list("Field_0")->currentText(), "** Find All Records **");
    EXPECT_EQ(list("Field_0")->currentIndex(), 0);
    EXPECT_EQ(list("SortField_0")->currentText(), "** Do Not Sort **");
    for (const char *hidden : {"Operator_0", "Criteria_0", "Condition_0", "SortOrder_0", "CountCheck", "DeleteCheck"})
        EXPECT_FALSE(shown(hidden)) << hidden;
    EXPECT_FALSE(list("Field_1"));
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
    // Field names follow in alphabetical order, each with its type code.
    QComboBox *fields = list("Field_0");
    EXPECT_EQ(fields->count(), 49);
    EXPECT_EQ(fields->itemText(1), "Address1");
    EXPECT_EQ(fields->itemData(fields->findText("LockerNumber")).toInt(), 4);
    EXPECT_EQ(fields->itemData(fields->findText("Notes")).toInt(), 12);
    EXPECT_EQ(fields->itemData(0).toInt(), 0);
}

TEST_F(FindWindowTest, EachFieldTypeGetsItsOperatorList)
{
    choose("Field_0", "LastName");
    EXPECT_EQ(
        entries(list("Operator_0")),
        QStringList({"Equals", "Is Not Equal To", "Is Greater Than", "Is Less Than", "Is Greater Than or Equal To",
                     "Is Less Than or Equal To", "Contains", "Does Not Contain", "Begins With"}));
    EXPECT_EQ(list("Operator_0")->currentText(), "Equals");
    EXPECT_EQ(criteria(0)->text(), "");
    EXPECT_TRUE(shown("Criteria_0"));
    EXPECT_TRUE(shown("Condition_0"));

    choose("Field_0", "Adult");
    EXPECT_EQ(entries(list("Operator_0")), QStringList({"Equals"}));
    EXPECT_EQ(criteria(0)->text(), "Yes");
    choose("Field_0", "DateRented");
    EXPECT_EQ(list("Operator_0")->count(), 6);
    EXPECT_EQ(criteria(0)->text(), "");
}

TEST_F(FindWindowTest, SameKindKeepsRowZeroButAnotherRowStartsAfresh)
{
    choose("Field_0", "LastName");
    choose("Operator_0", "Contains");
    type(0, "smi");
    EXPECT_EQ(criteria(0)->text(), "SMI") << "typed criteria are capitals";
    choose("Field_0", "City");
    EXPECT_EQ(list("Operator_0")->currentText(), "Contains");
    EXPECT_EQ(criteria(0)->text(), "SMI");

    choose("Condition_0", "And");
    choose("Field_1", "City");
    choose("Condition_1", "Or");
    choose("Field_2", "LastName");
    choose("Operator_2", "Begins With");
    type(2, "x");
    choose("Field_2", "FirstName");
    EXPECT_EQ(criteria(2)->text(), "");
    EXPECT_EQ(list("Operator_2")->currentText(), "Equals");
}

TEST_F(FindWindowTest, MemoFieldsFilterButNeverSort)
{
    EXPECT_GE(list("Field_0")->findText("Notes"), 0);
    EXPECT_LT(list("SortField_0")->findText("Notes"), 0);
    choose("Field_0", "Notes");
    EXPECT_EQ(list("Operator_0")->count(), 9);
}

TEST_F(FindWindowTest, JoinsAddRowsBelowUpToFive)
{
    choose("Field_0", "LastName");
    choose("Condition_0", "And");
    ASSERT_TRUE(list("Field_1"));
    EXPECT_TRUE(shown("Field_1"));
    EXPECT_FALSE(list("Operator_1"));
    EXPECT_EQ(list("Field_1")->y() - list("Field_0")->y(), window->tw(330));
    EXPECT_EQ(list("Field_1")->x(), list("Field_0")->x());
    EXPECT_LT(list("Field_1")->findText("** Find All Records **"), 0);

    choose("Condition_0", "Or");
    EXPECT_FALSE(list("Field_2")) << "changing the join adds nothing";

    for (int i = 1; i <= 4; ++i) {
        choose(QString("Field_%1").arg(i), "City");
        if (i < 4)
            choose(QString("Condition_%1").arg(i), "And");
    }
    EXPECT_FALSE(list("Condition_4"));
    EXPECT_FALSE(list("Field_5"));

    choose("Field_0", "** Find All Records **");
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(list(QString("Field_%1").arg(i)));
    EXPECT_FALSE(shown("Operator_0"));
    EXPECT_FALSE(shown("Criteria_0"));
    EXPECT_FALSE(shown("Condition_0"));
    EXPECT_EQ(list("Field_0")->currentIndex(), 0);
}

TEST_F(FindWindowTest, SortRowsAppearAndGo)
{
    choose("SortField_0", "LastName");
    EXPECT_TRUE(shown("SortOrder_0"));
    EXPECT_EQ(list("SortOrder_0")->currentText(), "Ascending");
    ASSERT_TRUE(list("SortField_1"));
    choose("SortField_1", "City");
    choose("SortField_2", "FirstName");
    EXPECT_TRUE(shown("SortOrder_2"));
    EXPECT_FALSE(list("SortField_3"));
    choose("SortField_0", "** Do Not Sort **");
    EXPECT_FALSE(list("SortField_1"));
    EXPECT_FALSE(list("SortField_2"));
    EXPECT_FALSE(shown("SortOrder_0"));
}

TEST_F(FindWindowTest, AdvancedShowsTheOptionsAndThePreviewFollowsTheRows)
{
    button("AdvancedButton")->click();
    EXPECT_TRUE(shown("CountCheck"));
    EXPECT_TRUE(shown("DeleteCheck"));
    EXPECT_FALSE(shown("AdvancedButton"));
    choose("Field_0", "LastName");
    type(0, "o'neil");
    EXPECT_EQ(label("SQLLabel"), "Select Information.* From Information Where [LastName] = 'O''NEIL'");
    EXPECT_EQ(label("Label4"), "{Information.LastName} = \"O'NEIL\"");
    choose("SortField_0", "City");
    choose("SortOrder_0", "Descending");
    EXPECT_EQ(label("Label6"), "-{Information.City}");

    check("DeleteCheck")->click();
    EXPECT_FALSE(list("SortField_0")->isEnabled());
    EXPECT_EQ(list("SortField_0")->currentText(), "** Do Not Sort **");
    EXPECT_EQ(label("SQLLabel"), "Delete * From Information Where [LastName] = 'O''NEIL'");
    check("DeleteCheck")->click();
    EXPECT_TRUE(list("SortField_0")->isEnabled());
    EXPECT_EQ(list("SortField_0")->currentText(), "** Do Not Sort **") << "the sort is not restored";
}

TEST_F(FindWindowTest, ExitHidesAndTheRowsSurviveTheNextOpening)
{
    button("AdvancedButton")->click();
    check("CountCheck")->click();
    choose("Field_0", "City");
    type(0, "springfield");
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(window->isHidden());
    EXPECT_FALSE(customer->print->menuAction()->isEnabled());
    EXPECT_TRUE(customer->sort->menuAction()->isEnabled());
    EXPECT_EQ(customer->data->RecordsetType(), store::Recordset::Dynaset);

    window->showFor(customer);
    EXPECT_EQ(list("Field_0")->currentText(), "City");
    EXPECT_EQ(criteria(0)->text(), "SPRINGFIELD");
    EXPECT_TRUE(shown("AdvancedButton"));
    EXPECT_FALSE(shown("CountCheck"));
    EXPECT_FALSE(check("CountCheck")->isChecked());
}

TEST_F(FindWindowTest, TheLastCustomerWindowToOpenItIsTheOneItWorksOn)
{
    choose("Field_0", "LastName");
    window->CancelButton_Click();
    delete customer;
    customer = new StandInCustomerWindow(database.name());
    ASSERT_TRUE(customer->data->Refresh());
    window->showFor(customer);
    type(0, "smith");
    QTest::keyClick(criteria(0), Qt::Key_Return);
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(customer->data->RecordSource(), "Select Information.* From Information Where [LastName] = 'SMITH'");
    EXPECT_EQ(customer->data->recordset()->RecordCount(), 2);
    EXPECT_EQ(criteria(0)->text(), "SMITH") << "Enter adds nothing to the box";
}

} // namespace
