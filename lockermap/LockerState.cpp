#include "lockermap/LockerState.h"

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
    static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1] + (month == 2 && leap))
        return std::nullopt;
    // Days from the civil date in plain arithmetic (a million rows are read
    // at a time); the same Julian day numbers as QDate's.
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra - 719468 + 2440588;
}

} // namespace lockermap
