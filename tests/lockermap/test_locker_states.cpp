// The locker states against straight SQL over the same file, the rules at
// their edges, the rate, the layout and the printed map.
#include "lockermap/CellStyle.h"
#include "lockermap/CenterRate.h"
#include "lockermap/Legend.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapLayout.h"
#include "lockermap/MapPrint.h"
#include "store/RawDatabase.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QHash>
#include <QPdfWriter>
#include <gtest/gtest.h>
#include <random>

using namespace lockermap;
using testing_support::insertCustomer;
using testing_support::insertCustomers;
using testing_support::TempProgramFolder;

namespace {

const QDate kToday(2026, 12, 8);

struct Expected {
    QString state;
    qint64 rowId = 0;
    QString name;
};

// The states as a reader of the file would work them out by hand: group the
// rows by whole locker number and judge each group's one expiry date with
// SQLite's own date functions.
QHash<qint64, Expected> statesBySql(sqlite3 *db, int expiringDays, qint64 *highest)
{
    store::Statement top(db,
                         QStringLiteral("SELECT max(0, coalesce(max(LockerNumber), 0)) FROM Information "
                                        "WHERE typeof(LockerNumber) = 'integer' AND LockerNumber <= 2147483647 "
                                        "AND LockerNumber >= -2147483648"));
    EXPECT_TRUE(top.step());
    *highest = top.int64(0);

    store::Statement st(
        db,
        QStringLiteral("SELECT LockerNumber, min(rowid), trim(coalesce(max(LastName), '')), "
                       "  CASE WHEN count(*) > 1 THEN 'double' "
                       "       WHEN date(max(DateToRenew)) IS NULL THEN 'no date' "
                       "       WHEN date(max(DateToRenew)) < date(?1) THEN 'expired' "
                       "       WHEN date(max(DateToRenew)) <= date(?1, '+' || ?2 || ' days') THEN 'expiring' "
                       "       ELSE 'rented' END "
                       "FROM Information WHERE typeof(LockerNumber) = 'integer' "
                       "  AND LockerNumber BETWEEN -2147483648 AND 2147483647 GROUP BY LockerNumber"));
    st.bindAll({kToday.toString(Qt::ISODate), expiringDays});
    QHash<qint64, Expected> out;
    while (st.step())
        out.insert(st.int64(0), {st.value(3).toString(), st.int64(1), st.value(2).toString()});
    EXPECT_FALSE(st.error().isError()) << st.error().text.toStdString();
    return out;
}

QVariant randomLocker(std::mt19937 &rng, const QList<qint64> &used)
{
    const int kind = int(rng() % 100);
    if (kind < 65)
        return qint64(1 + rng() % 60);
    if (kind < 75 && !used.isEmpty())
        return used.at(int(rng() % used.size())); // a double
    switch (kind % 7) {
    case 0: return QVariant(); // no locker
    case 1: return qint64(0);
    case 2: return -qint64(1 + rng() % 5);
    case 3: return QStringLiteral("A12"); // not a number
    case 4: return 12.5;                  // not whole
    case 5: return qint64(3000000000LL);  // beyond a long integer
    default: return QString();
    }
}

QVariant randomExpiry(std::mt19937 &rng, int expiringDays)
{
    const int kind = int(rng() % 20);
    switch (kind) {
    case 0: return QVariant();
    case 1: return QString();
    case 2: return QStringLiteral("   ");
    case 3: return QStringLiteral("n/a");
    default: break;
    }
    // Dates on either side of today and of the end of the warning period.
    const int edges[] = {-1, 0, 1, expiringDays - 1, expiringDays, expiringDays + 1};
    const int offset = kind < 12 ? edges[rng() % 6] : int(rng() % 801) - 400;
    return kToday.addDays(offset).toString(Qt::ISODate);
}

QVariant randomName(std::mt19937 &rng)
{
    static const QStringList names = {"Zimmer", "Adams", "O'Brien", "Müller", "  Padded  ", "", "   ", "Nguyen"};
    const int kind = int(rng() % 10);
    return kind == 0 ? QVariant() : QVariant(names.at(int(rng() % names.size())));
}

TEST(LockerStates, EveryCellMatchesStraightSqlOnRandomTables)
{
    TempProgramFolder folder;
    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(folder.databasePath(), store::RawDatabase::ReadWrite, &e)) << e.text.toStdString();
    for (int table = 0; table < 50; ++table) {
        SCOPED_TRACE("table " + std::to_string(table));
        std::mt19937 rng(20261208u + unsigned(table));
        ASSERT_TRUE(db.exec(QStringLiteral("DELETE FROM Information"), &e)) << e.text.toStdString();
        const int expiringDays = std::array{0, 1, 30, 45}[rng() % 4];
        QList<qint64> used;
        QList<testing_support::CustomerRow> rows;
        const int count = int(rng() % 120);
        for (int i = 0; i < count; ++i) {
            const QVariant locker = randomLocker(rng, used);
            if (locker.typeId() == QMetaType::LongLong)
                used << locker.toLongLong();
            const QVariant expiry = randomExpiry(rng, expiringDays);
            rows.append({{"LockerNumber", locker}, {"DateToRenew", expiry}, {"LastName", randomName(rng)}});
        }
        insertCustomers(db.handle(), rows);
        MapRange range;
        range.expiringDays = expiringDays;
        if (table % 3 == 1) {
            range.first = 1 + rng() % 30;
            range.last = range.first - 1 + rng() % 50; // may be empty
        }

        qint64 highest = 0;
        const QHash<qint64, Expected> expected = statesBySql(db.handle(), expiringDays, &highest);
        LockerMap map;
        ASSERT_TRUE(LockerMap::compute(folder.databasePath(), range, kToday, &map, &e)) << e.text.toStdString();

        EXPECT_EQ(map.highestInUse(), highest);
        EXPECT_EQ(map.first(), range.first);
        EXPECT_EQ(map.last(), range.last != 0 ? range.last : highest);
        QHash<QString, qint64> tally;
        for (qint64 n = map.first(); n <= map.last(); ++n) {
            const LockerCell cell = map.cell(n);
            const Expected want = expected.value(n, {QStringLiteral("vacant"), 0, QString()});
            ASSERT_EQ(stateName(cell.state).toStdString(), want.state.toStdString()) << "locker " << n;
            ++tally[want.state];
            if (cell.state == LockerState::Vacant)
                continue;
            EXPECT_EQ(cell.rowId, want.rowId) << "locker " << n;
            if (cell.state != LockerState::Double) {
                EXPECT_EQ(cell.name, want.name) << "locker " << n;
            }
        }
        for (LockerState s : kAllStates)
            EXPECT_EQ(map.count(s), tally.value(stateName(s))) << stateName(s).toStdString();
    }
}

