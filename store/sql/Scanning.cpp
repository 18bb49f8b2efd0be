#include "store/sql/Scanning.h"

#include <cmath>

namespace store::scan {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

qsizetype wordEnd(QStringView s, qsizetype i)
{
    while (i < s.size() && isWordPart(s[i]))
        ++i;
    return i;
}

bool startsNumber(QStringView s, qsizetype i)
{
    return i < s.size() && (isAsciiDigit(s[i]) || (s[i] == u'.' && i + 1 < s.size() && isAsciiDigit(s[i + 1])));
}

NumberScan scanNumber(QStringView s, qsizetype i)
{
    const qsizetype n = s.size();
    while (i < n && isAsciiDigit(s[i]))
        ++i;
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && isAsciiDigit(s[i]))
            ++i;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype k = i + 1;
        if (k < n && (s[k] == u'+' || s[k] == u'-'))
            ++k;
        if (k < n && isAsciiDigit(s[k])) {
            i = k;
            while (i < n && isAsciiDigit(s[i]))
                ++i;
        }
    }
    NumberScan scan{i, 0};
    if (i < n && (isWordPart(s[i]) || s[i] == u'.')) {
        qsizetype end = i;
        while (end < n && (isWordPart(s[end]) || s[end] == u'.'))
            ++end;
        scan.badEnd = end;
    }
    return scan;
}

QuotedScan scanQuoted(QStringView s, qsizetype i)
{
    const QChar quote = s[i];
    QuotedScan scan;
    ++i;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                scan.value += quote;
                i += 2;
                continue;
            }
            scan.closed = true;
            scan.end = i + 1;
            return scan;
        }
        scan.value += c;
        ++i;
    }
    scan.end = s.size();
    return scan;
}

QString quoteName(QChar quote)
{
    return quote == u'"' ? QStringLiteral("double quote") : QStringLiteral("apostrophe");
}

qsizetype closingOf(QStringView s, qsizetype i, QChar open, QChar close)
{
    const qsizetype closing = s.indexOf(close, i + 1);
    const qsizetype reopening = s.indexOf(open, i + 1);
    return closing < 0 || (reopening >= 0 && reopening < closing) ? -1 : closing;
}

MarkScan scanMark(QStringView s, qsizetype i)
{
    const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
    switch (s[i].unicode()) {
    case u'=': return {Mark::Equal, 1};
    case u'<':
        if (next == u'>')
            return {Mark::NotEqual, 2};
        if (next == u'=')
            return {Mark::LessEqual, 2};
        return {Mark::Less, 1};
    case u'>':
        if (next == u'=')
            return {Mark::GreaterEqual, 2};
        return {Mark::Greater, 1};
    case u'(': return {Mark::LeftParen, 1};
    case u')': return {Mark::RightParen, 1};
    case u',': return {Mark::Comma, 1};
    case u'+': return {Mark::Plus, 1};
    case u'-': return {Mark::Minus, 1};
    case u'.': return {Mark::Dot, 1};
    case u'*': return {Mark::Star, 1};
    default: return {};
    }
}

qsizetype characterEnd(QStringView s, qsizetype i)
{
    qsizetype end = i + 1;
    if (s[i].isHighSurrogate() && end < s.size() && s[end].isLowSurrogate())
        ++end;
    return end;
}

NumberValue numberValue(QStringView digits, bool negative)
{
    NumberValue value;
    if (!digits.contains(u'.') && !digits.contains(u'e', Qt::CaseInsensitive)) {
        const qint64 magnitude = digits.toLongLong(&value.ok);
        if (value.ok) {
            value.isInteger = true;
            value.integer = negative ? -magnitude : magnitude;
            value.real = negative ? -double(magnitude) : double(magnitude);
            return value;
        }
    }
    const double magnitude = digits.toDouble(&value.ok);
    value.ok = value.ok && std::isfinite(magnitude);
    value.real = negative ? -magnitude : magnitude;
    return value;
}

} // namespace store::scan
