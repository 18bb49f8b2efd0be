#include "store/sql/Dates.h"

#include <QList>

namespace store::dates {

std::optional<DatePart> datePartFromInterval(QStringView interval)
{
    if (interval.compare(u"m", Qt::CaseInsensitive) == 0)
        return DatePart::Month;
    if (interval.compare(u"d", Qt::CaseInsensitive) == 0)
        return DatePart::Day;
    if (interval.compare(u"yyyy", Qt::CaseInsensitive) == 0)
        return DatePart::Year;
    if (interval.compare(u"y", Qt::CaseInsensitive) == 0)
        return DatePart::DayOfYear;
    if (interval.compare(u"ww", Qt::CaseInsensitive) == 0)
        return DatePart::WeekOfYear;
    return std::nullopt;
}

QString intervalText(DatePart part)
{
    switch (part) {
    case DatePart::Month: return QStringLiteral("m");
    case DatePart::Day: return QStringLiteral("d");
    case DatePart::Year: return QStringLiteral("yyyy");
    case DatePart::DayOfYear: return QStringLiteral("y");
    case DatePart::WeekOfYear: return QStringLiteral("ww");
    }
    return QString();
}

int datePart(DatePart part, const QDate &date)
{
    switch (part) {
    case DatePart::Month: return date.month();
    case DatePart::Day: return date.day();
    case DatePart::Year: return date.year();
    case DatePart::DayOfYear: return date.dayOfYear();
    case DatePart::WeekOfYear: {
        // QDate numbers weekdays 1 (Monday) to 7 (Sunday); here Sunday is 0.
        const int jan1 = QDate(date.year(), 1, 1).dayOfWeek() % 7;
        return (date.dayOfYear() - 1 + jan1) / 7 + 1;
    }
    }
    return 0;
}

namespace {
// Splits "a<sep>b<sep>c" into three runs of digits with one separator
// character used twice.
bool splitNumbers(QStringView text, QStringView numbers[3], QChar *separator)
{
    qsizetype start = 0;
    int count = 0;
    QChar sep;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80)
            continue;
        if (count == 3 || i == start)
            return false;
        numbers[count++] = text.sliced(start, i - start);
        if (i == text.size())
            break;
        const QChar c = text[i];
        if (c != u'/' && c != u'-' && c != u'.')
            return false;
        if (!sep.isNull() && c != sep)
            return false;
        sep = c;
        start = i + 1;
    }
    *separator = sep;
    return count == 3;
}

int windowedYear(QStringView digits)
{
    const int value = digits.toInt();
    if (digits.size() <= 2)
        return value < 30 ? 2000 + value : 1900 + value;
    return value;
}
} // namespace

std::optional<QDate> parseDateLiteral(QStringView text)
{
    text = text.trimmed();
    QStringView parts[3];
    QChar separator;
    if (!splitNumbers(text, parts, &separator))
        return std::nullopt;
    for (const QStringView &p : parts) {
        if (p.size() > 4)
            return std::nullopt;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (parts[0].size() == 4 && separator == u'-') {
        // 1993-12-01: a four-digit year first can only be year, month, day.
        if (parts[1].size() > 2 || parts[2].size() > 2)
            return std::nullopt;
        year = parts[0].toInt();
        month = parts[1].toInt();
        day = parts[2].toInt();
    } else {
        if (parts[0].size() > 2 || parts[1].size() > 2 || parts[2].size() == 3)
            return std::nullopt;
        month = parts[0].toInt();
        day = parts[1].toInt();
        year = windowedYear(parts[2]);
    }
    if (year < 100)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

namespace {

template<typename Char>
std::optional<QDate> parseStoredDateOf(const Char *text, qsizetype length)
{
    if (length < 10)
        return std::nullopt;
    auto digit = [text](int i) { return unsigned(text[i] - '0') <= 9u ? int(text[i] - '0') : -1; };
    const int pos[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    int d[8];
    for (int k = 0; k < 8; ++k) {
        d[k] = digit(pos[k]);
        if (d[k] < 0)
            return std::nullopt;
    }
    if (text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const QDate date(d[0] * 1000 + d[1] * 100 + d[2] * 10 + d[3], d[4] * 10 + d[5], d[6] * 10 + d[7]);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> parseStoredDate(const char *text, qsizetype length)
{
    return parseStoredDateOf(text, length);
}

std::optional<QDate> parseStoredDate(QStringView text)
{
    return parseStoredDateOf(text.utf16(), text.size());
}

bool storedDateText(const QDate &date, char text[10])
{
    const int year = date.year();
    if (!date.isValid() || year < 1 || year > 9999)
        return false;
    const int month = date.month(), day = date.day();
    text[0] = char('0' + year / 1000);
    text[1] = char('0' + year / 100 % 10);
    text[2] = char('0' + year / 10 % 10);
    text[3] = char('0' + year % 10);
    text[4] = '-';
    text[5] = char('0' + month / 10);
    text[6] = char('0' + month % 10);
    text[7] = '-';
    text[8] = char('0' + day / 10);
    text[9] = char('0' + day % 10);
    return true;
}

} // namespace store::dates
