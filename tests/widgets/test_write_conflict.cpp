#include "support/AccessibleNames.h"
#include "widgets/WriteConflictDialog.h"

#include <QDate>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

using widgets::WriteConflictDialog;
using Choice = store::DataControl::ConflictChoice;

TEST(WriteConflictDialog, ShowsTheFieldsThatDifferFirstAndReturnsTheChoice)
{
    const QStringList fields{"LockerNumber", "LastName", "DateRented", "Adult"};
    const QVariantList mine{12, "Stone", QDate(2026, 1, 5), true};
    const QVariantList theirs{12, "Stoner", QDate(2026, 1, 5), false};
    for (const auto &[button, expected] :
         {std::pair{"cmdKeepMine", Choice::KeepMine}, std::pair{"cmdTakeTheirs", Choice::TakeTheirs},
          std::pair{"cmdGoBack", Choice::GoBack}}) {
        WriteConflictDialog dialog(fields, mine, theirs);
        const QTableWidget *table = dialog.table();
        ASSERT_EQ(table->rowCount(), 4);
        EXPECT_EQ(table->item(0, 0)->text(), "LastName");
        EXPECT_EQ(table->item(0, 2)->text(), "Stoner");
        EXPECT_TRUE(table->item(0, 0)->font().bold());
        EXPECT_EQ(table->item(1, 1)->text(), "Yes");
        EXPECT_EQ(table->item(1, 2)->text(), "No");
        EXPECT_EQ(table->item(2, 0)->text(), "LockerNumber");
        EXPECT_FALSE(table->item(2, 0)->font().bold());
        EXPECT_EQ(table->item(3, 1)->text(), "01/05/2026");
        EXPECT_TRUE(dialog.findChild<QPushButton *>("cmdGoBack")->isDefault());
        EXPECT_TRUE(testing_support::inputsWithoutAccessibleName(&dialog).isEmpty());
        dialog.show();
        dialog.findChild<QPushButton *>(button)->click();
        EXPECT_EQ(dialog.choice(), expected);
        EXPECT_FALSE(dialog.isVisible());
    }
}
