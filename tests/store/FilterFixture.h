#pragma once

#include "store/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace testing_support {

// Thirty-six customers whose names, cities, deposits, dates, yes/no and
// notes cover what filters compare: case variants in several scripts,
// trailing blanks, empty and null fields, pattern characters inside names,
// date boundaries. The locker number is the row's number 1-36 and rows are
// inserted in that order.
void fillFilterFixture(store::Database &db);
// The same rows, each a map of field names to values (dates as ISO text).
QList<QVariantMap> filterFixtureRows();
constexpr int kFixtureRows = 36;

// One condition written in both languages, with the lockers it selects in
// the order the statement returns them.
struct FilterCase {
    const char *where;    // after " Where "; empty for all rows
    const char *orderBy;  // after " ORDER BY "; empty for none
    const char *formula;  // the record selection formula
    const char *sortKeys; // the report's sort fields, separated by ';'
    QList<int> lockers;
};
const QList<FilterCase> &filterCases();

// All lockers 1-36 but the given ones, in locker order.
QList<int> lockersExcept(const QList<int> &excluded);

// Criteria an operator might type to break out of a statement or formula:
// apostrophes and quotes everywhere, brackets, semicolons, comments, a NUL
// character, 10,000 characters, letters of other scripts, SQL-shaped texts.
QStringList hostileTexts();

} // namespace testing_support
