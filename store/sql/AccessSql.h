#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"

#include <QVariantList>
#include <functional>

namespace store {

// Finds a table of the open database by name (without regard to case).
using TableLookup = std::function<const TableDef *(const QString &name)>;

// The engines a statement is translated for.
enum class SqlDialect { Sqlite, Postgres };

// An Access-dialect statement made into the engine's SQL with bound values.
struct TranslatedStatement {
    enum class Kind { Select, Delete };
    Kind kind = Kind::Select;
    QString table;       // the table's name as the schema spells it
    QString sql;         // select: the row ids of the matching rows in order; delete: the delete
    QVariantList params; // params[i] is bound to the placeholder ?i+1 (SQLite) or $i+1 (PostgreSQL) of sql

    // The rest is SQLite's only. Select only, both optional. A quicker form of sql that selects the same
    // rows as long as none of the probes finds a row of the table: the index
    // ranges for texts that reach an ASCII key through a letter from outside
    // ASCII (the Kelvin sign, the long s) are left out, and each becomes a
    // probe instead (one index lookup).
    struct Probe {
        QString sql;
        QVariantList params;
    };
    QString quickSql;
    QVariantList quickParams;
    QList<Probe> probes;
    // For a statement of every row ordered by one indexed text field: the row
    // ids and that field walked in its index's order (SQLite's NOCASE, which
    // folds ASCII letters only). The walk is the statement's order only
    // where the keys it gives are in the statement's order, which its reader
    // must check row by row.
    QString indexWalkSql;
    // The same walk of row ids only, unchecked, for when exceptionsSql finds
    // no row: that looks for a row in the field's partial index of texts that
    // NOCASE may order otherwise (see Schema::orderExceptionsIndex), and
    // fails to prepare in a file without it.
    QString indexWalkRowidsSql;
    QString indexWalkExceptionsSql;
};

// Parses a statement of the filter builder's dialect and checks every name
// against the schema. Anything outside the dialect is refused with a text
// that names the offending piece; nothing is passed through as text.
// Dates between '#' signs are read month/day/year ("12/1/93", "12-01-1993",
// "12.01.93") or as "1993-12-01"; two-digit years by the window 1930-2029.
// SQLite's SQL calls the functions and the collation of SqlFunctions.h,
// which every connection of Database registers; PostgreSQL's calls the key
// function its schema creates. Both select the same rows in the same order.
bool translateAccessSql(const QString &statement, const TableLookup &tables, TranslatedStatement *out,
                        EngineError *error, SqlDialect dialect = SqlDialect::Sqlite);

} // namespace store
