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
    EXPECT_TRUE(like("?", "😀"));      // one character, two UTF-16 units
    EXPECT_FALSE(like("??", "😀"));
    EXPECT_TRUE(like("#1", "01"));
    EXPECT_FALSE(like("#", "a"));
    EXPECT_FALSE(like("#", "٣"));       // digits are 0-9 only
    EXPECT_TRUE(like("[abc]x", "Bx"));  // sets ignore case
    EXPECT_TRUE(like("[A-C]", "b"));
    EXPECT_TRUE(like("[a-c]", "B"));
    EXPECT_FALSE(like("[!a-c]", "B"));
    EXPECT_TRUE(like("[!a-c]", "d"));
    EXPECT_TRUE(like("[a-]", "-"));
    EXPECT_TRUE(like("[-a]", "-"));
    EXPECT_TRUE(like("[!]", "!"));
    EXPECT_TRUE(like("[*][?][#][[]", "*?#["));
    EXPECT_FALSE(like("[*]", "x"));
    EXPECT_TRUE(like("a]", "a]"));      // ']' outside a set is itself
    EXPECT_TRUE(like("a[b", "a[b"));    // so is a '[' that nothing closes
    EXPECT_TRUE(like("a[]b", "ab"));    // "[]" matches nothing
    EXPECT_TRUE(like("MÜLLER", "müller"));
    EXPECT_TRUE(like("σ", "ς"));
    EXPECT_FALSE(like("abc", "abc "));  // trailing blanks count in patterns
    EXPECT_FALSE(like("abc", "ab"));
    EXPECT_TRUE(like("%_", "%_"));      // SQL's wildcards are plain characters here

    EXPECT_FALSE(LikePattern(u"[z-a]").isValid());
    EXPECT_EQ(LikePattern(u"Sm[*]th*x").literalPrefix(), "sm*th");
    EXPECT_TRUE(LikePattern(u"SMITH").isLiteral());
    EXPECT_FALSE(LikePattern(u"SMITH?").isLiteral());
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
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2022, 1, 1)), 1);  // a Saturday
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2022, 1, 2)), 2);  // the next Sunday
    EXPECT_EQ(dates::datePart(DatePart::WeekOfYear, QDate(2023, 1, 1)), 1);  // a Sunday
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
