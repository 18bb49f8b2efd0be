#include "store/sql/AccessLexer.h"

namespace store::sql {

bool Token::isWord(const char *keyword) const
{
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

namespace {
bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

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
            const qsizetype start = m_i;
            bool ok = true;
            if (isWordStart(c))
                ok = word();
            else if (isAsciiDigit(c) || (c == u'.' && m_i + 1 < n && isAsciiDigit(m_s[m_i + 1])))
                ok = number();
            else if (c == u'\'' || c == u'"')
                ok = quoted(c);
            else if (c == u'[')
                ok = bracketName();
            else if (c == u'#')
                ok = dateLiteral();
            else
                ok = symbol();
            if (!ok)
                return false;
            Q_ASSERT(m_i > start);
        }
        m_out->push_back({Token::Kind::End, QString(), int(n), 0});
        return true;
    }

private:
    void push(Token::Kind kind, qsizetype start, QString text = QString())
    {
        m_out->push_back({kind, std::move(text), int(start), int(m_i - start)});
    }

    bool failAt(const QString &text)
    {
        if (m_error)
            *m_error = text;
        return false;
    }

    bool word()
    {
        const qsizetype start = m_i;
        while (m_i < m_s.size() && isWordPart(m_s[m_i]))
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
        if (m_i < n && (isWordPart(m_s[m_i]) || m_s[m_i] == u'.')) {
            qsizetype end = m_i;
            while (end < n && (isWordPart(m_s[end]) || m_s[end] == u'.'))
                ++end;
            return failAt(QStringLiteral("Syntax error: %1 is not a number.")
                              .arg(quotedPiece(QStringView(m_s).sliced(start, end - start))));
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
        return failAt(QStringLiteral("Syntax error: the text %1 has no closing %2.")
                          .arg(quotedPiece(QStringView(m_s).sliced(start)),
                               quote == u'"' ? QStringLiteral("double quote") : QStringLiteral("apostrophe")));
    }

    bool bracketName()
    {
        const qsizetype start = m_i;
        const qsizetype close = m_s.indexOf(u']', m_i + 1);
        const qsizetype nextOpen = m_s.indexOf(u'[', m_i + 1);
        if (close < 0 || (nextOpen >= 0 && nextOpen < close))
            return failAt(QStringLiteral("Syntax error: the name %1 has no closing bracket.")
                              .arg(quotedPiece(QStringView(m_s).sliced(start))));
        m_i = close + 1;
        const QString name = m_s.mid(start + 1, close - start - 1);
        if (name.trimmed().isEmpty())
            return failAt(QStringLiteral("Syntax error: %1 names nothing.")
                              .arg(quotedPiece(QStringView(m_s).sliced(start, m_i - start))));
        push(Token::Kind::BracketName, start, name);
        return true;
    }

    bool dateLiteral()
    {
        const qsizetype start = m_i;
        const qsizetype close = m_s.indexOf(u'#', m_i + 1);
        if (close < 0)
            return failAt(QStringLiteral("Syntax error: the date %1 has no closing '#'.")
                              .arg(quotedPiece(QStringView(m_s).sliced(start))));
        m_i = close + 1;
        push(Token::Kind::Date, start, m_s.mid(start + 1, close - start - 1));
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
        case u'.': kind = Token::Kind::Dot; break;
        case u'*': kind = Token::Kind::Star; break;
        case u'+': kind = Token::Kind::Plus; break;
        case u'-': kind = Token::Kind::Minus; break;
        default: {
            qsizetype end = m_i + 1;
            if (c.isHighSurrogate() && end < m_s.size() && m_s[end].isLowSurrogate())
                ++end;
            return failAt(QStringLiteral("Syntax error: the character %1 is not part of the statement language.")
                              .arg(quotedPiece(QStringView(m_s).sliced(start, end - start))));
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

bool AccessLexer::tokenize(const QString &statement, std::vector<Token> *tokens, QString *error)
{
    tokens->clear();
    return Scanner(statement, tokens, error).run();
}

} // namespace store::sql
