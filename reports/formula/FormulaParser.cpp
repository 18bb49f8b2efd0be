#include "reports/formula/FormulaParser.h"

#include "store/sql/Scanning.h"

#include <cmath>

namespace reports::formula {

namespace {
// Bounds that no written filter comes near; they keep the recursion and the
// work per row bounded whatever the input.
constexpr int kMaxDepth = 64;
constexpr int kMaxTerms = 200;
} // namespace

bool FormulaParser::parse(const QString &formula, std::unique_ptr<Node> *root, QString *error)
{
    std::vector<Token> tokens;
    QString lexError;
    if (!FormulaLexer::tokenize(formula, &tokens, &lexError)) {
        if (error)
            *error = QStringLiteral("Formula error: %1").arg(lexError);
        return false;
    }
    FormulaParser parser(formula, std::move(tokens), error);
    if (parser.peek().kind == Token::Kind::End) {
        root->reset();
        return true;
    }
    auto tree = parser.parseOr(0);
    if (!tree)
        return false;
    if (parser.peek().kind != Token::Kind::End)
        return parser.unexpected(QStringLiteral("and, or, or the end of the formula"));
    *root = std::move(tree);
    return true;
}

FormulaParser::FormulaParser(const QString &formula, std::vector<Token> tokens, QString *error)
    : m_formula(formula), m_tokens(std::move(tokens)), m_error(error)
{
}

bool FormulaParser::failAt(int position, const QString &text)
{
    if (m_error)
        *m_error = QStringLiteral("Formula error at character %1: %2").arg(position + 1).arg(text);
    return false;
}

bool FormulaParser::unexpected(const QString &expected)
{
    const Token &t = peek();
    if (t.kind == Token::Kind::End)
        return failAt(t.position, QStringLiteral("the formula ends where %1 is expected.").arg(expected));
    return failAt(
        t.position,
        QStringLiteral("%1 found where %2 is expected.").arg(formulaPiece(m_formula, t.position, t.length), expected));
}

bool FormulaParser::takeWord(const char *keyword)
{
    if (!peek().isWord(keyword))
        return false;
    take();
    return true;
}

bool FormulaParser::expect(Token::Kind kind, const char *what)
{
    if (peek().kind != kind)
        return unexpected(QString::fromLatin1(what));
    take();
    return true;
}

void FormulaParser::finish(Node *node, int start) const
{
    const Token &last = m_tokens[m_pos > 0 ? m_pos - 1 : 0];
    node->position = start;
    node->length = last.position + last.length - start;
}

std::unique_ptr<Node> FormulaParser::parseOr(int depth)
{
    const int start = peek().position;
    auto first = parseAnd(depth);
    if (!first || !peek().isWord("or"))
        return first;
    auto any = std::make_unique<Node>();
    any->kind = Node::Kind::Or;
    any->children.push_back(std::move(first));
    while (takeWord("or")) {
        auto next = parseAnd(depth);
        if (!next)
            return nullptr;
        any->children.push_back(std::move(next));
    }
    finish(any.get(), start);
    return any;
}

std::unique_ptr<Node> FormulaParser::parseAnd(int depth)
{
    const int start = peek().position;
    auto first = parseNot(depth);
    if (!first || !peek().isWord("and"))
        return first;
    auto all = std::make_unique<Node>();
    all->kind = Node::Kind::And;
    all->children.push_back(std::move(first));
    while (takeWord("and")) {
        auto next = parseNot(depth);
        if (!next)
            return nullptr;
        all->children.push_back(std::move(next));
    }
    finish(all.get(), start);
    return all;
}

std::unique_ptr<Node> FormulaParser::parseNot(int depth)
{
    const int start = peek().position;
    if (!peek().isWord("not"))
        return parseAtom(depth);
    if (depth >= kMaxDepth) {
        failAt(start, QStringLiteral("the formula is nested too deeply."));
        return nullptr;
    }
    take();
    auto inner = parseNot(depth + 1);
    if (!inner)
        return nullptr;
    auto negation = std::make_unique<Node>();
    negation->kind = Node::Kind::Not;
    negation->children.push_back(std::move(inner));
    finish(negation.get(), start);
    return negation;
}

std::unique_ptr<Node> FormulaParser::parseAtom(int depth)
{
    const int start = peek().position;
    if (peek().kind == Token::Kind::LeftParen) {
        if (depth >= kMaxDepth) {
            failAt(start, QStringLiteral("the formula is nested too deeply."));
            return nullptr;
        }
        take();
        auto inner = parseOr(depth + 1);
        if (!inner || !expect(Token::Kind::RightParen, "')'"))
            return nullptr;
        return inner;
    }
    if (++m_terms > kMaxTerms) {
        failAt(start, QStringLiteral("the formula has more than %1 conditions.").arg(kMaxTerms));
        return nullptr;
    }
    auto node = std::make_unique<Node>();
    if (peek().isWord("isnull")) {
        take();
        node->kind = Node::Kind::IsNull;
        if (!expect(Token::Kind::LeftParen, "'(' after IsNull"))
            return nullptr;
        if (peek().kind != Token::Kind::Field) {
            unexpected(QStringLiteral("a field"));
            return nullptr;
        }
        if (!parseOperand(&node->left) || !expect(Token::Kind::RightParen, "')'"))
            return nullptr;
        finish(node.get(), start);
        return node;
    }

    if (!parseOperand(&node->left))
        return nullptr;
    if (takeWord("like")) {
        node->kind = Node::Kind::Like;
    } else if (takeWord("startswith")) {
        node->kind = Node::Kind::StartsWith;
    } else if (peek().isWord("starts")) {
        take();
        if (!takeWord("with")) {
            unexpected(QStringLiteral("'with' after 'starts'"));
            return nullptr;
        }
        node->kind = Node::Kind::StartsWith;
    } else {
        switch (peek().kind) {
        case Token::Kind::Equal:
        case Token::Kind::NotEqual:
        case Token::Kind::Less:
        case Token::Kind::Greater:
        case Token::Kind::LessEqual:
        case Token::Kind::GreaterEqual:
            node->kind = Node::Kind::Compare;
            parseCompareOp(&node->op);
            break;
        default:
            // A value alone: a yes/no field as the condition.
            node->kind = Node::Kind::Test;
            finish(node.get(), start);
            return node;
        }
    }
    if (!parseOperand(&node->right))
        return nullptr;
    finish(node.get(), start);
    return node;
}

bool FormulaParser::parseCompareOp(CompareOp *op)
{
    switch (take().kind) {
    case Token::Kind::Equal: *op = CompareOp::Equal; return true;
    case Token::Kind::NotEqual: *op = CompareOp::NotEqual; return true;
    case Token::Kind::Less: *op = CompareOp::Less; return true;
    case Token::Kind::Greater: *op = CompareOp::Greater; return true;
    case Token::Kind::LessEqual: *op = CompareOp::LessEqual; return true;
    case Token::Kind::GreaterEqual: *op = CompareOp::GreaterEqual; return true;
    default: return false;
    }
}

bool FormulaParser::parseOperand(Operand *operand)
{
    const Token &t = peek();
    operand->position = t.position;
    operand->length = t.length;
    switch (t.kind) {
    case Token::Kind::Field:
        operand->kind = Operand::Kind::Field;
        operand->table = t.table;
        operand->field = t.field;
        take();
        return true;
    case Token::Kind::Text:
        operand->kind = Operand::Kind::Text;
        operand->text = t.text;
        take();
        return true;
    case Token::Kind::Number:
    case Token::Kind::Plus:
    case Token::Kind::Minus: {
        bool negative = false;
        if (t.kind != Token::Kind::Number) {
            negative = take().kind == Token::Kind::Minus;
            if (peek().kind != Token::Kind::Number)
                return unexpected(QStringLiteral("a number after the sign"));
        }
        const Token &digits = take();
        const store::scan::NumberValue number = store::scan::numberValue(digits.text, negative);
        if (!number.ok)
            return failAt(digits.position,
                          QStringLiteral("the number %1 is out of range.")
                              .arg(formulaPiece(m_formula, digits.position, digits.length)));
        operand->kind = Operand::Kind::Number;
        operand->number = number.real;
        operand->length = digits.position + digits.length - operand->position;
        return true;
    }
    case Token::Kind::Word:
        if (t.isWord("true") || t.isWord("false")) {
            operand->kind = Operand::Kind::Boolean;
            operand->boolean = t.isWord("true");
            take();
            return true;
        }
        if (t.isWord("date"))
            return parseDate(operand);
        if (t.isWord("datepart")) {
            take();
            operand->kind = Operand::Kind::DatePart;
            if (!expect(Token::Kind::LeftParen, "'(' after DatePart"))
                return false;
            const auto part =
                peek().kind == Token::Kind::Text ? store::dates::datePartFromInterval(peek().text) : std::nullopt;
            if (!part)
                return unexpected(QStringLiteral("one of the intervals \"m\", \"d\", \"yyyy\", \"y\" or \"ww\""));
            operand->part = *part;
            take();
            if (!expect(Token::Kind::Comma, "',' after the interval"))
                return false;
            if (peek().kind != Token::Kind::Field)
                return unexpected(QStringLiteral("a field"));
            operand->table = peek().table;
            operand->field = peek().field;
            take();
            if (!expect(Token::Kind::RightParen, "')'"))
                return false;
            const Token &last = m_tokens[m_pos - 1];
            operand->length = last.position + last.length - operand->position;
            return true;
        }
        break;
    default: break;
    }
    return unexpected(QStringLiteral("a field, a text, a number or a date"));
}

bool FormulaParser::parseDate(Operand *operand)
{
    take();
    int year = 0;
    int month = 0;
    int day = 0;
    if (!expect(Token::Kind::LeftParen, "'(' after Date") || !parseWholeNumber(&year)
        || !expect(Token::Kind::Comma, "','") || !parseWholeNumber(&month) || !expect(Token::Kind::Comma, "','")
        || !parseWholeNumber(&day) || !expect(Token::Kind::RightParen, "')'"))
        return false;
    const Token &last = m_tokens[m_pos - 1];
    operand->length = last.position + last.length - operand->position;
    const QDate date(year, month, day);
    if (!date.isValid() || year < 100)
        return failAt(
            operand->position,
            QStringLiteral("%1 is not a valid date.").arg(formulaPiece(m_formula, operand->position, operand->length)));
    operand->kind = Operand::Kind::Date;
    operand->date = date;
    return true;
}

bool FormulaParser::parseWholeNumber(int *value)
{
    const Token &t = peek();
    if (t.kind != Token::Kind::Number)
        return unexpected(QStringLiteral("a whole number"));
    bool ok = false;
    *value = t.text.toInt(&ok);
    if (!ok || *value > 9999)
        return failAt(
            t.position,
            QStringLiteral("%1 is not a whole number of a date.").arg(formulaPiece(m_formula, t.position, t.length)));
    take();
    return true;
}

} // namespace reports::formula
