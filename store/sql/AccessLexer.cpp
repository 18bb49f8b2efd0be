#include "store/sql/AccessLexer.h"

#include "store/sql/Scanning.h"

namespace store::sql {

bool Token::isWord(const char *keyword) const
{
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

namespace {
class Scanner
{
public:
    Scanner(const QString &s, std::vector<Token> *out, QString *error) : m_s(s), m_out(out), m_error(error) {}

    bool run()
    {
        const qsizetype n = m_s.size();
        while (m_i < n) {
            const QChar c = m_s[m_i];
            if (scan::isBlank(c)) {
                ++m_i;
                continue;
            }
            const qsizetype start = m_i;
            bool ok = true;
            if (scan::isWordStart(c))
                ok = word();
            else if (scan::startsNumber(m_s, m_i))
                ok = number();
            else if (c == u'\'' || c == u'"')
                ok = quoted();
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

    QString piece(qsizetype start, qsizetype end) const { return quotedPiece(m_s, start, end - start); }

    bool word()
    {
        const qsizetype start = m_i;
        m_i = scan::wordEnd(m_s, m_i);
        push(Token::Kind::Word, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool number()
    {
        const qsizetype start = m_i;
        const scan::NumberScan number = scan::scanNumber(m_s, m_i);
        if (number.badEnd > 0)
            return failAt(QStringLiteral("Syntax error: %1 is not a number.").arg(piece(start, number.badEnd)));
        m_i = number.end;
        push(Token::Kind::Number, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool quoted()
    {
        const qsizetype start = m_i;
        scan::QuotedScan text = scan::scanQuoted(m_s, m_i);
        if (!text.closed)
            return failAt(QStringLiteral("Syntax error: the text %1 has no closing %2.")
                              .arg(piece(start, m_s.size()), scan::quoteName(m_s[start])));
        m_i = text.end;
        push(Token::Kind::Text, start, std::move(text.value));
        return true;
    }

    bool bracketName()
    {
        const qsizetype start = m_i;
        const qsizetype close = scan::closingOf(m_s, m_i, u'[', u']');
        if (close < 0)
            return failAt(
                QStringLiteral("Syntax error: the name %1 has no closing bracket.").arg(piece(start, m_s.size())));
        m_i = close + 1;
        const QString name = m_s.mid(start + 1, close - start - 1);
        if (name.trimmed().isEmpty())
            return failAt(QStringLiteral("Syntax error: %1 names nothing.").arg(piece(start, m_i)));
        push(Token::Kind::BracketName, start, name);
        return true;
    }

    bool dateLiteral()
    {
        const qsizetype start = m_i;
        const qsizetype close = m_s.indexOf(u'#', m_i + 1);
        if (close < 0)
            return failAt(
                QStringLiteral("Syntax error: the date %1 has no closing '#'.").arg(piece(start, m_s.size())));
        m_i = close + 1;
        push(Token::Kind::Date, start, m_s.mid(start + 1, close - start - 1));
        return true;
    }

    bool symbol()
    {
        const qsizetype start = m_i;
        const scan::MarkScan mark = scan::scanMark(m_s, m_i);
        Token::Kind kind = Token::Kind::End;
        switch (mark.mark) {
        case scan::Mark::Equal: kind = Token::Kind::Equal; break;
        case scan::Mark::NotEqual: kind = Token::Kind::NotEqual; break;
        case scan::Mark::Less: kind = Token::Kind::Less; break;
        case scan::Mark::Greater: kind = Token::Kind::Greater; break;
        case scan::Mark::LessEqual: kind = Token::Kind::LessEqual; break;
        case scan::Mark::GreaterEqual: kind = Token::Kind::GreaterEqual; break;
        case scan::Mark::LeftParen: kind = Token::Kind::LeftParen; break;
        case scan::Mark::RightParen: kind = Token::Kind::RightParen; break;
        case scan::Mark::Comma: kind = Token::Kind::Comma; break;
        case scan::Mark::Dot: kind = Token::Kind::Dot; break;
        case scan::Mark::Star: kind = Token::Kind::Star; break;
        case scan::Mark::Plus: kind = Token::Kind::Plus; break;
        case scan::Mark::Minus: kind = Token::Kind::Minus; break;
        case scan::Mark::None:
            return failAt(QStringLiteral("Syntax error: the character %1 is not part of the statement language.")
                              .arg(piece(start, scan::characterEnd(m_s, start))));
        }
        m_i += mark.length;
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
