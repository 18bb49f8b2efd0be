// The center information window: its boxes and limits, the one row it
// edits, and the main menu usable again however the window closes.
#include "maintenance/FullDisk.h"

#include "center/frmCenterInformation.h"
#include "store/DBEngine.h"
#include "store/ProgramFolder.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

struct Expected {
    QString field;
    int limit;
    QString caption;
    QString tooltip;
    QString unit;
};

const QList<Expected> kExpected = {
    {"YearlyRate", 6, "Rental Rate:", "Enter the rate here", "Dollars"},
    {"Period", 3, "Rental Time Period:", "Enter how many days for the rate above", "Days"},
    {"CenterName", 50, "Center Name:", "Enter your center name", {}},
    {"CenterAddress1", 50, "Center Address:", "Enter your center address", {}},
    {"CenterAddress2", 50, {}, {}, {}},
    {"CenterAddress3", 50, {}, {}, {}},
    {"CenterAddress4", 50, {}, {}, {}},
    {"CenterAddress5", 50, {}, {}, {}},
    {"CenterPhone", 14, "Center Phone #:", "Your phone number", {}},
    {"CenterFax", 14, "Center Fax #:", "Your fax number", {}},
    {"ManagerName", 50, "Manager Name:", "Managers name ", {}},
};

class CenterWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        execute("UPDATE CenterInformation SET YearlyRate = '35.00', Period = '365', "
                "CenterName = 'Lucky Lanes', CenterPhone = '(555)123-4567'");
    }
    void TearDown() override
    {
        if (window) {
            window->setAttribute(Qt::WA_DeleteOnClose, false);
            delete window;
        }
    }

    void execute(const QString &sql)
    {
        store::EngineError e;
        auto db = store::DBEngine::OpenDatabase(store::programPath("\\Vantrel.mdb"), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
        ASSERT_TRUE(store::execSql(db->handle(), sql, &e)) << e.text.toStdString();
    }
    // The CenterInformation rows as the file holds them.
    QList<QVariantList> centerRows()
    {
        store::EngineError e;
        auto db = store::DBEngine::OpenDatabase(store::programPath("\\Vantrel.mdb"), &e);
        QList<QVariantList> rows;
        store::Statement st(db->handle(), "SELECT * FROM CenterInformation ORDER BY rowid");
        while (st.step()) {
            QVariantList row;
            for (int i = 0; i < st.columnCount(); ++i)
                row << st.value(i);
            rows << row;
        }
        return rows;
    }

    void open()
    {
        // The main menu disables itself before it shows the window.
        mainMenu.setEnabled(false);
        window = new center::frmCenterInformation(&mainMenu);
        window->show();
    }
    QLineEdit *box(int i) const { return window->findChild<QLineEdit *>(QString("txtFields_%1").arg(i)); }
    QPushButton *exitButton() const { return window->findChild<QPushButton *>("Command1"); }
    // Lets a closed window go, as the event loop does.
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    TempProgramFolder folder;
    ScriptedServices services;
    QWidget mainMenu;
    QPointer<center::frmCenterInformation> window;
};

