#include "store/sql/TextCompare.h"

#include <array>

namespace store::text {

char32_t decodeUtf8(const char *s, qsizetype n, qsizetype *pos)
{
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    const qsizetype i = *pos;
    const unsigned char b0 = u[i];
    if (b0 < 0x80) {
        *pos = i + 1;
        return b0;
    }
    int length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        c = b0 & 0x07;
        minimum = 0x10000;
    }
    if (length == 0 || i + length > n) {
        *pos = i + 1;
        return 0x110000 + b0;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char b = u[i + k];
        if ((b & 0xC0) != 0x80) {
            *pos = i + 1;
            return 0x110000 + b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF) {
        *pos = i + 1;
        return 0x110000 + b0;
    }
    *pos = i + length;
    return c;
}

namespace {
qsizetype withoutTrailingBlanks(const char *s, qsizetype n)
{
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return n;
}

qsizetype withoutTrailingBlanks(QStringView s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    return n;
}

constexpr std::array<unsigned char, 128> asciiFoldTable()
{
    std::array<unsigned char, 128> t{};
    for (int i = 0; i < 128; ++i)
        t[i] = static_cast<unsigned char>((i >= 'A' && i <= 'Z') ? i + 32 : i);
    return t;
}
constexpr auto kAsciiFold = asciiFoldTable();
} // namespace

int compareUtf8(const char *a, qsizetype na, const char *b, qsizetype nb)
{
    na = withoutTrailingBlanks(a, na);
    nb = withoutTrailingBlanks(b, nb);
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < na && j < nb) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            if (ca != cb) {
                const int fa = kAsciiFold[ca];
                const int fb = kAsciiFold[cb];
                if (fa != fb)
                    return fa < fb ? -1 : 1;
            }
            ++i;
            ++j;
            continue;
        }
        const char32_t x = fold(decodeUtf8(a, na, &i));
        const char32_t y = fold(decodeUtf8(b, nb, &j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

int compare(QStringView a, QStringView b)
{
    const qsizetype na = withoutTrailingBlanks(a);
    const qsizetype nb = withoutTrailingBlanks(b);
    a = a.first(na);
    b = b.first(nb);
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < na && j < nb) {
        const char16_t ca = a[i].unicode();
        const char16_t cb = b[j].unicode();
        if ((ca | cb) < 0x80) {
            if (ca != cb) {
                const int fa = kAsciiFold[ca];
                const int fb = kAsciiFold[cb];
                if (fa != fb)
                    return fa < fb ? -1 : 1;
            }
            ++i;
            ++j;
            continue;
        }
        const char32_t x = fold(decodeUtf16(a, &i));
        const char32_t y = fold(decodeUtf16(b, &j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

bool startsWith(QStringView text, QStringView prefix)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (j < prefix.size()) {
        if (i >= text.size())
            return false;
        if (fold(decodeUtf16(text, &i)) != fold(decodeUtf16(prefix, &j)))
            return false;
    }
    return true;
}

QString folded(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t c = fold(decodeUtf16(text, &i));
        if (QChar::requiresSurrogates(c)) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(char16_t(c)));
        }
    }
    return out;
}

const QList<char32_t> &nonAsciiFoldingTo(char c)
{
    // Found once from the folding tables themselves rather than written down,
    // so that a newer Unicode version cannot make the list wrong.
    static const std::array<QList<char32_t>, 128> table = [] {
        std::array<QList<char32_t>, 128> t;
        for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
            if (cp >= 0xD800 && cp < 0xE000)
                continue;
            const char32_t f = QChar::toCaseFolded(cp);
            if (f < 0x80)
                t[f].append(cp);
        }
        return t;
    }();
    static const QList<char32_t> none;
    const auto index = static_cast<unsigned char>(c);
    return index < 128 ? table[index] : none;
}

} // namespace store::text
