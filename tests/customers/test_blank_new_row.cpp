// A new row that holds only what the window fills in by itself (the zeros of
// the key deposit and ID number) is never added, whichever way it is left;
// one with anything the operator typed is added with those zeros.
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <functional>

using testing_support::RecordWindowOnBackends;

namespace {

class BlankNewRow : public RecordWindowOnBackends
{
protected:
    int rowsStored() const { return database.storedCount(); }

    // Tabs from the locker number through every entry field and check box,
    // declining the renewal proposal on the way, as a new operator would.
    void tabThroughTheRow()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        enter("TDBMask13");
        services.answer(platform::Button::No);
        QWidget *lastBox = control("chkFields_13");
        for (int presses = 0; presses < 80 && focused() && focused() != lastBox; ++presses) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            QApplication::processEvents();
        }
        ASSERT_EQ(focused(), lastBox);
        EXPECT_EQ(services.pendingAnswers(), 0) << "Expires On asked about the renewal term";
        EXPECT_EQ(shown("TDBMask15"), "0_________");
        EXPECT_EQ(shown("TDBMask12"), "0_________");
    }

    void closeWindow()
    {
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(window.isNull());
    }
};

struct WayToLeave {
    const char *name;
    std::function<void()> leave;
};

TEST_P(BlankNewRow, TabbingThroughAddsNothingWhicheverWayTheRowIsLeft)
{
    insert({{"LockerNumber", 1}, {"FirstName", "Ann"}});
    open();
    const QList<WayToLeave> ways = {
        {"move", [this] { click("First"); }},
        {"sort", [this] { trigger("MnuSortName"); }},
        {"list",
         [this] {
             trigger("MnuList");
             window->listWindow()->close();
             click("Last");
         }},
    };
    for (const WayToLeave &way : ways) {
        SCOPED_TRACE(way.name);
        click("Add");
        ASSERT_TRUE(window->data()->isAdding());
        tabThroughTheRow();
        way.leave();
        EXPECT_EQ(rowsStored(), 1);
        EXPECT_FALSE(window->data()->isAdding());
        EXPECT_EQ(shown("txtFields_0"), "Ann") << "the window is back on the customer there is";
        EXPECT_EQ(control<QLabel>("Position")->text(), "Record 1 of 1");
    }

    click("Add");
    tabThroughTheRow();
    closeWindow();
    EXPECT_EQ(rowsStored(), 1);
    EXPECT_EQ(services.boxes.size(), 4) << "only the renewal questions: "
                                        << services.boxTexts().join('|').toStdString();
}

TEST_P(BlankNewRow, OnAnEmptyTableTheBlankRowStaysReadyAndNothingIsAdded)
{
    open();
    ASSERT_TRUE(window->data()->isAdding());
    tabThroughTheRow();
    trigger("MnuSortLockerNumber");
    QApplication::processEvents();
    EXPECT_EQ(rowsStored(), 0);
    EXPECT_TRUE(window->data()->isAdding()) << "a new row is ready again";
    EXPECT_EQ(shown("TDBMask12"), "__________") << "the window's zeros went with the dropped row";

    tabThroughTheRow();
    ASSERT_TRUE(window->writePendingEdit()) << "what the main menu's E&xit and compress call";
    QApplication::processEvents();
    EXPECT_EQ(rowsStored(), 0);
    EXPECT_TRUE(window->data()->isAdding());

    tabThroughTheRow();
    closeWindow();
    EXPECT_EQ(rowsStored(), 0);
}

TEST_P(BlankNewRow, AFirstNameAloneMakesARowWithTheZeros)
{
    insert({{"LockerNumber", 1}, {"FirstName", "Ann"}});
    open();
    const QList<WayToLeave> ways = {
        {"move", [this] { click("First"); }},
        {"sort", [this] { trigger("MnuSortLockerNumber"); }},
        {"close", [this] { closeWindow(); }},
    };
    int expected = 1;
    for (const WayToLeave &way : ways) {
        SCOPED_TRACE(way.name);
        click("Add");
        tabThroughTheRow();
        const QString name = QStringLiteral("Bo") + way.name;
        type("txtFields_0", name);
        way.leave();
        EXPECT_EQ(rowsStored(), ++expected);
        const QVariantMap row = database.stored("FirstName", name);
        EXPECT_EQ(row.value("VIBNumber"), QVariant(0));
        EXPECT_EQ(row.value("KeyDeposit"), QVariant(0));
        EXPECT_TRUE(row.value("LockerNumber").isNull());
    }
}

TEST_P(BlankNewRow, AnEntryTypedAndErasedOrABoxTickedAndClearedIsNothing)
{
    open();
    type("txtFields_5", "Springfield");
    control<QLineEdit>("txtFields_5")->selectAll();
    QTest::keyClick(control("txtFields_5"), Qt::Key_Backspace);
    type("TDBMask12", "7");
    QTest::keyClick(control("TDBMask12"), Qt::Key_Backspace);
    enter("txtFields_8"); // the emptied ID number gets its 0 again
    EXPECT_EQ(shown("TDBMask12"), "0_________");
    auto *adult = control<QAbstractButton>("chkFields_0");
    adult->click();
    adult->click();
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(rowsStored(), 0);

    QApplication::processEvents();
    ASSERT_TRUE(window->data()->isAdding());
    control<QAbstractButton>("chkFields_0")->click();
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(rowsStored(), 1) << "a ticked box is something the operator entered";

    click("Add");
    type("TDBMask12", "0");
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(rowsStored(), 2) << "a 0 the operator typed is an entry";
}

VANTREL_ON_BOTH_BACKENDS(BlankNewRow);

} // namespace
