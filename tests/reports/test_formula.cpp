#include "reports/formula/SelectionFormula.h"
#include "reports/formula/SortOrder.h"
#include "store/Schema.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace reports::formula;
using store::Schema::information;

namespace {

// A row of Information with the given fields set, the rest null.
QVariantList row(std::initializer_list<std::pair<const char *, QVariant>> values)
{
    QVariantList r(information().fields.size());
    for (const auto &[name, value] : values)
        r[information().fieldIndex(QString::fromLatin1(name))] = value;
    return r;
}

SelectionFormula compiled(const QString &formula)
{
    SelectionFormula f;
    QString error;
    EXPECT_TRUE(SelectionFormula::compile(formula, information(), &f, &error))
        << formula.toStdString() << ": " << error.toStdString();
    return f;
}

QString refusal(const QString &formula)
{
    SelectionFormula f;
    QString error;
    EXPECT_FALSE(SelectionFormula::compile(formula, information(), &f, &error)) << formula.toStdString();
    return error;
}

using Truth = SelectionFormula::Truth;

Truth truth(const QString &formula, const QVariantList &r)
{
    return compiled(formula).evaluate(r.constData(), r.size());
}

TEST(SelectionFormula, EmptyFormulaSelectsEveryRow)
{
    const SelectionFormula f = compiled(QString());
    EXPECT_TRUE(f.selectsAll());
    EXPECT_TRUE(f.selects(row({})));
    EXPECT_TRUE(compiled(QStringLiteral("   ")).selectsAll());
}

TEST(SelectionFormula, TheRenewalFormulaSelectsUpToAndIncludingTheDate)
{
    const QString formula = QStringLiteral("{Information.DatetoRenew} <= Date (2024,12,31)");
    EXPECT_TRUE(compiled(formula).selects(row({{"DateToRenew", QDate(2024, 12, 31)}})));
    EXPECT_TRUE(compiled(formula).selects(row({{"DateToRenew", QDate(1999, 1, 1)}})));
    EXPECT_FALSE(compiled(formula).selects(row({{"DateToRenew", QDate(2025, 1, 1)}})));
    EXPECT_FALSE(compiled(formula).selects(row({})));
    EXPECT_TRUE(compiled(QStringLiteral("{[Information].DateToRenew} = Date ( 2024 , 03 , 15 )"))
                    .selects(row({{"DateToRenew", QDate(2024, 3, 15)}})));
}

TEST(SelectionFormula, NullsMakeComparisonsUnknownAndLogicIsThreeValued)
{
    const QVariantList nulls = row({{"KeyDeposit", qint64(30)}});
    EXPECT_EQ(truth("{Information.LastName} = \"x\"", nulls), Truth::Unknown);
    EXPECT_EQ(truth("{Information.LastName} <> \"x\"", nulls), Truth::Unknown);
    EXPECT_EQ(truth("not ({Information.LastName} like \"x*\")", nulls), Truth::Unknown);
    EXPECT_EQ(truth("{Information.LastName} = \"x\" or {Information.KeyDeposit} > 20", nulls), Truth::True);
    EXPECT_EQ(truth("{Information.LastName} = \"x\" and {Information.KeyDeposit} > 40", nulls), Truth::False);
    EXPECT_EQ(truth("{Information.LastName} = \"x\" and {Information.KeyDeposit} > 20", nulls), Truth::Unknown);
    EXPECT_EQ(truth("IsNull ({Information.LastName})", nulls), Truth::True);
    EXPECT_EQ(truth("not IsNull({Information.KeyDeposit})", nulls), Truth::True);
}

TEST(SelectionFormula, OperatorsBindNotThenAndThenOr)
{
    const QVariantList r = row({{"Adult", true}, {"Junior", false}, {"Senior", false}});
    // not binds tightest: (not Junior) and Adult
    EXPECT_EQ(truth("not {Information.Junior} and {Information.Adult}", r), Truth::True);
    // and before or: Junior or (Senior and Adult) is false, (Junior or Senior) and Adult is false, Adult or ... true
    EXPECT_EQ(truth("{Information.Adult} or {Information.Junior} and {Information.Senior}", r), Truth::True);
    EXPECT_EQ(truth("({Information.Adult} or {Information.Junior}) and {Information.Senior}", r), Truth::False);
    EXPECT_EQ(truth("NOT NOT {Information.Adult}", r), Truth::True);
    EXPECT_EQ(truth("{Information.Adult} = true AND {Information.Junior} <> TRUE", r), Truth::True);
}

TEST(SelectionFormula, TextsPatternsAndPrefixesIgnoreCase)
{
    const QVariantList r = row({{"LastName", QStringLiteral("Müller  ")}, {"City", QStringLiteral("A*B")}});
    EXPECT_EQ(truth("{Information.LastName} = \"MÜLLER\"", r), Truth::True);
    EXPECT_EQ(truth("{Information.LastName} like \"MÜLLER\"", r), Truth::False); // trailing blanks count
    EXPECT_EQ(truth("{Information.LastName} like \"m?ller*\"", r), Truth::True);
    EXPECT_EQ(truth("{Information.LastName} Starts With \"mü\"", r), Truth::True);
    EXPECT_EQ(truth("{Information.LastName} startswith \"mue\"", r), Truth::False);
    EXPECT_EQ(truth("{Information.City} like \"a[*]b\"", r), Truth::True);
    EXPECT_EQ(truth("{Information.City} = 'a*b'", r), Truth::True);
    EXPECT_EQ(truth("{Information.LastName} > \"M\" and {Information.LastName} < \"N\"", r), Truth::True);
    EXPECT_EQ(truth("\"say \"\"hi\"\"\" = \"SAY \"\"HI\"\"\"", r), Truth::True);
}

TEST(SelectionFormula, NumbersDatesAndDateParts)
{
    const QVariantList r = row({{"KeyDeposit", qint64(-5)}, {"DateRented", QDate(2000, 12, 31)}});
    EXPECT_EQ(truth("{Information.KeyDeposit} = -5", r), Truth::True);
    EXPECT_EQ(truth("{Information.KeyDeposit} < -4.5E0", r), Truth::True);
    EXPECT_EQ(truth("{Information.KeyDeposit} >= +0", r), Truth::False);
    EXPECT_EQ(truth("{Information.DateRented} > Date (2000,12,30)", r), Truth::True);
    EXPECT_EQ(truth("DatePart (\"ww\", {Information.DateRented}) = 54", r), Truth::True);
    EXPECT_EQ(truth("DatePart (\"y\", {Information.DateRented}) = 366", r), Truth::True);
    EXPECT_EQ(truth("DatePart (\"m\", {Information.DateRented}) = 12", r), Truth::True);
}

TEST(SelectionFormula, MistakesAreErrorsThatSayWhatAndWhere)
{
    struct Case {
        const char *formula;
        const char *expected;
    };
    const Case cases[] = {
        {"{Information.Nope} = 1", "'{Information.Nope}' this field name is not known"},
        {"{Other.LastName} = \"x\"", "reads the table 'Information', not 'Other'"},
        {"{Information.LastName} = 1", "character 26: '1' a text is required here"},
        {"{Information.KeyDeposit} = \"1\"", "a number is required here"},
        {"{Information.DateRented} = \"1/1/93\"", "a date is required here"},
        {"{Information.Adult} > true", "only be compared with = or <>"},
        {"{Information.LastName}", "a condition is required here"},
        {"{Information.KeyDeposit} like \"1*\"", "a text is required here"},
        {"{Information.LastName} like {Information.City}", "a text in quotes is required here"},
        {"{Information.LastName} like \"[z-a]\"", "runs backwards"},
        {"{Information.DateRented} = Date (1993,02,30)", "'Date (1993,02,30)' is not a valid date"},
        {"{Information.DateRented} = Date (1993,2)", "',' is expected"},
        {"DatePart (\"q\", {Information.DateRented}) = 1", "one of the intervals"},
        {"DatePart (\"m\", {Information.LastName}) = 1", "DatePart needs a date field"},
        {"({Information.Adult}", "the formula ends where ')' is expected"},
        {"{Information.Adult} and", "the formula ends where"},
        {"{Information.Adult} {Information.Junior}", "'{Information.Junior}' found where and, or"},
        {"{Information.LastName} = \"abc", "has no closing double quote"},
        {"{Information.LastName = \"x\"", "has no closing '}'"},
        {"{LastName} = \"x\"", "is not a field: write {Table.Field}"},
        {"{Information.LastName} = \"x\"; {Information.Adult}", "';' is not part of the formula language"},
        {"{Information.LastName} starts \"x\"", "'with' after 'starts'"},
        {"IsNull (\"x\")", "a field"},
        {"{Information.KeyDeposit} = 12abc", "'12abc' is not a number"},
    };
    for (const Case &c : cases) {
        const QString error = refusal(QString::fromUtf8(c.formula));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << c.formula << " -> " << error.toStdString();
    }
    EXPECT_TRUE(refusal(QString(100, u'(') + "{Information.Adult}" + QString(100, u')')).contains("too deeply"));
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("{Information.KeyDeposit} = %1").arg(i);
    EXPECT_TRUE(refusal(many.join(" or ")).contains("more than 200 conditions"));
}

TEST(SortOrder, KeysSortCaseBlindNullsFirstAscendingAndLastDescending)
{
    SortOrder order;
    QString error;
    ASSERT_TRUE(
        SortOrder::parse({QStringLiteral("+{Information.LastName}"), QStringLiteral("-{Information.KeyDeposit}")},
                         information(), &order, &error))
        << error.toStdString();
    const QVariantList nullName = row({{"KeyDeposit", qint64(1)}});
    const QVariantList adams = row({{"LastName", QStringLiteral("adams")}, {"KeyDeposit", qint64(1)}});
    const QVariantList adamsRich = row({{"LastName", QStringLiteral("ADAMS ")}, {"KeyDeposit", qint64(9)}});
    const QVariantList adamsNull = row({{"LastName", QStringLiteral("Adams")}});
    const QVariantList baker = row({{"LastName", QStringLiteral("Baker")}});
    EXPECT_TRUE(order.lessThan(nullName, adams));
    EXPECT_TRUE(order.lessThan(adamsRich, adams)); // same name, deposit descending
    EXPECT_TRUE(order.lessThan(adams, adamsNull)); // null deposit last when descending
    EXPECT_TRUE(order.lessThan(adamsNull, baker));
    EXPECT_FALSE(order.lessThan(adams, adams));

    ASSERT_TRUE(SortOrder::parse({}, information(), &order, &error));
    EXPECT_TRUE(order.isEmpty());
    for (const char *bad : {"{Information.LastName}", "+{Information.Nope}", "+{Other.LastName}",
                            "+{Information.LastName} x", "*{Information.LastName}"}) {
        EXPECT_FALSE(SortOrder::parse({QString::fromLatin1(bad)}, information(), &order, &error)) << bad;
        EXPECT_TRUE(error.startsWith("Sort field '")) << error.toStdString();
    }
}

} // namespace
