#pragma once

#include "store/sql/StatementEmitter.h"

namespace store {

// The names the PostgreSQL schema and its statements share.
namespace postgres {
// The row's number, the file's rowid: the keyset and the tie order.
QString rowIdColumn();
QString rowVersionColumn();
// The channel on which the server tells every desk that a table changed
// (its name as the notice's payload).
QString changeChannel();
// The function that gives a text's key in the program's order (created
// with the schema).
QString keyFunctionName();
// The key of a text expression: equal keys for texts the dialect calls
// equal, ordered as the dialect orders texts.
QString textKey(const QString &expression);
} // namespace postgres

namespace sql {

// Turns a parsed statement into PostgreSQL SQL with the same meaning as the
// SQLite emitter's: texts compared and ordered by their keys, LIKE as an
// anchored regular expression over the case forms of each character, dates
// as the server's dates, values bound as $1, $2, ...
class PostgresEmitter : public StatementEmitter
{
public:
    static bool translate(const QString &statement, const Query &query, const TableLookup &tables,
                          TranslatedStatement *out, EngineError *error);

    // The dialect's LIKE pattern as a regular expression of the server
    // (advanced syntax) that matches the same whole texts.
    static QString likeRegex(const LikePattern &pattern);

private:
    PostgresEmitter(const QString &statement, const TableDef &table, EngineError *error);

    QString placeholder(int number) const override;
    QString emptyText(const QString &col) override;
    QString neverTrue() const override;
    QString textCompare(const Condition &c, const FieldDef &field) override;
    QString valueCompare(const FieldDef &field, CompareOp op, const Value &value) override;
    QString like(const Condition &c, const FieldDef &field, const LikePattern &pattern) override;
    QString datePart(const Condition &c, const FieldDef &field) override;

    QString bindNumber(const Value &value);
};

} // namespace sql
} // namespace store
