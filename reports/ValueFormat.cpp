#include "reports/ValueFormat.h"

#include <QDate>
#include <cmath>

namespace reports {

namespace {

bool isPatternChar(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.');
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

// MM/dd/yyyy without going through the locale: the format of nearly every
// date a report prints.
QString usDate(const QDate &d)
{
    int y = d.year();
    if (y < 0 || y > 9999)
        return d.toString(QStringLiteral("MM/dd/yyyy"));
    const int m = d.month();
    const int day = d.day();
    const char16_t text[10] = {char16_t(u'0' + m / 10),   char16_t(u'0' + m % 10),       u'/',
                               char16_t(u'0' + day / 10), char16_t(u'0' + day % 10),     u'/',
                               char16_t(u'0' + y / 1000), char16_t(u'0' + y / 100 % 10), char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 10);
}

} // namespace

bool ValueFormat::compile(store::FieldKind kind, const QString &format, ValueFormat *out, QString *error)
{
    ValueFormat f;
    f.m_kind = kind;
    f.m_format = format;
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!format.isEmpty()) {
        switch (kind) {
        case store::FieldKind::Date:
            if (QDate(2024, 12, 31).toString(format) == format)
                return refuse(QStringLiteral("the date format \"%1\" shows no part of the date.").arg(format));
            break;
        case store::FieldKind::Long: {
            qsizetype first = -1;
            for (qsizetype i = 0; i < format.size() && first < 0; ++i) {
                if (format.at(i) == QLatin1Char('#') || format.at(i) == QLatin1Char('0'))
                    first = i;
            }
            qsizetype end = first;
            while (end >= 0 && end < format.size() && isPatternChar(format.at(end)))
                ++end;
            const QString core = first < 0 ? QString() : format.mid(first, end - first);
            const qsizetype dot = core.indexOf(QLatin1Char('.'));
            const QString integer = dot < 0 ? core : core.left(dot);
            const QString fraction = dot < 0 ? QString() : core.mid(dot + 1);
            if (first < 0 || (dot >= 0 && core.indexOf(QLatin1Char('.'), dot + 1) >= 0)
                || fraction.contains(QLatin1Char(',')))
                return refuse(QStringLiteral("the number format \"%1\" is not a pattern of 0, #, \",\" and \".\" "
                                             "(for example #,##0.00).")
                                  .arg(format));
            f.m_prefix = format.left(first);
            f.m_suffix = format.mid(end);
            f.m_grouping = integer.contains(QLatin1Char(','));
            f.m_minIntegerDigits = int(integer.count(QLatin1Char('0')));
            f.m_decimals = int(fraction.size());
            f.m_pattern = true;
            break;
        }
        case store::FieldKind::YesNo:
            if (format.count(QLatin1Char(';')) != 1)
                return refuse(
                    QStringLiteral("a yes/no format gives the two texts separated by \";\" (for example Yes;No)."));
            f.m_yes = format.section(QLatin1Char(';'), 0, 0);
            f.m_no = format.section(QLatin1Char(';'), 1, 1);
            break;
        case store::FieldKind::Text:
        case store::FieldKind::Memo:
            if (format != QLatin1String("upper") && format != QLatin1String("lower"))
                return refuse(QStringLiteral("a text field takes the format upper or lower, not \"%1\".").arg(format));
            break;
        }
    }
    *out = std::move(f);
    return true;
}

QString ValueFormat::apply(const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (m_kind) {
    case store::FieldKind::Date: {
        const QDate d = value.toDate();
        if (!d.isValid())
            return value.toString();
        return m_format.isEmpty() ? usDate(d) : d.toString(m_format);
    }
    case store::FieldKind::Long: {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok)
            return value.toString();
        if (!m_pattern)
            return v == std::floor(v) && std::fabs(v) < 1e15 ? QString::number(qint64(v)) : QString::number(v, 'f', 2);
        const QString fixed = QString::number(std::fabs(v), 'f', m_decimals);
        const qsizetype dot = fixed.indexOf(QLatin1Char('.'));
        QString integer = dot < 0 ? fixed : fixed.left(dot);
        if (integer == QLatin1String("0") && m_minIntegerDigits == 0 && m_decimals > 0)
            integer.clear();
        while (integer.size() < m_minIntegerDigits)
            integer.prepend(QLatin1Char('0'));
        if (m_grouping)
            integer = groupDigits(integer);
        QString text = (v < 0 ? QStringLiteral("-") : QString()) + m_prefix + integer;
        if (m_decimals > 0)
            text += QLatin1Char('.') + fixed.mid(dot + 1);
        return text + m_suffix;
    }
    case store::FieldKind::YesNo: return value.toBool() ? m_yes : m_no;
    case store::FieldKind::Text:
    case store::FieldKind::Memo: {
        const QString text = value.toString();
        if (m_format == QLatin1String("upper"))
            return text.toUpper();
        if (m_format == QLatin1String("lower"))
            return text.toLower();
        return text;
    }
    }
    return value.toString();
}

QString ValueFormat::apply(const QVariant &value, store::FieldKind kind, const QString &format)
{
    ValueFormat f;
    return compile(kind, format, &f, nullptr) ? f.apply(value) : value.toString();
}

} // namespace reports
