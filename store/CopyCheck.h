#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QString>

struct sqlite3;

namespace store {

// What one table holds, in a form two files can be compared by: the number
// of rows and an order-free digest of their row ids.
struct TableSummary {
    QString table;
    qint64 rows = 0;
    quint64 rowidDigest = 0;

    bool operator==(const TableSummary &other) const = default;
};

// The digest of one row id, as the summaries add them up (modulo 2^64).
quint64 rowidDigest(qint64 rowid);

// Registers vt_digest(value, ...): the sum over the rows of a hash of the
// values, the same whatever order the rows are read in.
bool registerDigestFunction(sqlite3 *db);

// The summaries of every ordinary table of an open file, by name.
bool summarizeTables(sqlite3 *db, QList<TableSummary> *summaries, EngineError *error);

// Checks a copy that was just written, before it may take the place of a
// database: it is a rollback-journal SQLite file that opens, its pages pass
// the engine's structural check, it holds exactly the expected tables with
// the same rows (count and row ids), and every index holds exactly the keys
// of its table's rows.
bool checkCopy(const QString &path, const QList<TableSummary> &expected, EngineError *error);

} // namespace store
