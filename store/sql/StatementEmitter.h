#pragma once

#include "store/sql/AccessSql.h"
#include "store/sql/AccessTree.h"
#include "store/sql/LikePattern.h"

namespace store::sql {

// What every dialect's emitter shares: names checked against the schema,
// each comparison checked against its field's kind (with the same error
// texts whatever the server), values collected as bound parameters, the
// tree of AND and OR walked. A dialect spells the checked pieces.
class StatementEmitter
{
public:
    virtual ~StatementEmitter() = default;

protected:
    StatementEmitter(const QString &statement, const TableDef &table, EngineError *error);

    static const TableDef *findTable(const Query &query, const TableLookup &tables, EngineError *error);
    // The statement's delete, with its condition if it has one.
    static QString deleteSql(const TableDef &table, const QString &where);
    // Hands the statement and the values bound so far to `out`.
    void finish(const Query &query, const QString &sql, TranslatedStatement *out) const;

    bool condition(const Condition &c, QString *sql);
    const FieldDef *resolve(const FieldName &name);
    QString bind(const QVariant &value);
    QString column(const FieldDef &field) const;
    bool isIndexed(const FieldDef &field) const;

    // The spelling of one checked piece.
    virtual QString placeholder(int number) const = 0;
    // "= NULL" on a text: the field is null, empty or blanks only.
    virtual QString emptyText(const QString &col) = 0;
    virtual QString neverTrue() const = 0;
    // The value's kind fits the field's; the text's or the pattern's checked.
    virtual QString textCompare(const Condition &c, const FieldDef &field) = 0;
    virtual QString valueCompare(const FieldDef &field, CompareOp op, const Value &value) = 0;
    virtual QString like(const Condition &c, const FieldDef &field, const LikePattern &pattern) = 0;
    virtual QString datePart(const Condition &c, const FieldDef &field) = 0;

    static const char *operatorSql(CompareOp op);
    static bool isText(const FieldDef &field);
    static QVariant numberParam(const Value &v);

    const QString &m_statement;
    const TableDef &m_table;
    EngineError *m_error;
    QVariantList m_params;

private:
    bool compare(const Condition &c, const FieldDef &field, QString *sql);
    bool mismatch(const Condition &c, const FieldDef &field, const QString &what);
    QString piece(const Span &span) const;
};

} // namespace store::sql
