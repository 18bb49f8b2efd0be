#include "filter/StatementBuilder.h"

#include <gtest/gtest.h>

using namespace filter;

namespace {

struct Builder {
    FilterRows rows;
    Builder() { rows.table = QStringLiteral("Information"); }
    Builder &row(const QString &field, int type, const QString &op, const QString &criteria,
                 const QString &condition = QString())
    {
        FilterRow r;
        r.exists = true;
        r.field = field;
        r.typeCode = type;
        r.op = op;
        r.criteria = criteria;
        r.condition = condition;
        rows.rows.append(r);
        return *this;
    }
    Builder &sort(const QString &field, const QString &order)
    {
        rows.sorts.append({true, field, order});
        return *this;
    }
    GeneratedFilter build() const { return CreateSQLStatement(rows); }
};

TEST(CreateSQLStatement, TwoRowsJoinedAndSorted)
{
    Builder b;
    b.row("LastName", 10, "Equals", "SMITH", "And")
        .row("KeyDeposit", 4, "Is Greater Than", "10")
        .sort("LastName", "Ascending");
    const GeneratedFilter g = b.build();
    EXPECT_EQ(g.statement,
              "Select Information.* From Information Where [LastName] = 'SMITH' AND [KeyDeposit] > 10 ORDER BY "
              "[LastName] ASC");
    EXPECT_EQ(g.formula, "{Information.LastName} = \"SMITH\" and {Information.KeyDeposit} > 10");
    EXPECT_EQ(g.sortKeys[0], "+{Information.LastName}");
    EXPECT_EQ(g.sortKeys[1], "");
    EXPECT_EQ(g.sortKeys[2], "");

    b.rows.deleteMode = true;
    EXPECT_EQ(b.build().statement, "Delete * From Information Where [LastName] = 'SMITH' AND [KeyDeposit] > 10");
    EXPECT_EQ(b.build().sortKeys[0], "");
}

TEST(CreateSQLStatement, DatesWriteTheLiteralAndTheFormulaDateItMeans)
{
    auto formulaOf = [](const QString &op, const QString &criteria) {
        Builder b;
        b.row("DateRented", 8, op, criteria);
        return b.build();
    };
    GeneratedFilter g = formulaOf("Is Greater Than or Equal To", "12/01/93");
    EXPECT_EQ(g.statement, "Select Information.* From Information Where [DateRented] >= #12/01/93#");
    EXPECT_EQ(g.formula, "{Information.DateRented} >= Date (1993,12,01)");
    g = formulaOf("Is Less Than", "01/15/99");
    EXPECT_EQ(g.statement, "Select Information.* From Information Where [DateRented] < #01/15/99#");
    EXPECT_EQ(g.formula, "{Information.DateRented} < Date (1999,01,15)");
    EXPECT_EQ(formulaOf("Equals", "01/15/05").formula, "{Information.DateRented} = Date (2005,01,15)");
    EXPECT_EQ(formulaOf("Equals", "12/1/93").formula, "{Information.DateRented} = Date (1993,12,01)");
    EXPECT_EQ(formulaOf("Equals", "01/15/2024").formula, "{Information.DateRented} = Date (2024,01,15)");
}

TEST(CreateSQLStatement, FindAllWithTwoSortRows)
{
    Builder b;
    b.row(FindAllRecords, 0, "", "").sort("LastName", "Descending").sort("FirstName", "Ascending");
    const GeneratedFilter g = b.build();
    EXPECT_TRUE(g.findAll);
    EXPECT_EQ(g.statement, "Select Information.* From Information ORDER BY [LastName] DESC, [FirstName] ASC");
    EXPECT_EQ(g.formula, "");
    EXPECT_EQ(g.sortKeys[0], "-{Information.LastName}");
    EXPECT_EQ(g.sortKeys[1], "+{Information.FirstName}");

    Builder all;
    all.row(FindAllRecords, 0, "", "").sort(DoNotSort, "");
    EXPECT_EQ(all.build().statement, "Select Information.* From Information");
    all.rows.deleteMode = true;
    EXPECT_EQ(all.build().statement, "Delete * From Information");
}

TEST(CreateSQLStatement, RowsEndAtTheFirstEmptyFieldAndJoinsNeedANextField)
{
    Builder b;
    b.row("LastName", 10, "Equals", "A", "And").row("", -1, "", "").row("City", 10, "Equals", "X");
    EXPECT_EQ(b.build().statement, "Select Information.* From Information Where [LastName] = 'A'");
    Builder orJoin;
    orJoin.row("LastName", 10, "Equals", "A", "Or").row("City", 10, "Equals", "B");
    EXPECT_EQ(orJoin.build().statement, "Select Information.* From Information Where [LastName] = 'A' OR [City] = 'B'");
    EXPECT_EQ(orJoin.build().formula, "{Information.LastName} = \"A\" or {Information.City} = \"B\"");
}

TEST(CreateSQLStatement, TextOperatorsAndTheEmptyWord)
{
    auto g = [](const QString &op, const QString &criteria) {
        Builder b;
        b.row("LastName", 10, op, criteria);
        return b.build();
    };
    const QString where = "Select Information.* From Information Where ";
    EXPECT_EQ(g("Equals", "O'NEIL").statement, where + "[LastName] = 'O''NEIL'");
    EXPECT_EQ(g("Equals", "O'NEIL").formula, "{Information.LastName} = \"O'NEIL\"");
    EXPECT_EQ(g("Contains", "A*B").statement, where + "[LastName] LIKE '*A[*]B*'");
    EXPECT_EQ(g("Contains", "A*B").formula, "{Information.LastName} LIKE \"*A[*]B*\"");
    EXPECT_EQ(g("Does Not Contain", "X").statement, where + "[LastName] NOT LIKE '*X*'");
    EXPECT_EQ(g("Does Not Contain", "X").formula,
              "(not IsNull ({Information.LastName}) and not ({Information.LastName} LIKE \"*X*\"))");
    EXPECT_EQ(g("Begins With", "MC").statement, where + "[LastName] LIKE 'MC*'");
    EXPECT_EQ(g("Begins With", "MC").formula, "{Information.LastName} Starts With \"MC\"");
    EXPECT_EQ(g("Begins With", "[AB]").formula, "{Information.LastName} LIKE \"[AB]*\"");
    EXPECT_EQ(g("Equals", "empty").statement, where + "[LastName] = NULL");
    EXPECT_EQ(g("Equals", "EMPTY").statement, where + "[LastName] = NULL");
    EXPECT_EQ(g("Equals", "empty").formula, "(IsNull ({Information.LastName}) or {Information.LastName} = \"\")");
    EXPECT_EQ(g("Is Less Than", "empty").statement, where + "[LastName] < ''''");
    EXPECT_EQ(g("Is Less Than", "empty").formula, "{Information.LastName} < \"'\"");
    EXPECT_EQ(g("Is Less Than", "EMPTY").statement, where + "[LastName] < 'EMPTY'");
    EXPECT_EQ(g(" Equals ", "A").statement, where + "[LastName] = 'A'") << "the operator text is trimmed";
    // A comparison reads its criteria literally: only patterns bracket.
    EXPECT_EQ(g("Equals", "APT #5 (REAR)").statement, where + "[LastName] = 'APT #5 (REAR)'");
    EXPECT_EQ(g("Equals", "SAY \"HI\"").formula, "{Information.LastName} = \"SAY \"\"HI\"\"\"");
}

TEST(CreateSQLStatement, BooleanAndPartOfDateRows)
{
    Builder yes;
    yes.row("Adult", 1, "Equals", "YES", "And").row("Senior", 1, "Equals", "FALSE");
    EXPECT_EQ(yes.build().statement, "Select Information.* From Information Where [Adult] = YES AND [Senior] = FALSE");
    EXPECT_EQ(yes.build().formula, "{Information.Adult} and not {Information.Senior}");

    Builder part;
    part.row("DateToRenew", 8, "Month Equals", "3", "And").row("DateToRenew", 8, "Week of Year Equals", "12");
    EXPECT_EQ(part.build().statement,
              "Select Information.* From Information Where DatePart(\"m\",[DateToRenew]) = 3 "
              "AND DatePart(\"ww\",[DateToRenew]) = 12");
    EXPECT_EQ(part.build().formula,
              "DatePart (\"m\", {Information.DateToRenew}) = 3 and DatePart (\"ww\", {Information.DateToRenew}) = 12");
}

TEST(CreateSQLStatement, SortRowsEndAtABlankSecondRowAndDefaultToDescending)
{
    Builder b;
    b.row(FindAllRecords, 0, "", "").sort("LastName", "").sort("", "").sort("City", "Ascending");
    const GeneratedFilter g = b.build();
    EXPECT_EQ(g.statement, "Select Information.* From Information ORDER BY [LastName] DESC");
    EXPECT_EQ(g.sortKeys[0], "-{Information.LastName}");
    EXPECT_EQ(g.sortKeys[1], "");
    EXPECT_EQ(g.sortKeys[2], "");
}

TEST(CreateSQLStatement, BracketedTableNameStandsUnchanged)
{
    Builder b;
    b.rows.table = "[Information]";
    b.row("City", 10, "Equals", "X").sort("City", "Ascending");
    const GeneratedFilter g = b.build();
    EXPECT_EQ(g.statement, "Select [Information].* From [Information] Where [City] = 'X' ORDER BY [City] ASC");
    EXPECT_EQ(g.formula, "{[Information].City} = \"X\"");
    EXPECT_EQ(g.sortKeys[0], "+{[Information].City}");
    EXPECT_EQ(tableNameFromSource("Select [Information].* From Information"), "[Information]");
    EXPECT_EQ(tableNameFromSource("Select Information.* From Information Where [A] = 1"), "Information");
    EXPECT_EQ(tableNameFromSource("Information"), "Information");
}

} // namespace
