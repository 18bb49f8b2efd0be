#include "reports/formula/FormulaLexer.h"

#include "store/sql/QuotedPiece.h"
#include "store/sql/Scanning.h"

namespace reports::formula {

namespace scan = store::scan;

bool Token::isWord(const char *keyword) const
{
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

QString formulaPiece(const QString &formula, int position, int length)
{
    return store::quotedPiece(formula, position, length);
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
            bool ok = true;
            if (scan::isWordStart(c))
                ok = word();
            else if (scan::startsNumber(m_s, m_i))
                ok = number();
            else if (c == u'"' || c == u'\'')
                ok = quoted();
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
        m_i = scan::wordEnd(m_s, m_i);
        push(Token::Kind::Word, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool number()
    {
        const qsizetype start = m_i;
        const scan::NumberScan number = scan::scanNumber(m_s, m_i);
        if (number.badEnd > 0)
            return failWith(QStringLiteral("%1 is not a number.").arg(piece(start, number.badEnd)));
        m_i = number.end;
        push(Token::Kind::Number, start, m_s.mid(start, m_i - start));
        return true;
    }

    bool quoted()
    {
        const qsizetype start = m_i;
        scan::QuotedScan text = scan::scanQuoted(m_s, m_i);
        if (!text.closed)
            return failWith(QStringLiteral("The text %1 has no closing %2.")
                                .arg(piece(start, m_s.size()), scan::quoteName(m_s[start])));
        m_i = text.end;
        push(Token::Kind::Text, start, std::move(text.value));
        return true;
    }

    // {T.F} or {[T].F}; the names are checked later against the table.
    bool field()
    {
        const qsizetype start = m_i;
        const qsizetype close = scan::closingOf(m_s, m_i, u'{', u'}');
        if (close < 0)
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
        case scan::Mark::Plus: kind = Token::Kind::Plus; break;
        case scan::Mark::Minus: kind = Token::Kind::Minus; break;
        case scan::Mark::Dot: // statements only
        case scan::Mark::Star:
        case scan::Mark::None:
            return failWith(QStringLiteral("The character %1 is not part of the formula language.")
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

bool FormulaLexer::tokenize(const QString &formula, std::vector<Token> *tokens, QString *error)
{
    tokens->clear();
    return Scanner(formula, tokens, error).run();
}

} // namespace reports::formula
