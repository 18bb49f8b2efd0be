#include "lockermap/Legend.h"

#include <QLocale>

namespace lockermap {

namespace {
QLocale us()
{
    return QLocale(QLocale::English, QLocale::UnitedStates);
}
} // namespace

QString dollars(double amount)
{
    return QStringLiteral("$") + us().toString(amount, 'f', 2);
}

QString wholeNumber(qint64 number)
{
    return us().toString(number);
}

QString countText(LockerState state, qint64 count)
{
    return QStringLiteral("%1: %2").arg(stateCaption(state), us().toString(count));
}

QString rangeText(const LockerMap &map)
{
    if (map.size() == 0)
        return QStringLiteral("No lockers");
    return QStringLiteral("Lockers %1 to %2").arg(us().toString(map.first()), us().toString(map.last()));
}

QString incomeText(const LockerMap &map, const CenterRate &rate)
{
    const qint64 lockers = map.lettingCount();
    const auto income = rate.yearlyIncome(lockers);
    if (!income)
        return QStringLiteral("Yearly income: no rental rate and period set under Center Information");
    return QStringLiteral("Yearly income of %1 rented %2: %3 (%4 per %5 days)")
        .arg(us().toString(lockers), lockers == 1 ? QStringLiteral("locker") : QStringLiteral("lockers"),
             dollars(*income), dollars(*rate.rate), QString::number(*rate.period));
}

} // namespace lockermap
