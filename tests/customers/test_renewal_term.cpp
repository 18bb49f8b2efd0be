#include "WindowFixture.h"
#include "customers/RenewalTerm.h"
#include "widgets/DateEdit.h"

using testing_support::RecordWindowTest;

namespace {

struct Term {
    QDate rentedOn;
    QDate expiresOn;
};

class RenewalDates : public ::testing::TestWithParam<Term>
{
};

TEST_P(RenewalDates, AddsThreeHundredSixtyFiveDays)
{
    EXPECT_EQ(customers::proposedExpiry(GetParam().rentedOn), GetParam().expiresOn);
}

INSTANTIATE_TEST_SUITE_P(Terms, RenewalDates,
                         ::testing::Values(Term{{2024, 1, 15}, {2025, 1, 14}}, Term{{2024, 3, 1}, {2025, 3, 1}},
                                           Term{{2023, 3, 1}, {2024, 2, 29}}, Term{{2024, 2, 29}, {2025, 2, 28}}));

TEST(RenewalDates, NoRentalDateProposesNothing)
{
    EXPECT_FALSE(customers::proposedExpiry(QDate()).isValid());
}

class RenewalProposal : public RecordWindowTest
{
protected:
    void expectQuestion(int index)
    {
        ASSERT_GT(services.boxes.size(), index);
        const auto &box = services.boxes.at(index);
        EXPECT_EQ(box.text, "Do you want to make this a one year renewal term?");
        EXPECT_EQ(box.buttons, platform::Buttons::YesNo);
        EXPECT_EQ(box.defaultAnswer(), platform::Button::Yes);
        EXPECT_EQ(box.icon, platform::Icon::None);
        EXPECT_EQ(box.shownTitle(), "Vantrel");
    }
};

class RenewalInTheWindow : public RenewalProposal, public ::testing::WithParamInterface<Term>
{
};

TEST_P(RenewalInTheWindow, YesFillsInTheExpiryAndMovesToTheKeyNumber)
{
    const Term term = GetParam();
    open();
    type("TDBMask13", "7");
    type("TDBDate1", term.rentedOn.toString("MMddyyyy"));
    services.answer(platform::Button::Yes);
    enter("TDBDate2");
    expectQuestion(0);
    EXPECT_EQ(shown("TDBDate2"), term.expiresOn.toString("MM/dd/yyyy"));
    EXPECT_EQ(focused(), control("TDBMask14"));

    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(stored(7).value("DateToRenew").toString(), term.expiresOn.toString(Qt::ISODate))
        << "written with the row's other edits";
    EXPECT_EQ(stored(7).value("DateRented").toString(), term.rentedOn.toString(Qt::ISODate));
}

INSTANTIATE_TEST_SUITE_P(Terms, RenewalInTheWindow,
                         ::testing::Values(Term{{2024, 1, 15}, {2025, 1, 14}}, Term{{2024, 3, 1}, {2025, 3, 1}},
                                           Term{{2023, 3, 1}, {2024, 2, 29}}, Term{{2024, 2, 29}, {2025, 2, 28}}));

TEST_F(RenewalProposal, WithoutARentalDateYesLeavesTheExpiryEmpty)
{
    open();
    services.answer(platform::Button::Yes);
    enter("TDBDate2");
    expectQuestion(0);
    EXPECT_EQ(shown("TDBDate2"), "__/__/____");
    EXPECT_EQ(focused(), control("TDBMask14"));
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(testing_support::storedCustomerCount(folder.databasePath()), 0) << "nothing was typed, nothing is added";
}

TEST_F(RenewalProposal, NoLeavesTheFieldToTheOperatorAndAsksAgainNextTime)
{
    open();
    type("TDBDate1", "01152024");
    services.answer(platform::Button::No);
    enter("TDBDate2");
    expectQuestion(0);
    EXPECT_EQ(shown("TDBDate2"), "__/__/____");
    EXPECT_EQ(focused(), control("TDBDate2"));

    enter("TDBMask14");
    services.answer(platform::Button::Yes);
    enter("TDBDate2");
    expectQuestion(1);
    EXPECT_EQ(shown("TDBDate2"), "01/14/2025");
}

TEST_F(RenewalProposal, AnExpiryAlreadyThereAsksNothing)
{
    insert({{"LockerNumber", 3}, {"DateRented", QDate(2024, 1, 15)}, {"DateToRenew", QDate(2024, 6, 1)}});
    open();
    enter("TDBDate2");
    EXPECT_TRUE(services.boxes.isEmpty());
    EXPECT_EQ(shown("TDBDate2"), "06/01/2024");

    // Nor does coming back to the window with the focus already there.
    window->clearFocus();
    control<widgets::DateEdit>("TDBDate2")->setBoundValue(QVariant());
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(control("TDBDate2"), &back);
    EXPECT_TRUE(services.boxes.isEmpty());
}

} // namespace
