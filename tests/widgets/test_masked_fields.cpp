#include "support/ScriptedServices.h"
#include "widgets/DateEdit.h"
#include "widgets/MaskedEdit.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using testing_support::ScriptedServices;
using widgets::DateEdit;
using widgets::MaskedEdit;
using widgets::MaskPattern;

namespace {

// A window with two fields, active, so that focus moves as an operator's do.
class FieldWindow
{
public:
    FieldWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&first);
        layout->addWidget(&second);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void add(QWidget *field) { window.layout()->addWidget(field); }
    static void enter(QWidget *field)
    {
        field->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    static void type(QWidget *field, const QString &keys)
    {
        enter(field);
        QTest::keyClicks(field, keys);
    }

    QWidget window;
    QLineEdit first;
    QLineEdit second;
};

struct MaskCase {
    const char *mask;
    const char *emptyForm;
    const char *typed;
    const char *shown;
    const char *stored;
};

class MaskedEditMasks : public ::testing::TestWithParam<MaskCase>
{
};

TEST_P(MaskedEditMasks, ShowsTheEmptyFormRefusesWhatDoesNotFitAndStoresWithLiterals)
{
    const MaskCase c = GetParam();
    FieldWindow w;
    auto *edit = new MaskedEdit("F", c.mask);
    w.add(edit);
    EXPECT_EQ(edit->displayText(), c.emptyForm);
    EXPECT_TRUE(edit->isBlank());
    EXPECT_TRUE(edit->boundValue().isNull()) << "a field nothing was typed into stores nothing";
    EXPECT_FALSE(edit->isBoundModified());

    FieldWindow::type(edit, c.typed);
    EXPECT_EQ(edit->displayText(), c.shown);
    EXPECT_EQ(edit->boundValue().toString(), c.stored);
    EXPECT_TRUE(edit->isBoundModified());

    // A stored value comes back as it was typed, with or without its literals.
    MaskedEdit other("F", c.mask);
    other.setBoundValue(edit->boundValue());
    EXPECT_EQ(other.displayText(), c.shown);
    EXPECT_FALSE(other.isBoundModified()) << "showing a row is not an edit";
}

INSTANTIATE_TEST_SUITE_P(
    EveryMask, MaskedEditMasks,
    ::testing::Values(MaskCase{"##########", "__________", "12x3", "123_______", "123"},
                      MaskCase{"##-##-##", "__-__-__", "12a3456", "12-34-56", "12-34-56"},
                      MaskCase{"#####-####", "_____-____", "12345", "12345-____", "12345"},
                      MaskCase{"#####-####", "_____-____", "123456789", "12345-6789", "12345-6789"},
                      MaskCase{"(999)999-9999", "(___)___-____", "555a1234567", "(555)123-4567", "(555)123-4567"},
                      MaskCase{"999-99-9999", "___-__-____", "12345678x9", "123-45-6789", "123-45-6789"},
                      MaskCase{"A", "_", "-MF", "M", "M"}, MaskCase{"A", "_", "7", "7", "7"}));

TEST(MaskPattern, StoredValueKeepsLiteralsUpToTheLastTypedCharacter)
{
    const MaskPattern phone("(999)999-9999");
    EXPECT_TRUE(phone.storedValue("(___)___-____").isNull());
    EXPECT_EQ(phone.storedValue("(555)_______").toString(), "(555");
    EXPECT_EQ(phone.storedValue("(555)123-4567").toString(), "(555)123-4567");
    EXPECT_EQ(MaskPattern("##########").storedValue("9999999999").toString(), "9999999999");
}

TEST(MaskedEdit, SetEditedTextCountsAsAnEditAndOnlyMovesInsideTheWindowAreTold)
{
    FieldWindow w;
    auto *edit = new MaskedEdit("F", "##########");
    w.add(edit);
    int entered = 0, left = 0;
    QObject::connect(edit, &MaskedEdit::entered, [&] { ++entered; });
    QObject::connect(edit, &MaskedEdit::left, [&] { ++left; });
    FieldWindow::enter(edit);
    FieldWindow::enter(&w.first);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);

    // The whole window losing the focus is not leaving the field.
    FieldWindow::enter(edit);
    QFocusEvent windowLost(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(edit, &windowLost);
    EXPECT_EQ(left, 1);

    edit->setEditedText("0");
    EXPECT_EQ(edit->boundValue().toString(), "0");
    EXPECT_TRUE(edit->isBoundModified());
}

TEST(DateEdit, EmptyOrARealDate)
{
    FieldWindow w;
    auto *date = new DateEdit("D");
    w.add(date);
    EXPECT_EQ(date->displayText(), "__/__/____");
    EXPECT_TRUE(date->boundValue().isNull());

    FieldWindow::type(date, "01152024");
    EXPECT_EQ(date->boundValue(), QVariant(QDate(2024, 1, 15)));

    date->setBoundValue(QDate(1999, 12, 31));
    EXPECT_EQ(date->displayText(), "12/31/1999");
    date->setBoundValue(QVariant());
    EXPECT_EQ(date->displayText(), "__/__/____");
    date->setBoundValue("2001-02-03");
    EXPECT_EQ(date->date(), QDate(2001, 2, 3));

    DateEdit text("Birthdate", DateEdit::Storage::Text);
    text.setBoundValue("5/12/1980");
    EXPECT_EQ(text.displayText(), "05/12/1980");
    EXPECT_EQ(text.boundValue(), QVariant(QString("05/12/1980"))) << "a text field stores the date as typed";
}

TEST(DateEdit, RefusesADayTheMonthDoesNotHave)
{
    ScriptedServices services;
    FieldWindow w;
    auto *date = new DateEdit("D");
    w.add(date);
    date->setBoundValue(QDate(2024, 2, 1));
    int entered = 0;
    QObject::connect(date, &DateEdit::entered, [&] { ++entered; });

    FieldWindow::type(date, "02302024");
    EXPECT_EQ(entered, 1);
    EXPECT_TRUE(date->boundValue().toString() == "02/30/2024" && !date->holdsDate())
        << "a text still in the field is handed on as text, which the engine refuses";
    services.answer(platform::Button::OK);
    FieldWindow::enter(&w.second);
    QApplication::processEvents();

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text,
              "02/30/2024 is not a date. Type a date as mm/dd/yyyy, or leave the field empty.");
    EXPECT_EQ(services.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_EQ(date->displayText(), "02/01/2024") << "the field goes back to what it held";
    EXPECT_FALSE(date->isBoundModified());
    EXPECT_TRUE(date->hasFocus()) << "the operator is brought back to correct it";
    EXPECT_EQ(entered, 1) << "coming back to correct is not entering the field anew";

    // A date typed in part is no date either.
    date->selectAll();
    QTest::keyClicks(date, "0315");
    services.answer(platform::Button::OK);
    FieldWindow::enter(&w.second);
    QApplication::processEvents();
    ASSERT_EQ(services.boxes.size(), 2);
    EXPECT_EQ(date->displayText(), "02/01/2024");

    // A real date leaves quietly.
    date->selectAll();
    QTest::keyClicks(date, "02292024");
    FieldWindow::enter(&w.second);
    QApplication::processEvents();
    EXPECT_EQ(services.boxes.size(), 2);
    EXPECT_EQ(date->boundValue(), QVariant(QDate(2024, 2, 29)));
}

} // namespace
