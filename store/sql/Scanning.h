#pragma once

#include <QString>
#include <QStringView>

// What the statement dialect and the formula language read alike: blanks,
// words, numbers, quoted texts, pieces in brackets, comparison marks and
// the pieces error texts quote. Each language keeps its own tokens and
// meanings; reading them here makes the two agree by construction.
namespace store::scan {

bool isBlank(QChar c);
bool isAsciiDigit(QChar c);
bool isWordStart(QChar c);
bool isWordPart(QChar c);

// Where the word that starts at `i` ends.
qsizetype wordEnd(QStringView s, qsizetype i);

// Whether a number starts at `i`: a digit, or a point before one.
bool startsNumber(QStringView s, qsizetype i);

// A number at `i`: digits, a fraction, an exponent ("12", "12.5", ".5",
// "1E3"). When letters, digits or points run on after it, the whole run is
// no number: `badEnd` is where that run ends, otherwise it is 0.
struct NumberScan {
    qsizetype end = 0;
    qsizetype badEnd = 0;
};
NumberScan scanNumber(QStringView s, qsizetype i);

// A text between the quotes at `i` (a doubled quote stands for one).
struct QuotedScan {
    bool closed = false;
    qsizetype end = 0; // after the closing quote
    QString value;
};
QuotedScan scanQuoted(QStringView s, qsizetype i);
// "apostrophe" or "double quote", as error texts name a missing one.
QString quoteName(QChar quote);

// The closing character of the piece opened at `i`, or -1 when there is
// none before the next opening one.
qsizetype closingOf(QStringView s, qsizetype i, QChar open, QChar close);

// The marks of both languages; each takes those it has.
enum class Mark {
    None,
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
    Dot,
    Star,
};
struct MarkScan {
    Mark mark = Mark::None;
    int length = 0;
};
MarkScan scanMark(QStringView s, qsizetype i);

// Where the character at `i` ends (a surrogate pair is one character).
qsizetype characterEnd(QStringView s, qsizetype i);

// The value of a number's digits (without its sign): whole when it has
// neither point nor exponent and fits 64 bits. Not ok when out of range.
struct NumberValue {
    bool ok = false;
    bool isInteger = false;
    qint64 integer = 0;
    double real = 0;
};
NumberValue numberValue(QStringView digits, bool negative);

} // namespace store::scan
