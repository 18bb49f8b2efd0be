#include "store/FilterFixture.h"

#include "store/Statement.h"
#include "support/Customers.h"

#include <QVariant>
#include <gtest/gtest.h>

namespace testing_support {

namespace {
struct Row {
    const char *last; // nullptr: null
    const char *city;
    int deposit;        // kNull: null
    const char *rented; // ISO date or nullptr
    int adult;
    const char *notes;
};
constexpr int kNull = -999;

// clang-format off
const Row kRows[kFixtureRows] = {
    /*  1 */ {"Smith", "Springfield", 10, "1993-12-01", 1, "Pays cash"},
    /*  2 */ {"SMITH", "springfield", 25, "1993-11-30", 0, nullptr},
    /*  3 */ {"smith  ", "Springfield  ", 0, "1999-01-15", 1, ""},
    /*  4 */ {"Smithson", "Shelbyville", 15, "2005-01-15", 1, "Key lost*"},
    /*  5 */ {"O'Neil", "Ogdenville", 30, "1930-06-01", 1, "Owes 5$"},
    /*  6 */ {"Müller", "München", 20, "2029-12-31", 1, "Ä ö ü"},
    /*  7 */ {"MÜLLER", "MÜNCHEN", 5, "2000-02-29", 0, nullptr},
    /*  8 */ {"muller", "Munich", kNull, "2001-01-01", 0, nullptr},
    /*  9 */ {"", "", 0, nullptr, 0, nullptr},
    /* 10 */ {nullptr, nullptr, kNull, nullptr, 0, nullptr},
    /* 11 */ {"   ", " ", 7, "1994-01-01", 1, "   "},
    /* 12 */ {"A*B", "Capital City", 12, "1995-07-04", 0, "*"},
    /* 13 */ {"AxB", "Capital City", 12, "1995-07-04", 1, "x"},
    /* 14 */ {"A[B", "Capital City", 13, "2000-12-31", 0, "["},
    /* 15 */ {"Zed", "Zurich", 40, "2020-03-01", 1, nullptr},
    /* 16 */ {"zebra", "zurich", -5, "2020-02-29", 0, nullptr},
    /* 17 */ {"Émile", "Paris", 8, "1996-01-01", 1, nullptr},
    /* 18 */ {"émile", "paris", 9, "1996-01-07", 1, nullptr},
    /* 19 */ {"\u212Aelvin", "Belfast", 1, "1997-05-05", 0, nullptr},   // Kelvin sign
    /* 20 */ {"Kelvin", "BELFAST", 2, "1997-05-06", 0, nullptr},
    /* 21 */ {"\u017Fmith", "Springfield", 3, "1998-08-08", 1, nullptr},  // long s
    /* 22 */ {"Jones-Smith", "Springfield", 11, "1993-12-02", 1, nullptr},
    /* 23 */ {"123 Main", "Ogdenville", 6, "2011-11-11", 0, nullptr},
    /* 24 */ {"Brown", "Shelbyville", 10, "1993-12-01", 0, nullptr},
    /* 25 */ {"Δημήτρης", "Αθήνα", 14, "2003-03-03", 1, nullptr},
    /* 26 */ {"ΔΗΜΉΤΡΗΣ", "ΑΘΉΝΑ", 16, "2004-04-04", 1, nullptr},
    /* 27 */ {"Иванов", "Москва", 17, "2006-06-06", 0, nullptr},
    /* 28 */ {"ИВАНОВ", "МОСКВА", 18, "2007-07-07", 0, nullptr},
    /* 29 */ {"Robert'); DROP TABLE Information;--", "Bobby", 19, "2008-08-08", 1, "/* comment */"},
    /* 30 */ {"50% off_", "Sale", 21, "2009-09-09", 0, nullptr},
    /* 31 */ {"Tab\there", "Tabs", 22, "2010-10-10", 0, nullptr},
    /* 32 */ {"Straße", "Berlin", 23, "2012-12-12", 1, nullptr},
    /* 33 */ {"STRASSE", "BERLIN", 24, "2013-01-13", 1, nullptr},
    /* 34 */ {"#1 Fan", "Fanville", 26, "2014-02-14", 0, nullptr},
    /* 35 */ {"Question?", "Askville", 27, "2015-03-15", 1, nullptr},
    /* 36 */ {"Smith", "Shelbyville", 10, nullptr, 1, "Smith"},
};
// clang-format on

QVariant text(const char *s)
{
    return s ? QVariant(QString::fromUtf8(s)) : QVariant();
}

QVariant number(int n)
{
    return n == kNull ? QVariant() : QVariant(qint64(n));
}
} // namespace

QList<QVariantMap> filterFixtureRows()
{
    QList<QVariantMap> rows;
    for (int i = 0; i < kFixtureRows; ++i) {
        const Row &r = kRows[i];
        rows.append({{"LockerNumber", qint64(i + 1)},
                     {"LastName", text(r.last)},
                     {"City", text(r.city)},
                     {"KeyDeposit", number(r.deposit)},
                     {"DateRented", text(r.rented)},
                     {"Adult", number(r.adult)},
                     {"Notes", text(r.notes)}});
    }
    return rows;
}

void fillFilterFixture(store::Database &db)
{
    testing_support::insertCustomers(db.handle(), filterFixtureRows());
}

QList<int> lockersExcept(const QList<int> &excluded)
{
    QList<int> lockers;
    for (int i = 1; i <= kFixtureRows; ++i) {
        if (!excluded.contains(i))
            lockers << i;
    }
    return lockers;
}

QStringList hostileTexts()
{
    return {
        QStringLiteral("'"),
        QStringLiteral("''"),
        QStringLiteral("'''"),
        QStringLiteral("O'Neil"),
        QStringLiteral("'leading"),
        QStringLiteral("trailing'"),
        QStringLiteral("mid'dle'twice"),
        QStringLiteral("' OR '1'='1"),
        QStringLiteral("' OR 1=1 --"),
        QStringLiteral("x'; DROP TABLE Information; --"),
        QStringLiteral("Robert'); DELETE FROM Information; --"),
        QStringLiteral("' UNION SELECT rowid FROM sqlite_master --"),
        QStringLiteral("[LastName]"),
        QStringLiteral("]"),
        QStringLiteral("["),
        QStringLiteral("[!a-z]"),
        QStringLiteral(";"),
        QStringLiteral("a;b;c"),
        QStringLiteral("--"),
        QStringLiteral("-- comment"),
        QStringLiteral("/*"),
        QStringLiteral("*/ x /*"),
        QString::fromUtf16(u"nul\0char", 8),
        QString(10000, QLatin1Char('x')) + QLatin1Char('\''),
        QString::fromUtf8("Müller"),
        QString::fromUtf8("Ωμέγα"),
        QString::fromUtf8("Жуков"),
        QString::fromUtf8("李小龍"),
        QString::fromUtf8("😀 emoji"),
        QStringLiteral("\" OR \"\"=\""),
        QStringLiteral("SELECT * FROM sqlite_master"),
        QStringLiteral("#12/01/93#"),
        QStringLiteral("%_%"),
        QStringLiteral("*?#"),
        QStringLiteral("\\'"),
        QStringLiteral("\t\r\n"),
        QStringLiteral("?1 :name @p $x"),
        QString::fromUtf8("\u202Eright-to-left"),
        QStringLiteral("' || vt_fold('x') || '"),
        QStringLiteral("NULL"),
        QStringLiteral("{Information.LastName}"),
        QStringLiteral("\" or {Information.Adult} or \""),
    };
}

const QList<FilterCase> &filterCases()
{
    static const QList<FilterCase> cases = [] {
        const QList<int> smiths = {1, 2, 3, 21, 36};
        const QList<int> adults = {1, 3, 4, 5, 6, 11, 13, 15, 17, 18, 21, 22, 25, 26, 29, 32, 33, 35, 36};
        const QList<int> notAdults = {2, 7, 8, 9, 10, 12, 14, 16, 19, 20, 23, 24, 27, 28, 30, 31, 34};
        return QList<FilterCase>{
            // All rows, with and without a sort.
            {"", "", "", "", lockersExcept({})},
            {"",
             "[KeyDeposit] DESC, [LastName] ASC",
             "",
             "-{Information.KeyDeposit};+{Information.LastName}",
             {15, 5,  35, 34, 2,  33, 32, 31, 30, 6, 29, 28, 27, 26, 4, 25, 14, 12,
              13, 22, 24, 1,  36, 18, 17, 11, 23, 7, 21, 20, 19, 9,  3, 16, 10, 8}},
            // Text equality: every letter without regard to case, trailing blanks ignored.
            {"[LastName] = 'SMITH'", "", "{Information.LastName} = \"SMITH\"", "", smiths},
            {"[LastName] = 'smith  '", "", "{Information.LastName} = 'smith  '", "", smiths},
            {"[lastname] = 'Müller'", "", "{information.LASTNAME} = \"MÜLLER\"", "", {6, 7}},
            {"[LastName] = 'O''NEIL'", "", "{Information.LastName} = \"O'NEIL\"", "", {5}},
            {"[LastName] = 'KELVIN'", "", "{Information.LastName} = \"kelvin\"", "", {19, 20}},
            {"[LastName] = 'δημήτρης'", "", "{Information.LastName} = \"ΔΗΜΉΤΡΗΣ\"", "", {25, 26}},
            {"[LastName] = 'иванов'", "", "{Information.LastName} = \"ИВАНОВ\"", "", {27, 28}},
            {"[LastName] = 'STRAẞE'", "", "{Information.LastName} = \"STRAẞE\"", "", {32}},
            {"[LastName] = 'Robert''); DROP TABLE Information;--'",
             "",
             "{Information.LastName} = \"Robert'); DROP TABLE Information;--\"",
             "",
             {29}},
            {"[LastName] <> 'SMITH'", "", "{Information.LastName} <> \"SMITH\"", "",
             lockersExcept({1, 2, 3, 21, 36, 10})},
            {"[LastName] = ''", "", "{Information.LastName} = \"\"", "", {9, 11}},
            {"[LastName] <> ''", "", "{Information.LastName} <> ''", "", lockersExcept({9, 10, 11})},
            {"[LastName] < 'B'", "", "{Information.LastName} < \"B\"", "", {9, 11, 12, 13, 14, 23, 30, 34}},
            {"[LastName] >= 'Z'", "", "{Information.LastName} >= \"Z\"", "", {15, 16, 17, 18, 25, 26, 27, 28}},
            // "= NULL" on text and memo: empty, null or blanks.
            {"[LastName] = NULL",
             "",
             "IsNull ({Information.LastName}) or {Information.LastName} = \"\"",
             "",
             {9, 10, 11}},
            {"[Notes] = NULL", "", "IsNull ({Information.Notes}) or {Information.Notes} = \"\"", "",
             lockersExcept({1, 4, 5, 6, 12, 13, 14, 29, 36})},
            // Patterns: whole field, without regard to case, trailing blanks count.
            {"[LastName] LIKE 'SMITH*'", "", "{Information.LastName} like \"SMITH*\"", "", {1, 2, 3, 4, 21, 36}},
            {"[LastName] LIKE 'SMITH*'", "", "{Information.LastName} Starts With \"smith\"", "", {1, 2, 3, 4, 21, 36}},
            {"[LastName] LIKE 'smith'", "", "{Information.LastName} LIKE \"smith\"", "", {1, 2, 21, 36}},
            {"[LastName] LIKE '*A[*]B*'", "", "{Information.LastName} like \"*A[*]B*\"", "", {12}},
            {"[LastName] LIKE 'A?B'", "", "{Information.LastName} like \"A?B\"", "", {12, 13, 14}},
            {"[LastName] LIKE 'A[!*]B'", "", "{Information.LastName} like \"A[!*]B\"", "", {13, 14}},
            {"[LastName] LIKE 'A[[]B'", "", "{Information.LastName} like \"a[[]b\"", "", {14}},
            {"[LastName] LIKE '#*'", "", "{Information.LastName} like \"#*\"", "", {23, 30}},
            {"[LastName] LIKE '[#]*'", "", "{Information.LastName} like \"[#]*\"", "", {34}},
            {"[LastName] LIKE '*[?]'", "", "{Information.LastName} like \"*[?]\"", "", {35}},
            {"[LastName] LIKE '[a-c]*'", "", "{Information.LastName} like \"[A-C]*\"", "", {12, 13, 14, 24}},
            {"[LastName] LIKE '*%*' OR [LastName] LIKE '*[_]'",
             "",
             "{Information.LastName} like \"*%*\" or {Information.LastName} like \"*_\"",
             "",
             {30}},
            {"[LastName] LIKE '*'", "", "{Information.LastName} like \"*\"", "", lockersExcept({10})},
            {"[LastName] NOT LIKE '*SMITH*'", "", "not ({Information.LastName} like \"*SMITH*\")", "",
             lockersExcept({1, 2, 3, 4, 10, 21, 22, 36})},
            {"[Notes] LIKE '*[*]'", "", "{Information.Notes} like \"*[*]\"", "", {4, 12}},
            // Numbers.
            {"[KeyDeposit] > 20", "", "{Information.KeyDeposit} > 20", "", {2, 5, 15, 30, 31, 32, 33, 34, 35}},
            {"[KeyDeposit] <> 10", "", "{Information.KeyDeposit} <> 10", "", lockersExcept({1, 8, 10, 24, 36})},
            {"[KeyDeposit] <= -5", "", "{Information.KeyDeposit} <= -5", "", {16}},
            {"[KeyDeposit] >= 1E1 AND [KeyDeposit] < +12.5",
             "",
             "{Information.KeyDeposit} >= 1E1 and {Information.KeyDeposit} < 12.5",
             "",
             {1, 12, 13, 22, 24, 36}},
            // Dates: month/day/year, two-digit years by the window 1930-2029.
            {"[DateRented] = #12/01/93#", "", "{Information.DateRented} = Date (1993,12,01)", "", {1, 24}},
            {"[DateRented] < #07/01/30#", "", "{Information.DateRented} < Date (1930,07,01)", "", {5}},
            {"[DateRented] >= #12/31/29#", "", "{Information.DateRented} >= Date(2029, 12, 31)", "", {6}},
            {"[DateRented] > #2/28/2000# AND [DateRented] <= #1/1/01#",
             "",
             "{Information.DateRented} > Date (2000,2,28) and {Information.DateRented} <= Date (2001,1,1)",
             "",
             {7, 8, 14}},
            {"DatePart(\"m\",[DateRented]) = 12",
             "",
             "DatePart (\"m\", {Information.DateRented}) = 12",
             "",
             {1, 6, 14, 22, 24, 32}},
            {"DatePart(\"d\",[DateRented]) = 29", "", "DatePart (\"d\", {Information.DateRented}) = 29", "", {7, 16}},
            {"DatePart(\"yyyy\",[DateRented]) = 1995",
             "",
             "DatePart (\"yyyy\", {Information.DateRented}) = 1995",
             "",
             {12, 13}},
            {"DatePart(\"y\",[DateRented]) = 60", "", "DatePart (\"y\", {Information.DateRented}) = 60", "", {7, 16}},
            {"DatePart(\"ww\",[DateRented]) >= 53",
             "",
             "DatePart (\"ww\", {Information.DateRented}) >= 53",
             "",
             {6, 14}},
            // Yes/no.
            {"[Adult] = YES", "", "{Information.Adult}", "", adults},
            {"[Adult] = TRUE", "", "{Information.Adult} = true", "", adults},
            {"[Adult] = NO", "", "not {Information.Adult}", "", notAdults},
            {"[Adult] <> TRUE", "", "{Information.Adult} <> true", "", notAdults},
            // AND binds tighter than OR; parentheses group.
            {"[LastName] = 'SMITH' AND [KeyDeposit] > 5",
             "",
             "{Information.LastName} = \"SMITH\" and {Information.KeyDeposit} > 5",
             "",
             {1, 2, 36}},
            {"[City] = 'SPRINGFIELD' OR [KeyDeposit] > 25 AND [Adult] = NO",
             "",
             "{Information.City} = \"SPRINGFIELD\" or {Information.KeyDeposit} > 25 and not {Information.Adult}",
             "",
             {1, 2, 3, 21, 22, 34}},
            {"([City] = 'SPRINGFIELD' OR [KeyDeposit] > 25) AND [Adult] = NO",
             "",
             "({Information.City} = \"SPRINGFIELD\" or {Information.KeyDeposit} > 25) and not {Information.Adult}",
             "",
             {2, 34}},
            // Sorting: text without regard to case, ties in table order, nulls first ascending.
            {"[LastName] LIKE 'S*'",
             "[LastName] ASC",
             "{Information.LastName} like \"S*\"",
             "+{Information.LastName}",
             {1, 2, 3, 21, 36, 4, 33, 32}},
            {"[LastName] LIKE 'S*'",
             "[LastName] DESC",
             "{Information.LastName} like \"S*\"",
             "-{Information.LastName}",
             {32, 33, 4, 1, 2, 3, 21, 36}},
            {"[LastName] LIKE 'M*' OR [LastName] = NULL",
             "[KeyDeposit] ASC, [LastName] DESC",
             "{Information.LastName} like \"M*\" or IsNull ({Information.LastName}) or {Information.LastName} = \"\"",
             "+{Information.KeyDeposit};-{Information.LastName}",
             {8, 10, 9, 7, 11, 6}},
            {"[Adult] = YES",
             "[DateRented] DESC",
             "{Information.Adult}",
             "-{Information.DateRented}",
             {6, 15, 35, 33, 32, 29, 4, 26, 25, 3, 21, 18, 17, 13, 11, 22, 1, 5, 36}},
        };
    }();
    return cases;
}

} // namespace testing_support
