#include "store/sql/PostgresEmitter.h"

#include "store/sql/TextCompare.h"

#include <QHash>
#include <QStringList>

namespace store {

namespace postgres {
QString rowIdColumn()
{
    return QStringLiteral("RowId");
}

QString rowVersionColumn()
{
    return QStringLiteral("RowVersion");
}

QString changeChannel()
{
    return QStringLiteral("vantrel_changes");
}

QString keyFunctionName()
{
    return QStringLiteral("vantrel_key");
}

QString textKey(const QString &expression)
{
    // The key's own collation, whatever the column's: byte order, which for
    // UTF-8 is code point order.
    return QStringLiteral("%1(%2) COLLATE \"C\"").arg(keyFunctionName(), expression);
}
} // namespace postgres

namespace sql {

namespace {
// The code points that have other case forms, and for each folded
// character the code points that fold to it, found once from the same
// tables the file's comparison uses.
struct CaseForms {
    QList<char32_t> active;
    QHash<char32_t, QList<char32_t>> foldingTo;
};

const CaseForms &caseForms()
{
    static const CaseForms forms = [] {
        CaseForms f;
        for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            const char32_t folded = text::fold(c);
            if (folded != c)
                f.foldingTo[folded].append(c);
            if (folded != c || QChar::toUpper(c) != c || QChar::toLower(c) != c)
                f.active.append(c);
        }
        return f;
    }();
    return forms;
}

// One code point as the server's regular expressions write it, also inside
// a bracket expression.
QString regexChar(char32_t c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return QString(QChar(char16_t(c)));
    if (c <= 0xFFFF)
        return QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    return QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'));
}

QString charClass(const LikePattern &pattern, const LikePattern::Token &token)
{
    using Token = LikePattern::Token;
    switch (token.kind) {
    case Token::Char: {
        QList<char32_t> members{token.ch};
        members += caseForms().foldingTo.value(token.ch);
        if (members.size() == 1)
            return regexChar(token.ch);
        QString out = QStringLiteral("[");
        for (char32_t m : members)
            out += regexChar(m);
        return out + QLatin1Char(']');
    }
    case Token::AnyOne: return QStringLiteral(".");
    case Token::Digit: return QStringLiteral("[0-9]");
    case Token::Star: return QStringLiteral(".*");
    case Token::Set: break;
    }
    QString out = token.negated ? QStringLiteral("[^") : QStringLiteral("[");
    auto inRanges = [&](char32_t c) {
        for (auto *e = pattern.setBegin(token); e != pattern.setEnd(token); ++e) {
            if (c >= e->low && c <= e->high)
                return true;
        }
        return false;
    };
    for (auto *e = pattern.setBegin(token); e != pattern.setEnd(token); ++e)
        out += e->low == e->high ? regexChar(e->low) : regexChar(e->low) + QLatin1Char('-') + regexChar(e->high);
    // A character whose other case form lies in a range is in the set too.
    for (char32_t c : caseForms().active) {
        if (!inRanges(c) && pattern.inSet(token, c))
            out += regexChar(c);
    }
    return out + QLatin1Char(']');
}
} // namespace

QString PostgresEmitter::likeRegex(const LikePattern &pattern)
{
    QString out = QStringLiteral("^");
    for (const LikePattern::Token &token : pattern.tokens())
        out += charClass(pattern, token);
    return out + QLatin1Char('$');
}

bool PostgresEmitter::translate(const QString &statement, const Query &query, const TableLookup &tables,
                                TranslatedStatement *out, EngineError *error)
{
    const TableDef *table = findTable(query, tables, error);
    if (!table)
        return false;
    PostgresEmitter emitter(statement, *table, error);
    QString where;
    if (query.where && !emitter.condition(*query.where, &where))
        return false;

    const QString quotedTable = quoteIdentifier(table->name);
    QString sql;
    if (query.kind == Query::Kind::Select) {
        QStringList order;
        for (const OrderKey &key : query.order) {
            const FieldDef *field = emitter.resolve(key.field);
            if (!field)
                return false;
            const QString col = emitter.column(*field);
            // Nulls first in ascending order, as in the file.
            order << (isText(*field) ? postgres::textKey(col) : col)
                    + (key.descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" ASC NULLS FIRST"));
        }
        // Rows that tie on every key keep the table's order, as in the report.
        order << quoteIdentifier(postgres::rowIdColumn());
        sql = QStringLiteral("SELECT %1 FROM %2").arg(quoteIdentifier(postgres::rowIdColumn()), quotedTable);
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where;
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    } else {
        sql = deleteSql(*table, where);
    }
    emitter.finish(query, sql, out);
    return true;
}

PostgresEmitter::PostgresEmitter(const QString &statement, const TableDef &table, EngineError *error)
    : StatementEmitter(statement, table, error)
{
}

QString PostgresEmitter::placeholder(int number) const
{
    return QStringLiteral("$%1").arg(number);
}

QString PostgresEmitter::emptyText(const QString &col)
{
    return QStringLiteral("(%1 IS NULL OR %2 = '')").arg(col, postgres::textKey(col));
}

QString PostgresEmitter::neverTrue() const
{
    return QStringLiteral("false");
}

QString PostgresEmitter::textCompare(const Condition &c, const FieldDef &field)
{
    return postgres::textKey(column(field)) + QString::fromLatin1(operatorSql(c.op))
        + postgres::textKey(bind(c.value.text) + QStringLiteral("::text"));
}

QString PostgresEmitter::bindNumber(const Value &value)
{
    return bind(numberParam(value)) + (value.isInteger ? QStringLiteral("::bigint") : QStringLiteral("::float8"));
}

QString PostgresEmitter::valueCompare(const FieldDef &field, CompareOp op, const Value &value)
{
    QString param;
    switch (value.kind) {
    case Value::Kind::Date: param = bind(value.date) + QStringLiteral("::date"); break;
    case Value::Kind::Boolean: param = bind(value.boolean) + QStringLiteral("::boolean"); break;
    default: param = bindNumber(value); break;
    }
    return column(field) + QString::fromLatin1(operatorSql(op)) + param;
}

QString PostgresEmitter::like(const Condition &c, const FieldDef &field, const LikePattern &pattern)
{
    // The server refuses pattern matching under the columns' case-blind
    // collation; the expression spells out the case forms itself.
    return QStringLiteral("(%1 COLLATE \"C\") %2 %3::text")
        .arg(column(field), c.negated ? QStringLiteral("!~") : QStringLiteral("~"), bind(likeRegex(pattern)));
}

QString PostgresEmitter::datePart(const Condition &c, const FieldDef &field)
{
    const QString col = column(field);
    QString part;
    switch (c.part) {
    case dates::DatePart::Month: part = QStringLiteral("extract(month FROM %1)::int").arg(col); break;
    case dates::DatePart::Day: part = QStringLiteral("extract(day FROM %1)::int").arg(col); break;
    case dates::DatePart::Year: part = QStringLiteral("extract(year FROM %1)::int").arg(col); break;
    case dates::DatePart::DayOfYear: part = QStringLiteral("extract(doy FROM %1)::int").arg(col); break;
    case dates::DatePart::WeekOfYear:
        // Weeks from Sunday, week 1 the week of 1 January.
        part = QStringLiteral("((extract(doy FROM %1)::int - 1 + extract(dow FROM make_date(extract(year FROM "
                              "%1)::int, 1, 1))::int) / 7 + 1)")
                   .arg(col);
        break;
    }
    return part + QString::fromLatin1(operatorSql(c.op)) + bindNumber(c.value);
}

} // namespace sql
} // namespace store
