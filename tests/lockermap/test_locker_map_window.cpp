// The map window driven as the front desk does: clicks into the record
// window, edits there that the map follows, the settings it keeps, printing,
// the spoken names, and its place in the main menu.
#include "app/frmMainMenu.h"
#include "customers/frmInformation.h"
#include "lockermap/LockerGrid.h"
#include "lockermap/MapSettings.h"
#include "lockermap/frmLockerMap.h"
#include "store/RawDatabase.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "widgets/DateEdit.h"
#include "widgets/MaskedEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

using namespace lockermap;
using testing_support::insertCustomer;
using testing_support::ScriptedServices;
using testing_support::TempProgramFolder;

namespace {

const QDate kToday(2026, 12, 8);

class LockerMapWindow : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }
    void SetUp() override
    {
        lockermap::MapSettings::clear();
        rented = insertCustomer(folder.databasePath(),
                                {{"LockerNumber", 1}, {"DateToRenew", "2027-06-01"}, {"LastName", "Adams"}});
        zimmer = insertCustomer(folder.databasePath(),
                                {{"LockerNumber", 2}, {"DateToRenew", "2026-01-10"}, {"LastName", "Zimmer"}});
        baker = insertCustomer(folder.databasePath(),
                               {{"LockerNumber", 5}, {"DateToRenew", "2026-12-20"}, {"LastName", "Baker"}});
    }
    void TearDown() override
    {
        delete map.data();
        if (record)
            record->close();
        delete record.data();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void open()
    {
        map = new frmLockerMap;
        map->setClock([] { return kToday; });
        map->setRecordWindowOpener([this] {
            if (!record)
                record = new customers::frmInformation;
            record->show();
            return record.data();
        });
        map->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(map));
    }
    LockerGrid *grid() const { return map->grid(); }
    void clickCell(qint64 number)
    {
        grid()->ensureVisible(number);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, grid()->cellRect(number).center());
        QApplication::processEvents();
    }
    // What the map shows once the writes of the record window have come through.
    LockerState shownState(qint64 number)
    {
        QApplication::processEvents();
        return map->lockerMap()->stateOf(number);
    }
    QColor paintedFill(qint64 number) const
    {
        const QImage image = grid()->viewport()->grab().toImage();
        const QRect r = grid()->cellRect(number);
        return image.pixelColor(r.right() - 3, r.center().y());
    }
    template<typename T = QWidget>
    T *recordControl(const char *name) const
    {
        T *found = record->findChild<T *>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QString legend(const char *name) const
    {
        auto *label = map->findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("(no label %1)").arg(QLatin1String(name));
    }
    QString shownLocker() const { return recordControl<widgets::MaskedEdit>("TDBMask13")->value().toString(); }

    TempProgramFolder folder;
    ScriptedServices services;
    QPointer<frmLockerMap> map;
    QPointer<customers::frmInformation> record;
    qint64 rented = 0, zimmer = 0, baker = 0;
};

TEST_F(LockerMapWindow, OpensWithTheStatesTheLegendAndSpokenCells)
{
    open();
    EXPECT_EQ(map->windowTitle(), "Locker Map");
    EXPECT_EQ(map->lockerMap()->size(), 5) << "1 to the highest number in use";
    EXPECT_EQ(legend("lblVacant"), "Vacant: 2");
    EXPECT_EQ(legend("lblRented"), "Rented: 1");
    EXPECT_EQ(legend("lblExpiring"), "Expiring: 1");
    EXPECT_EQ(legend("lblExpired"), "Expired: 1");
    EXPECT_EQ(legend("lblNoDate"), "No date: 0");
    EXPECT_EQ(legend("lblDouble"), "Double: 0");

    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(grid());
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->text(QAccessible::Name), "Locker map");
    ASSERT_EQ(iface->childCount(), 5);
    EXPECT_EQ(iface->child(1)->text(QAccessible::Name), "Locker 2, expired 01/10/2026, Zimmer");
    EXPECT_EQ(iface->child(2)->text(QAccessible::Name), "Locker 3, vacant");
    EXPECT_EQ(iface->indexOfChild(iface->child(4)), 4);
    const QRect cell = iface->child(1)->rect();
    EXPECT_EQ(iface->childAt(cell.center().x(), cell.center().y()), iface->child(1));

    for (const char *name : {"txtFirst", "txtLast", "txtPerRow", "txtExpiringDays"}) {
        auto *box = map->findChild<QSpinBox *>(name);
        ASSERT_TRUE(box) << name;
        EXPECT_FALSE(box->accessibleName().isEmpty()) << name;
    }
    EXPECT_EQ(map->findChild<QSpinBox *>("txtLast")->accessibleName(), "Last locker");
    EXPECT_EQ(services.pointer(), platform::Pointer::Default);
}

