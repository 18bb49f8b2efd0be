#include "reports/formula/FormulaLexer.h"

#include "store/sql/QuotedPiece.h"

namespace reports::formula {

bool Token::isWord(const char *keyword) const
{
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

QString formulaPiece(const QString &formula, int position, int length)
{
    return store::quotedPiece(QStringView(formula).sliced(position, qMin(length, int(formula.size()) - position)));
}

namespace {
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

class Scanner
{
public:
    Scanner(const QString &s, std::vector<Token> *out, QString *error) : m_s(s), m_out(out), m_error(error) {}

    bool run()
    {
        const qsizetype n = m_s.size();
        while (m_i < n) {
            const QChar c = m_s[m_i];
            if (isBlank(c)) {
                ++m_i;
                continue;
            }
            bool ok = true;
            if (c.isLetter() || c == u'_')
                ok = word();
            else if (isAsciiDigit(c) || (c == u'.' && m_i + 1 < n && isAsciiDigit(m_s[m_i + 1])))
                ok = number();
            else if (c == u'"' || c == u'\'')
                ok = quoted(c);
            else if (c == u'{')
                ok = field();
            else
                ok = symbol();
            if (!ok)
                return false;
        }
        m_out->push_back({Token::Kind::End, {}, {}, {}, int(n), 0});
        return true;
    }

private:
    void push(Token::Kind kind, qsizetype start, QString text = {}, QString table = {}, QString field = {})
    {
        m_out->push_back({kind, std::move(text), std::move(table), std::move(field), int(start), int(m_i - start)});
    }

    bool failWith(const QString &text)
    {
        if (m_error)
            *m_error = text;
        return false;
    }

    QString piece(qsizetype start, qsizetype end) const { return formulaPiece(m_s, int(start), int(end - start)); }

    bool word()
    {
        const qsizetype start = m_i;
        while (m_i < m_s.size() && (m_s[m_i].isLetterOrNumber() || m_s[m_i] == u'_'))
            ++m_i;
        push(Token::Kind::Word, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool number()
    {
        const qsizetype start = m_i;
        const qsizetype n = m_s.size();
        while (m_i < n && isAsciiDigit(m_s[m_i]))
            ++m_i;
        if (m_i < n && m_s[m_i] == u'.') {
            ++m_i;
            while (m_i < n && isAsciiDigit(m_s[m_i]))
                ++m_i;
        }
        if (m_i < n && (m_s[m_i] == u'e' || m_s[m_i] == u'E')) {
            qsizetype k = m_i + 1;
            if (k < n && (m_s[k] == u'+' || m_s[k] == u'-'))
                ++k;
            if (k < n && isAsciiDigit(m_s[k])) {
                m_i = k;
                while (m_i < n && isAsciiDigit(m_s[m_i]))
                    ++m_i;
            }
        }
        if (m_i < n && (m_s[m_i].isLetterOrNumber() || m_s[m_i] == u'_' || m_s[m_i] == u'.')) {
            qsizetype end = m_i;
            while (end < n && (m_s[end].isLetterOrNumber() || m_s[end] == u'_' || m_s[end] == u'.'))
                ++end;
            return failWith(QStringLiteral("%1 is not a number.").arg(piece(start, end)));
        }
        push(Token::Kind::Number, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool quoted(QChar quote)
    {
        const qsizetype start = m_i;
        QString value;
        ++m_i;
        while (m_i < m_s.size()) {
            const QChar c = m_s[m_i];
            if (c == quote) {
                if (m_i + 1 < m_s.size() && m_s[m_i + 1] == quote) {
                    value += quote;
                    m_i += 2;
                    continue;
                }
                ++m_i;
                push(Token::Kind::Text, start, value);
                return true;
            }
            value += c;
            ++m_i;
        }
        return failWith(QStringLiteral("The text %1 has no closing %2.")
                            .arg(piece(start, m_s.size()),
                                 quote == u'"' ? QStringLiteral("double quote") : QStringLiteral("apostrophe")));
    }

    // {T.F} or {[T].F}; the names are checked later against the table.
    bool field()
    {
        const qsizetype start = m_i;
        const qsizetype close = m_s.indexOf(u'}', m_i + 1);
        const qsizetype reopen = m_s.indexOf(u'{', m_i + 1);
        if (close < 0 || (reopen >= 0 && reopen < close))
            return failWith(QStringLiteral("The field %1 has no closing '}'.").arg(piece(start, m_s.size())));
        m_i = close + 1;
        const QStringView inside = QStringView(m_s).sliced(start + 1, close - start - 1);
        QStringView table;
        QStringView rest;
        if (inside.startsWith(u'[')) {
            const qsizetype end = inside.indexOf(u']');
            if (end < 0 || end + 1 >= inside.size() || inside[end + 1] != u'.')
                return failWith(QStringLiteral("%1 is not a field: write {Table.Field}.").arg(piece(start, m_i)));
            table = inside.sliced(1, end - 1);
            rest = inside.sliced(end + 2);
        } else {
            const qsizetype dot = inside.indexOf(u'.');
            if (dot < 0)
                return failWith(QStringLiteral("%1 is not a field: write {Table.Field}.").arg(piece(start, m_i)));
            table = inside.first(dot);
            rest = inside.sliced(dot + 1);
        }
        if (table.trimmed().isEmpty() || rest.trimmed().isEmpty())
            return failWith(QStringLiteral("%1 is not a field: write {Table.Field}.").arg(piece(start, m_i)));
        push(Token::Kind::Field, start, {}, table.toString(), rest.toString());
        return true;
    }

    bool symbol()
    {
        const qsizetype start = m_i;
        const QChar c = m_s[m_i];
        const QChar next = m_i + 1 < m_s.size() ? m_s[m_i + 1] : QChar();
        Token::Kind kind;
        int length = 1;
        switch (c.unicode()) {
        case u'=': kind = Token::Kind::Equal; break;
        case u'<':
            if (next == u'>') {
                kind = Token::Kind::NotEqual;
                length = 2;
            } else if (next == u'=') {
                kind = Token::Kind::LessEqual;
                length = 2;
            } else {
                kind = Token::Kind::Less;
            }
            break;
        case u'>':
            if (next == u'=') {
                kind = Token::Kind::GreaterEqual;
                length = 2;
            } else {
                kind = Token::Kind::Greater;
            }
            break;
        case u'(': kind = Token::Kind::LeftParen; break;
        case u')': kind = Token::Kind::RightParen; break;
        case u',': kind = Token::Kind::Comma; break;
        case u'+': kind = Token::Kind::Plus; break;
        case u'-': kind = Token::Kind::Minus; break;
        default: {
            qsizetype end = m_i + 1;
            if (c.isHighSurrogate() && end < m_s.size() && m_s[end].isLowSurrogate())
                ++end;
            return failWith(
                QStringLiteral("The character %1 is not part of the formula language.").arg(piece(start, end)));
        }
        }
        m_i += length;
        push(kind, start);
        return true;
    }

    const QString &m_s;
    std::vector<Token> *m_out;
    QString *m_error;
    qsizetype m_i = 0;
};
} // namespace

bool FormulaLexer::tokenize(const QString &formula, std::vector<Token> *tokens, QString *error)
{
    tokens->clear();
    return Scanner(formula, tokens, error).run();
}

} // namespace reports::formula
