#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <optional>

namespace store::dates {

// The parts of a date that DatePart reads, by their interval texts.
enum class DatePart { Month, Day, Year, DayOfYear, WeekOfYear };

// "m", "d", "yyyy", "y", "ww" (any letter case); nothing for other texts.
std::optional<DatePart> datePartFromInterval(QStringView interval);
QString intervalText(DatePart part);

// The part of a valid date. The week counts from Sunday, week 1 being the
// week of 1 January: floor((day of year - 1 + weekday of 1 January) / 7) + 1,
// with weekdays numbered from 0 for Sunday.
int datePart(DatePart part, const QDate &date);

// The contents of a #...# literal, always month/day/year: "12/1/93",
// "12-01-1993", "12.01.93"; also the unambiguous "1993-12-01". Years of one
// or two digits are read by the window 1930-2029 (00-29 are 20xx, 30-99 are
// 19xx). Nothing when the text is not a real date.
std::optional<QDate> parseDateLiteral(QStringView text);

// A stored date ("YYYY-MM-DD", possibly followed by a time), from UTF-8 or
// from a string: every date of every row read passes here.
std::optional<QDate> parseStoredDate(const char *text, qsizetype length);
std::optional<QDate> parseStoredDate(QStringView text);

// The ten characters "YYYY-MM-DD" of a date of the years 1 to 9999, written
// without a formatted string each (a copy writes millions of them); false
// for another date, which QDate's own ISO form serves.
bool storedDateText(const QDate &date, char text[10]);

} // namespace store::dates
