#pragma once

#include "store/sql/AccessSql.h"
#include "store/sql/AccessTree.h"

namespace store::sql {

// Turns a parsed statement into SQLite SQL: every name checked against the
// schema and written as the schema spells it, every value a bound
// parameter, every comparison with the dialect's meaning (see
// SqlFunctions.h for the functions and collation it calls).
class SqliteEmitter
{
public:
    // `statement` is the source text, for naming pieces in error texts.
    static bool translate(const QString &statement, const Query &query, const TableLookup &tables,
                          TranslatedStatement *out, EngineError *error);

private:
    SqliteEmitter(const QString &statement, const TableDef &table, EngineError *error);

    bool condition(const Condition &c, QString *sql);
    bool compare(const Condition &c, const FieldDef &field, QString *sql);
    bool like(const Condition &c, const FieldDef &field, QString *sql);
    bool datePart(const Condition &c, const FieldDef &field, QString *sql);
    const FieldDef *resolve(const FieldName &name);
    QString bind(const QVariant &value);
    QString prefixRanges(const FieldDef &field, const QString &foldedPrefix, bool wholeText);
    bool mismatch(const Condition &c, const FieldDef &field, const QString &what);
    QString piece(const Span &span) const;
    QString column(const FieldDef &field) const;
    bool isIndexed(const FieldDef &field) const;
    QList<int> fieldsFixedByEquality(const Condition *where) const;
    QString probeSql(const FieldDef &field) const;

    const QString &m_statement;
    const TableDef &m_table;
    EngineError *m_error;
    QVariantList m_params;
    // Quick mode: ranges for letters from outside ASCII become probes.
    bool m_quick = false;
    bool m_hasOutsideRanges = false;
    QList<TranslatedStatement::Probe> m_probes;
};

} // namespace store::sql
