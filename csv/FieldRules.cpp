#include "csv/FieldRules.h"

#include "customers/CustomerFields.h"
#include "filter/CriteriaRules.h"
#include "widgets/MaskPattern.h"

#include <QRegularExpression>
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
    static const QRegularExpression form(QStringLiteral("^[+-]?[0-9]+$"));
    const QString t = value.trimmed();
    if (!form.match(t).hasMatch()) {
        *reason = QStringLiteral("%1 is not a whole number.").arg(quoted(value));
        return false;
    }
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if (!ok || n > std::numeric_limits<qint32>::max()) {
        *reason = QStringLiteral("%1 is above 2147483647, the largest number the field holds.").arg(t);
        return false;
    }
    if (n < std::numeric_limits<qint32>::min()) {
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
        *reason = QStringLiteral("%1 is not a date; write dates as mm/dd/yyyy, m/d/yy or yyyy-mm-dd.").arg(quoted(value));
        return false;
    }
    *date = *d;
    return true;
}

bool checkYesNo(const QString &value, QVariant *stored, QString *reason)
{
    const QString t = value.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("0")) {
        *stored = qint64(0);
        return true;
    }
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("-1")) {
        *stored = qint64(1);
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

std::optional<QDate> readFileDate(const QString &text)
{
    QString t = text.trimmed();
    static const QRegularExpression withTime(QStringLiteral("^(\\S+)\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = withTime.match(t);
    if (m.hasMatch()) {
        const QTime time(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).isEmpty() ? 0 : m.captured(4).toInt());
        if (!time.isValid())
            return std::nullopt;
        t = m.captured(1);
    }
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (iso.match(t).hasMatch()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    return filter::readCriteriaDate(t);
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
    const bool blank = rule.entry == Entry::Text || rule.entry == Entry::Memo ? value.isEmpty() : value.trimmed().isEmpty();
    if (blank)
        return true;

    switch (rule.entry) {
    case Entry::Long:
        return checkLong(value, stored, reason);
    case Entry::Date:
    case Entry::TextDate: {
        QDate d;
        if (!checkDate(value, reason, &d))
            return false;
        *stored = rule.entry == Entry::Date ? d.toString(Qt::ISODate) : d.toString(QStringLiteral("MM/dd/yyyy"));
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
    case Entry::Memo:
        *stored = value;
        return true;
    case Entry::YesNo:
        break;
    }
    return true;
}

} // namespace csv
