#pragma once

#include "store/EngineError.h"
#include "store/Statement.h"

#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// Reads every row of one table of a damaged file that can still be read.
// The table is read in row id order. Where a page cannot be read, probes
// look forward for the next row id whose page can, a bisection finds the
// first of them, and the skipped range is searched (within a budget) for
// readable pages that lie between damaged ones. Last, every row that an
// index of the table names and that was not read yet is looked up by its id,
// which finds what the search missed and tells the rows lost.
class TableSalvage
{
public:
    // Receives each readable row: column 0 of `row` is the row id, columns
    // 1..n the values of the columns asked for.
    using RowSink = std::function<bool(sqlite3_stmt *row, EngineError *error)>;

    TableSalvage(sqlite3 *damaged, QString table, QStringList columns);

    // False when the table cannot be read at all or the sink failed.
    bool run(const RowSink &sink, EngineError *error);

    // Ids of the rows handed to the sink, in no particular order.
    const QVector<qint64> &recovered() const { return m_recovered; }
    // Rows known to exist (from the table's indexes, or a readable id whose
    // values are not) that could not be read.
    qint64 lostRows() const { return m_lostRows; }

    // Probes allowed per table for searching skipped ranges blindly, so that
    // a damaged file of any shape ends soon; the indexes make up for the
    // rest. Finding the end of a damaged stretch takes at most 128 probes
    // and is not counted.
    static constexpr qint64 kProbeBudget = 1 << 14;

private:
    enum class ProbeResult { Row, End, Damaged };
    struct Probe {
        ProbeResult result;
        qint64 rowid = 0;
    };
    struct Scan {
        bool complete = false;
        bool readAny = false;
        qint64 last = 0;
    };

    Probe probe(qint64 key);
    Scan scan(qint64 from, qint64 to);
    bool salvageRange(qint64 lo, qint64 hi);
    std::optional<qint64> firstReadableKey(qint64 failing, qint64 hi);
    qint64 bisectFirstReadable(qint64 failing, qint64 readable);
    void searchGap(qint64 failingLow, qint64 failingHigh);
    bool spendProbe();
    QVector<qint64> rowidsNamedByIndexes();
    bool readNamedRows(const QVector<qint64> &named);

    sqlite3 *m_db;
    QString m_table;
    QStringList m_columns;
    const RowSink *m_sink = nullptr;
    EngineError m_sinkError;
    bool m_sinkFailed = false;
    Statement m_scan;
    Statement m_probe;
    Statement m_point;
    qint64 m_probesLeft = kProbeBudget;
    QVector<qint64> m_recovered;
    QVector<qint64> m_unreadable; // ids readable, values not
    qint64 m_lostRows = 0;
};

} // namespace store
