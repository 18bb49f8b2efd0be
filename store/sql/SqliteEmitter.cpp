#include "store/sql/SqliteEmitter.h"

#include "store/sql/AccessLexer.h"
#include "store/sql/LikePattern.h"
#include "store/sql/TextCompare.h"

#include <QStringList>

namespace store::sql {

namespace {
// More index ranges than this and a plain scan is as good.
constexpr int kMaxPrefixRanges = 12;

const char *operatorSql(CompareOp op)
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

bool isText(const FieldDef &field)
{
    return field.kind == FieldKind::Text || field.kind == FieldKind::Memo;
}

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

QVariant numberParam(const Value &v)
{
    return v.isInteger ? QVariant(v.integer) : QVariant(v.real);
}

bool isAscii(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QString withoutTrailingBlanks(QString s)
{
    while (s.endsWith(u' '))
        s.chop(1);
    return s;
}
} // namespace

bool SqliteEmitter::translate(const QString &statement, const Query &query, const TableLookup &tables,
                              TranslatedStatement *out, EngineError *error)
{
    const TableDef *table = tables ? tables(query.table) : nullptr;
    if (!table)
        return fail(error, Err::ItemNotFound,
                    QStringLiteral("The table %1 does not exist in this database.").arg(quotedPiece(query.table)));

    SqliteEmitter emitter(statement, *table, error);
    QString where;
    if (query.where && !emitter.condition(*query.where, &where))
        return false;

    QStringList order;
    const QList<int> fixed = emitter.fieldsFixedByEquality(query.where.get());
    for (const OrderKey &key : query.order) {
        const FieldDef *field = emitter.resolve(key.field);
        if (!field)
            return false;
        // A key that every selected row has the same value of cannot change
        // the order; leaving it out lets SQLite skip work (and an index
        // lookup then needs no sort by it).
        if (fixed.contains(table->fieldIndex(field->name)))
            continue;
        order << emitter.column(*field) + (isText(*field) ? QStringLiteral(" COLLATE vt_text") : QString())
                + (key.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    }
    // Rows that tie on every key keep the table's order, as in the report.
    order << QStringLiteral("rowid");

    const QString quotedTable = quoteIdentifier(table->name);
    auto selectSql = [&](const QString &condition) {
        QString select = QStringLiteral("SELECT rowid FROM ") + quotedTable;
        if (!condition.isEmpty())
            select += QStringLiteral(" WHERE ") + condition;
        return select + QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    };
    QString sql;
    if (query.kind == Query::Kind::Select) {
        sql = selectSql(where);
        if (emitter.m_hasOutsideRanges) {
            SqliteEmitter quick(statement, *table, error);
            quick.m_quick = true;
            QString quickWhere;
            if (!quick.condition(*query.where, &quickWhere))
                return false;
            out->quickSql = selectSql(quickWhere);
            out->quickParams = quick.m_params;
            out->probes = quick.m_probes;
        }
        if (!query.where && query.order.size() == 1 && !query.order.front().descending) {
            const FieldDef *key = table->field(query.order.front().field.name);
            if (key && isText(*key) && emitter.isIndexed(*key)) {
                const QString col = emitter.column(*key);
                out->indexWalkSql =
                    QStringLiteral("SELECT rowid, %2 FROM %1 ORDER BY %2 COLLATE NOCASE, rowid").arg(quotedTable, col);
                out->indexWalkRowidsSql =
                    QStringLiteral("SELECT rowid FROM %1 ORDER BY %2 COLLATE NOCASE, rowid").arg(quotedTable, col);
                // INDEXED BY makes SQLite refuse the statement unless that
                // index holds every row the condition selects.
                out->indexWalkExceptionsSql =
                    QStringLiteral("SELECT 1 FROM %1 INDEXED BY %2 WHERE %3 LIMIT 1")
                        .arg(quotedTable, quoteIdentifier(Schema::orderExceptionsIndex(key->name)),
                             Schema::orderExceptionsCondition(key->name));
            }
        }
    } else {
        sql = QStringLiteral("DELETE FROM ") + quotedTable;
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where;
    }
    out->kind =
        query.kind == Query::Kind::Select ? TranslatedStatement::Kind::Select : TranslatedStatement::Kind::Delete;
    out->table = table->name;
    out->sql = sql;
    out->params = emitter.m_params;
    return true;
}

SqliteEmitter::SqliteEmitter(const QString &statement, const TableDef &table, EngineError *error)
    : m_statement(statement), m_table(table), m_error(error)
{
}

QString SqliteEmitter::piece(const Span &span) const
{
    return quotedPiece(QStringView(m_statement).sliced(span.position, span.length));
}

QString SqliteEmitter::column(const FieldDef &field) const
{
    return quoteIdentifier(field.name);
}

QString SqliteEmitter::bind(const QVariant &value)
{
    // Numbered placeholders, so that the order in which pieces of SQL are
    // put together never has to follow the order of the values.
    m_params << value;
    return QStringLiteral("?%1").arg(m_params.size());
}

bool SqliteEmitter::isIndexed(const FieldDef &field) const
{
    for (const IndexDef &ix : m_table.indexes) {
        if (ix.field.compare(field.name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

const FieldDef *SqliteEmitter::resolve(const FieldName &name)
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

QList<int> SqliteEmitter::fieldsFixedByEquality(const Condition *where) const
{
    // Only terms that every selected row satisfies: the whole condition, or
    // a term of a top-level AND. "= NULL" does not fix the order (null sorts
    // before an empty text).
    QList<int> fixed;
    if (!where)
        return fixed;
    auto consider = [&](const Condition &c) {
        if (c.kind == Condition::Kind::Compare && c.op == CompareOp::Equal && c.value.kind != Value::Kind::Null)
            fixed << m_table.fieldIndex(c.field.name);
    };
    if (where->kind == Condition::Kind::And) {
        for (const auto &child : where->children)
            consider(*child);
    } else {
        consider(*where);
    }
    return fixed;
}

bool SqliteEmitter::mismatch(const Condition &c, const FieldDef &field, const QString &what)
{
    return fail(m_error, Err::TypeMismatch,
                QStringLiteral("Data type mismatch in %1: the %2 field %3 %4.")
                    .arg(piece(c.span), kindName(field.kind), quotedPiece(field.name), what));
}

bool SqliteEmitter::condition(const Condition &c, QString *sql)
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
    case Condition::Kind::DatePart: {
        const FieldDef *field = resolve(c.field);
        if (!field)
            return false;
        if (c.kind == Condition::Kind::Compare)
            return compare(c, *field, sql);
        if (c.kind == Condition::Kind::Like)
            return like(c, *field, sql);
        return datePart(c, *field, sql);
    }
    }
    return false;
}

bool SqliteEmitter::compare(const Condition &c, const FieldDef &field, QString *sql)
{
    const Value &v = c.value;
    const QString col = column(field);
    const QString op = QString::fromLatin1(operatorSql(c.op));

    if (v.kind == Value::Kind::Null) {
        if (isText(field) && c.op == CompareOp::Equal) {
            // "= NULL" is how the filter writes "empty": null, or a text of
            // nothing but blanks (which equals "" since trailing blanks are
            // ignored).
            *sql = QStringLiteral("(%1 IS NULL OR %1 COLLATE vt_text = %2)").arg(col, bind(QStringLiteral("")));
            return true;
        }
        // A comparison with NULL is never true in the dialect.
        *sql = QStringLiteral("0");
        return true;
    }

    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Memo: {
        if (v.kind != Value::Kind::Text)
            return mismatch(c, field, QStringLiteral("cannot be compared with ") + valueName(v.kind));
        const QString exact = col + QStringLiteral(" COLLATE vt_text") + op + bind(v.text);
        QString ranges;
        if (c.op == CompareOp::Equal)
            ranges = prefixRanges(field, withoutTrailingBlanks(text::folded(v.text)), true);
        *sql = ranges.isEmpty() ? exact : QStringLiteral("(%1) AND %2").arg(ranges, exact);
        return true;
    }
    case FieldKind::Long:
        if (v.kind != Value::Kind::Number)
            return mismatch(c, field, QStringLiteral("cannot be compared with ") + valueName(v.kind));
        *sql = col + op + bind(numberParam(v));
        return true;
    case FieldKind::Date:
        if (v.kind != Value::Kind::Date)
            return mismatch(c, field, QStringLiteral("cannot be compared with ") + valueName(v.kind));
        // Dates are stored as ISO text, whose order is the calendar's.
        *sql = col + op + bind(v.date.toString(Qt::ISODate));
        return true;
    case FieldKind::YesNo:
        if (v.kind != Value::Kind::Boolean)
            return mismatch(c, field, QStringLiteral("cannot be compared with ") + valueName(v.kind));
        if (c.op != CompareOp::Equal && c.op != CompareOp::NotEqual)
            return mismatch(c, field, QStringLiteral("can only be compared with = or <>"));
        *sql = col + op + bind(qint64(v.boolean ? 1 : 0));
        return true;
    }
    return false;
}

bool SqliteEmitter::like(const Condition &c, const FieldDef &field, QString *sql)
{
    if (!isText(field))
        return mismatch(c, field, QStringLiteral("cannot be matched with LIKE"));
    const LikePattern pattern(c.value.text);
    if (!pattern.isValid())
        return fail(m_error, Err::SyntaxError,
                    QStringLiteral("Syntax error in the pattern %1: %2.").arg(piece(c.value.span), pattern.error()));
    const QString col = column(field);
    const QString match = QStringLiteral("vt_like(%1, %2)").arg(col, bind(c.value.text));
    if (c.negated) {
        *sql = QStringLiteral("NOT ") + match;
        return true;
    }
    const QString ranges =
        pattern.literalPrefix().isEmpty() ? QString() : prefixRanges(field, pattern.literalPrefix(), false);
    *sql = ranges.isEmpty() ? match : QStringLiteral("(%1) AND %2").arg(ranges, match);
    return true;
}

bool SqliteEmitter::datePart(const Condition &c, const FieldDef &field, QString *sql)
{
    if (field.kind != FieldKind::Date)
        return mismatch(c, field, QStringLiteral("has no date parts"));
    if (c.value.kind != Value::Kind::Number)
        return fail(m_error, Err::TypeMismatch,
                    QStringLiteral("Data type mismatch in %1: a date part cannot be compared with %2.")
                        .arg(piece(c.span), valueName(c.value.kind)));
    const QString interval = bind(dates::intervalText(c.part));
    *sql = QStringLiteral("vt_datepart(%1, %2)").arg(interval, column(field)) + QString::fromLatin1(operatorSql(c.op))
        + bind(numberParam(c.value));
    return true;
}

QString SqliteEmitter::prefixRanges(const FieldDef &field, const QString &foldedPrefix, bool wholeText)
{
    // The indexes of text fields order by SQLite's NOCASE, which folds ASCII
    // letters only. For an ASCII prefix these ranges of that order hold every
    // text whose folded form begins with the prefix (or, for wholeText, is
    // the prefix apart from trailing blanks), so the index can find the
    // candidates that the exact comparison then checks. Besides the ASCII
    // spellings, a text may reach the prefix through the few other
    // characters that fold to ASCII letters (the Kelvin sign to k, the long
    // s to s); each gets a range of its own.
    // NOCASE stops comparing at a NUL character, so a prefix holding one
    // would not bound the texts that begin with it.
    if (!isIndexed(field) || !isAscii(foldedPrefix) || foldedPrefix.contains(QChar(0)))
        return QString();
    if (!wholeText && foldedPrefix.isEmpty())
        return QString();

    QList<QPair<QString, QString>> ranges;
    if (wholeText) {
        ranges.append({foldedPrefix, foldedPrefix + QLatin1Char('!')});
    } else {
        QString upper = foldedPrefix;
        const char16_t last = upper.back().unicode();
        if (last >= 0x7F)
            return QString();
        upper.back() = QChar(char16_t(last + 1));
        ranges.append({foldedPrefix, upper});
    }
    const qsizetype asciiRanges = ranges.size();
    for (qsizetype k = 0; k < foldedPrefix.size(); ++k) {
        for (char32_t special : text::nonAsciiFoldingTo(char(foldedPrefix.at(k).unicode()))) {
            const char32_t next = special + 1;
            if ((next >= 0xD800 && next < 0xE000) || next > 0x10FFFF)
                return QString();
            const QString head = foldedPrefix.left(k);
            ranges.append({head + QString::fromUcs4(&special, 1), head + QString::fromUcs4(&next, 1)});
        }
    }
    if (ranges.size() > kMaxPrefixRanges)
        return QString();

    const QString col = column(field);
    QStringList parts;
    for (qsizetype r = 0; r < ranges.size(); ++r) {
        const auto &range = ranges.at(r);
        if (r >= asciiRanges) {
            m_hasOutsideRanges = true;
            if (m_quick) {
                m_probes.append({probeSql(field), {range.first, range.second}});
                continue;
            }
        }
        parts << QStringLiteral("(%1 COLLATE NOCASE >= %2 AND %1 COLLATE NOCASE < %3)")
                     .arg(col, bind(range.first), bind(range.second));
    }
    return parts.join(QStringLiteral(" OR "));
}

QString SqliteEmitter::probeSql(const FieldDef &field) const
{
    return QStringLiteral("SELECT 1 FROM %1 WHERE %2 COLLATE NOCASE >= ?1 AND %2 COLLATE NOCASE < ?2 LIMIT 1")
        .arg(quoteIdentifier(m_table.name), column(field));
}

} // namespace store::sql
