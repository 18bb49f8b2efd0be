#pragma once

#include <QDate>
#include <QString>

namespace customers {

// A locker rental runs a fixed term of 365 days, counted in days rather than
// calendar years: a term that spans 29 February ends a day earlier in the
// calendar than the same day of the next year.
constexpr int kRenewalTermDays = 365;

// The expiry date proposed for a rental that began on rentedOn; invalid
// (no proposal) when rentedOn is not a date.
QDate proposedExpiry(const QDate &rentedOn);

// The question the record window asks before it fills in the expiry date.
QString renewalQuestion();

} // namespace customers
