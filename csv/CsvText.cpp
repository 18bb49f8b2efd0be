#include "csv/CsvText.h"

#include <QStringDecoder>
#include <array>

namespace csv {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; the five unassigned
// bytes there read as the C1 controls of the same number, as Windows does.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        d[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

bool needsQuotes(const char *s, qsizetype n)
{
    if (n == 0)
        return false;
    if (s[0] == ' ' || s[0] == '\t' || s[n - 1] == ' ' || s[n - 1] == '\t')
        return true;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = s[i];
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    }
    return false;
}

// The length of the well-formed UTF-8 sequence of several bytes at `at`;
// 0 when the bytes there are none.
int utf8SequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto b = static_cast<unsigned char>(bytes.at(at));
    int n = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (at + n > bytes.size())
        return 0;
    char32_t code = b & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(bytes.at(at + k));
        if ((c & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

// How many characters of several bytes are well-formed UTF-8, how many bytes
// are not, and where the first of those lies.
struct Utf8Evidence {
    qsizetype characters = 0;
    qsizetype strayBytes = 0;
    qsizetype firstStray = -1;
};

Utf8Evidence utf8Evidence(QByteArrayView bytes)
{
    Utf8Evidence evidence;
    for (qsizetype i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes.at(i)) < 0x80) {
            ++i;
            continue;
        }
        const int n = utf8SequenceLength(bytes, i);
        if (n > 0) {
            ++evidence.characters;
            i += n;
            continue;
        }
        if (evidence.firstStray < 0)
            evidence.firstStray = i;
        ++evidence.strayBytes;
        ++i;
    }
    return evidence;
}

} // namespace

DecodedText decodeText(const QByteArray &bytes)
{
    DecodedText result;
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) {
        result.binaryLine = int(bytes.left(zero).count('\n')) + 1;
        return result;
    }
    QByteArrayView view(bytes);
    const bool byteOrderMark = view.startsWith("\xEF\xBB\xBF");
    if (byteOrderMark)
        view = view.sliced(3);
    const Utf8Evidence evidence = utf8Evidence(view);
    if (evidence.strayBytes == 0) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        result.text = utf8.decode(view);
        result.encoding = QStringLiteral("UTF-8");
        return result;
    }
    if (byteOrderMark || evidence.characters > evidence.strayBytes) {
        const QByteArrayView before = view.first(evidence.firstStray);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        result.strayLine = int(before.count('\n')) + 1;
        result.strayColumn = int(evidence.firstStray - lineStart) + 1;
        result.strayByte = static_cast<unsigned char>(view.at(evidence.firstStray));
        return result;
    }
    result.text = fromWindows1252(view.toByteArray());
    result.encoding = QStringLiteral("Windows-1252");
    return result;
}

QChar detectDelimiter(const QString &text)
{
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++comma;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolon;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tab;
    }
    if (tab > comma && tab >= semicolon)
        return QLatin1Char('\t');
    if (semicolon > comma)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

QString delimiterName(QChar delimiter)
{
    if (delimiter == QLatin1Char('\t'))
        return QStringLiteral("tab");
    if (delimiter == QLatin1Char(';'))
        return QStringLiteral("semicolon");
    return QStringLiteral("comma");
}

CsvParser::CsvParser(const QString &text, QChar delimiter) : m_text(text), m_delimiter(delimiter)
{
}

bool CsvParser::next(CsvRecord *record)
{
    const qsizetype size = m_text.size();
    const QChar *s = m_text.constData();
    // Blank lines carry no record.
    while (m_pos < size && (s[m_pos] == QLatin1Char('\n') || s[m_pos] == QLatin1Char('\r'))) {
        if (s[m_pos] == QLatin1Char('\n') || m_pos + 1 >= size || s[m_pos + 1] != QLatin1Char('\n'))
            ++m_line;
        ++m_pos;
    }
    if (m_pos >= size)
        return false;

    record->line = m_line;
    record->values.clear();
    QString value;
    for (;;) {
        value.clear();
        if (m_pos < size && s[m_pos] == QLatin1Char('"')) {
            const int openedOn = m_line;
            ++m_pos;
            bool closed = false;
            while (m_pos < size) {
                const QChar c = s[m_pos];
                if (c == QLatin1Char('"')) {
                    if (m_pos + 1 < size && s[m_pos + 1] == QLatin1Char('"')) {
                        value += c;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    closed = true;
                    break;
                }
                if (c == QLatin1Char('\n')
                    || (c == QLatin1Char('\r') && (m_pos + 1 >= size || s[m_pos + 1] != QLatin1Char('\n'))))
                    ++m_line;
                value += c;
                ++m_pos;
            }
            if (!closed) {
                m_unclosedQuoteLine = openedOn;
                record->values.append(value);
                m_pos = size;
                return true;
            }
            // Text after the closing quote belongs to the value (lenient, as
            // spreadsheets read it).
            const qsizetype start = m_pos;
            while (m_pos < size && s[m_pos] != m_delimiter && s[m_pos] != QLatin1Char('\n')
                   && s[m_pos] != QLatin1Char('\r'))
                ++m_pos;
            if (m_pos > start)
                value.append(s + start, m_pos - start);
        } else {
            const qsizetype start = m_pos;
            while (m_pos < size && s[m_pos] != m_delimiter && s[m_pos] != QLatin1Char('\n')
                   && s[m_pos] != QLatin1Char('\r'))
                ++m_pos;
            value = QString(s + start, m_pos - start);
        }
        record->values.append(value);
        if (m_pos < size && s[m_pos] == m_delimiter) {
            ++m_pos;
            continue;
        }
        // End of the record.
        if (m_pos < size) {
            if (s[m_pos] == QLatin1Char('\r') && m_pos + 1 < size && s[m_pos + 1] == QLatin1Char('\n'))
                ++m_pos;
            ++m_pos;
            ++m_line;
        }
        return true;
    }
}

namespace {

bool startsFormula(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

} // namespace

bool needsFormulaGuard(QByteArrayView utf8)
{
    qsizetype i = 0;
    while (i < utf8.size() && utf8.at(i) == '\'')
        ++i;
    return i < utf8.size() && startsFormula(utf8.at(i));
}

QString withoutFormulaGuard(const QString &value)
{
    if (!value.startsWith(QLatin1Char('\'')))
        return value;
    const QByteArray start = value.left(64).toUtf8();
    qsizetype i = 0;
    while (i < start.size() && start.at(i) == '\'')
        ++i;
    if (i < start.size() && startsFormula(start.at(i)))
        return value.mid(1);
    return value;
}

void appendCsvValue(QByteArray &out, const char *utf8, qsizetype size)
{
    if (!needsQuotes(utf8, size)) {
        out.append(utf8, size);
        return;
    }
    out.append('"');
    const char *start = utf8;
    const char *end = utf8 + size;
    for (const char *p = utf8; p < end; ++p) {
        if (*p == '"') {
            out.append(start, p - start + 1);
            out.append('"');
            start = p + 1;
        }
    }
    out.append(start, end - start);
    out.append('"');
}

} // namespace csv
