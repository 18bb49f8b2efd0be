#pragma once

#include "filter/FilterRows.h"

#include <QDate>
#include <optional>

namespace filter {

// Trims, doubles apostrophes and brackets the characters that the engine's
// patterns treat specially: "O'NEIL" -> "O''NEIL", "A#B?" -> "A[#]B[?]".
QString EscapeCriteria(const QString &text);

// The number characters of a text: a leading minus, the first point and the
// digits ("-1-2.3.4x" -> "-12.34").
QString ExtractNumber(const QString &text);

// The number a text begins with, blanks skipped: an optional sign, digits,
// one point and an exponent, up to the first character that cannot continue
// it; no number at all reads as 0 ("12abc" -> 12, "1 000" -> 1000, "$5" -> 0).
double leadingNumber(const QString &text);
// A number in plain form: "." as the point, exponent only for very large or
// very small numbers, no blanks ("12.5", "1000", "1E+20").
QString plainNumber(double value);

// A date criteria read month/day/year: "12/1/93", "12/01/93", "12/01/1993".
// Two-digit years by the window 1930-2029.
std::optional<QDate> readCriteriaDate(const QString &text);
int windowedYear(int twoDigitYear);

// The outcome of checking the rows: the first rejected row with its message,
// or success. Passing number and yes/no rows are rewritten in place.
struct CriteriaCheck {
    bool passed = true;
    int row = -1;
    QString title;
    QString prompt;
    enum class Box { Unchanged, Cleared, SetToEmptyWord } box = Box::Unchanged;
};

CriteriaCheck CheckCriteria(FilterRows &rows);

} // namespace filter