TEST_F(CenterWindow, ShowsTheRowInElevenBoxesWithTheirCaptionsTooltipsAndLimits)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Bowling Center Information");
    EXPECT_FALSE(window->parentWidget()) << "a window of its own, not disabled with the main menu";
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(exitButton()->text(), "E&xit");

    for (int i = 0; i < kExpected.size(); ++i) {
        SCOPED_TRACE(kExpected.at(i).field.toStdString());
        QLineEdit *b = box(i);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->maxLength(), kExpected.at(i).limit);
        EXPECT_EQ(b->toolTip(), kExpected.at(i).tooltip);
        EXPECT_FALSE(b->accessibleName().isEmpty());
        const auto *label = window->findChild<QLabel *>(QString("lblFields_%1").arg(i));
        if (kExpected.at(i).caption.isEmpty()) {
            EXPECT_FALSE(label);
        } else {
            ASSERT_TRUE(label);
            EXPECT_EQ(label->text(), kExpected.at(i).caption);
            EXPECT_EQ(label->buddy(), b);
            EXPECT_EQ(b->accessibleName() + ":", kExpected.at(i).caption);
        }
        const auto *unit = window->findChild<QLabel *>(QString("lblUnit_%1").arg(i));
        EXPECT_EQ(unit ? unit->text() : QString(), kExpected.at(i).unit);
    }
    EXPECT_EQ(box(0)->text(), "35.00");
    EXPECT_EQ(box(1)->text(), "365");
    EXPECT_EQ(box(2)->text(), "Lucky Lanes");
    EXPECT_EQ(box(8)->text(), "(555)123-4567");
    EXPECT_EQ(box(10)->text(), "");

    // Labels end where the boxes begin, and the boxes line up.
    for (int i = 1; i < kExpected.size(); ++i)
        EXPECT_EQ(box(i)->x(), box(0)->x()) << i;

    if (qEnvironmentVariableIsSet("VANTREL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VANTREL_SCREENSHOTS") + "/frmCenterInformation.png");
}

TEST_F(CenterWindow, TheBoxesRefuseWhatIsTooLong)
{
    open();
    box(0)->clear();
    QTest::keyClicks(box(0), "1234567");
    EXPECT_EQ(box(0)->text(), "123456") << "a seventh rate character is refused";
    box(1)->clear();
    QTest::keyClicks(box(1), "1234");
    EXPECT_EQ(box(1)->text(), "123") << "a fourth period character is refused";
    box(9)->clear();
    QTest::keyClicks(box(9), "(555)765-4321 x9");
    EXPECT_EQ(box(9)->text(), "(555)765-4321 ");
    box(2)->clear();
    QTest::keyClicks(box(2), QString(60, 'x'));
    EXPECT_EQ(box(2)->text(), QString(50, 'x'));
}

enum class WayOut { ExitButton, Frame, Escape };

class ClosingTheWindow : public CenterWindow, public ::testing::WithParamInterface<WayOut>
{
protected:
    void closeIt()
    {
        switch (GetParam()) {
        case WayOut::ExitButton: QTest::mouseClick(exitButton(), Qt::LeftButton); break;
        case WayOut::Frame: window->windowHandle()->close(); break;
        case WayOut::Escape: QTest::keyClick(box(3), Qt::Key_Escape); break;
        }
    }
};

TEST_P(ClosingTheWindow, WritesTheEditsAndGivesTheMainMenuBack)
{
    open();
    ASSERT_FALSE(mainMenu.isEnabled());
    box(1)->clear();
    QTest::keyClicks(box(1), "180");
    QTest::keyClicks(box(3), "12 Alley Road");

    closeIt();
    settle();

    EXPECT_FALSE(window) << "the window is gone";
    EXPECT_TRUE(mainMenu.isEnabled());
    const auto rows = centerRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().at(1).toString(), "180");
    EXPECT_EQ(rows.first().at(3).toString(), "12 Alley Road");
    EXPECT_EQ(rows.first().at(2).toString(), "Lucky Lanes");
}

TEST_P(ClosingTheWindow, AWriteThatFailsKeepsTheWindowAndWhatWasTyped)
{
    FullDisk disk(0);
    open();
    QTest::keyClicks(box(10), "Pat Keegan");
    services.answer(platform::Button::OK);

    closeIt();
    settle();

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, "database or disk is full");
    EXPECT_EQ(services.lastBox().icon, platform::Icon::Exclamation);
    ASSERT_TRUE(window) << "the window stays open";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(box(10)->text(), "Pat Keegan");
    EXPECT_FALSE(mainMenu.isEnabled()) << "the main menu waits until the window has really closed";

    disk.setFreeBytes(1 << 20);
    closeIt();
    settle();
    EXPECT_FALSE(window);
    EXPECT_TRUE(mainMenu.isEnabled());
    EXPECT_EQ(centerRows().first().at(10).toString(), "Pat Keegan");
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, ClosingTheWindow,
                         ::testing::Values(WayOut::ExitButton, WayOut::Frame, WayOut::Escape), [](const auto &info) {
                             switch (info.param) {
                             case WayOut::ExitButton: return "ExitButton";
                             case WayOut::Frame: return "Frame";
                             case WayOut::Escape: return "Escape";
                             }
                             return "";
                         });

