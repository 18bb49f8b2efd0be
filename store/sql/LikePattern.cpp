#include "store/sql/LikePattern.h"

#include "store/sql/TextCompare.h"

namespace store {

namespace {
void appendCodePoint(QString &s, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        s.append(QChar(QChar::highSurrogate(c)));
        s.append(QChar(QChar::lowSurrogate(c)));
    } else {
        s.append(QChar(char16_t(c)));
    }
}

struct Utf16Text {
    QStringView s;
    bool atEnd(qsizetype pos) const { return pos >= s.size(); }
    char32_t next(qsizetype *pos) const { return text::decodeUtf16(s, pos); }
};

struct Utf8Text {
    const char *s;
    qsizetype n;
    bool atEnd(qsizetype pos) const { return pos >= n; }
    char32_t next(qsizetype *pos) const
    {
        const auto b = static_cast<unsigned char>(s[*pos]);
        if (b < 0x80) {
            ++*pos;
            return b;
        }
        return text::decodeUtf8(s, n, pos);
    }
};
} // namespace

LikePattern::LikePattern(QStringView pattern)
{
    std::vector<char32_t> cps;
    cps.reserve(size_t(pattern.size()));
    for (qsizetype i = 0; i < pattern.size();)
        cps.push_back(text::decodeUtf16(pattern, &i));

    const size_t n = cps.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = cps[i];
        Token t;
        if (c == U'*') {
            t.kind = Token::Star;
        } else if (c == U'?') {
            t.kind = Token::AnyOne;
        } else if (c == U'#') {
            t.kind = Token::Digit;
        } else if (c == U'[') {
            size_t close = i + 1;
            while (close < n && cps[close] != U']')
                ++close;
            if (close >= n) {
                // No closing bracket: the '[' is an ordinary character.
                t.ch = text::fold(c);
                addToken(t);
                continue;
            }
            size_t k = i + 1;
            if (k < close && cps[k] == U'!' && close - k > 1) {
                t.negated = true;
                ++k;
            }
            if (k == close) {
                // "[]" matches the empty text: nothing to add.
                i = close;
                continue;
            }
            t.kind = Token::Set;
            t.first = std::uint32_t(m_entries.size());
            while (k < close) {
                char32_t low = cps[k];
                char32_t high = low;
                if (k + 2 < close && cps[k + 1] == U'-') {
                    high = cps[k + 2];
                    if (high < low) {
                        m_error = QStringLiteral("the range '%1-%2' in the pattern runs backwards")
                                      .arg(QString::fromUcs4(&low, 1), QString::fromUcs4(&high, 1));
                        return;
                    }
                    k += 3;
                } else {
                    ++k;
                }
                m_entries.push_back({low, high});
            }
            t.last = std::uint32_t(m_entries.size());
            // A set of one single character ("[*]") is that character.
            if (!t.negated && t.last - t.first == 1 && m_entries[t.first].low == m_entries[t.first].high) {
                t.kind = Token::Char;
                t.ch = text::fold(m_entries[t.first].low);
                m_entries.pop_back();
            }
            i = close;
        } else {
            t.ch = text::fold(c);
        }
        addToken(t);
    }
}

void LikePattern::addToken(const Token &token)
{
    if (token.kind == Token::Star && !m_tokens.empty() && m_tokens.back().kind == Token::Star)
        return;
    if (m_literalOnly) {
        if (token.kind == Token::Char)
            appendCodePoint(m_prefix, token.ch);
        else
            m_literalOnly = false;
    }
    m_tokens.push_back(token);
}

bool LikePattern::inSet(const Token &token, char32_t c) const
{
    // An undecodable byte (past Unicode) has no case forms.
    const bool decodable = c <= QChar::LastValidCodePoint;
    const char32_t variants[] = {c, decodable ? QChar::toCaseFolded(c) : c, decodable ? QChar::toUpper(c) : c,
                                 decodable ? QChar::toLower(c) : c};
    for (std::uint32_t e = token.first; e < token.last; ++e) {
        const SetEntry &entry = m_entries[e];
        for (char32_t v : variants) {
            if (v >= entry.low && v <= entry.high)
                return true;
        }
    }
    return false;
}

bool LikePattern::matchesOne(const Token &token, char32_t c) const
{
    switch (token.kind) {
    case Token::Char: return text::fold(c) == token.ch;
    case Token::AnyOne: return true;
    case Token::Digit: return c >= U'0' && c <= U'9';
    case Token::Set: return inSet(token, c) != token.negated;
    case Token::Star: return false;
    }
    return false;
}

template<typename Text>
bool LikePattern::matchText(const Text &text) const
{
    // Every token but the star takes exactly one character, so remembering
    // the last star is enough: on a mismatch the star takes one more character.
    const size_t n = m_tokens.size();
    size_t p = 0;
    qsizetype pos = 0;
    size_t starToken = size_t(-1);
    qsizetype starPos = 0;
    // After a star followed by a plain character, the star can only end just
    // before that character: skip the places where it is not.
    auto skipToCandidate = [&](qsizetype from) {
        if (starToken >= n || m_tokens[starToken].kind != Token::Char)
            return from;
        const char32_t wanted = m_tokens[starToken].ch;
        while (!text.atEnd(from)) {
            qsizetype next = from;
            if (text::fold(text.next(&next)) == wanted)
                break;
            from = next;
        }
        return from;
    };
    while (!text.atEnd(pos)) {
        if (p < n && m_tokens[p].kind == Token::Star) {
            starToken = ++p;
            starPos = skipToCandidate(pos);
            pos = starPos;
            continue;
        }
        if (p < n) {
            qsizetype next = pos;
            if (matchesOne(m_tokens[p], text.next(&next))) {
                ++p;
                pos = next;
                continue;
            }
        }
        if (starToken == size_t(-1))
            return false;
        p = starToken;
        text.next(&starPos);
        starPos = skipToCandidate(starPos);
        pos = starPos;
    }
    while (p < n && m_tokens[p].kind == Token::Star)
        ++p;
    return p == n;
}

bool LikePattern::matches(QStringView text) const
{
    return isValid() && matchText(Utf16Text{text});
}

bool LikePattern::matchesUtf8(const char *text, qsizetype length) const
{
    return isValid() && matchText(Utf8Text{text, length});
}

} // namespace store