TEST(LockerStates, RulesAtTheirEdges)
{
    const qint64 today = kToday.toJulianDay();
    EXPECT_EQ(singleCustomerState(std::nullopt, today, 30), LockerState::NoDate);
    EXPECT_EQ(singleCustomerState(today - 1, today, 30), LockerState::Expired);
    EXPECT_EQ(singleCustomerState(today, today, 30), LockerState::Expiring) << "expires today: not yet expired";
    EXPECT_EQ(singleCustomerState(today + 30, today, 30), LockerState::Expiring);
    EXPECT_EQ(singleCustomerState(today + 31, today, 30), LockerState::Rented);
    EXPECT_EQ(singleCustomerState(today, today, 0), LockerState::Expiring);
    EXPECT_EQ(singleCustomerState(today + 1, today, 0), LockerState::Rented);

    const auto parse = [](const char *s) { return parseStoredDate(s, int(qstrlen(s))); };
    EXPECT_EQ(parse("2026-03-01"), QDate(2026, 3, 1).toJulianDay());
    EXPECT_EQ(parse("2024-02-29"), QDate(2024, 2, 29).toJulianDay());
    for (const char *bad :
         {"", "   ", "2026-02-30", "2026-13-01", "2026-3-1", "03/01/2026", "2026-03-01x", "20260301", "2026/03/01"})
        EXPECT_FALSE(parse(bad)) << bad;
}

