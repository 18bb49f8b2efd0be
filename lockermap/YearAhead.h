#pragma once

#include "lockermap/CenterRate.h"
#include "lockermap/LockerMap.h"
#include "store/EngineError.h"

#include <QDate>
#include <QVector>
#include <optional>

namespace store {
class Database;
}

namespace lockermap {

// The rentals that fall due in one calendar month.
struct MonthDue {
    QDate month; // the month's first day
    qint64 due = 0;
    std::optional<double> income; // at the center's rate; none while the rate is not set
};

// The twelve months from today's on: how many rentals fall due in each
// (customers whose expiry date lies in the month, as a filter on the expiry
// date counts them) and what they bring in at the center's rate, and how many
// lockers of the map's range stand vacant today. Read through the engine,
// whatever the database: on a file in one read of the customer table.
struct YearAhead {
    static constexpr int kMonths = 12;

    QDate today;
    QVector<MonthDue> months;
    qint64 lockers = 0; // the range's size
    qint64 vacant = 0;  // lockers of the range that no customer holds
    qint64 first = 1;   // the range as shown: the map's, with its last number found
    qint64 last = 0;
    CenterRate rate;

    qint64 totalDue() const;
    std::optional<double> totalIncome() const;

    static bool compute(store::Database &db, const MapRange &range, const QDate &today, YearAhead *out,
                        store::EngineError *error);
    // Opens the database (a file's path or a server's URL) for the read.
    static bool compute(const QString &database, const MapRange &range, const QDate &today, YearAhead *out,
                        store::EngineError *error);
};

// "May 2027": a month as the window, its table and its printout name it.
QString monthCaption(const QDate &month);
// "$1,250.00", or "-" without a rate.
QString incomeCaption(const std::optional<double> &income);

} // namespace lockermap
