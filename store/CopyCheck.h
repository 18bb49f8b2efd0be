#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QString>

struct sqlite3;

namespace store {

// What one table holds, in a form two files can be compared by: the number
// of rows and their lowest and highest row ids. A copy that renumbered its
// rows would number them 1 to n; with the same count and the same first
// and last id, every id is the one it was.
struct TableSummary {
    QString table;
    qint64 rows = 0;
    qint64 firstRowid = 0;
    qint64 lastRowid = 0;

    bool operator==(const TableSummary &other) const = default;
};

// The summaries of every ordinary table of an open file, by name. Cheap: the
// engine counts from its tree and finds the ends by one search each.
bool summarizeTables(sqlite3 *db, QList<TableSummary> *summaries, EngineError *error);

// Checks a copy that was just written, before it may take the place of a
// database: it is a rollback-journal SQLite file that opens, its pages pass
// the engine's structural check, it holds exactly the expected tables with
// the same rows (count and row ids), and every index holds exactly the keys
// of its table's rows.
bool checkCopy(const QString &path, const QList<TableSummary> &expected, EngineError *error);

} // namespace store
