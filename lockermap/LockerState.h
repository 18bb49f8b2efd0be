#pragma once

#include <QString>
#include <array>
#include <optional>

namespace lockermap {

// What the front desk sees of one locker number.
enum class LockerState : quint8 {
    Vacant,   // no customer holds it
    Rented,   // one customer, expiry date beyond the warning period
    Expiring, // one customer, expiry date from today to the end of the warning period
    Expired,  // one customer, expiry date before today
    NoDate,   // one customer without a readable expiry date
    Double,   // two or more customers on one number: a data fault
};

constexpr int kStateCount = 6;
constexpr std::array<LockerState, kStateCount> kAllStates = {LockerState::Vacant,   LockerState::Rented,
                                                             LockerState::Expiring, LockerState::Expired,
                                                             LockerState::NoDate,   LockerState::Double};

// "vacant", "rented", ... as the legend and the spoken cell names use them.
QString stateName(LockerState state);
// "Vacant", "Rented", ...: the legend's captions.
QString stateCaption(LockerState state);

// The state of a locker that one customer holds. expiryDay is the expiry
// date's Julian day, none when the row holds no readable date.
LockerState singleCustomerState(std::optional<qint64> expiryDay, qint64 today, int expiringDays);

// A stored date as the record window writes it ("YYYY-MM-DD") as a Julian
// day; none for an empty, blank or malformed text or an impossible date.
std::optional<qint64> parseStoredDate(const char *text, int length);

} // namespace lockermap