TEST_F(LockerMapWindow, ClickOnAHeldLockerShowsItsCustomerInTheRecordWindow)
{
    open();
    clickCell(5);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isVisible());
    EXPECT_EQ(record->data()->recordset()->Bookmark(), baker);
    EXPECT_EQ(shownLocker(), "5");
    EXPECT_EQ(recordControl<QLineEdit>("txtFields_1")->text(), "Baker");

    // The keyboard reaches the same: Left from 5 to 4 (vacant), Home to 1.
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_Home);
    QTest::keyClick(grid(), Qt::Key_Right);
    EXPECT_EQ(grid()->current(), 2);
    QTest::keyClick(grid(), Qt::Key_Return);
    EXPECT_EQ(record->data()->recordset()->Bookmark(), zimmer);
    EXPECT_EQ(recordControl<QLineEdit>("txtFields_1")->text(), "Zimmer");
    EXPECT_TRUE(services.boxes.isEmpty());
}

TEST_F(LockerMapWindow, ClickOnAVacantLockerStartsANewRowWithItsNumber)
{
    open();
    clickCell(3);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->data()->isAdding());
    EXPECT_EQ(shownLocker(), "3");
    QTest::keyClicks(recordControl<QLineEdit>("txtFields_1"), "Newman");
    ASSERT_TRUE(record->writePendingEdit());

    EXPECT_EQ(shownState(3), LockerState::NoDate) << "the map follows the new row without reopening";
    EXPECT_EQ(map->lockerMap()->cell(3).name, "Newman");
    EXPECT_EQ(legend("lblVacant"), "Vacant: 1");
}

TEST_F(LockerMapWindow, AVacantLockerClickedByMistakeAddsNoRow)
{
    open();
    clickCell(3);
    ASSERT_TRUE(record);
    EXPECT_EQ(shownLocker(), "3");
    ASSERT_TRUE(record->writePendingEdit());
    EXPECT_FALSE(record->data()->isAdding());
    EXPECT_EQ(record->data()->recordset()->RecordCount(), 3);
    EXPECT_EQ(shownState(3), LockerState::Vacant);

    // Moving on to another locker leaves nothing behind either.
    clickCell(4);
    clickCell(1);
    EXPECT_EQ(record->data()->recordset()->RecordCount(), 3);
    EXPECT_EQ(legend("lblVacant"), "Vacant: 2");
}

TEST_F(LockerMapWindow, AnExpiryDateEditedInTheRecordWindowRecoloursTheCell)
{
    open();
    const CellStyle style = grid()->cellStyle();
    EXPECT_EQ(paintedFill(2), style.look(LockerState::Expired).fill);
    clickCell(2);
    ASSERT_TRUE(record);
    recordControl<widgets::DateEdit>("TDBDate2")->setEditedDate(QDate(2027, 9, 1));
    EXPECT_EQ(shownState(2), LockerState::Expired) << "nothing changes before the row is written";
    ASSERT_TRUE(record->writePendingEdit());

    EXPECT_EQ(shownState(2), LockerState::Rented);
    EXPECT_EQ(paintedFill(2), style.look(LockerState::Rented).fill);
    EXPECT_EQ(legend("lblExpired"), "Expired: 0");
}

TEST_F(LockerMapWindow, ACustomerOutsideTheRecordWindowsFilterIsExplained)
{
    open();
    clickCell(1);
    ASSERT_TRUE(record);
    record->data()->setRecordsetType(store::Recordset::Dynaset);
    record->data()->setRecordSource("Select Information.* From Information Where [LastName] = 'ADAMS'");
    ASSERT_TRUE(record->data()->Refresh());
    services.answer(platform::Button::OK);
    clickCell(2);
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text,
              "The customer of locker 2 is not among the rows the Information window shows. "
              "Cancel its filter to reach every customer.");
    EXPECT_EQ(record->data()->recordset()->Bookmark(), rented) << "the record window stays where it was";
}

TEST_F(LockerMapWindow, RangeRowLengthAndPeriodAreTheUsersSettingsNotTheDatabases)
{
    QFile before(folder.databasePath());
    open();
    map->findChild<QSpinBox *>("txtLast")->setValue(40);
    map->findChild<QSpinBox *>("txtPerRow")->setValue(8);
    map->findChild<QSpinBox *>("txtExpiringDays")->setValue(5);
    EXPECT_EQ(map->lockerMap()->size(), 40);
    EXPECT_EQ(grid()->layout().perRow(), 8);
    EXPECT_EQ(map->lockerMap()->stateOf(5), LockerState::Rented) << "12/20 is more than 5 days away";
    EXPECT_EQ(legend("lblVacant"), "Vacant: 37");
    delete map.data();

    EXPECT_EQ(MapSettings::load().range.last, 40);
    EXPECT_EQ(MapSettings::load().perRow, 8);
    open();
    EXPECT_EQ(map->findChild<QSpinBox *>("txtLast")->value(), 40);
    EXPECT_EQ(map->findChild<QSpinBox *>("txtPerRow")->value(), 8);
    EXPECT_EQ(map->lockerMap()->expiringDays(), 5);

    store::RawDatabase db;
    ASSERT_TRUE(db.open(folder.databasePath(), store::RawDatabase::ReadOnly, nullptr));
    store::Statement tables(db.handle(), "SELECT group_concat(name, ' ') FROM sqlite_master WHERE type = 'table'");
    ASSERT_TRUE(tables.step());
    EXPECT_EQ(tables.value(0).toString(), "Information CenterInformation");
}

