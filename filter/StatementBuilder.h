#pragma once

#include "filter/FilterRows.h"

#include <QDate>

namespace filter {

// What statement generation makes of the rows: the statement in the
// engine's dialect, the record selection formula for the reports and up to
// three report sort keys.
struct GeneratedFilter {
    QString statement;
    QString formula;
    QString sortKeys[3];
    bool findAll = false;      // row 0 holds "** Find All Records **"
    bool deleteMode = false;   // the statement deletes what it finds
    bool hasCondition = false; // the statement has a Where clause
    // What a delete would remove, as a select statement that counts it.
    QString countStatement;
    // The rows the formula selects, as a select statement without an order
    // (empty in delete mode): the report counts and reads them through it.
    QString selection;

    bool isSorted() const { return !sortKeys[0].isEmpty(); }
};

GeneratedFilter CreateSQLStatement(const FilterRows &rows);

// The criteria as the operator meant it: trimmed, and the text of two
// apostrophes standing for one (as the statement reads it).
QString meantText(const QString &criteria);
// A text literal of the statement: 'O''NEIL'.
QString statementText(const QString &text);
// A text literal of the formula: "SAY ""HI""".
QString formulaText(const QString &text);
// The formula's date constructor: Date (2024,01,15).
QString formulaDate(const QDate &date);

} // namespace filter
