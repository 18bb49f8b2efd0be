#include "csv/FieldRules.h"

#include "customers/CustomerFields.h"
#include "filter/CriteriaRules.h"
#include "widgets/MaskPattern.h"

#include <QTime>
#include <limits>

namespace csv {

namespace {

bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('9') || c == QLatin1Char('A');
}

bool admits(QChar placeholder, QChar c)
{
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    return placeholder == QLatin1Char('A') ? (digit || c.isLetter()) : digit;
}

// Characters a spreadsheet puts between the parts of a number.
bool isSeparator(QChar c)
{
    static const QString separators = QStringLiteral(" -()./");
    return separators.contains(c);
}

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

Entry entryOf(const store::FieldDef &field, const QString &table)
{
    using store::FieldKind;
    switch (field.kind) {
    case FieldKind::YesNo: return Entry::YesNo;
    case FieldKind::Long: return Entry::Long;
    case FieldKind::Date: return Entry::Date;
    case FieldKind::Memo: return Entry::Memo;
    case FieldKind::Text: break;
    }
    if (table.compare(QLatin1String("Information"), Qt::CaseInsensitive) == 0) {
        for (const customers::CustomerField &f : customers::customerFields()) {
            if (f.field.compare(field.name, Qt::CaseInsensitive) != 0)
                continue;
            if (f.entry == customers::Entry::Masked)
                return Entry::Masked;
            if (f.entry == customers::Entry::TextDate)
                return Entry::TextDate;
        }
    }
    return Entry::Text;
}

QString maskOf(const QString &fieldName)
{
    for (const customers::CustomerField &f : customers::customerFields()) {
        if (f.field.compare(fieldName, Qt::CaseInsensitive) == 0)
            return f.mask;
    }
    return QString();
}

bool checkLong(const QString &value, QVariant *stored, QString *reason)
{
    const QString t = value.trimmed();
    bool wellFormed = !t.isEmpty();
    for (qsizetype i = 0; wellFormed && i < t.size(); ++i) {
        const QChar c = t.at(i);
        wellFormed = (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || (i == 0 && t.size() > 1 && (c == QLatin1Char('+') || c == QLatin1Char('-')));
    }
    if (!wellFormed) {
        *reason = QStringLiteral("%1 is not a whole number.").arg(quoted(value));
        return false;
    }
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if ((!ok && !t.startsWith(QLatin1Char('-'))) || (ok && n > std::numeric_limits<qint32>::max())) {
        *reason = QStringLiteral("%1 is above 2147483647, the largest number the field holds.").arg(t);
        return false;
    }
    if (!ok || n < std::numeric_limits<qint32>::min()) {
        *reason = QStringLiteral("%1 is below -2147483648, the smallest number the field holds.").arg(t);
        return false;
    }
    *stored = n;
    return true;
}

bool checkDate(const QString &value, QString *reason, QDate *date)
{
    const std::optional<QDate> d = readFileDate(value);
    if (!d) {
        *reason =
            QStringLiteral("%1 is not a date; write dates as mm/dd/yyyy, m/d/yy or yyyy-mm-dd.").arg(quoted(value));
        return false;
    }
    *date = *d;
    return true;
}

bool checkYesNo(const QString &value, QVariant *stored, QString *reason)
{
    const QString t = value.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("0")) {
        *stored = false;
        return true;
    }
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("1")
        || t == QLatin1String("-1")) {
        *stored = true;
        return true;
    }
    *reason = QStringLiteral("%1 is not Yes or No (Yes, No, True, False, 1 or 0).").arg(quoted(value));
    return false;
}

bool checkLength(const FieldRule &rule, const QString &value, QString *reason)
{
    if (rule.maxLength > 0 && value.size() > rule.maxLength) {
        *reason = QStringLiteral("%1 characters; the field holds %2.").arg(value.size()).arg(rule.maxLength);
        return false;
    }
    return true;
}

} // namespace

QList<FieldRule> fieldRules(const store::TableDef &table)
{
    QList<FieldRule> rules;
    for (const store::FieldDef &f : table.fields) {
        FieldRule rule;
        rule.field = f.name;
        rule.entry = entryOf(f, table.name);
        rule.maxLength = f.kind == store::FieldKind::Text ? f.maxLength : 0;
        if (rule.entry == Entry::Masked)
            rule.mask = maskOf(f.name);
        rules.append(rule);
    }
    return rules;
}

