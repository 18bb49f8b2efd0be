#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace store {

// A pattern of the dialect's LIKE, compiled once and matched against whole
// texts without regard to case (trailing blanks count):
//   *  any run of characters, also none      ?  one character
//   #  one digit 0-9                          [abc] [a-z]  one of the set
//   [!abc]  one character not in the set      [*] [?] [#] [[]  the character itself
// A ']' outside a set and a '[' that no ']' closes stand for themselves;
// "[]" matches nothing at all (it is skipped). In a set, '-' first or last
// is itself; a character is in a range when it or one of its case forms lies
// between the ends.
class LikePattern
{
public:
    LikePattern() = default;
    explicit LikePattern(QStringView pattern);

    // Empty when the pattern is usable; otherwise what is wrong with it.
    const QString &error() const { return m_error; }
    bool isValid() const { return m_error.isEmpty(); }

    bool matches(QStringView text) const;
    bool matchesUtf8(const char *text, qsizetype length) const;

    // The folded characters that every match begins with (up to the first
    // wildcard or set), and whether that is the whole pattern.
    const QString &literalPrefix() const { return m_prefix; }
    bool isLiteral() const { return m_literalOnly; }

    // The compiled pattern, for spelling it in another engine's terms.
    struct Token {
        enum Kind : std::uint8_t { Char, AnyOne, Digit, Set, Star };
        Kind kind = Char;
        bool negated = false;
        char32_t ch = 0;         // Char: the folded character
        std::uint32_t first = 0; // Set: its entries in m_entries [first, last)
        std::uint32_t last = 0;
    };
    struct SetEntry {
        char32_t low = 0;
        char32_t high = 0;
    };

    const std::vector<Token> &tokens() const { return m_tokens; }
    // The ranges of a Set token.
    const SetEntry *setBegin(const Token &token) const { return m_entries.data() + token.first; }
    const SetEntry *setEnd(const Token &token) const { return m_entries.data() + token.last; }
    // Whether c is one of a Set token's characters (negation aside).
    bool inSet(const Token &token, char32_t c) const;

private:
    void addToken(const Token &token);
    bool matchesOne(const Token &token, char32_t c) const;
    template<typename Text>
    bool matchText(const Text &text) const;

    std::vector<Token> m_tokens;
    std::vector<SetEntry> m_entries;
    QString m_prefix;
    bool m_literalOnly = true;
    QString m_error;
};

} // namespace store
