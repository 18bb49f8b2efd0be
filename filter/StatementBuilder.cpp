#include "filter/StatementBuilder.h"

#include "filter/CriteriaRules.h"

namespace filter {

namespace {

struct Comparison {
    QString op;
    QString symbol;
};

const QList<Comparison> &comparisonSymbols()
{
    static const QList<Comparison> list = {
        {Operators::Equals, QStringLiteral("=")},          {Operators::NotEqual, QStringLiteral("<>")},
        {Operators::Greater, QStringLiteral(">")},         {Operators::Less, QStringLiteral("<")},
        {Operators::GreaterOrEqual, QStringLiteral(">=")}, {Operators::LessOrEqual, QStringLiteral("<=")},
    };
    return list;
}

QString symbolOf(const QString &op)
{
    for (const Comparison &c : comparisonSymbols()) {
        if (c.op == op)
            return c.symbol;
    }
    return QString();
}

QString datePartInterval(const QString &op)
{
    if (op == Operators::MonthEquals)
        return QStringLiteral("m");
    if (op == Operators::DayEquals)
        return QStringLiteral("d");
    if (op == Operators::YearEquals)
        return QStringLiteral("yyyy");
    if (op == Operators::DayOfYearEquals)
        return QStringLiteral("y");
    if (op == Operators::WeekOfYearEquals)
        return QStringLiteral("ww");
    return QString();
}

// The criteria escaped for a pattern, without the statement's doubling of
// apostrophes: what the formula's LIKE takes.
QString patternText(const QString &criteria)
{
    QString escaped = EscapeCriteria(criteria);
    if (escaped == QLatin1String("''"))
        return QStringLiteral("'");
    return escaped.replace(QLatin1String("''"), QLatin1String("'"));
}

// The formula's date for a date criteria. Unchecked text (the preview runs
// before the checks) falls back to the fixed positions month/day/year.
QString formulaDateFor(const QString &raw)
{
    if (const auto date = readCriteriaDate(raw))
        return formulaDate(*date);
    const QString yy = raw.right(2);
    bool ok = false;
    const int year = yy.toInt(&ok);
    return QStringLiteral("Date (%1,%2,%3)")
        .arg(ok ? QString::number(windowedYear(year)) : yy, raw.left(2), raw.mid(3, 2));
}

struct Terms {
    QString statement;
    QString formula;
};

Terms rowTerms(const FilterRow &row, const QString &table)
{
    const QString F = row.field;
    const QString field = QStringLiteral("[") + F + QStringLiteral("]");
    const QString ref = QStringLiteral("{") + table + QLatin1Char('.') + F + QStringLiteral("}");
    const QString C = EscapeCriteria(row.criteria);

    switch (classOf(row.typeCode)) {
    case FieldClass::Boolean: {
        const QString word = C.toUpper();
        const bool no = word == QLatin1String("NO") || word == QLatin1String("FALSE");
        const bool yes = word == QLatin1String("YES") || word == QLatin1String("TRUE");
        return {field + QStringLiteral(" = ") + C,
                yes      ? ref
                    : no ? QStringLiteral("not ") + ref
                         : ref + QStringLiteral(" = ") + C};
    }
    case FieldClass::Number: {
        const QString symbol = symbolOf(row.op);
        if (symbol.isEmpty())
            return {};
        return {field + QLatin1Char(' ') + symbol + QLatin1Char(' ') + C,
                ref + QLatin1Char(' ') + symbol + QLatin1Char(' ') + C};
    }
    case FieldClass::Date: {
        const QString symbol = symbolOf(row.op);
        if (!symbol.isEmpty())
            return {field + QLatin1Char(' ') + symbol + QStringLiteral(" #") + C + QLatin1Char('#'),
                    ref + QLatin1Char(' ') + symbol + QLatin1Char(' ') + formulaDateFor(row.criteria)};
        const QString interval = datePartInterval(row.op);
        if (interval.isEmpty())
            return {};
        return {QStringLiteral("DatePart(\"%1\",%2) = %3").arg(interval, field, C),
                QStringLiteral("DatePart (\"%1\", %2) = %3").arg(interval, ref, C)};
    }
    case FieldClass::Text: {
        const QString op = row.op.trimmed();
        if (op == Operators::Contains || op == Operators::NotContains || op == Operators::BeginsWith) {
            const QString pattern = patternText(row.criteria);
            if (op == Operators::Contains)
                return {field + QStringLiteral(" LIKE '*") + C + QStringLiteral("*'"),
                        ref + QStringLiteral(" LIKE ")
                            + formulaText(QStringLiteral("*") + pattern + QStringLiteral("*"))};
            if (op == Operators::NotContains)
                return {field + QStringLiteral(" NOT LIKE '*") + C + QStringLiteral("*'"),
                        QStringLiteral("(not IsNull (%1) and not (%1 LIKE %2))")
                            .arg(ref, formulaText(QStringLiteral("*") + pattern + QStringLiteral("*")))};
            // A set in brackets is a pattern; Starts With reads its text literally.
            const QString formula = row.criteria.contains(QLatin1Char('['))
                ? ref + QStringLiteral(" LIKE ") + formulaText(pattern + QStringLiteral("*"))
                : ref + QStringLiteral(" Starts With ") + formulaText(meantText(row.criteria));
            return {field + QStringLiteral(" LIKE '") + C + QStringLiteral("*'"), formula};
        }
        const QString symbol = symbolOf(op);
        if (symbol.isEmpty())
            return {};
        if (op == Operators::Equals && row.criteria.trimmed().compare(QLatin1String("empty"), Qt::CaseInsensitive) == 0)
            return {field + QStringLiteral(" = NULL"), QStringLiteral("(IsNull (%1) or %1 = \"\")").arg(ref)};
        if (row.criteria.trimmed() == QLatin1String("empty"))
            return {field + QLatin1Char(' ') + symbol + QStringLiteral(" ''''"),
                    ref + QLatin1Char(' ') + symbol + QLatin1Char(' ') + formulaText(QStringLiteral("'"))};
        const QString meant = meantText(row.criteria);
        return {field + QLatin1Char(' ') + symbol + QLatin1Char(' ') + statementText(meant),
                ref + QLatin1Char(' ') + symbol + QLatin1Char(' ') + formulaText(meant)};
    }
    case FieldClass::None: break;
    }
    return {};
}

QString sortKey(const QString &table, const SortRow &sort)
{
    const bool ascending = sort.order == QLatin1String("Ascending");
    return (ascending ? QStringLiteral("+") : QStringLiteral("-")) + QStringLiteral("{") + table + QLatin1Char('.')
        + sort.field + QStringLiteral("}");
}

QString sortClause(const SortRow &sort)
{
    return QStringLiteral("[") + sort.field + QStringLiteral("]")
        + (sort.order == QLatin1String("Ascending") ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

} // namespace

QString meantText(const QString &criteria)
{
    const QString trimmed = criteria.trimmed();
    return trimmed == QLatin1String("''") ? QStringLiteral("'") : trimmed;
}

QString statementText(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString formulaText(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString formulaDate(const QDate &date)
{
    return QStringLiteral("Date (%1,%2,%3)")
        .arg(date.year())
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

GeneratedFilter CreateSQLStatement(const FilterRows &input)
{
    GeneratedFilter out;
    out.deleteMode = input.deleteMode;
    const QString &T = input.table;
    const FilterRow *first = input.row(0);

    QString where; // the condition, without the word Where
    if (first && first->field == FindAllRecords) {
        out.findAll = true;
    } else {
        for (int i = 0; i < 5; ++i) {
            const FilterRow *row = input.row(i);
            if (!row || row->field.isEmpty())
                break;
            out.hasCondition = true;
            const Terms terms = rowTerms(*row, T);
            where += terms.statement;
            out.formula += terms.formula;

            const FilterRow *next = input.row(i + 1);
            if (i < 4 && !row->condition.isEmpty() && next && !next->field.isEmpty()) {
                where += QLatin1Char(' ') + row->condition.toUpper() + QLatin1Char(' ');
                out.formula += QLatin1Char(' ') + row->condition.toLower() + QLatin1Char(' ');
            }
        }
    }
    const QString whereClause = out.hasCondition ? QStringLiteral(" Where ") + where : QString();
    if (out.findAll || out.hasCondition) {
        if (input.deleteMode) {
            out.statement = QStringLiteral("Delete * From ") + T + whereClause;
            out.countStatement = QStringLiteral("Select * From ") + T + whereClause;
        } else {
            out.statement = QStringLiteral("Select ") + T + QStringLiteral(".* From ") + T + whereClause;
            out.selection = out.statement;
        }
    }

    const SortRow *sort0 = input.sort(0);
    if (sort0 && sort0->field != DoNotSort && !input.deleteMode) {
        out.statement += QStringLiteral(" ORDER BY ") + sortClause(*sort0);
        out.sortKeys[0] = sortKey(T, *sort0);
        const SortRow *sort1 = input.sort(1);
        if (sort1 && !sort1->field.isEmpty()) {
            out.statement += QStringLiteral(", ") + sortClause(*sort1);
            out.sortKeys[1] = sortKey(T, *sort1);
            const SortRow *sort2 = input.sort(2);
            if (sort2 && !sort2->field.isEmpty()) {
                out.statement += QStringLiteral(", ") + sortClause(*sort2);
                out.sortKeys[2] = sortKey(T, *sort2);
            }
        }
    }
    return out;
}

} // namespace filter
