#include "store/sql/Dates.h"
#include "store/sql/LikePattern.h"
#include "store/sql/TextCompare.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace store;

namespace {

bool like(const char *pattern, const char *text)
{
    const LikePattern p(QString::fromUtf8(pattern));
    EXPECT_TRUE(p.isValid()) << pattern;
    const QByteArray utf8(text);
    const bool viaUtf16 = p.matches(QString::fromUtf8(utf8));
    const bool viaUtf8 = p.matchesUtf8(utf8.constData(), utf8.size());
    EXPECT_EQ(viaUtf16, viaUtf8) << pattern << " / " << text;
    return viaUtf16;
}

TEST(LikePattern, WildcardsSetsAndLiteralBrackets)
{
    EXPECT_TRUE(like("*", ""));
    EXPECT_TRUE(like("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(like("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(like("*ab", "aaab"));
    EXPECT_TRUE(like("?", "é"));
    EXPECT_TRUE(like("?", "😀")); // one character, two UTF-16 units
    EXPECT_FALSE(like("??", "😀"));
    EXPECT_TRUE(like("#1", "01"));
    EXPECT_FALSE(like("#", "a"));
    EXPECT_FALSE(like("#", "٣"));      // digits are 0-9 only
    EXPECT_TRUE(like("[abc]x", "Bx")); // sets ignore case
    EXPECT_TRUE(like("[A-C]", "b"));
    EXPECT_TRUE(like("[a-c]", "B"));
    EXPECT_FALSE(like("[!a-c]", "B"));
    EXPECT_TRUE(like("[!a-c]", "d"));
    EXPECT_TRUE(like("[a-]", "-"));
    EXPECT_TRUE(like("[-a]", "-"));
    EXPECT_TRUE(like("[!]", "!"));
    EXPECT_TRUE(like("[*][?][#][[]", "*?#["));
    EXPECT_FALSE(like("[*]", "x"));
    EXPECT_TRUE(like("a]", "a]"));   // ']' outside a set is itself
    EXPECT_TRUE(like("a[b", "a[b")); // so is a '[' that nothing closes
    EXPECT_TRUE(like("a[]b", "ab")); // "[]" matches nothing
    EXPECT_TRUE(like("MÜLLER", "müller"));
    EXPECT_TRUE(like("σ", "ς"));
    EXPECT_FALSE(like("abc", "abc ")); // trailing blanks count in patterns
    EXPECT_FALSE(like("abc", "ab"));
    EXPECT_TRUE(like("%_", "%_")); // SQL's wildcards are plain characters here

    EXPECT_FALSE(LikePattern(u"[z-a]").isValid());
    EXPECT_EQ(LikePattern(u"Sm[*]th*x").literalPrefix(), "sm*th");
    EXPECT_TRUE(LikePattern(u"SMITH").isLiteral());
    EXPECT_FALSE(LikePattern(u"SMITH?").isLiteral());
}

TEST(LikePattern, UndecodableBytesAreCharactersOfTheirOwn)
{
    // Texts written by other tools may hold bytes that are not UTF-8.
    const QByteArray broken("a\xff\xfe"
                            "b\xc3",
                            5);
    EXPECT_TRUE(LikePattern(u"a??b?").matchesUtf8(broken.constData(), broken.size()));
    EXPECT_TRUE(LikePattern(u"a*b*").matchesUtf8(broken.constData(), broken.size()));
    EXPECT_TRUE(LikePattern(u"A[!x][!x]B[!a-z]").matchesUtf8(broken.constData(), broken.size()));
    EXPECT_FALSE(LikePattern(u"a?b?").matchesUtf8(broken.constData(), broken.size()));
    const QByteArray other("a\xff\xfd"
                           "b\xc3",
                           5);
    EXPECT_NE(text::compareUtf8(broken.constData(), broken.size(), other.constData(), other.size()), 0);
    EXPECT_EQ(text::compareUtf8(broken.constData(), broken.size(), broken.constData(), broken.size()), 0);
}

TEST(LikePattern, StarsFindTheNextLiteralWithoutMissingOverlaps)
{
    EXPECT_TRUE(like("*R12*", "bowler12@example.com"));
    EXPECT_FALSE(like("*R12*", "bowler112@example.com"));
    EXPECT_TRUE(like("*r12", "rr12"));
    EXPECT_TRUE(like("*r12*", "BOWLER12"));
    EXPECT_FALSE(like("*r12*", "bowler1r2"));
    EXPECT_TRUE(like("*aab", "aaaab")); // the candidate after a failed try overlaps it
    EXPECT_TRUE(like("*Kelvin*", "x kelvin"));
    EXPECT_TRUE(like("*k*", "K")); // the Kelvin sign folds to k
    EXPECT_TRUE(like("*s#", "Σs1"));
}

// The pattern language read the plainest way: a table of which pattern
// prefixes match which text prefixes. Slow, and obviously right.
bool referenceLike(const QString &pattern, const QString &text)
{
    struct Item {
        enum { Literal, Star, Any, Digit, Set } kind;
        QChar c;
        bool negated = false;
        QList<QPair<QChar, QChar>> ranges;
    };
    QList<Item> items;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        const qsizetype close = pattern.indexOf(u']', i + 1);
        if (c == u'*') {
            items.append({Item::Star, c, false, {}});
        } else if (c == u'?') {
            items.append({Item::Any, c, false, {}});
        } else if (c == u'#') {
            items.append({Item::Digit, c, false, {}});
        } else if (c == u'[' && close > 0) {
            Item set{Item::Set, c, false, {}};
            QString inside = pattern.mid(i + 1, close - i - 1);
            i = close;
            if (inside.isEmpty())
                continue;
            if (inside.size() > 1 && inside[0] == u'!') {
                set.negated = true;
                inside.remove(0, 1);
            }
            for (qsizetype k = 0; k < inside.size(); ++k) {
                if (k + 2 < inside.size() && inside[k + 1] == u'-') {
                    set.ranges.append({inside[k], inside[k + 2]});
                    k += 2;
                } else {
                    set.ranges.append({inside[k], inside[k]});
                }
            }
            items.append(set);
        } else {
            items.append({Item::Literal, c, false, {}});
        }
    }
    auto same = [](QChar a, QChar b) { return a.toCaseFolded() == b.toCaseFolded(); };
    auto matchesOne = [&](const Item &item, QChar t) {
        switch (item.kind) {
        case Item::Literal: return same(item.c, t);
        case Item::Any: return true;
        case Item::Digit: return t >= u'0' && t <= u'9';
        case Item::Set: {
            bool in = false;
            for (const auto &[low, high] : item.ranges) {
                for (QChar v : {t, t.toCaseFolded(), t.toUpper(), t.toLower()})
                    in = in || (v >= low && v <= high);
            }
            return in != item.negated;
        }
        case Item::Star: return false;
        }
        return false;
    };
    // can[i][j]: the first i items match the first j characters.
    QList<QList<bool>> can(items.size() + 1, QList<bool>(text.size() + 1, false));
    can[0][0] = true;
    for (qsizetype i = 1; i <= items.size(); ++i) {
        for (qsizetype j = 0; j <= text.size(); ++j) {
            const Item &item = items[i - 1];
            if (item.kind == Item::Star)
                can[i][j] = can[i - 1][j] || (j > 0 && can[i][j - 1]);
            else
                can[i][j] = j > 0 && can[i - 1][j - 1] && matchesOne(item, text[j - 1]);
        }
    }
    return can[items.size()][text.size()];
}

TEST(LikePattern, AgreesWithThePlainestReading)
{
    QRandomGenerator random(11);
    const QString patternAlphabet = QStringLiteral("aAb*?#1[]!-z ");
    const QString textAlphabet = QStringLiteral("aAbB1z -[]!*");
    for (int round = 0; round < 100000; ++round) {
        QString pattern;
        QString text;
        for (int i = random.bounded(8); i > 0; --i)
            pattern += patternAlphabet[random.bounded(int(patternAlphabet.size()))];
        for (int i = random.bounded(9); i > 0; --i)
            text += textAlphabet[random.bounded(int(textAlphabet.size()))];
        const LikePattern compiled(pattern);
        if (!compiled.isValid())
            continue; // a backwards range
        const QByteArray utf8 = text.toUtf8();
        const bool expected = referenceLike(pattern, text);
        ASSERT_EQ(compiled.matches(text), expected) << pattern.toStdString() << " / " << text.toStdString();
        ASSERT_EQ(compiled.matchesUtf8(utf8.constData(), utf8.size()), expected) << pattern.toStdString();
    }
}

TEST(LikePattern, BacktrackingStaysLinearPerStar)
{
    // A pattern that drives naive recursive matchers exponential.
    const QString text = QString(5000, u'a');
    const LikePattern p(u"*a*a*a*a*a*a*a*a*b");
    EXPECT_FALSE(p.matches(text));
}

TEST(TextCompare, CaseBlindForEveryLetterWithTrailingBlanksIgnored)
{
    EXPECT_EQ(text::compare(u"Smith  ", u"SMITH"), 0);
    EXPECT_EQ(text::compare(u"müller", u"MÜLLER"), 0);
    EXPECT_EQ(text::compare(u"\u212Aelvin", u"kelvin"), 0);
    EXPECT_NE(text::compare(u" smith", u"smith"), 0); // leading blanks count
    EXPECT_NE(text::compare(u"straße", u"STRASSE"), 0);
    EXPECT_LT(text::compare(u"", u"a"), 0);
    EXPECT_LT(text::compare(u"abc", u"abcd"), 0);
    EXPECT_LT(text::compare(u"Zebra", u"émile"), 0);
    EXPECT_TRUE(text::startsWith(u"Smithson", u"SMITH"));
    EXPECT_FALSE(text::startsWith(u"Smi", u"SMITH"));
    EXPECT_EQ(text::nonAsciiFoldingTo('k'), QList<char32_t>({0x212A}));
    EXPECT_EQ(text::nonAsciiFoldingTo('s'), QList<char32_t>({0x17F}));
}

TEST(TextCompare, Utf8AndUtf16OrdersAgree)
{
    // The database compares UTF-8, the report engine UTF-16: both must sort
    // the same texts the same way.
    const char16_t alphabet[] = u"aAbBzZ  éÉßẞσςΣкК\u212A\u017Fs1_!😀";
    QRandomGenerator random(7);
    auto randomText = [&] {
        QString s;
        const int length = random.bounded(6);
        for (int i = 0; i < length; ++i) {
            const int k = random.bounded(int(std::size(alphabet)) - 1);
            if (QChar::isHighSurrogate(alphabet[k])) {
                s += QChar(alphabet[k]);
                s += QChar(alphabet[k + 1]);
            } else if (!QChar::isLowSurrogate(alphabet[k])) {
                s += QChar(alphabet[k]);
            }
        }
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const QString a = randomText();
        const QString b = randomText();
        const QByteArray ua = a.toUtf8();
        const QByteArray ub = b.toUtf8();
        const int c16 = text::compare(a, b);
        const int c8 = text::compareUtf8(ua.constData(), ua.size(), ub.constData(), ub.size());
        ASSERT_EQ((c16 > 0) - (c16 < 0), (c8 > 0) - (c8 < 0)) << a.toStdString() << " / " << b.toStdString();
        ASSERT_EQ(text::compare(b, a), -c16 == 0 ? 0 : text::compare(b, a));
        ASSERT_EQ((text::compare(b, a) > 0) - (text::compare(b, a) < 0), (c16 < 0) - (c16 > 0));
    }
}

TEST(Dates, LiteralsReadMonthDayYearWithTheCenturyWindow)
{
    using dates::parseDateLiteral;
    EXPECT_EQ(parseDateLiteral(u"12/01/93"), QDate(1993, 12, 1));
    EXPECT_EQ(parseDateLiteral(u"12/1/93"), QDate(1993, 12, 1));
    EXPECT_EQ(parseDateLiteral(u" 1-15-1999 "), QDate(1999, 1, 15));
    EXPECT_EQ(parseDateLiteral(u"1.15.05"), QDate(2005, 1, 15));
    EXPECT_EQ(parseDateLiteral(u"1993-12-01"), QDate(1993, 12, 1));
    EXPECT_EQ(parseDateLiteral(u"1/1/29"), QDate(2029, 1, 1));
    EXPECT_EQ(parseDateLiteral(u"1/1/30"), QDate(1930, 1, 1));
    EXPECT_EQ(parseDateLiteral(u"1/1/00"), QDate(2000, 1, 1));
    EXPECT_EQ(parseDateLiteral(u"2/29/00"), QDate(2000, 2, 29));
    EXPECT_FALSE(parseDateLiteral(u"2/29/01"));
    EXPECT_FALSE(parseDateLiteral(u"13/01/93"));
    EXPECT_FALSE(parseDateLiteral(u"12/01"));
    EXPECT_FALSE(parseDateLiteral(u"12/01/93/1"));
    EXPECT_FALSE(parseDateLiteral(u"12/01-93"));
    EXPECT_FALSE(parseDateLiteral(u"12/01/993"));
    EXPECT_FALSE(parseDateLiteral(u"Dec 1 1993"));
    EXPECT_FALSE(parseDateLiteral(u""));
}

TEST(Dates, WeekOfYearCountsFromSundayWithWeekOneHoldingJanuaryFirst)
{
    using dates::DatePart;
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2022, 1, 1)), 1); // a Saturday
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2022, 1, 2)), 2); // the next Sunday
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2023, 1, 1)), 1); // a Sunday
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2023, 1, 7)), 1);
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2023, 1, 8)), 2);
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2000, 12, 31)), 54); // leap year from a Saturday
    EXPECT_EQ(dates::datePart(DatePart::DayOfYear, QDate(2000, 12, 31)), 366);
    EXPECT_EQ(dates::datePart(DatePart::Year, QDate(1993, 12, 1)), 1993);
    EXPECT_EQ(dates::datePartFromInterval(u"WW"), DatePart::WeekOfYear);
    EXPECT_FALSE(dates::datePartFromInterval(u"q"));
    EXPECT_EQ(dates::parseStoredDate("2000-02-29", 10), QDate(2000, 2, 29));
    EXPECT_FALSE(dates::parseStoredDate("2000-02-30", 10));
    EXPECT_FALSE(dates::parseStoredDate("29/02/2000", 10));
}

} // namespace
