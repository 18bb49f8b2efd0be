#pragma once

#include "store/sql/StatementEmitter.h"

namespace store::sql {

// Turns a parsed statement into SQLite SQL: every name checked against the
// schema and written as the schema spells it, every value a bound
// parameter, every comparison with the dialect's meaning (see
// SqlFunctions.h for the functions and collation it calls).
class SqliteEmitter : public StatementEmitter
{
public:
    // `statement` is the source text, for naming pieces in error texts.
    static bool translate(const QString &statement, const Query &query, const TableLookup &tables,
                          TranslatedStatement *out, EngineError *error);

private:
    SqliteEmitter(const QString &statement, const TableDef &table, EngineError *error);

    QString placeholder(int number) const override;
    QString emptyText(const QString &col) override;
    QString neverTrue() const override;
    QString textCompare(const Condition &c, const FieldDef &field) override;
    QString valueCompare(const FieldDef &field, CompareOp op, const Value &value) override;
    QString like(const Condition &c, const FieldDef &field, const LikePattern &pattern) override;
    QString datePart(const Condition &c, const FieldDef &field) override;

    QString prefixRanges(const FieldDef &field, const QString &foldedPrefix, bool wholeText);
    QList<int> fieldsFixedByEquality(const Condition *where) const;
    QString probeSql(const FieldDef &field) const;

    // Quick mode: ranges for letters from outside ASCII become probes.
    bool m_quick = false;
    bool m_hasOutsideRanges = false;
    QList<TranslatedStatement::Probe> m_probes;
};

} // namespace store::sql
