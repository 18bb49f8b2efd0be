// The main menu's E&xit and its compress and repair take the database file
// from an open record window; a new row there that holds only the window's
// own zeros is not added on the way.
#include "app/frmMainMenu.h"
#include "customers/frmInformation.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class BlankRowAndTheMainMenu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        menu.setExitHandler([this] { ++exits; });
        menu.show();
        menu.Image1_Click();
        window = menu.informationWindow();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QApplication::processEvents();
    }
    // Visits the fields of the deposit and the ID number, which fill in 0.
    void passTheZeroFields()
    {
        for (const char *name : {"TDBMask15", "TDBMask1", "TDBMask12", "txtFields_8"}) {
            window->findChild<QWidget *>(name)->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
        }
    }
    // Rows of the file under whichever name it has now.
    QStringList storedRows() const
    {
        const QString path =
            QFile::exists(folder.file("VANTREL.MDB")) ? folder.file("VANTREL.MDB") : folder.databasePath();
        sqlite3 *db = nullptr;
        QStringList rows;
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, "SELECT FirstName, VIBNumber, KeyDeposit FROM Information", -1, &st, nullptr);
            while (st && sqlite3_step(st) == SQLITE_ROW) {
                rows << QStringLiteral("%1|%2|%3")
                            .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))))
                            .arg(sqlite3_column_int(st, 1))
                            .arg(sqlite3_column_int(st, 2));
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return rows;
    }

    testing_support::TempProgramFolder folder;
    testing_support::ScriptedServices ui;
    app::frmMainMenu menu;
    customers::frmInformation *window = nullptr;
    int exits = 0;
};

TEST_F(BlankRowAndTheMainMenu, ExitAddsNoBlankRowButKeepsAFirstNameWithTheZeros)
{
    passTheZeroFields();
    menu.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(storedRows().isEmpty());

    QApplication::processEvents();
    ASSERT_TRUE(window->data()->isAdding());
    passTheZeroFields();
    QWidget *first = window->findChild<QWidget *>("txtFields_0");
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(first, "Ann");
    menu.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(storedRows(), QStringList({"Ann|0|0"}));
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(BlankRowAndTheMainMenu, CompressAndRepairAddNoBlankRow)
{
    passTheZeroFields();
    ui.answer(platform::Button::OK);
    menu.menuAction("MnuDatabaseCompress")->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(QFile::exists(folder.file("VANTREL.MDB"))) << ui.boxTexts().join('|').toStdString();
    EXPECT_TRUE(storedRows().isEmpty());
    ASSERT_TRUE(window->data()->isAdding()) << "the window comes back with a new row ready";

    passTheZeroFields();
    ui.answer(platform::Button::OK);
    menu.menuAction("MnuDatabaseRepair")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(ui.boxes.size(), 2) << ui.boxTexts().join('|').toStdString();
    EXPECT_TRUE(storedRows().isEmpty());
}

} // namespace
