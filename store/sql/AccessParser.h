#pragma once

#include "store/sql/AccessLexer.h"
#include "store/sql/AccessTree.h"

namespace store::sql {

// Reads a statement of the dialect into a tree. It knows the grammar only;
// names are checked against the schema when the tree is emitted. On failure
// the error text names the piece that does not fit.
class AccessParser
{
public:
    static bool parse(const QString &statement, Query *query, QString *error);

private:
    AccessParser(const QString &statement, std::vector<Token> tokens, QString *error);

    bool parseQuery(Query *query);
    bool parseTableName(QString *name, Span *span);
    bool parseFieldName(FieldName *field);
    std::unique_ptr<Condition> parseOr(int depth);
    std::unique_ptr<Condition> parseAnd(int depth);
    std::unique_ptr<Condition> parseTerm(int depth);
    std::unique_ptr<Condition> parseDatePart();
    bool parseCompareOp(CompareOp *op);
    bool parseValue(Value *value);
    bool parseNumber(Value *value);

    const Token &peek() const { return m_tokens[m_pos]; }
    const Token &take() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }
    bool takeWord(const char *keyword);
    bool expect(Token::Kind kind, const char *what);
    bool expectWord(const char *keyword);
    bool unexpected(const QString &expected);
    bool isKeyword(const Token &t) const;
    Span spanFrom(int position) const;

    const QString &m_statement;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_terms = 0;
    QString *m_error;
};

} // namespace store::sql
