#pragma once

#include <QString>
#include <vector>

namespace reports::formula {

// A piece of a formula. Positions count UTF-16 units from 0.
struct Token {
    enum class Kind {
        End,
        Field,  // {T.F} or {[T].F}: table and field hold the two names
        Text,   // "..." or '...': text holds the value
        Number, // 12, 12.5, 1E3 (the sign is a token of its own)
        Word,   // and, or, not, like, Date, ...
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
        LeftParen,
        RightParen,
        Comma,
        Plus,
        Minus,
    };
    Kind kind = Kind::End;
    QString text;
    QString table;
    QString field;
    int position = 0;
    int length = 0;

    bool isWord(const char *keyword) const;
};

// Cuts a formula into tokens; an open literal, a malformed field reference
// or a character outside the language is an error naming the piece.
class FormulaLexer
{
public:
    static bool tokenize(const QString &formula, std::vector<Token> *tokens, QString *error);
};

// The piece of a formula at a token, for error texts: quoted, shortened when
// very long, control characters made visible.
QString formulaPiece(const QString &formula, int position, int length);

} // namespace reports::formula
