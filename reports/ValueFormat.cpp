#include "reports/ValueFormat.h"

#include <QDate>
#include <QVarLengthArray>
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
void appendUsDate(QString &out, const QDate &d)
{
    const int y = d.year();
    if (y < 0 || y > 9999) {
        out += d.toString(QStringLiteral("MM/dd/yyyy"));
        return;
    }
    const int m = d.month();
    const int day = d.day();
    const char16_t text[10] = {char16_t(u'0' + m / 10),   char16_t(u'0' + m % 10),       u'/',
                               char16_t(u'0' + day / 10), char16_t(u'0' + day % 10),     u'/',
                               char16_t(u'0' + y / 1000), char16_t(u'0' + y / 100 % 10), char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10)};
    out.append(reinterpret_cast<const QChar *>(text), 10);
}

// A whole number's digits, at least `minDigits` of them, grouped by three
// with "," when asked.
void appendDigits(QString &out, qint64 n, int minDigits, bool grouping)
{
    if (n < 0) {
        out += QLatin1Char('-');
        n = -n;
    }
    QVarLengthArray<char16_t, 32> digits; // the lowest first
    do {
        digits.append(char16_t(u'0' + n % 10));
        n /= 10;
    } while (n > 0);
    while (digits.size() < minDigits)
        digits.append(u'0');
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        out += QChar(digits[i]);
        if (grouping && i > 0 && i % 3 == 0)
            out += QLatin1Char(',');
    }
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

FieldValue FieldValue::of(const QVariant &value, store::FieldKind field)
{
    FieldValue v;
    if (!value.isValid() || value.isNull())
        return v;
    switch (field) {
    case store::FieldKind::Date:
        v.date = value.toDate();
        if (v.date.isValid()) {
            v.kind = Kind::Date;
            return v;
        }
        break;
    case store::FieldKind::Long: {
        bool ok = false;
        v.number = value.toDouble(&ok);
        if (ok) {
            v.kind = Kind::Number;
            return v;
        }
        break;
    }
    case store::FieldKind::YesNo:
        v.kind = Kind::YesNo;
        v.yes = value.toBool();
        return v;
    case store::FieldKind::Text:
    case store::FieldKind::Memo: break;
    }
    v.kind = Kind::Text;
    v.text = value.toString();
    return v;
}

void FieldValue::setText(const char *utf8, qsizetype length)
{
    kind = Kind::Text;
    for (qsizetype i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(utf8[i]) >= 0x80) {
            text = QString::fromUtf8(utf8, length);
            return;
        }
    }
    // Plain ASCII, nearly every text of a customer: widened in place.
    text.resize(length);
    QChar *out = text.data();
    for (qsizetype i = 0; i < length; ++i)
        out[i] = QLatin1Char(utf8[i]);
}

QString ValueFormat::apply(const QVariant &value) const
{
    QString out;
    appendTo(out, value);
    return out;
}

void ValueFormat::appendTo(QString &out, const FieldValue &value) const
{
    switch (value.kind) {
    case FieldValue::Kind::Null: return;
    case FieldValue::Kind::Text:
        if (m_kind == store::FieldKind::Text || m_kind == store::FieldKind::Memo) {
            if (m_format == QLatin1String("upper"))
                out += value.text.toUpper();
            else if (m_format == QLatin1String("lower"))
                out += value.text.toLower();
            else
                out += value.text;
        } else {
            out += value.text;
        }
        return;
    case FieldValue::Kind::Date:
        if (m_kind != store::FieldKind::Date)
            out += QVariant(value.date).toString();
        else if (m_format.isEmpty())
            appendUsDate(out, value.date);
        else
            out += value.date.toString(m_format);
        return;
    case FieldValue::Kind::YesNo:
        out += m_kind == store::FieldKind::YesNo ? (value.yes ? m_yes : m_no) : QVariant(value.yes).toString();
        return;
    case FieldValue::Kind::Number: break;
    }
    const double v = value.number;
    if (m_kind != store::FieldKind::Long) {
        out += QVariant(v).toString();
        return;
    }
    const bool whole = v == std::floor(v) && std::fabs(v) < 1e15;
    if (!m_pattern) {
        if (whole)
            appendDigits(out, qint64(v), 0, false);
        else
            out += QString::number(v, 'f', 2);
        return;
    }
    if (v < 0)
        out += QLatin1Char('-');
    out += m_prefix;
    if (whole && m_decimals == 0) {
        // The common case ($#,##0) without a string per value.
        appendDigits(out, qint64(std::fabs(v)), m_minIntegerDigits, m_grouping);
    } else {
        const QString fixed = QString::number(std::fabs(v), 'f', m_decimals);
        const qsizetype dot = fixed.indexOf(QLatin1Char('.'));
        QString integer = dot < 0 ? fixed : fixed.left(dot);
        if (integer == QLatin1String("0") && m_minIntegerDigits == 0 && m_decimals > 0)
            integer.clear();
        while (integer.size() < m_minIntegerDigits)
            integer.prepend(QLatin1Char('0'));
        out += m_grouping ? groupDigits(integer) : integer;
        if (m_decimals > 0)
            out += QLatin1Char('.') + fixed.mid(dot + 1);
    }
    out += m_suffix;
}

QString ValueFormat::apply(const QVariant &value, store::FieldKind kind, const QString &format)
{
    ValueFormat f;
    return compile(kind, format, &f, nullptr) ? f.apply(value) : value.toString();
}

} // namespace reports
