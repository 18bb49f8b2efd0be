#include "filter/FilterRows.h"

namespace filter {

FieldClass classOf(int typeCode)
{
    if (typeCode == 1)
        return FieldClass::Boolean;
    if (typeCode >= 2 && typeCode <= 7)
        return FieldClass::Number;
    if (typeCode == 8)
        return FieldClass::Date;
    if (typeCode == 10 || typeCode == 12)
        return FieldClass::Text;
    return FieldClass::None;
}

QString listKindOf(int typeCode)
{
    if (typeCode == 1)
        return QStringLiteral("Boolean");
    if (typeCode >= 3 && typeCode <= 7)
        return QStringLiteral("Number");
    if (typeCode == 8)
        return QStringLiteral("Date");
    if (typeCode == 10 || typeCode == 12)
        return QStringLiteral("Text");
    return QString();
}

namespace Operators {

QStringList comparisons()
{
    return {Equals, NotEqual, Greater, Less, GreaterOrEqual, LessOrEqual};
}

QStringList forKind(const QString &listKind)
{
    if (listKind == QLatin1String("Boolean"))
        return {Equals};
    if (listKind == QLatin1String("Number") || listKind == QLatin1String("Date"))
        return comparisons();
    if (listKind == QLatin1String("Text"))
        return comparisons() + QStringList{Contains, NotContains, BeginsWith};
    return {};
}

QStringList datePartOperators()
{
    return {MonthEquals, DayEquals, YearEquals, DayOfYearEquals, WeekOfYearEquals};
}

} // namespace Operators

QString tableNameFromSource(const QString &recordSource)
{
    if (!recordSource.toLower().contains(QLatin1String("select")))
        return recordSource;
    const int dot = recordSource.indexOf(QLatin1Char('.'), 6);
    if (dot < 7)
        return recordSource.mid(7);
    return recordSource.mid(7, dot - 7);
}

OperatorKind operatorKind(const QString &word)
{
    const QString w = word.trimmed();
    if (w.isEmpty())
        return OperatorKind::None;
    const std::pair<const QString &, OperatorKind> known[] = {
        {Operators::Equals, OperatorKind::Equals},
        {Operators::NotEqual, OperatorKind::NotEqual},
        {Operators::Greater, OperatorKind::Greater},
        {Operators::Less, OperatorKind::Less},
        {Operators::GreaterOrEqual, OperatorKind::GreaterOrEqual},
        {Operators::LessOrEqual, OperatorKind::LessOrEqual},
        {Operators::Contains, OperatorKind::Contains},
        {Operators::NotContains, OperatorKind::NotContains},
        {Operators::BeginsWith, OperatorKind::BeginsWith},
        {Operators::MonthEquals, OperatorKind::MonthEquals},
        {Operators::DayEquals, OperatorKind::DayEquals},
        {Operators::YearEquals, OperatorKind::YearEquals},
        {Operators::DayOfYearEquals, OperatorKind::DayOfYearEquals},
        {Operators::WeekOfYearEquals, OperatorKind::WeekOfYearEquals},
    };
    for (const auto &[text, kind] : known) {
        if (w == text)
            return kind;
    }
    return OperatorKind::Other;
}

bool isDatePart(OperatorKind kind)
{
    return kind == OperatorKind::MonthEquals || kind == OperatorKind::DayEquals || kind == OperatorKind::YearEquals
        || kind == OperatorKind::DayOfYearEquals || kind == OperatorKind::WeekOfYearEquals;
}

} // namespace filter
