#include "reports/ValueFormat.h"

#include <QDate>
#include <QLocale>
#include <cmath>

namespace reports {

namespace {

bool isPatternChar(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.');
}

struct NumberPattern {
    QString prefix;
    QString suffix;
    int minIntegerDigits = 1;
    int decimals = 0;
    bool grouping = false;
};

bool parseNumberPattern(const QString &format, NumberPattern *out)
{
    const qsizetype first = [&] {
        for (qsizetype i = 0; i < format.size(); ++i)
            if (format.at(i) == QLatin1Char('#') || format.at(i) == QLatin1Char('0'))
                return i;
        return qsizetype(-1);
    }();
    if (first < 0)
        return false;
    qsizetype end = first;
    while (end < format.size() && isPatternChar(format.at(end)))
        ++end;
    const QString core = format.mid(first, end - first);
    NumberPattern p;
    p.prefix = format.left(first);
    p.suffix = format.mid(end);
    const qsizetype dot = core.indexOf(QLatin1Char('.'));
    if (dot >= 0 && core.indexOf(QLatin1Char('.'), dot + 1) >= 0)
        return false;
    const QString integer = dot < 0 ? core : core.left(dot);
    const QString fraction = dot < 0 ? QString() : core.mid(dot + 1);
    if (fraction.contains(QLatin1Char(',')))
        return false;
    p.grouping = integer.contains(QLatin1Char(','));
    p.minIntegerDigits = int(integer.count(QLatin1Char('0')));
    p.decimals = int(fraction.size());
    *out = p;
    return true;
}

QString groupDigits(const QString &digits)
{
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

} // namespace

bool ValueFormat::check(store::FieldKind kind, const QString &format, QString *error)
{
    if (format.isEmpty())
        return true;
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    switch (kind) {
    case store::FieldKind::Date:
        if (QDate(2024, 12, 31).toString(format) == format)
            return refuse(QStringLiteral("the date format \"%1\" shows no part of the date.").arg(format));
        return true;
    case store::FieldKind::Long: {
        NumberPattern p;
        if (!parseNumberPattern(format, &p))
            return refuse(QStringLiteral("the number format \"%1\" is not a pattern of 0, #, \",\" and \".\" "
                                         "(for example #,##0.00).").arg(format));
        return true;
    }
    case store::FieldKind::YesNo:
        if (format.count(QLatin1Char(';')) != 1)
            return refuse(QStringLiteral("a yes/no format gives the two texts separated by \";\" (for example Yes;No)."));
        return true;
    case store::FieldKind::Text:
    case store::FieldKind::Memo:
        if (format != QLatin1String("upper") && format != QLatin1String("lower"))
            return refuse(QStringLiteral("a text field takes the format upper or lower, not \"%1\".").arg(format));
        return true;
    }
    return true;
}

QString ValueFormat::number(double value, const QString &format)
{
    NumberPattern p;
    if (format.isEmpty() || !parseNumberPattern(format, &p))
        return QString::number(value, 'f', value == std::floor(value) ? 0 : 2);
    const bool negative = value < 0;
    const QString fixed = QString::number(std::fabs(value), 'f', p.decimals);
    const qsizetype dot = fixed.indexOf(QLatin1Char('.'));
    QString integer = dot < 0 ? fixed : fixed.left(dot);
    const QString fraction = dot < 0 ? QString() : fixed.mid(dot + 1);
    if (integer == QLatin1String("0") && p.minIntegerDigits == 0 && p.decimals > 0)
        integer.clear();
    while (integer.size() < p.minIntegerDigits)
        integer.prepend(QLatin1Char('0'));
    if (p.grouping)
        integer = groupDigits(integer);
    QString text = integer;
    if (p.decimals > 0)
        text += QLatin1Char('.') + fraction;
    return (negative ? QStringLiteral("-") : QString()) + p.prefix + text + p.suffix;
}

QString ValueFormat::apply(const QVariant &value, store::FieldKind kind, const QString &format)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (kind) {
    case store::FieldKind::Date: {
        const QDate d = value.toDate();
        if (!d.isValid())
            return value.toString();
        return d.toString(format.isEmpty() ? QStringLiteral("MM/dd/yyyy") : format);
    }
    case store::FieldKind::Long: {
        bool ok = false;
        const double v = value.toDouble(&ok);
        return ok ? number(v, format) : value.toString();
    }
    case store::FieldKind::YesNo: {
        const bool yes = value.toBool();
        if (format.isEmpty())
            return yes ? QStringLiteral("Yes") : QStringLiteral("No");
        return format.section(QLatin1Char(';'), yes ? 0 : 1, yes ? 0 : 1);
    }
    case store::FieldKind::Text:
    case store::FieldKind::Memo: {
        const QString text = value.toString();
        if (format == QLatin1String("upper"))
            return text.toUpper();
        if (format == QLatin1String("lower"))
            return text.toLower();
        return text;
    }
    }
    return value.toString();
}

} // namespace reports
