#include "filter/CriteriaRules.h"

#include <gtest/gtest.h>

using namespace filter;

namespace {

FilterRows oneRow(int typeCode, const QString &criteria, const QString &op = Operators::Equals)
{
    FilterRows rows;
    FilterRow row;
    row.exists = true;
    row.field = QStringLiteral("F");
    row.typeCode = typeCode;
    row.op = op;
    row.criteria = criteria;
    rows.rows.append(row);
    return rows;
}

TEST(EscapeCriteria, DoublesApostrophesAndBracketsPatternCharacters)
{
    EXPECT_EQ(EscapeCriteria("O'NEIL"), "O''NEIL");
    EXPECT_EQ(EscapeCriteria("''"), "''");
    EXPECT_EQ(EscapeCriteria("A#B?"), "A[#]B[?]");
    EXPECT_EQ(EscapeCriteria("  X  "), "X");
    EXPECT_EQ(EscapeCriteria("a'"), "a''");
    EXPECT_EQ(EscapeCriteria("(A)"), "[(]A[)]");
    EXPECT_EQ(EscapeCriteria("*:;"), "[*][:][;]");
    EXPECT_EQ(EscapeCriteria("[x]"), "[x]");
    EXPECT_EQ(EscapeCriteria("   "), "");
    EXPECT_EQ(EscapeCriteria("'''"), "''''''");
}

TEST(ExtractNumber, KeepsOneLeadingMinusOnePointAndDigits)
{
    EXPECT_EQ(ExtractNumber("-1-2.3.4x"), "-12.34");
    EXPECT_EQ(ExtractNumber("abc"), "");
    EXPECT_EQ(ExtractNumber("$5"), "5");
    EXPECT_EQ(ExtractNumber("x-"), "-");
}

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith)
{
    EXPECT_EQ(plainNumber(leadingNumber("12abc")), "12");
    EXPECT_EQ(plainNumber(leadingNumber("1 000")), "1000");
    EXPECT_EQ(plainNumber(leadingNumber("-5")), "-5");
    EXPECT_EQ(plainNumber(leadingNumber("$5")), "0");
    EXPECT_EQ(plainNumber(leadingNumber("-")), "0");
    EXPECT_EQ(plainNumber(leadingNumber("12.50")), "12.5");
    EXPECT_EQ(plainNumber(leadingNumber("1e3")), "1000");
    EXPECT_EQ(plainNumber(leadingNumber("1e")), "1");
    EXPECT_EQ(plainNumber(leadingNumber(".5")), "0.5");
    EXPECT_EQ(plainNumber(leadingNumber("1e20")), "1E+20");
    EXPECT_EQ(plainNumber(leadingNumber("1e400")), "0") << "an overflowing number is no number";
}

TEST(CriteriaDates, MonthDayYearWithTheCenturyWindow)
{
    EXPECT_EQ(readCriteriaDate("12/1/93"), QDate(1993, 12, 1));
    EXPECT_EQ(readCriteriaDate("12/01/93"), QDate(1993, 12, 1));
    EXPECT_EQ(readCriteriaDate("12/01/1993"), QDate(1993, 12, 1));
    EXPECT_EQ(readCriteriaDate("01/15/05"), QDate(2005, 1, 15));
    EXPECT_EQ(readCriteriaDate("1/1/29"), QDate(2029, 1, 1));
    EXPECT_EQ(readCriteriaDate("1/1/30"), QDate(1930, 1, 1));
    EXPECT_FALSE(readCriteriaDate("13/45/93"));
    EXPECT_FALSE(readCriteriaDate("02/30/2024"));
    EXPECT_FALSE(readCriteriaDate(""));
    EXPECT_FALSE(readCriteriaDate("12-01-93"));
}

TEST(CheckCriteria, TextRowWithEmptyBoxIsSetToTheWordEmpty)
{
    FilterRows rows = oneRow(10, "");
    CriteriaCheck c = CheckCriteria(rows);
    EXPECT_FALSE(c.passed);
    EXPECT_EQ(c.title, "Empty Criteria Field");
    EXPECT_EQ(c.prompt, "When finding a text or memo field that equals nothing, use the criteria 'empty'.");
    EXPECT_EQ(rows.rows[0].criteria, "empty");
    EXPECT_TRUE(CheckCriteria(rows).passed);
    rows.rows[0].criteria = "   ";
    EXPECT_TRUE(CheckCriteria(rows).passed) << "only an empty box is refused";
}

