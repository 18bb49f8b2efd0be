// The year ahead on both backends: every month's figure equals what the
// filter window counts for that month on random customers, the vacant
// lockers equal the map's, and the window follows the data and reads out
// as a table.
#include "BackendDatabase.h"
#include "filter/CriteriaRules.h"
#include "filter/StatementBuilder.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapSettings.h"
#include "lockermap/YearAhead.h"
#include "lockermap/frmYearAhead.h"
#include "support/AccessibleNames.h"
#include "support/ScriptedServices.h"

#include <QApplication>
#include <QLabel>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace lockermap;
using testing_support::Backend;
using testing_support::BackendTest;
using testing_support::CustomerRow;

namespace {

const QDate kToday(2026, 12, 8);

// What the filter window counts for "DateToRenew from the month's first day
// to its last".
qint64 filterCount(store::Database &db, const QDate &month)
{
    filter::FilterRows rows;
    rows.table = QStringLiteral("Information");
    const QDate last = month.addMonths(1).addDays(-1);
    rows.rows = {{true, "DateToRenew", 8, filter::Operators::GreaterOrEqual, month.toString("MM/dd/yyyy"), "And"},
                 {true, "DateToRenew", 8, filter::Operators::LessOrEqual, last.toString("MM/dd/yyyy"), ""}};
    EXPECT_TRUE(filter::CheckCriteria(rows).passed);
    qint64 counted = -1;
    store::EngineError e;
    EXPECT_TRUE(db.count(filter::CreateSQLStatement(rows).statement, &counted, &e)) << e.text.toStdString();
    return counted;
}

void setRate(store::Database &db, const QString &rate)
{
    const store::TableDef &center = *db.tableDef("CenterInformation");
    store::EngineError e;
    auto batch = db.beginBatch(center, {center.fieldIndex("YearlyRate"), center.fieldIndex("Period")}, {}, &e);
    ASSERT_TRUE(batch) << e.text.toStdString();
    bool written = false;
    ASSERT_TRUE(batch->updateFirst({rate, "365"}, &written, &e)) << e.text.toStdString();
    if (!written) {
        ASSERT_TRUE(batch->insert({rate, "365"}, &e)) << e.text.toStdString();
    }
    ASSERT_TRUE(batch->commit(&e)) << e.text.toStdString();
}

QList<CustomerRow> randomCustomers(quint32 seed, int count)
{
    QRandomGenerator rng(seed);
    QList<CustomerRow> rows;
    for (int i = 0; i < count; ++i) {
        CustomerRow row;
        row["LastName"] = QStringLiteral("Name%1").arg(i);
        if (rng.bounded(10) != 0) // a tenth without an expiry date
            row["DateToRenew"] = kToday.addDays(rng.bounded(-90, 460));
        if (rng.bounded(12) != 0) // some without a locker; numbers repeat, as doubles
            row["LockerNumber"] = qint64(rng.bounded(1, 320));
        rows << row;
    }
    // The last day of a month, the first of the next, and the months at
    // the window's two ends.
    for (const QDate &edge : {QDate(2026, 12, 1), QDate(2026, 12, 31), QDate(2027, 1, 1), QDate(2027, 2, 28),
                              QDate(2027, 3, 1), QDate(2027, 11, 30), QDate(2027, 12, 1), QDate(2026, 11, 30)})
        rows << CustomerRow{{"LastName", "Edge"}, {"DateToRenew", edge}, {"LockerNumber", 7}};
    return rows;
}

class YearAheadFigures : public BackendTest
{
protected:
    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }
    void SetUp() override { MapSettings::clear(); }
    testing_support::ScriptedServices ui;
};