TEST_F(CenterWindow, WithoutARowTheBoxesAreEmptyAndTypingCreatesIt)
{
    execute("DELETE FROM CenterInformation");
    open();
    for (int i = 0; i < kExpected.size(); ++i)
        EXPECT_TRUE(box(i)->text().isEmpty()) << i;
    QTest::keyClicks(box(0), "40.00");
    QTest::keyClicks(box(2), "Strike Zone");
    window->close();
    settle();

    const auto rows = centerRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().at(0).toString(), "40.00");
    EXPECT_EQ(rows.first().at(2).toString(), "Strike Zone");

    // Opened and closed with nothing typed, it adds nothing.
    execute("DELETE FROM CenterInformation");
    open();
    window->close();
    settle();
    EXPECT_TRUE(centerRows().isEmpty());
}

TEST_F(CenterWindow, GoingWithTheProgramStillWritesWhatWasTyped)
{
    // The main menu deletes the windows beside it when it goes.
    open();
    QTest::keyClicks(box(9), "(555)765-0000");
    delete window.data();
    EXPECT_EQ(centerRows().first().at(9).toString(), "(555)765-0000");
    EXPECT_TRUE(mainMenu.isEnabled());
}

TEST(CenterWindowWithoutDatabase, SaysWhyAndLetsNothingBeTypedThatWouldBeLost)
{
    TempProgramFolder folder(false);
    ScriptedServices services;
    QWidget mainMenu;
    mainMenu.setEnabled(false);
    services.answer(platform::Button::OK);
    QPointer<center::frmCenterInformation> window = new center::frmCenterInformation(&mainMenu);
    window->show();

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, QString("Could not find file '%1'.").arg(store::programPath("\\Vantrel.mdb")));
    auto *rate = window->findChild<QLineEdit *>("txtFields_0");
    EXPECT_TRUE(rate->text().isEmpty());
    QTest::keyClicks(rate, "35");
    EXPECT_TRUE(rate->text().isEmpty());

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_TRUE(mainMenu.isEnabled());
}

} // namespace

namespace {

// A rate longer than the box lets the operator type is shown whole and kept
// when another box is edited.
TEST_F(CenterWindow, AStoredValueLongerThanItsBoxIsShownWholeAndKept)
{
    execute("UPDATE CenterInformation SET YearlyRate = 1234567.89");
    open();
    EXPECT_EQ(box(0)->text(), "1234567.89");
    EXPECT_EQ(box(0)->toolTip(), "the stored value does not fit this field");

    box(2)->setFocus();
    box(2)->selectAll();
    QTest::keyClicks(box(2), "Strike Zone");
    QTest::mouseClick(exitButton(), Qt::LeftButton);
    settle();
    ASSERT_FALSE(window);
    const QList<QVariantList> rows = centerRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().at(0).toString(), "1234567.89");
    EXPECT_EQ(rows.first().at(2).toString(), "Strike Zone");
}

TEST_F(CenterWindow, AReadOnlyDatabaseIsShownWithoutEditing)
{
    ASSERT_TRUE(QFile::setPermissions(folder.databasePath(), QFile::ReadOwner));
    services.answer(platform::Button::OK);
    open();
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, "The database is read-only: changes cannot be saved.");
    EXPECT_EQ(box(2)->text(), "Lucky Lanes");
    EXPECT_TRUE(box(2)->isReadOnly());
}

} // namespace