TEST_F(LockerMapWindow, ALongMapKeepsItsPlaceWhenTheRowsChangeLength)
{
    insertCustomer(folder.databasePath(), {{"LockerNumber", 1000}, {"DateToRenew", "2027-06-01"}, {"LastName", "Far"}});
    open();
    ASSERT_EQ(map->lockerMap()->size(), 1000);
    grid()->ensureVisible(700);
    const qint64 topLocker = 1 + grid()->topRow() * grid()->layout().perRow();
    EXPECT_GT(topLocker, 500);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(grid());
    EXPECT_TRUE(iface->child(0)->state().offscreen) << "locker 1 is scrolled away";
    EXPECT_FALSE(iface->child(699)->state().offscreen);

    map->findChild<QSpinBox *>("txtPerRow")->setValue(7);
    const QRect view = grid()->viewport()->rect();
    EXPECT_TRUE(view.intersects(grid()->cellRect(topLocker))) << "the locker at the top stays in view";
    clickCell(1000);
    ASSERT_TRUE(record);
    EXPECT_EQ(recordControl<QLineEdit>("txtFields_1")->text(), "Far");
}

TEST_F(LockerMapWindow, AHandEditedSettingsFileFallsBackToTheDefaults)
{
    MapSettings odd;
    odd.range.first = 0;           // below the first locker
    odd.range.last = 5000000000LL; // beyond a long integer
    odd.range.expiringDays = -3;
    odd.perRow = 100000;
    odd.save();
    const MapSettings loaded = MapSettings::load();
    EXPECT_EQ(loaded.range.first, 1);
    EXPECT_EQ(loaded.range.last, 0);
    EXPECT_EQ(loaded.range.expiringDays, 30);
    EXPECT_EQ(loaded.perRow, MapSettings().perRow);
    open();
    EXPECT_EQ(map->lockerMap()->size(), 5);
}

TEST_F(LockerMapWindow, PrintsTheMapThroughTheChosenPrinter)
{
    open();
    const QString pdf = folder.file("map.pdf");
    int offered = 0;
    map->setPrinterChooser([&](QPrinter &printer, int pages) {
        offered = pages;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    map->findChild<QAction *>("MnuPrint")->trigger();
    EXPECT_EQ(offered, 1);
    QFile out(pdf);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.readAll().startsWith("%PDF"));
    EXPECT_EQ(services.pointer(), platform::Pointer::Default);

    map->setPrinterChooser([](QPrinter &, int) { return false; });
    QFile::remove(pdf);
    map->findChild<QAction *>("MnuPrint")->trigger();
    EXPECT_FALSE(QFile::exists(pdf)) << "cancelled: nothing printed";
}

TEST_F(LockerMapWindow, AMissingDatabaseIsReportedWithTheEnginesText)
{
    QFile::remove(folder.databasePath());
    services.answer(platform::Button::OK);
    map = new frmLockerMap;
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_TRUE(services.lastBox().text.startsWith("Could not")) << services.lastBox().text.toStdString();
    EXPECT_FALSE(map->lockerMap());
    EXPECT_FALSE(QFile::exists(folder.databasePath()));
}

TEST_F(LockerMapWindow, TheMainMenuOpensOneMapWhoseCellsOpenItsRecordWindow)
{
    app::frmMainMenu menu;
    QMenu *modify = menu.menuBar()->findChild<QMenu *>("MnuModify");
    ASSERT_TRUE(modify);
    // After the customers, before the year ahead.
    ASSERT_EQ(modify->actions().size(), 4);
    EXPECT_EQ(modify->actions().at(2)->objectName(), "MnuLockerMap");
    EXPECT_EQ(modify->actions().at(2)->text(), "Locker &Map");

    menu.menuAction("MnuLockerMap")->trigger();
    QPointer<QWidget> first = menu.lockerMapWindow();
    ASSERT_TRUE(first);
    menu.menuAction("MnuLockerMap")->trigger();
    EXPECT_EQ(menu.lockerMapWindow(), first.data()) << "one map at a time";
    EXPECT_TRUE(menu.isEnabled()) << "the map is not modal";

    auto *opened = static_cast<frmLockerMap *>(first.data());
    LockerGrid *g = opened->grid();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->cellRect(1).center());
    ASSERT_TRUE(menu.informationWindow());
    EXPECT_EQ(menu.informationWindow()->data()->recordset()->Bookmark(), rented);
    menu.menuAction("MnuCustInfo")->trigger();
    EXPECT_EQ(menu.informationWindow()->data()->recordset()->Bookmark(), rented) << "the same record window";
    EXPECT_EQ(services.pointer(), platform::Pointer::Default);
}

} // namespace
