#include "WindowFixture.h"
#include "store/Recordset.h"
#include "widgets/DateEdit.h"
#include "widgets/MaskedEdit.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

const QString kOverflow = "Numeric field overflow: 9999999999 does not fit in the field 'LockerNumber', which holds "
                          "whole numbers from -2147483648 to 2147483647.";

template<typename OnBackend>
class InformationWindowOn : public OnBackend
{
protected:
    QString boundField(QWidget *w) const
    {
        auto *bound = dynamic_cast<store::BoundField *>(w);
        return bound ? bound->dataField() : QString();
    }
    QString captionOf(const QString &control) const
    {
        for (QLabel *label : this->window->template findChildren<QLabel *>()) {
            if (label->buddy() == this->control(control))
                return label->text();
        }
        return QString();
    }
    void deleteClosedWindows() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

using InformationWindow = InformationWindowOn<testing_support::RecordWindowOnBackends>;
// The window's own layout, whatever it shows; and a database file that is not there.
using FileInformationWindow = InformationWindowOn<testing_support::RecordWindowTest>;

TEST_F(FileInformationWindow, ControlsCaptionsMenusAndTabOrder)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Information");
    EXPECT_EQ(focused(), control("TDBMask13")) << "the window opens in the locker number";

    QStringList tabOrder;
    QWidget *w = control("TDBMask13");
    for (int guard = 0; guard < 200 && !w->objectName().startsWith("Command1"); ++guard, w = w->nextInFocusChain()) {
        if (!boundField(w).isEmpty() && !tabOrder.contains(boundField(w)))
            tabOrder << boundField(w);
    }
    EXPECT_EQ(tabOrder.join(' '),
              "LockerNumber DateRented DateToRenew KeyNumber KeyDeposit Combo1 Combo2 Combo3 FirstName LastName "
              "Address1 Address2 Address3 City State Zip Phone1 Phone2 Fax EMail Birthdate Gender SSNumber VIBNumber "
              "Notes WorkName WorkAddress1 WorkAddress2 WorkCity WorkState WorkZip WorkPhone WorkFax Adult Junior "
              "Senior MixedLeague WomensLeague JuniorLeague MensLeague AdultJunior SeniorLeague Tournament Winter "
              "Summer HdcpLeague ScratchLeague");

    EXPECT_EQ(captionOf("TDBMask13"), "Locker Number");
    EXPECT_EQ(captionOf("TDBDate2"), "Expires On");
    EXPECT_EQ(captionOf("TDBMask1"), "Combination # 1");
    EXPECT_EQ(captionOf("TDBMask6"), "Phone #2:");
    EXPECT_EQ(captionOf("txtFields_3"), "") << "the second address line has no caption of its own";
    EXPECT_EQ(control("txtFields_3")->accessibleName(), "Address line 2");
    EXPECT_EQ(control("TDBMask12")->toolTip(), "You can enter your own ID number here for a bowler");
    EXPECT_EQ(control("txtFields_8")->toolTip(), "Enter any notes about the customer ");
    EXPECT_EQ(control<QAbstractButton>("chkFields_12")->text(), "Handicap:");
    EXPECT_EQ(control<QLineEdit>("txtFields_0")->maxLength(), 50);
    for (QWidget *input : window->findChildren<QWidget *>()) {
        if (boundField(input).isEmpty())
            continue;
        EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
    }

    QStringList frames;
    for (QGroupBox *box : window->findChildren<QGroupBox *>())
        frames << box->title() + "|" + box->toolTip();
    EXPECT_EQ(
        frames,
        QStringList({"Identification|ID Numbers", "Dates|", "Locker Information|Locker information",
                     "Personal Information|Customer information", "Work Information|Customer employer information",
                     "League Types|Types of leagues the customer bowls in"}));

    QStringList menus;
    for (QAction *a : window->menuBar()->actions()) {
        const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
        menus << name + "=" + a->text() + (a->isEnabled() ? "" : " (disabled)");
        if (a->menu()) {
            for (QAction *item : a->menu()->actions())
                menus << "  " + item->objectName() + "=" + item->text();
        }
    }
    EXPECT_EQ(menus,
              QStringList({"MnuFilter=&Filter", "  MnuFilterCreate=&Create", "MnuSort=&Sort",
                           "  MnuSortLockerNumber=By &Locker Number", "  MnuSortName=By Last &Name",
                           "MnuPrint=&Print (disabled)", "  MnuPrintLabels=Labels", "  MnuPrintReport=Report",
                           "MnuList=&List"}));

