#pragma once

#include "store/sql/QuotedPiece.h"

#include <QString>
#include <vector>

namespace store::sql {

// A piece of a statement. Positions count UTF-16 units from 0.
struct Token {
    enum class Kind {
        End,
        Word,        // a bare name or keyword: Select, Information, AND
        BracketName, // [Last Name]: text holds the name without brackets
        Text,        // 'O''NEIL' or "m": text holds the value
        Number,      // 12, 12.5, 1E3 (the sign is a token of its own)
        Date,        // #12/01/93#: text holds what is between the signs
        Equal,
        NotEqual,
        Less,
        Greater,
        LessEqual,
        GreaterEqual,
        LeftParen,
        RightParen,
        Comma,
        Dot,
        Star,
        Plus,
        Minus,
    };
    Kind kind = Kind::End;
    QString text;
    int position = 0;
    int length = 0;

    bool isWord(const char *keyword) const;
};

// Cuts a statement into tokens. A character outside the dialect, an open
// literal or a malformed number stops it with an error naming the piece.
class AccessLexer
{
public:
    static bool tokenize(const QString &statement, std::vector<Token> *tokens, QString *error);
};

using store::quotedPiece;

} // namespace store::sql
