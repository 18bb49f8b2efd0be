#pragma once

#include <QList>
#include <QString>

namespace filter {

// The classes in which a field's engine type code puts a filter row.
enum class FieldClass { None, Boolean, Number, Date, Text };
FieldClass classOf(int typeCode);

// The operator words, in list order. Positions 6 to 10 are the part-of-date
// operators, known to the checks and the statement but not offered in the
// Date list.
namespace Operators {
inline const QString Equals = QStringLiteral("Equals");
inline const QString NotEqual = QStringLiteral("Is Not Equal To");
inline const QString Greater = QStringLiteral("Is Greater Than");
inline const QString Less = QStringLiteral("Is Less Than");
inline const QString GreaterOrEqual = QStringLiteral("Is Greater Than or Equal To");
inline const QString LessOrEqual = QStringLiteral("Is Less Than or Equal To");
inline const QString Contains = QStringLiteral("Contains");
inline const QString NotContains = QStringLiteral("Does Not Contain");
inline const QString BeginsWith = QStringLiteral("Begins With");
inline const QString MonthEquals = QStringLiteral("Month Equals");
inline const QString DayEquals = QStringLiteral("Day Equals");
inline const QString YearEquals = QStringLiteral("Year Equals");
inline const QString DayOfYearEquals = QStringLiteral("Day of Year Equals");
inline const QString WeekOfYearEquals = QStringLiteral("Week of Year Equals");

QStringList comparisons();                    // the six, in order
QStringList forKind(const QString &listKind); // "Boolean", "Number", "Date", "Text"
QStringList datePartOperators();              // positions 6 to 10 of a Date row
} // namespace Operators

// What an operator does, whichever list shows it: the checks and the
// statement both go by this, never by a list position.
enum class OperatorKind {
    None, // nothing chosen
    Equals,
    NotEqual,
    Greater,
    Less,
    GreaterOrEqual,
    LessOrEqual,
    Contains,
    NotContains,
    BeginsWith,
    MonthEquals,
    DayEquals,
    YearEquals,
    DayOfYearEquals,
    WeekOfYearEquals,
    Other, // a word no list offers
};
OperatorKind operatorKind(const QString &word);
// Month, day, year, day of year or week of year equals.
bool isDatePart(OperatorKind kind);

// The list kind of a type code ("Boolean", "Number", "Date", "Text"), or an
// empty text for types without an operator list.
QString listKindOf(int typeCode);

inline const QString FindAllRecords = QStringLiteral("** Find All Records **");
inline const QString DoNotSort = QStringLiteral("** Do Not Sort **");

// One filter row as the window shows it.
struct FilterRow {
    bool exists = false;
    QString field;     // text of Field(i)
    int typeCode = -1; // item data of the selected entry; -1 when nothing is selected
    QString op;        // text of Operator(i)
    QString criteria;  // text of Criteria(i)
    QString condition; // text of Condition(i): "And", "Or" or empty

    OperatorKind kind() const { return operatorKind(op); }
};

struct SortRow {
    bool exists = false;
    QString field;
    QString order; // "Ascending", "Descending" or empty
};

// Everything statement generation reads from the window.
struct FilterRows {
    QList<FilterRow> rows; // up to five
    QList<SortRow> sorts;  // up to three
    bool deleteMode = false;
    QString table; // the current table name as the record source gives it back

    const FilterRow *row(int i) const { return i >= 0 && i < rows.size() && rows.at(i).exists ? &rows.at(i) : nullptr; }
    const SortRow *sort(int k) const
    {
        return k >= 0 && k < sorts.size() && sorts.at(k).exists ? &sorts.at(k) : nullptr;
    }
};

// The table name read back from a record source: the source itself, or for
// a statement the text from its eighth character up to the first "." at or
// after its seventh ("Select Information.* From ..." gives Information).
QString tableNameFromSource(const QString &recordSource);

} // namespace filter
