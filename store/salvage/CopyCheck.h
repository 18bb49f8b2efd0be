#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QString>

struct sqlite3;

namespace store {

// What one table holds, in a form two files can be compared by: the number
// of rows and their lowest and highest row ids. A copy that renumbered its
// rows would number them 1 to n; with the same count and the same first
// and last id, every id is the one it was. A table without row ids has no
// ends to compare: its rows are counted, and a copy of it is read back.
struct TableSummary {
    QString table;
    qint64 rows = 0;
    qint64 firstRowid = 0;
    qint64 lastRowid = 0;
    bool withoutRowid = false;

    bool operator==(const TableSummary &other) const = default;
};

// One entry of a file's schema (table, index, view or trigger), without the
// number of its top page, which a copy is free to change.
struct SchemaEntry {
    QString type;
    QString name;
    QString table;
    QString sql;

    bool operator==(const SchemaEntry &other) const = default;
};

// How many rows the condition of a partial index selects, counted through a
// full index of the same table that holds every column the condition reads,
// so that neither the table's pages nor the partial index itself are read.
struct PartialIndexSummary {
    QString index;
    qint64 rows = 0;

    bool operator==(const PartialIndexSummary &other) const = default;
};

// What a copy of a database must show to be taken for it.
struct DatabaseSummary {
    int pageSize = 0;
    int textEncoding = 0; // as the file header writes it: 1 UTF-8, 2 UTF-16le, 3 UTF-16be
    QList<SchemaEntry> schema;
    QList<TableSummary> tables;
    // Left empty, the copy counts them itself (see checkCopy).
    QList<PartialIndexSummary> partialIndexes;
};

// The page size, text encoding and schema of an open file.
bool summarizeSchema(sqlite3 *db, DatabaseSummary *summary, EngineError *error);

// The summaries of every table of an open file that holds rows (the engine's
// own sequence and statistics tables included), by name. Cheap: the engine
// counts from the table's own tree and finds the ends by one search each.
bool summarizeTables(sqlite3 *db, QList<TableSummary> *summaries, EngineError *error);

// Both of the above.
bool summarizeDatabase(sqlite3 *db, DatabaseSummary *summary, EngineError *error);

// The partial indexes whose condition a full index covers, with the rows the
// condition selects. A partial index that no full index covers is left out.
// Costs a read of the covering index, not of the table: worth running beside
// the copy rather than before it.
bool summarizePartialIndexes(sqlite3 *db, QList<PartialIndexSummary> *summaries, EngineError *error);

// How much of a copy is read back page by page by the engine's structural
// check. A copy the engine wrote from a sound file itself only needs it when
// the summaries disagree (it then tells a damaged copy from a different one).
// A file rebuilt from salvaged pages, or one made of pages copied as they
// were, may hold damage no summary shows: it is always read back.
enum class ReadBack { WhenInDoubt, Always };

// Checks a copy that was just written, before it may take the place of a
// database: a rollback-journal SQLite file with the expected page size and
// encoding whose size is its pages, with exactly the expected tables,
// indexes, views and triggers, the same rows in each table (count and the
// ends of the row ids, read from the table's own tree), as many entries in
// each index as its table has rows, and in each partial index as many as
// its condition selects (from `expected` where it has the count, otherwise
// counted in the copy; the table is read back when no full index covers
// the condition).
bool checkCopy(const QString &path, const DatabaseSummary &expected, ReadBack readBack, EngineError *error);

} // namespace store