    auto *filterLabel = control<QLabel>("FilterLabel");
    EXPECT_EQ(filterLabel->text(), "Filter is ON");
    EXPECT_TRUE(filterLabel->isHidden());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "E&xit");
    EXPECT_EQ(control("Command1")->toolTip(), "Click here to exit");
    EXPECT_EQ(window->data(), control<store::DataControl>("Data1"));
}

TEST_P(InformationWindow, EmptyKeyDepositAndVibNumberStoreZeroOtherEmptyFieldsStayEmpty)
{
    open();
    type("TDBMask13", "5");
    for (const char *field : {"TDBDate1", "TDBMask14", "TDBMask15", "TDBMask1", "TDBMask12", "txtFields_8"})
        enter(field);
    EXPECT_EQ(shown("TDBMask15"), "0_________");
    EXPECT_EQ(shown("TDBMask12"), "0_________");
    EXPECT_EQ(shown("TDBMask14"), "__________");
    type("TDBMask5", "2175550147");
    type("TDBMask4", "62704");
    type("TDBDate3", "05121980");
    type("TDBMask16", "m");

    ASSERT_TRUE(window->writePendingEdit());
    const QVariantMap row = stored(5);
    EXPECT_EQ(row.value("KeyDeposit"), QVariant(0));
    EXPECT_EQ(row.value("VIBNumber"), QVariant(0));
    for (const char *empty :
         {"KeyNumber", "Combo1", "DateRented", "DateToRenew", "FirstName", "Notes", "Phone2", "SSNumber"})
        EXPECT_TRUE(row.value(empty).isNull()) << empty;
    EXPECT_EQ(row.value("Phone1").toString(), "(217)555-0147") << "masked values keep their literals";
    EXPECT_EQ(row.value("Zip").toString(), "62704");
    EXPECT_EQ(row.value("Birthdate").toString(), "05/12/1980");
    EXPECT_EQ(row.value("Gender").toString(), "m");

    // A deposit that is there is left as it is.
    retype("TDBMask15", "25");
    enter("TDBMask1");
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_EQ(stored(5).value("KeyDeposit"), QVariant(25));
}

TEST_P(InformationWindow, SortsByEitherIndexAndWritesAPendingEditFirst)
{
    insert({{"LockerNumber", 30}, {"LastName", "Zimmer"}, {"FirstName", "Zoe"}});
    insert({{"LockerNumber", 10}, {"LastName", "baker"}, {"FirstName", "Ben"}});
    insert({{"LockerNumber", 20}, {"LastName", "Adams"}, {"FirstName", "Amy"}});
    open();
    EXPECT_EQ(shown("txtFields_1"), "Zimmer") << "the first row in the engine's order, unsorted";

    retype("txtFields_0", "Zoey");
    trigger("MnuSortName");
    EXPECT_EQ(stored(30).value("FirstName").toString(), "Zoey");
    EXPECT_EQ(shown("txtFields_1"), "Adams");
    click("Next");
    EXPECT_EQ(shown("txtFields_1"), "baker") << "the index orders without regard to case";

    trigger("MnuSortLockerNumber");
    EXPECT_EQ(shown("TDBMask13"), "10________");
    EXPECT_EQ(window->data()->recordset()->index(), "LockerNumber");
    EXPECT_EQ(window->data()->RecordsetType(), store::Recordset::Table);
    EXPECT_EQ(services.pointerChanges.size(), 4) << "an hourglass for each sort, back to the default after";
}

TEST_P(InformationWindow, SortingAnEmptyTableSaysNothingAndKeepsANewRowReady)
{
    open();
    trigger("MnuSortName");
    trigger("MnuSortLockerNumber");
    EXPECT_TRUE(services.boxes.isEmpty());
    EXPECT_EQ(control<QLabel>("Position")->text(), "New record");
    EXPECT_TRUE(window->data()->isAdding());
    type("TDBMask13", "8");
    ASSERT_TRUE(window->writePendingEdit());
    EXPECT_FALSE(stored(8).isEmpty());
}