TEST(LockerStates, DoublesNamesAndSpokenNames)
{
    TempProgramFolder folder;
    const qint64 zimmer = insertCustomer(
        folder.databasePath(), {{"LockerNumber", 112}, {"DateToRenew", "2026-03-01"}, {"LastName", "Zimmer"}});
    const qint64 first = insertCustomer(folder.databasePath(),
                                        {{"LockerNumber", 7}, {"DateToRenew", "2027-01-01"}, {"LastName", "Adams"}});
    insertCustomer(folder.databasePath(), {{"LockerNumber", 7}, {"DateToRenew", QVariant()}, {"LastName", "Baker"}});
    insertCustomer(folder.databasePath(), {{"LockerNumber", 9}, {"DateToRenew", QVariant()}, {"LastName", QVariant()}});

    LockerMap map;
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {}, kToday, &map, nullptr));
    EXPECT_EQ(map.cell(112).rowId, zimmer);
    EXPECT_EQ(spokenName(map.cell(112)), "Locker 112, expired 03/01/2026, Zimmer");
    EXPECT_EQ(map.cell(7).rowId, first) << "a double opens on its first customer";
    EXPECT_EQ(map.cell(7).customers, 2);
    EXPECT_EQ(spokenName(map.cell(7)), "Locker 7, double, 2 customers, Adams, Baker");
    EXPECT_EQ(spokenName(map.cell(9)), "Locker 9, rented, no date, no name");
    EXPECT_EQ(spokenName(map.cell(8)), "Locker 8, vacant");
    insertCustomer(folder.databasePath(), {{"LockerNumber", 5}, {"DateToRenew", "2027-06-30"}, {"LastName", "Adams"}});
    insertCustomer(folder.databasePath(), {{"LockerNumber", 6}, {"DateToRenew", "2026-12-20"}, {"LastName", "Cole"}});
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {}, kToday, &map, nullptr));
    EXPECT_EQ(spokenName(map.cell(5)), "Locker 5, rented until 06/30/2027, Adams");
    EXPECT_EQ(spokenName(map.cell(6)), "Locker 6, expiring 12/20/2026, Cole");
}

TEST(LockerStates, WholeRangeOfNumbersCostsOnlyTheHeldLockers)
{
    TempProgramFolder folder;
    insertCustomer(folder.databasePath(),
                   {{"LockerNumber", 2147483647}, {"DateToRenew", "2027-06-01"}, {"LastName", "Last"}});
    insertCustomer(folder.databasePath(), {{"LockerNumber", 1}, {"DateToRenew", "2027-06-01"}, {"LastName", "First"}});
    LockerMap map;
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {}, kToday, &map, nullptr));
    EXPECT_EQ(map.size(), 2147483647);
    EXPECT_EQ(map.count(LockerState::Vacant), 2147483645);
    EXPECT_EQ(map.count(LockerState::Rented), 2);
    EXPECT_EQ(map.cell(2147483647).name, "Last");

    MapLayout layout(map.first(), map.size(), 500, {80, 40}, 4);
    EXPECT_EQ(layout.rowCount(), (2147483647LL + 499) / 500);
}

TEST(LockerStates, EmptyTableMissingFileAndMissingTable)
{
    TempProgramFolder folder;
    LockerMap map;
    store::EngineError e;
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {}, kToday, &map, &e));
    EXPECT_EQ(map.size(), 0) << "nothing in use: the automatic range is empty";
    EXPECT_EQ(map.count(LockerState::Vacant), 0);

    EXPECT_FALSE(LockerMap::compute(folder.file("Missing.mdb"), {}, kToday, &map, &e));
    EXPECT_TRUE(e.isError());
    EXPECT_FALSE(e.text.isEmpty());
    EXPECT_FALSE(QFile::exists(folder.file("Missing.mdb"))) << "reading never creates a file";

    QFile notADatabase(folder.file("Text.mdb"));
    ASSERT_TRUE(notADatabase.open(QIODevice::WriteOnly));
    notADatabase.write("not a database at all, not at all");
    notADatabase.close();
    e.clear();
    EXPECT_FALSE(LockerMap::compute(folder.file("Text.mdb"), {}, kToday, &map, &e));
    EXPECT_TRUE(e.isError());
}

