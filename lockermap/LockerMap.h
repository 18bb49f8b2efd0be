#pragma once

#include "lockermap/LockerState.h"
#include "store/EngineError.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVector>
#include <array>
#include <optional>

namespace store {
class Database;
}

namespace lockermap {

// Which lockers the map shows and when a rental counts as expiring.
struct MapRange {
    qint64 first = 1;
    qint64 last = 0; // 0: the highest locker number in use
    int expiringDays = 30;
};

// One locker as a cell shows it.
struct LockerCell {
    qint64 number = 0;
    LockerState state = LockerState::Vacant;
    int customers = 0;           // 0 for a vacant locker; capped at 255
    qint64 rowId = 0;            // the customer's row (the first one of a double)
    std::optional<QDate> expiry; // the customer's expiry date, when one is readable
    QString name;                // last name; for a double, every customer's, in row order
};

// The state of every locker of a range, computed from the customer table by
// one read of it. Only lockers that customers hold take memory, so a range
// of a million numbers or of two billion costs the same.
class LockerMap
{
public:
    // Reads the customer table of the database file. Rows whose locker
    // number is empty or not a whole number hold no locker and are left out.
    // A server's connection URL reads the server's table.
    static bool compute(const QString &databasePath, const MapRange &range, const QDate &today, LockerMap *out,
                        store::EngineError *error);
    // The same from an open database of either kind.
    static bool computeFrom(store::Database &db, const MapRange &range, const QDate &today, LockerMap *out,
                            store::EngineError *error);

    qint64 first() const { return m_first; }
    qint64 last() const { return m_last; }
    // How many cells the map has: last - first + 1, or 0.
    qint64 size() const { return m_last >= m_first ? m_last - m_first + 1 : 0; }
    // The highest whole locker number any customer holds (0 with none).
    qint64 highestInUse() const { return m_highestInUse; }
    QDate today() const { return m_today; }
    int expiringDays() const { return m_expiringDays; }

    LockerCell cell(qint64 number) const;
    LockerState stateOf(qint64 number) const;
    qint64 count(LockerState state) const { return m_counts[size_t(state)]; }
    // Lockers that bring in rent: rented, expiring, no date and double ones.
    qint64 lettingCount() const;

private:
    struct Held {
        qint64 rowId;
        qint32 number;
        qint32 expiry; // Julian day - kNoDay without a date
        quint32 nameOffset;
        quint16 nameLength;
        quint8 state;
        quint8 customers;
    };
    // One customer's row; expiry is a Julian day or kNoDay.
    void add(const MapRange &range, qint64 rowId, qint64 number, qint32 expiry, const char *name, int nameBytes);
    // Merges the customers who share a locker and counts the states.
    void finish(const MapRange &range);
    int find(qint64 number) const;
    QString nameAt(const Held &held) const;

    qint64 m_first = 1;
    qint64 m_last = 0;
    qint64 m_highestInUse = 0;
    QDate m_today;
    int m_expiringDays = 30;
    QVector<Held> m_held; // ordered by locker number
    QByteArray m_names;   // the names of m_held, UTF-8 as stored
    std::array<qint64, kStateCount> m_counts{};
};

} // namespace lockermap
