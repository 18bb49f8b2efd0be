#include "store/sql/StatementEmitter.h"

#include "store/sql/QuotedPiece.h"

#include <QStringList>

namespace store::sql {

namespace {
QString kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::YesNo: return QStringLiteral("yes/no");
    case FieldKind::Long: return QStringLiteral("long integer");
    case FieldKind::Date: return QStringLiteral("date");
    case FieldKind::Text: return QStringLiteral("text");
    case FieldKind::Memo: return QStringLiteral("memo");
    }
    return QString();
}

QString valueName(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Text: return QStringLiteral("a text");
    case Value::Kind::Number: return QStringLiteral("a number");
    case Value::Kind::Boolean: return QStringLiteral("a yes/no constant");
    case Value::Kind::Null: return QStringLiteral("NULL");
    case Value::Kind::Date: return QStringLiteral("a date");
    }
    return QString();
}
} // namespace

StatementEmitter::StatementEmitter(const QString &statement, const TableDef &table, EngineError *error)
    : m_statement(statement), m_table(table), m_error(error)
{
}

const TableDef *StatementEmitter::findTable(const Query &query, const TableLookup &tables, EngineError *error)
{
    const TableDef *table = tables ? tables(query.table) : nullptr;
    if (!table)
        fail(error, Err::ItemNotFound,
             QStringLiteral("The table %1 does not exist in this database.").arg(quotedPiece(query.table)));
    return table;
}

QString StatementEmitter::deleteSql(const TableDef &table, const QString &where)
{
    QString sql = QStringLiteral("DELETE FROM ") + quoteIdentifier(table.name);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return sql;
}

void StatementEmitter::finish(const Query &query, const QString &sql, TranslatedStatement *out) const
{
    out->kind =
        query.kind == Query::Kind::Select ? TranslatedStatement::Kind::Select : TranslatedStatement::Kind::Delete;
    out->table = m_table.name;
    out->sql = sql;
    out->params = m_params;
}

const char *StatementEmitter::operatorSql(CompareOp op)
{
    switch (op) {
    case CompareOp::Equal: return " = ";
    case CompareOp::NotEqual: return " <> ";
    case CompareOp::Less: return " < ";
    case CompareOp::Greater: return " > ";
    case CompareOp::LessEqual: return " <= ";
    case CompareOp::GreaterEqual: return " >= ";
    }
    return " = ";
}

bool StatementEmitter::isText(const FieldDef &field)
{
    return field.kind == FieldKind::Text || field.kind == FieldKind::Memo;
}

QVariant StatementEmitter::numberParam(const Value &v)
{
    return v.isInteger ? QVariant(v.integer) : QVariant(v.real);
}

QString StatementEmitter::piece(const Span &span) const
{
    return quotedPiece(QStringView(m_statement).sliced(span.position, span.length));
}

QString StatementEmitter::column(const FieldDef &field) const
{
    return quoteIdentifier(field.name);
}

QString StatementEmitter::bind(const QVariant &value)
{
    // Numbered placeholders, so that the order in which pieces of SQL are
    // put together never has to follow the order of the values.
    m_params << value;
    return placeholder(int(m_params.size()));
}

bool StatementEmitter::isIndexed(const FieldDef &field) const
{
    for (const IndexDef &ix : m_table.indexes) {
        if (ix.field.compare(field.name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

const FieldDef *StatementEmitter::resolve(const FieldName &name)
{
    if (!name.table.isEmpty() && name.table.compare(m_table.name, Qt::CaseInsensitive) != 0) {
        fail(m_error, Err::ItemNotFound,
             QStringLiteral("%1 names the table %2, but the statement reads the table %3.")
                 .arg(piece(name.span), quotedPiece(name.table), quotedPiece(m_table.name)));
        return nullptr;
    }
    const FieldDef *field = m_table.field(name.name);
    if (!field)
        fail(m_error, Err::ItemNotFound,
             QStringLiteral("The field %1 does not exist in the table %2.")
                 .arg(quotedPiece(name.name), quotedPiece(m_table.name)));
    return field;
}

bool StatementEmitter::mismatch(const Condition &c, const FieldDef &field, const QString &what)
{
    return fail(m_error, Err::TypeMismatch,
                QStringLiteral("Data type mismatch in %1: the %2 field %3 %4.")
                    .arg(piece(c.span), kindName(field.kind), quotedPiece(field.name), what));
}

bool StatementEmitter::condition(const Condition &c, QString *sql)
{
    switch (c.kind) {
    case Condition::Kind::And:
    case Condition::Kind::Or: {
        QStringList parts;
        for (const auto &child : c.children) {
            QString part;
            if (!condition(*child, &part))
                return false;
            parts << part;
        }
        *sql = QLatin1Char('(')
            + parts.join(c.kind == Condition::Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR "))
            + QLatin1Char(')');
        return true;
    }
    case Condition::Kind::Compare:
    case Condition::Kind::Like:
    case Condition::Kind::DatePart: break;
    }
    const FieldDef *field = resolve(c.field);
    if (!field)
        return false;
    if (c.kind == Condition::Kind::Compare)
        return compare(c, *field, sql);
    if (c.kind == Condition::Kind::Like) {
        if (!isText(*field))
            return mismatch(c, *field, QStringLiteral("cannot be matched with LIKE"));
        const LikePattern pattern(c.value.text);
        if (!pattern.isValid())
            return fail(
                m_error, Err::SyntaxError,
                QStringLiteral("Syntax error in the pattern %1: %2.").arg(piece(c.value.span), pattern.error()));
        *sql = like(c, *field, pattern);
        return true;
    }
    if (field->kind != FieldKind::Date)
        return mismatch(c, *field, QStringLiteral("has no date parts"));
    if (c.value.kind != Value::Kind::Number)
        return fail(m_error, Err::TypeMismatch,
                    QStringLiteral("Data type mismatch in %1: a date part cannot be compared with %2.")
                        .arg(piece(c.span), valueName(c.value.kind)));
    *sql = datePart(c, *field);
    return true;
}

bool StatementEmitter::compare(const Condition &c, const FieldDef &field, QString *sql)
{
    const Value &v = c.value;
    if (v.kind == Value::Kind::Null) {
        // "= NULL" is how the filter writes "empty"; any other comparison
        // with NULL is never true in the dialect.
        *sql = isText(field) && c.op == CompareOp::Equal ? emptyText(column(field)) : neverTrue();
        return true;
    }
    Value::Kind wanted = Value::Kind::Text;
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Memo: wanted = Value::Kind::Text; break;
    case FieldKind::Long: wanted = Value::Kind::Number; break;
    case FieldKind::Date: wanted = Value::Kind::Date; break;
    case FieldKind::YesNo: wanted = Value::Kind::Boolean; break;
    }
    if (v.kind != wanted)
        return mismatch(c, field, QStringLiteral("cannot be compared with ") + valueName(v.kind));
    if (field.kind == FieldKind::YesNo && c.op != CompareOp::Equal && c.op != CompareOp::NotEqual)
        return mismatch(c, field, QStringLiteral("can only be compared with = or <>"));
    *sql = isText(field) ? textCompare(c, field) : valueCompare(field, c.op, v);
    return true;
}

} // namespace store::sql