namespace {

// Reads digits at `pos`, from `least` to `most` of them; -1 when there are too few.
int readNumber(const QString &t, qsizetype &pos, int least, int most)
{
    int value = 0;
    int count = 0;
    while (pos < t.size() && count < most && t.at(pos) >= QLatin1Char('0') && t.at(pos) <= QLatin1Char('9')) {
        value = value * 10 + (t.at(pos).unicode() - '0');
        ++pos;
        ++count;
    }
    return count >= least ? value : -1;
}

bool readChar(const QString &t, qsizetype &pos, char c)
{
    if (pos < t.size() && t.at(pos) == QLatin1Char(c)) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

std::optional<QDate> readFileDate(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype pos = 0;
    QDate date;
    const qsizetype firstEnd = [&] {
        qsizetype p = 0;
        readNumber(t, p, 1, 4);
        return p;
    }();
    if (firstEnd == 4) { // yyyy-mm-dd
        const int year = readNumber(t, pos, 4, 4);
        const bool dash1 = readChar(t, pos, '-');
        const qsizetype monthStart = pos;
        const int month = readNumber(t, pos, 2, 2);
        const bool dash2 = readChar(t, pos, '-');
        const int day = readNumber(t, pos, 2, 2);
        if (!dash1 || !dash2 || month < 0 || day < 0 || pos - monthStart != 5)
            return std::nullopt;
        date = QDate(year, month, day);
    } else { // m/d/yy or mm/dd/yyyy
        const int month = readNumber(t, pos, 1, 2);
        const bool slash1 = readChar(t, pos, '/');
        const int day = readNumber(t, pos, 1, 2);
        const bool slash2 = readChar(t, pos, '/');
        const qsizetype yearStart = pos;
        int year = readNumber(t, pos, 2, 4);
        const qsizetype yearDigits = pos - yearStart;
        if (month < 0 || day < 0 || !slash1 || !slash2 || year < 0 || yearDigits == 3)
            return std::nullopt;
        if (yearDigits == 2)
            year = filter::windowedYear(year);
        date = QDate(year, month, day);
    }
    if (!date.isValid())
        return std::nullopt;
    if (pos == t.size())
        return date;

    // A time after the date, as exporters of date-and-time fields write it.
    if (!t.at(pos).isSpace())
        return std::nullopt;
    while (pos < t.size() && t.at(pos).isSpace())
        ++pos;
    const int hour = readNumber(t, pos, 1, 2);
    const bool colon = readChar(t, pos, ':');
    const int minute = readNumber(t, pos, 2, 2);
    int second = 0;
    if (readChar(t, pos, ':'))
        second = readNumber(t, pos, 2, 2);
    if (hour < 0 || !colon || minute < 0 || second < 0 || pos != t.size() || !QTime(hour, minute, second).isValid())
        return std::nullopt;
    return date;
}

std::optional<QString> fitToMask(const QString &mask, const QString &value)
{
    const QString t = value.trimmed();
    // Already in the stored form: every character where the mask has it.
    bool fits = t.size() <= mask.size();
    for (int i = 0; fits && i < t.size(); ++i)
        fits = isPlaceholder(mask.at(i)) ? admits(mask.at(i), t.at(i)) : t.at(i) == mask.at(i);
    if (fits) {
        // The field stores up to its last typed character, without the literals after it.
        QString stored = t;
        while (!stored.isEmpty() && !isPlaceholder(mask.at(stored.size() - 1)))
            stored.chop(1);
        return stored;
    }

    // Otherwise as a paste: the typed characters go into the places in turn.
    QString shown = widgets::MaskPattern(mask).emptyForm();
    int place = 0;
    for (QChar c : t) {
        while (place < mask.size() && !isPlaceholder(mask.at(place)))
            ++place;
        if (place < mask.size() && admits(mask.at(place), c)) {
            shown[place++] = c;
            continue;
        }
        if (!isSeparator(c))
            return std::nullopt;
    }
    const QVariant stored = widgets::MaskPattern(mask).storedValue(shown);
    if (stored.isNull())
        return std::nullopt;
    return stored.toString();
}

bool checkValue(const FieldRule &rule, const QString &value, QVariant *stored, QString *reason)
{
    *stored = QVariant();
    if (rule.entry == Entry::YesNo)
        return checkYesNo(value, stored, reason);
    const bool blank =
        rule.entry == Entry::Text || rule.entry == Entry::Memo ? value.isEmpty() : value.trimmed().isEmpty();
    if (blank)
        return true;

    switch (rule.entry) {
    case Entry::Long: return checkLong(value, stored, reason);
    case Entry::Date:
    case Entry::TextDate: {
        QDate d;
        if (!checkDate(value, reason, &d))
            return false;
        *stored = rule.entry == Entry::Date ? QVariant(d) : QVariant(d.toString(QStringLiteral("MM/dd/yyyy")));
        return true;
    }
    case Entry::Masked: {
        const std::optional<QString> fitted = fitToMask(rule.mask, value);
        if (!fitted) {
            *reason = QStringLiteral("%1 does not fit the entry pattern %2.").arg(quoted(value), rule.mask);
            return false;
        }
        if (!checkLength(rule, *fitted, reason))
            return false;
        if (!fitted->isEmpty())
            *stored = *fitted;
        return true;
    }
    case Entry::Text:
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
            *reason = QStringLiteral("The value holds a line break; only notes may have several lines.");
            return false;
        }
        if (!checkLength(rule, value, reason))
            return false;
        *stored = value;
        return true;
    case Entry::Memo: *stored = value; return true;
    case Entry::YesNo: break;
    }
    return true;
}

} // namespace csv
