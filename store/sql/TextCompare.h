#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

namespace store::text {

// Case folding of one code point (Unicode simple folding: one code point
// in, one out), with a table-free path for ASCII. Values past Unicode stand
// for undecodable bytes (see decodeUtf8) and fold to themselves.
inline char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return c > QChar::LastValidCodePoint ? c : QChar::toCaseFolded(c);
}

// The order of texts that comparisons and sorting use: every letter without
// regard to case, code point by code point, trailing blanks ignored
// ("Smith  " = "SMITH", "müller" = "MÜLLER"). The UTF-8 and the UTF-16
// forms give the same result for the same texts, so the database and the
// report engine agree. Returns <0, 0 or >0.
int compareUtf8(const char *a, qsizetype na, const char *b, qsizetype nb);
int compare(QStringView a, QStringView b);

// Whether text begins with prefix, without regard to case; nothing ignored.
bool startsWith(QStringView text, QStringView prefix);

// The text folded code point by code point.
QString folded(QStringView text);

// Code points other than ASCII whose folded form is the ASCII character c
// (for 'k' the Kelvin sign, for 's' the long s).
const QList<char32_t> &nonAsciiFoldingTo(char c);

// One code point of UTF-8 at *pos (advanced past it). A byte that does not
// start a valid sequence is returned as 0x110000 + byte, so that distinct
// byte strings stay distinct.
char32_t decodeUtf8(const char *s, qsizetype n, qsizetype *pos);
// One code point of UTF-16 at *pos (advanced past it); a lone surrogate is
// returned as itself.
inline char32_t decodeUtf16(QStringView s, qsizetype *pos)
{
    const char16_t c = s[*pos].unicode();
    ++*pos;
    if (QChar::isHighSurrogate(c) && *pos < s.size() && QChar::isLowSurrogate(s[*pos].unicode())) {
        const char32_t full = QChar::surrogateToUcs4(c, s[*pos].unicode());
        ++*pos;
        return full;
    }
    return c;
}

} // namespace store::text