TEST_P(YearAheadFigures, EqualTheFilterCountsAndTheMapsVacantLockersOnRandomCustomers)
{
    database.insert(randomCustomers(20261208, 700));
    if (!database.onServer()) {
        // What the file may hold besides dates: texts the filter never
        // counts in a month, whatever they start with.
        database.insert({{{"DateToRenew", "2027-03-31 12:00"}},
                         {{"DateToRenew", "2027-3-5"}},
                         {{"DateToRenew", "2027-04"}},
                         {{"DateToRenew", "soon"}},
                         {{"LockerNumber", "A12"}},
                         {{"LockerNumber", 12.5}},
                         {{"LockerNumber", qint64(3000000000LL)}}});
    }
    auto db = database.open();
    ASSERT_TRUE(db);
    ASSERT_NO_FATAL_FAILURE(setRate(*db, "$45.50"));

    for (const MapRange &range :
         {MapRange{1, 0, 30}, MapRange{50, 250, 30}, MapRange{300, 400, 30}, MapRange{5000, 0, 30}}) {
        SCOPED_TRACE(QStringLiteral("lockers %1 to %2").arg(range.first).arg(range.last).toStdString());
        YearAhead year;
        store::EngineError e;
        ASSERT_TRUE(YearAhead::compute(*db, range, kToday, &year, &e)) << e.text.toStdString();
        ASSERT_EQ(year.months.size(), 12);
        EXPECT_EQ(year.months.first().month, QDate(2026, 12, 1));
        EXPECT_EQ(year.months.last().month, QDate(2027, 11, 1));
        qint64 nonEmpty = 0;
        for (const MonthDue &m : year.months) {
            EXPECT_EQ(m.due, filterCount(*db, m.month)) << m.month.toString().toStdString();
            ASSERT_TRUE(m.income);
            EXPECT_DOUBLE_EQ(*m.income, double(m.due) * 45.5);
            nonEmpty += m.due > 0;
        }
        EXPECT_EQ(nonEmpty, 12) << "random dates fall in every month";

        LockerMap map;
        ASSERT_TRUE(LockerMap::computeFrom(*db, range, kToday, &map, &e)) << e.text.toStdString();
        EXPECT_EQ(year.vacant, map.count(LockerState::Vacant));
        EXPECT_EQ(year.lockers, map.size());
        EXPECT_EQ(year.last, map.last());
    }
}

TEST_P(YearAheadFigures, TheWindowFollowsTheDataReadsAsATableAndNamesItsInputs)
{
    database.insert({{{"DateToRenew", QDate(2027, 1, 15)}, {"LockerNumber", 1}},
                     {{"DateToRenew", QDate(2027, 1, 31)}, {"LockerNumber", 2}},
                     {{"DateToRenew", QDate(2027, 11, 30)}, {"LockerNumber", 4}}});
    auto db = database.open();
    ASSERT_TRUE(db);
    ASSERT_NO_FATAL_FAILURE(setRate(*db, "40"));
    auto *window = new frmYearAhead;
    window->setClock([] { return kToday; });
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto *table = window->findChild<QTableWidget *>("tblMonths");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rowCount(), 13);
    EXPECT_EQ(table->item(1, 0)->text(), "January 2027");
    EXPECT_EQ(table->item(1, 1)->text(), "2");
    EXPECT_EQ(table->item(1, 2)->text(), "$80.00");
    EXPECT_EQ(table->item(12, 1)->text(), "3") << "the total row";
    EXPECT_EQ(window->findChild<QLabel *>("lblVacant")->text(), "1 of 4 lockers (1 to 4) stands vacant today.");
    EXPECT_TRUE(testing_support::inputsWithoutAccessibleName(window).isEmpty());

    // A customer added at this desk: the window reads the figures again.
    qint64 id = 0;
    store::EngineError e;
    const store::TableDef &info = *db->tableDef("Information");
    ASSERT_TRUE(db->insertRow(info, {info.fieldIndex("DateToRenew"), info.fieldIndex("LockerNumber")},
                              {QDate(2027, 1, 2), 3}, &id, &e))
        << e.text.toStdString();
    QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 1)->text(), QStringLiteral("3"), 5000);
    EXPECT_EQ(window->findChild<QLabel *>("lblVacant")->text(), "0 of 4 lockers (1 to 4) stand vacant today.");
    delete window;
}

VANTREL_ON_BOTH_BACKENDS(YearAheadFigures);

} // namespace