TEST_P(InformationWindow, ClosingByTheFrameOrExitWritesThePendingEdit)
{
    insert({{"LockerNumber", 1}, {"FirstName", "Ann"}});
    open();
    retype("txtFields_0", "Anna");
    window->close(); // what the frame's close button does
    deleteClosedWindows();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(stored(1).value("FirstName").toString(), "Anna");

    open();
    retype("txtFields_0", "Annie");
    ASSERT_TRUE(window->writePendingEdit()) << "what the main menu calls before E&xit ends the program";
    EXPECT_EQ(stored(1).value("FirstName").toString(), "Annie");
    QTest::mouseClick(control("Command1"), Qt::LeftButton);
    deleteClosedWindows();
    EXPECT_TRUE(window.isNull());
}

TEST_P(InformationWindow, AnOverflowingLockerNumberKeepsTheRowAndEveryEdit)
{
    insert({{"LockerNumber", 1}, {"FirstName", "Old"}, {"City", "Here"}});
    open();
    retype("TDBMask13", "9999999999");
    retype("txtFields_0", "New");
    retype("txtFields_5", "There");

    services.answer(platform::Button::OK);
    click("Add");
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, kOverflow);
    EXPECT_EQ(services.lastBox().icon, platform::Icon::Exclamation);
    EXPECT_FALSE(window->data()->isAdding());
    EXPECT_EQ(shown("TDBMask13"), "9999999999");
    EXPECT_EQ(shown("txtFields_0"), "New");
    EXPECT_EQ(shown("txtFields_5"), "There");
    EXPECT_EQ(stored(1).value("FirstName").toString(), "Old");

    services.answer(platform::Button::OK);
    window->close();
    deleteClosedWindows();
    ASSERT_FALSE(window.isNull()) << "the window stays open rather than lose what was typed";
    EXPECT_EQ(services.boxes.size(), 2);
    EXPECT_EQ(shown("txtFields_5"), "There");

    retype("TDBMask13", "12");
    window->close();
    deleteClosedWindows();
    EXPECT_TRUE(window.isNull());
    const QVariantMap row = stored(12);
    EXPECT_EQ(row.value("FirstName").toString(), "New");
    EXPECT_EQ(row.value("City").toString(), "There");
}

TEST_P(InformationWindow, NavigatorAddsAndDeletesRows)
{
    insert({{"LockerNumber", 1}, {"FirstName", "Ann"}});
    open();
    enter("txtFields_0");
    click("Add");
    EXPECT_EQ(focused(), control("TDBMask13")) << "a new row starts at the locker number";
    type("TDBMask13", "2");
    click("First");
    EXPECT_EQ(database.storedCount(), 2);

    services.answer(platform::Button::Yes);
    click("Delete");
    services.answer(platform::Button::Yes);
    click("Delete");
    QApplication::processEvents();
    EXPECT_EQ(database.storedCount(), 0);
    EXPECT_TRUE(window->data()->isAdding()) << "with no row left, a new one is ready";
}

TEST_F(FileInformationWindow, AMissingFileIsReportedAndTheWindowStaysOpenWithoutRows)
{
    ASSERT_TRUE(QFile::remove(folder.databasePath()));
    services.answer(platform::Button::OK);
    open();
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_TRUE(services.lastBox().text.startsWith("Could not find file")) << services.lastBox().text.toStdString();
    EXPECT_FALSE(control("TDBMask13")->isEnabled()) << "nothing typed could be kept";
    window->close();
    deleteClosedWindows();
    EXPECT_TRUE(window.isNull());
}

TEST_P(InformationWindow, CreateFilterPreparesADynasetAndShowsTheFilterWindowUnderTheHourglass)
{
    int shownTimes = 0;
    customers::frmInformation::setFilterWindowLauncher([&](customers::frmInformation &records) {
        ++shownTimes;
        EXPECT_EQ(&records, window.data());
        EXPECT_EQ(platform::services().pointer(), platform::Pointer::Hourglass);
        EXPECT_EQ(records.data()->RecordsetType(), store::Recordset::Dynaset);
    });
    open();
    window->data()->setRecordsetType(store::Recordset::Table);
    trigger("MnuFilterCreate");
    customers::frmInformation::setFilterWindowLauncher(nullptr);
    EXPECT_EQ(shownTimes, 1);
    EXPECT_EQ(platform::services().pointer(), platform::Pointer::Default);
}

VANTREL_ON_BOTH_BACKENDS(InformationWindow);

} // namespace
