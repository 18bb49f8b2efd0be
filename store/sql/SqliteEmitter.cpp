#include "store/sql/SqliteEmitter.h"

#include "store/sql/AccessLexer.h"
#include "store/sql/LikePattern.h"
#include "store/sql/TextCompare.h"

#include <QStringList>

namespace store::sql {

namespace {
// More index ranges than this and a plain scan is as good.
constexpr int kMaxPrefixRanges = 12;

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
    const TableDef *table = findTable(query, tables, error);
    if (!table)
        return false;

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
        sql = deleteSql(*table, where);
    }
    emitter.finish(query, sql, out);
    return true;
}

SqliteEmitter::SqliteEmitter(const QString &statement, const TableDef &table, EngineError *error)
    : StatementEmitter(statement, table, error)
{
}

QString SqliteEmitter::placeholder(int number) const
{
    return QStringLiteral("?%1").arg(number);
}

QString SqliteEmitter::emptyText(const QString &col)
{
    // Blanks only equal "" since trailing blanks are ignored.
    return QStringLiteral("(%1 IS NULL OR %1 COLLATE vt_text = %2)").arg(col, bind(QStringLiteral("")));
}

QString SqliteEmitter::neverTrue() const
{
    return QStringLiteral("0");
}

QString SqliteEmitter::textCompare(const Condition &c, const FieldDef &field)
{
    const QString exact = column(field) + QStringLiteral(" COLLATE vt_text") + QString::fromLatin1(operatorSql(c.op))
        + bind(c.value.text);
    QString ranges;
    if (c.op == CompareOp::Equal)
        ranges = prefixRanges(field, withoutTrailingBlanks(text::folded(c.value.text)), true);
    return ranges.isEmpty() ? exact : QStringLiteral("(%1) AND %2").arg(ranges, exact);
}

QString SqliteEmitter::valueCompare(const FieldDef &field, CompareOp op, const Value &value)
{
    QVariant param;
    switch (value.kind) {
    // Dates are stored as ISO text, whose order is the calendar's.
    case Value::Kind::Date: param = value.date.toString(Qt::ISODate); break;
    case Value::Kind::Boolean: param = qint64(value.boolean ? 1 : 0); break;
    default: param = numberParam(value); break;
    }
    return column(field) + QString::fromLatin1(operatorSql(op)) + bind(param);
}

QString SqliteEmitter::like(const Condition &c, const FieldDef &field, const LikePattern &pattern)
{
    const QString match = QStringLiteral("vt_like(%1, %2)").arg(column(field), bind(c.value.text));
    if (c.negated)
        return QStringLiteral("NOT ") + match;
    const QString ranges =
        pattern.literalPrefix().isEmpty() ? QString() : prefixRanges(field, pattern.literalPrefix(), false);
    return ranges.isEmpty() ? match : QStringLiteral("(%1) AND %2").arg(ranges, match);
}

QString SqliteEmitter::datePart(const Condition &c, const FieldDef &field)
{
    const QString interval = bind(dates::intervalText(c.part));
    return QStringLiteral("vt_datepart(%1, %2)").arg(interval, column(field)) + QString::fromLatin1(operatorSql(c.op))
        + bind(numberParam(c.value));
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