TEST(LockerStates, RateAndYearlyIncome)
{
    EXPECT_EQ(CenterRate::fromTexts("45", "365").yearlyIncome(10), 450.0);
    EXPECT_EQ(CenterRate::fromTexts(" $30.50 ", "180").yearlyIncome(2), 2 * 30.5 * 365 / 180);
    for (auto [rate, period] :
         {std::pair{"", "365"}, {"abc", "365"}, {"45", ""}, {"45", "0"}, {"45", "-5"}, {"-1", "365"}, {"nan", "365"}})
        EXPECT_FALSE(CenterRate::fromTexts(rate, period).isSet()) << rate << " / " << period;

    TempProgramFolder folder;
    // Rented, expiring, expired (brings nothing in), no date, and a double counted once.
    const QVariant none;
    insertCustomers(folder.databasePath(),
                    {{{"LockerNumber", 1}, {"DateToRenew", "2027-06-01"}, {"LastName", "A"}},
                     {{"LockerNumber", 2}, {"DateToRenew", "2026-12-10"}, {"LastName", "B"}},
                     {{"LockerNumber", 3}, {"DateToRenew", "2026-01-10"}, {"LastName", "C"}},
                     {{"LockerNumber", 4}, {"DateToRenew", none}, {"LastName", "D"}},
                     {{"LockerNumber", 5}, {"DateToRenew", none}, {"LastName", "E"}},
                     {{"LockerNumber", 5}, {"DateToRenew", none}, {"LastName", "F"}}});
    LockerMap map;
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {1, 6, 30}, kToday, &map, nullptr));
    CenterRate rate;
    ASSERT_TRUE(CenterRate::read(folder.databasePath(), &rate, nullptr));
    EXPECT_FALSE(rate.isSet()) << "the delivered row holds no rate";
    EXPECT_EQ(incomeText(map, rate), "Yearly income: no rental rate and period set under Center Information");
    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(folder.databasePath(), store::RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("UPDATE CenterInformation SET YearlyRate = '1500', Period = '365'", &e))
        << e.text.toStdString();
    ASSERT_TRUE(CenterRate::read(folder.databasePath(), &rate, nullptr));
    EXPECT_EQ(incomeText(map, rate), "Yearly income of 4 rented lockers: $6,000.00 ($1,500.00 per 365 days)");
    EXPECT_EQ(countText(LockerState::Vacant, 1), "Vacant: 1");
    EXPECT_EQ(rangeText(map), "Lockers 1 to 6");
}

TEST(LockerStates, LayoutFindsTheCellItDrew)
{
    const MapLayout layout(101, 45, 10, {80, 40}, 4);
    EXPECT_EQ(layout.rowCount(), 5);
    for (qint64 top : {0, 2}) {
        for (qint64 n = 101 + top * 10; n <= 145; ++n) {
            const QRect r = layout.cellRect(n, top, 7);
            EXPECT_EQ(layout.numberAt(r.center(), top, 7), n);
            EXPECT_EQ(layout.numberAt(r.topLeft(), top, 7), n);
            EXPECT_EQ(layout.numberAt(r.bottomRight(), top, 7), n);
            EXPECT_FALSE(layout.numberAt(r.topRight() + QPoint(2, 0), top, 7)) << "the gap between cells";
        }
    }
    EXPECT_FALSE(layout.numberAt(layout.cellRect(145, 0).center() + QPoint(84, 0), 0)) << "past the last locker";
    EXPECT_FALSE(layout.numberAt({1, 1}, 0)) << "the margin";
}

int pdfPages(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = f.readAll();
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") + pdf.count("/Type /Page/")
               + pdf.count("/Type /Page>"));
}

TEST(LockerStates, PrintsEveryPageOrTheChosenOnesToPdf)
{
    TempProgramFolder folder;
    for (int n = 1; n <= 300; n += 3)
        insertCustomer(folder.databasePath(),
                       {{"LockerNumber", n},
                        {"DateToRenew", kToday.addDays(n - 150).toString(Qt::ISODate)},
                        {"LastName", QStringLiteral("Name%1").arg(n)}});
    LockerMap map;
    ASSERT_TRUE(LockerMap::compute(folder.databasePath(), {1, 1000, 30}, kToday, &map, nullptr));
    const MapPrint print(map, CenterRate::fromTexts("45", "365"), 10, CellStyle());

    const QString all = folder.file("all.pdf");
    QPdfWriter writer(all);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    const int pages = print.pageCount(&writer);
    EXPECT_GT(pages, 3) << "1,000 lockers, ten to a row, run over several pages";
    QString error;
    ASSERT_TRUE(print.print(&writer, 0, 0, &error)) << error.toStdString();
    EXPECT_EQ(pdfPages(all), pages);

    const QString some = folder.file("some.pdf");
    QPdfWriter part(some);
    part.setPageSize(QPageSize(QPageSize::Letter));
    ASSERT_TRUE(print.print(&part, 2, 3, &error));
    EXPECT_EQ(pdfPages(some), 2);
}

} // namespace