TEST(CheckCriteria, NumberRowsAreRewrittenOrCleared)
{
    FilterRows rows = oneRow(4, "abc");
    CriteriaCheck c = CheckCriteria(rows);
    EXPECT_FALSE(c.passed);
    EXPECT_EQ(c.title, "Invalid Numeric Criteria");
    EXPECT_EQ(c.prompt, "You must supply a valid number when finding based on numeric fields.");
    EXPECT_EQ(rows.rows[0].criteria, "");
    for (auto [in, out] : QList<QPair<QString, QString>>{{"-", "0"}, {"12.50", "12.5"}, {"1e3", "1000"}, {"$5", "0"}}) {
        rows.rows[0].criteria = in;
        EXPECT_TRUE(CheckCriteria(rows).passed) << in.toStdString();
        EXPECT_EQ(rows.rows[0].criteria, out) << in.toStdString();
    }
}

TEST(CheckCriteria, BooleanWordsBecomeCapitals)
{
    FilterRows rows = oneRow(1, "Yes");
    EXPECT_TRUE(CheckCriteria(rows).passed);
    EXPECT_EQ(rows.rows[0].criteria, "YES");
    rows.rows[0].criteria = " yes";
    CriteriaCheck c = CheckCriteria(rows);
    EXPECT_FALSE(c.passed);
    EXPECT_EQ(c.title, "Bad Logical Criteria");
    EXPECT_EQ(
        c.prompt,
        "For checkbox fields and radio buttons, you must supply 'Yes', 'No', 'True', or 'False' for the criteria.");
    EXPECT_EQ(rows.rows[0].criteria, "");
}

TEST(CheckCriteria, DatesMustBeRealAndKeepTheirText)
{
    FilterRows rows = oneRow(8, "12/1/93");
    EXPECT_TRUE(CheckCriteria(rows).passed);
    EXPECT_EQ(rows.rows[0].criteria, "12/1/93");
    for (const char *bad : {"13/45/93", ""}) {
        rows.rows[0].criteria = bad;
        CriteriaCheck c = CheckCriteria(rows);
        EXPECT_FALSE(c.passed);
        EXPECT_EQ(c.title, "Missing or Invalid Date");
        EXPECT_EQ(c.prompt,
                  "You must supply a valid date in the find criteria based on a date field.\r\r"
                  "Example Date Format: 12/1/93");
        EXPECT_EQ(rows.rows[0].criteria, bad);
    }
}

TEST(CheckCriteria, PartOfDateOperatorsHaveTheirOwnRanges)
{
    struct Case {
        QString op;
        QString good, bad, title;
    };
    const QList<Case> cases = {
        {Operators::MonthEquals, "12", "13", "Bad Month of the Year Number!"},
        {Operators::DayEquals, "31", "0", "Bad Day of the Month Number!"},
        {Operators::YearEquals, "1999", "x", "Bad Year!"},
        {Operators::DayOfYearEquals, "366", "367", "Bad Day of the Year Number!"},
        {Operators::WeekOfYearEquals, "52", "53", "Bad Week of the Year Number!"},
    };
    for (const Case &k : cases) {
        FilterRows rows = oneRow(8, k.good, k.op);
        EXPECT_TRUE(CheckCriteria(rows).passed) << k.op.toStdString();
        rows.rows[0].criteria = k.bad;
        CriteriaCheck c = CheckCriteria(rows);
        EXPECT_FALSE(c.passed) << k.op.toStdString();
        EXPECT_EQ(c.title, k.title);
        EXPECT_EQ(rows.rows[0].criteria, k.bad);
    }
}

TEST(CheckCriteria, StopsAtTheFirstRowWithoutAField)
{
    FilterRows rows = oneRow(4, "7");
    FilterRow unselected;
    unselected.exists = true;
    rows.rows.append(unselected);
    FilterRow bad;
    bad.exists = true;
    bad.typeCode = 4;
    bad.criteria = "abc";
    rows.rows.append(bad);
    EXPECT_TRUE(CheckCriteria(rows).passed);
    EXPECT_EQ(rows.rows[2].criteria, "abc");
}

TEST(CheckCriteria, OnlyTheFirstFailingRowIsReportedAndEarlierRowsKeepTheirRewrites)
{
    FilterRows rows = oneRow(4, "12abc");
    FilterRow second = rows.rows[0];
    second.typeCode = 1;
    second.criteria = "maybe";
    FilterRow third = rows.rows[0];
    third.typeCode = 4;
    third.criteria = "zzz";
    rows.rows << second << third;
    CriteriaCheck c = CheckCriteria(rows);
    EXPECT_EQ(c.row, 1);
    EXPECT_EQ(rows.rows[0].criteria, "12");
    EXPECT_EQ(rows.rows[2].criteria, "zzz");
}

} // namespace
