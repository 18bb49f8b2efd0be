#include "lockermap/LockerState.h"

#include <QDate>

namespace lockermap {

QString stateName(LockerState state)
{
    switch (state) {
    case LockerState::Vacant: return QStringLiteral("vacant");
    case LockerState::Rented: return QStringLiteral("rented");
    case LockerState::Expiring: return QStringLiteral("expiring");
    case LockerState::Expired: return QStringLiteral("expired");
    case LockerState::NoDate: return QStringLiteral("no date");
    case LockerState::Double: return QStringLiteral("double");
    }
    return QString();
}

QString stateCaption(LockerState state)
{
    QString caption = stateName(state);
    caption[0] = caption[0].toUpper();
    return caption;
}

LockerState singleCustomerState(std::optional<qint64> expiryDay, qint64 today, int expiringDays)
{
    if (!expiryDay)
        return LockerState::NoDate;
    if (*expiryDay < today)
        return LockerState::Expired;
    if (*expiryDay <= today + expiringDays)
        return LockerState::Expiring;
    return LockerState::Rented;
}

std::optional<qint64> parseStoredDate(const char *text, int length)
{
    if (!text || length != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int digits[8];
    int n = 0;
    for (int i = 0; i < 10; ++i) {
        if (i == 4 || i == 7)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        digits[n++] = text[i] - '0';
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const int month = digits[4] * 10 + digits[5];
    const int day = digits[6] * 10 + digits[7];
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date.toJulianDay();
}

} // namespace lockermap
