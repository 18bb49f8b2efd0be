#pragma once

#include "lockermap/CenterRate.h"
#include "lockermap/LockerMap.h"

#include <QString>

namespace lockermap {

// "$1,250.00"
QString dollars(double amount);
// "1,204"
QString wholeNumber(qint64 number);
// "Expired: 1,204"
QString countText(LockerState state, qint64 count);
// "Lockers 1 to 300"
QString rangeText(const LockerMap &map);
// "Yearly income of 212 rented lockers: $9,540.00 ($45.00 per 365 days)", or
// why there is no figure.
QString incomeText(const LockerMap &map, const CenterRate &rate);

} // namespace lockermap
