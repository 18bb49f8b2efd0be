#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <chrono>

namespace testing_support {

// Starts `program` and kills it outright after a moment drawn below
// `withinMicroseconds` (how long a whole run takes). True when the kill
// stopped it; false when it had ended before, which tells nothing about a
// kill. The moment goes to `delay`.
bool killAtRandomMoment(const QString &program, const QStringList &arguments, QRandomGenerator &random,
                        qint64 withinMicroseconds, std::chrono::microseconds *delay);

} // namespace testing_support
