#pragma once

#include "reports/formula/FormulaLexer.h"
#include "reports/formula/FormulaTree.h"

namespace reports::formula {

// Reads a record selection formula into a tree. It knows the grammar only;
// names and types are checked when the tree is compiled. An empty formula
// gives no tree (every row is selected).
class FormulaParser
{
public:
    static bool parse(const QString &formula, std::unique_ptr<Node> *root, QString *error);

private:
    FormulaParser(const QString &formula, std::vector<Token> tokens, QString *error);

    std::unique_ptr<Node> parseOr(int depth);
    std::unique_ptr<Node> parseAnd(int depth);
    std::unique_ptr<Node> parseNot(int depth);
    std::unique_ptr<Node> parseAtom(int depth);
    bool parseOperand(Operand *operand);
    bool parseDate(Operand *operand);
    bool parseWholeNumber(int *value);
    bool parseCompareOp(CompareOp *op);

    const Token &peek() const { return m_tokens[m_pos]; }
    const Token &take() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }
    bool takeWord(const char *keyword);
    bool expect(Token::Kind kind, const char *what);
    bool unexpected(const QString &expected);
    bool failAt(int position, const QString &text);
    void finish(Node *node, int start) const;

    const QString &m_formula;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_terms = 0;
    QString *m_error;
};

} // namespace reports::formula
