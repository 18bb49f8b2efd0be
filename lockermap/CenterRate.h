#pragma once

#include "store/EngineError.h"

#include <QString>
#include <optional>

namespace store {
class Database;
}

namespace lockermap {

// The center's rental rate: a price for a number of days.
struct CenterRate {
    std::optional<double> rate; // none when the stored text is not an amount
    std::optional<int> period;  // none when the stored text is not a positive number of days

    bool isSet() const { return rate && period; }
    // What `lockers` lockers bring in over a year of 365 days at this rate.
    std::optional<double> yearlyIncome(qint64 lockers) const;

    // Reads the rate and period as the operator typed them: "45", "$45.50",
    // " 30 ". Anything else leaves the value unset rather than guessed.
    static CenterRate fromTexts(const QString &rate, const QString &period);
    // The first row of CenterInformation; no row means no rate.
    static bool read(const QString &databasePath, CenterRate *out, store::EngineError *error);
    // The same from an open database of either kind.
    static bool readFrom(store::Database &db, CenterRate *out, store::EngineError *error);
};

} // namespace lockermap
