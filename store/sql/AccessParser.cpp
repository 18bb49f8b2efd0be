#include "store/sql/AccessParser.h"

#include "store/sql/Scanning.h"

#include <cmath>

namespace store::sql {

namespace {
// Deeper nesting than this is no filter anyone writes; refusing it keeps
// the recursion bounded whatever the input.
constexpr int kMaxDepth = 64;
// A filter has a handful of terms; the bound also keeps the SQL well inside
// SQLite's limits on parameters and expression depth.
constexpr int kMaxTerms = 200;

const char *const kKeywords[] = {"SELECT", "DELETE", "FROM",  "WHERE", "ORDER", "BY",      "ASC",
                                 "DESC",   "AND",    "OR",    "NOT",   "LIKE",  "NULL",    "YES",
                                 "NO",     "TRUE",   "FALSE", "ON",    "OFF",   "DATEPART"};
} // namespace

bool AccessParser::parse(const QString &statement, Query *query, QString *error)
{
    std::vector<Token> tokens;
    if (!AccessLexer::tokenize(statement, &tokens, error))
        return false;
    AccessParser parser(statement, std::move(tokens), error);
    return parser.parseQuery(query);
}

AccessParser::AccessParser(const QString &statement, std::vector<Token> tokens, QString *error)
    : m_statement(statement), m_tokens(std::move(tokens)), m_error(error)
{
}

bool AccessParser::isKeyword(const Token &t) const
{
    if (t.kind != Token::Kind::Word)
        return false;
    for (const char *k : kKeywords) {
        if (t.isWord(k))
            return true;
    }
    return false;
}

bool AccessParser::takeWord(const char *keyword)
{
    if (!peek().isWord(keyword))
        return false;
    take();
    return true;
}

bool AccessParser::unexpected(const QString &expected)
{
    const Token &t = peek();
    if (m_error) {
        if (t.kind == Token::Kind::End)
            *m_error = QStringLiteral("Syntax error: the statement ends where %1 is expected.").arg(expected);
        else
            *m_error = QStringLiteral("Syntax error: %1 found where %2 is expected.")
                           .arg(quotedPiece(m_statement, t.position, t.length), expected);
    }
    return false;
}

bool AccessParser::expect(Token::Kind kind, const char *what)
{
    if (peek().kind != kind)
        return unexpected(QString::fromLatin1(what));
    take();
    return true;
}

bool AccessParser::expectWord(const char *keyword)
{
    if (takeWord(keyword))
        return true;
    return unexpected(QString::fromLatin1(keyword));
}

Span AccessParser::spanFrom(int position) const
{
    const Token &last = m_tokens[m_pos > 0 ? m_pos - 1 : 0];
    return {position, last.position + last.length - position};
}

bool AccessParser::parseQuery(Query *query)
{
    if (takeWord("SELECT")) {
        query->kind = Query::Kind::Select;
        // "Select * From T" is how the filter builder counts what a delete removes.
        if (peek().kind == Token::Kind::Star) {
            take();
            if (!expectWord("FROM") || !parseTableName(&query->table, &query->tableSpan))
                return false;
        } else {
            QString starTable;
            Span starSpan;
            if (!parseTableName(&starTable, &starSpan) || !expect(Token::Kind::Dot, "'.*' after the table name")
                || !expect(Token::Kind::Star, "'*' after the table name") || !expectWord("FROM")
                || !parseTableName(&query->table, &query->tableSpan))
                return false;
            if (starTable.compare(query->table, Qt::CaseInsensitive) != 0) {
                if (m_error)
                    *m_error = QStringLiteral("Syntax error: %1 does not name the table %2 of the FROM clause.")
                                   .arg(quotedPiece(m_statement, starSpan.position, starSpan.length),
                                        quotedPiece(query->table));
                return false;
            }
        }
    } else if (takeWord("DELETE")) {
        query->kind = Query::Kind::Delete;
        if (!expect(Token::Kind::Star, "'*' after DELETE") || !expectWord("FROM")
            || !parseTableName(&query->table, &query->tableSpan))
            return false;
    } else {
        return unexpected(QStringLiteral("SELECT or DELETE"));
    }

    if (takeWord("WHERE")) {
        query->where = parseOr(0);
        if (!query->where)
            return false;
    }
    if (query->kind == Query::Kind::Select && takeWord("ORDER")) {
        if (!expectWord("BY"))
            return false;
        do {
            OrderKey key;
            if (!parseFieldName(&key.field))
                return false;
            if (takeWord("DESC"))
                key.descending = true;
            else
                takeWord("ASC");
            query->order.push_back(std::move(key));
        } while (peek().kind == Token::Kind::Comma && (take(), true));
    }
    if (peek().kind != Token::Kind::End)
        return unexpected(query->kind == Query::Kind::Select && query->order.empty()
                              ? QStringLiteral("WHERE, AND, OR, ORDER BY or the end of the statement")
                              : QStringLiteral("the end of the statement"));
    return true;
}

bool AccessParser::parseTableName(QString *name, Span *span)
{
    const Token &t = peek();
    if ((t.kind == Token::Kind::Word && !isKeyword(t)) || t.kind == Token::Kind::BracketName) {
        *name = t.text;
        *span = {t.position, t.length};
        take();
        return true;
    }
    return unexpected(QStringLiteral("a table name"));
}

bool AccessParser::parseFieldName(FieldName *field)
{
    auto isName = [this](const Token &t) {
        return (t.kind == Token::Kind::Word && !isKeyword(t)) || t.kind == Token::Kind::BracketName;
    };
    if (!isName(peek()))
        return unexpected(QStringLiteral("a field name"));
    const int start = peek().position;
    field->name = take().text;
    if (peek().kind == Token::Kind::Dot) {
        take();
        if (!isName(peek()))
            return unexpected(QStringLiteral("a field name after the table name"));
        field->table = field->name;
        field->name = take().text;
    }
    field->span = spanFrom(start);
    return true;
}

std::unique_ptr<Condition> AccessParser::parseOr(int depth)
{
    const int start = peek().position;
    auto first = parseAnd(depth);
    if (!first || !peek().isWord("OR"))
        return first;
    auto any = std::make_unique<Condition>();
    any->kind = Condition::Kind::Or;
    any->children.push_back(std::move(first));
    while (takeWord("OR")) {
        auto next = parseAnd(depth);
        if (!next)
            return nullptr;
        any->children.push_back(std::move(next));
    }
    any->span = spanFrom(start);
    return any;
}

std::unique_ptr<Condition> AccessParser::parseAnd(int depth)
{
    const int start = peek().position;
    auto first = parseTerm(depth);
    if (!first || !peek().isWord("AND"))
        return first;
    auto all = std::make_unique<Condition>();
    all->kind = Condition::Kind::And;
    all->children.push_back(std::move(first));
    while (takeWord("AND")) {
        auto next = parseTerm(depth);
        if (!next)
            return nullptr;
        all->children.push_back(std::move(next));
    }
    all->span = spanFrom(start);
    return all;
}

std::unique_ptr<Condition> AccessParser::parseTerm(int depth)
{
    const int start = peek().position;
    if (peek().kind == Token::Kind::LeftParen) {
        if (depth >= kMaxDepth) {
            unexpected(QStringLiteral("a condition nested less deeply"));
            return nullptr;
        }
        take();
        auto inner = parseOr(depth + 1);
        if (!inner || !expect(Token::Kind::RightParen, "')'"))
            return nullptr;
        return inner;
    }
    if (++m_terms > kMaxTerms) {
        if (m_error)
            *m_error = QStringLiteral("The statement has more than %1 conditions.").arg(kMaxTerms);
        return nullptr;
    }
    if (peek().isWord("DATEPART"))
        return parseDatePart();

    auto term = std::make_unique<Condition>();
    if (!parseFieldName(&term->field))
        return nullptr;
    if (peek().isWord("NOT") || peek().isWord("LIKE")) {
        term->kind = Condition::Kind::Like;
        term->negated = takeWord("NOT");
        if (!expectWord("LIKE"))
            return nullptr;
        if (peek().kind != Token::Kind::Text) {
            unexpected(QStringLiteral("a pattern in apostrophes"));
            return nullptr;
        }
        term->value.kind = Value::Kind::Text;
        term->value.text = peek().text;
        term->value.span = {peek().position, peek().length};
        take();
    } else {
        term->kind = Condition::Kind::Compare;
        if (!parseCompareOp(&term->op) || !parseValue(&term->value))
            return nullptr;
    }
    term->span = spanFrom(start);
    return term;
}

std::unique_ptr<Condition> AccessParser::parseDatePart()
{
    const int start = peek().position;
    take();
    auto term = std::make_unique<Condition>();
    term->kind = Condition::Kind::DatePart;
    if (!expect(Token::Kind::LeftParen, "'(' after DatePart"))
        return nullptr;
    if (peek().kind != Token::Kind::Text) {
        unexpected(QStringLiteral("the interval of DatePart (\"m\", \"d\", \"yyyy\", \"y\" or \"ww\")"));
        return nullptr;
    }
    const auto part = dates::datePartFromInterval(peek().text);
    if (!part) {
        unexpected(QStringLiteral("one of the intervals \"m\", \"d\", \"yyyy\", \"y\" or \"ww\""));
        return nullptr;
    }
    term->part = *part;
    take();
    if (!expect(Token::Kind::Comma, "',' after the interval") || !parseFieldName(&term->field)
        || !expect(Token::Kind::RightParen, "')' after the field") || !parseCompareOp(&term->op)
        || !parseValue(&term->value))
        return nullptr;
    term->span = spanFrom(start);
    return term;
}

bool AccessParser::parseCompareOp(CompareOp *op)
{
    switch (peek().kind) {
    case Token::Kind::Equal: *op = CompareOp::Equal; break;
    case Token::Kind::NotEqual: *op = CompareOp::NotEqual; break;
    case Token::Kind::Less: *op = CompareOp::Less; break;
    case Token::Kind::Greater: *op = CompareOp::Greater; break;
    case Token::Kind::LessEqual: *op = CompareOp::LessEqual; break;
    case Token::Kind::GreaterEqual: *op = CompareOp::GreaterEqual; break;
    default: return unexpected(QStringLiteral("=, <>, <, >, <=, >=, LIKE or NOT LIKE"));
    }
    take();
    return true;
}

bool AccessParser::parseValue(Value *value)
{
    const Token &t = peek();
    value->span = {t.position, t.length};
    switch (t.kind) {
    case Token::Kind::Text:
        value->kind = Value::Kind::Text;
        value->text = t.text;
        take();
        return true;
    case Token::Kind::Number:
    case Token::Kind::Plus:
    case Token::Kind::Minus: return parseNumber(value);
    case Token::Kind::Date: {
        const auto date = dates::parseDateLiteral(t.text);
        if (!date) {
            if (m_error)
                *m_error = QStringLiteral("Syntax error in date: %1 is not a valid date (month/day/year).")
                               .arg(quotedPiece(m_statement, t.position, t.length));
            return false;
        }
        value->kind = Value::Kind::Date;
        value->date = *date;
        take();
        return true;
    }
    case Token::Kind::Word:
        if (t.isWord("YES") || t.isWord("TRUE") || t.isWord("ON") || t.isWord("NO") || t.isWord("FALSE")
            || t.isWord("OFF")) {
            value->kind = Value::Kind::Boolean;
            value->boolean = t.isWord("YES") || t.isWord("TRUE") || t.isWord("ON");
            take();
            return true;
        }
        if (t.isWord("NULL")) {
            value->kind = Value::Kind::Null;
            take();
            return true;
        }
        break;
    default: break;
    }
    return unexpected(QStringLiteral("a value (a text in apostrophes, a number, a #date#, YES, NO or NULL)"));
}

bool AccessParser::parseNumber(Value *value)
{
    const int start = peek().position;
    bool negative = false;
    if (peek().kind == Token::Kind::Plus || peek().kind == Token::Kind::Minus) {
        negative = take().kind == Token::Kind::Minus;
        if (peek().kind != Token::Kind::Number)
            return unexpected(QStringLiteral("a number after the sign"));
    }
    const scan::NumberValue number = scan::numberValue(take().text, negative);
    value->kind = Value::Kind::Number;
    value->span = spanFrom(start);
    if (!number.ok) {
        if (m_error)
            *m_error = QStringLiteral("Syntax error: the number %1 is out of range.")
                           .arg(quotedPiece(m_statement, value->span.position, value->span.length));
        return false;
    }
    value->isInteger = number.isInteger;
    value->integer = number.integer;
    value->real = number.isInteger ? double(number.integer) : number.real;
    return true;
}

} // namespace store::sql
