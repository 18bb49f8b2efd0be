#include "lockermap/YearAhead.h"

#include "lockermap/Legend.h"
#include "store/Database.h"
#include "store/RangeScan.h"
#include "store/Schema.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace lockermap {

qint64 YearAhead::totalDue() const
{
    qint64 total = 0;
    for (const MonthDue &m : months)
        total += m.due;
    return total;
}

std::optional<double> YearAhead::totalIncome() const
{
    if (!rate.rate)
        return std::nullopt;
    return double(totalDue()) * *rate.rate;
}

bool YearAhead::compute(store::Database &db, const MapRange &range, const QDate &today, YearAhead *out,
                        store::EngineError *error)
{
    const store::TableDef &table = store::Schema::information();
    YearAhead result;
    result.today = today;
    if (!CenterRate::readFrom(db, &result.rate, error))
        return false;

    // Whole calendar months, each from its first day to its last, as a
    // filter of the expiry date from the one to the other counts them.
    QList<store::Database::ValueRange> ranges;
    const QDate first(today.year(), today.month(), 1);
    for (int i = 0; i < kMonths; ++i) {
        const QDate month = first.addMonths(i);
        ranges.append({month, month.addMonths(1).addDays(-1)});
        result.months.append(MonthDue{month, 0, std::nullopt});
    }
    // The map's range and its vacant lockers: whole locker numbers that fit
    // the map's cells, and an open range ending at the highest in use. The
    // months and the lockers come from one read of the table.
    constexpr qint64 kLowest = std::numeric_limits<qint32>::min();
    constexpr qint64 kHighest = std::numeric_limits<qint32>::max();
    const qint64 low = std::clamp(range.first, kLowest, kHighest);
    const qint64 high = range.last != 0 ? std::clamp(range.last, kLowest, kHighest) : kHighest;
    store::RangeAndNumberCounts counts;
    if (!store::countRangesAndNumbers(db, table, table.fieldIndex(QStringLiteral("DateToRenew")), ranges,
                                      table.fieldIndex(QStringLiteral("LockerNumber")), low, high, &counts, error))
        return false;
    for (int i = 0; i < kMonths; ++i) {
        result.months[i].due = counts.inRanges.at(i);
        if (result.rate.rate)
            result.months[i].income = double(counts.inRanges.at(i)) * *result.rate.rate;
    }
    const qint64 held = counts.distinct;
    const qint64 highest = counts.highest;
    result.first = range.first;
    result.last = range.last != 0 ? range.last : std::max<qint64>(highest, 0);
    result.lockers = result.last >= result.first ? result.last - result.first + 1 : 0;
    result.vacant = result.lockers > 0 ? result.lockers - held : 0;
    *out = std::move(result);
    return true;
}

bool YearAhead::compute(const QString &database, const MapRange &range, const QDate &today, YearAhead *out,
                        store::EngineError *error)
{
    const auto db = store::Database::open(database, error);
    return db && compute(*db, range, today, out, error);
}

QString monthCaption(const QDate &month)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(month, QStringLiteral("MMMM yyyy"));
}

QString incomeCaption(const std::optional<double> &income)
{
    return income ? dollars(*income) : QStringLiteral("-");
}

} // namespace lockermap
