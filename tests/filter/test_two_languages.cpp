// The filter builder writes every filter twice: as a statement the record
// window runs and as a formula the reports evaluate. Over many random
// filters on a random table both must select the same rows in the same order.
#include "RandomFilters.h"
#include "filter/CriteriaRules.h"
#include "filter/StatementBuilder.h"
#include "reports/formula/SelectionFormula.h"
#include "reports/formula/SortOrder.h"
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/TempProgramFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace filter;

namespace {

class TwoLanguages : public ::testing::TestWithParam<bool>
{
protected:
    testing_support::RandomFilters random{20261207, GetParam()};

    void fill(sqlite3 *db, int rows)
    {
        QStringList names;
        for (const auto &f : testing_support::RandomFilters::fields())
            names << f.name;
        const QString insert = QStringLiteral("INSERT INTO Information (%1) VALUES (%2)")
                                   .arg(names.join(", "), QStringList(names.size(), "?").join(","));
        store::execSql(db, "BEGIN", nullptr);
        for (int i = 0; i < rows; ++i)
            ASSERT_TRUE(store::execSql(db, insert, nullptr, random.randomCustomer()));
        store::execSql(db, "COMMIT", nullptr);
    }
};

TEST_P(TwoLanguages, StatementAndFormulaSelectTheSameRowsInTheSameOrder)
{
    testing_support::TempProgramFolder folder;
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        fill(raw, 600);
        sqlite3_close(raw);
    }
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();
    const store::TableDef &table = *db->tableDef("Information");
    auto all = db->OpenRecordset("Information", store::Recordset::Table, &e);
    QList<QVariantList> rows;
    QList<qint64> ids;
    for (int i = 0; i < all->RecordCount(); ++i) {
        rows.append(all->rowAt(i));
        ids.append(all->idAt(i));
    }

    int mismatches = 0;
    int nonTrivial = 0;
    // Every row in the order of each field as well: the whole table sorted by
    // an indexed name is what the record set may walk the index for.
    QList<GeneratedFilter> wholeTable;
    for (const auto &f : testing_support::RandomFilters::fields()) {
        for (const char *direction : {"ASC", "DESC"}) {
            GeneratedFilter g;
            g.statement =
                QStringLiteral("Select Information.* From Information ORDER BY [%1] %2").arg(f.name, direction);
            // An empty formula selects every row.
            g.sortKeys[0] = QStringLiteral("%1{Information.%2}").arg(direction[0] == 'A' ? "+" : "-", f.name);
            if (f.type != 12)
                wholeTable << g;
        }
    }
    for (int n = 0; n < 1200 + wholeTable.size(); ++n) {
        GeneratedFilter g;
        if (n < wholeTable.size()) {
            g = wholeTable.at(n);
        } else {
            FilterRows filter = random.randomFilter();
            const CriteriaCheck check = CheckCriteria(filter);
            ASSERT_TRUE(check.passed) << check.title.toStdString();
            g = CreateSQLStatement(filter);
        }

        auto selected = db->OpenRecordset(g.statement, store::Recordset::Dynaset, &e);
        ASSERT_TRUE(selected) << e.text.toStdString() << "\n" << g.statement.toStdString();
        QList<qint64> byStatement;
        for (int i = 0; i < selected->RecordCount(); ++i)
            byStatement.append(selected->idAt(i));

        reports::formula::SelectionFormula formula;
        QString error;
        ASSERT_TRUE(reports::formula::SelectionFormula::compile(g.formula, table, &formula, &error))
            << error.toStdString() << "\n"
            << g.formula.toStdString();
        QStringList keys;
        for (const QString &k : g.sortKeys)
            if (!k.isEmpty())
                keys << k;
        reports::formula::SortOrder order;
        ASSERT_TRUE(reports::formula::SortOrder::parse(keys, table, &order, &error)) << error.toStdString();
        QList<int> chosen;
        for (int i = 0; i < rows.size(); ++i)
            if (formula.selects(rows.at(i)))
                chosen.append(i);
        std::stable_sort(chosen.begin(), chosen.end(),
                         [&](int a, int b) { return order.lessThan(rows.at(a), rows.at(b)); });
        QList<qint64> byFormula;
        for (int i : chosen)
            byFormula.append(ids.at(i));

        if (!byStatement.isEmpty() && byStatement.size() < rows.size())
            ++nonTrivial;
        if (byStatement != byFormula) {
            ++mismatches;
            ADD_FAILURE() << "statement: " << g.statement.toStdString() << "\nformula: " << g.formula.toStdString()
                          << "\nkeys: " << keys.join(' ').toStdString() << "\nstatement rows " << byStatement.size()
                          << ", formula rows " << byFormula.size();
            if (mismatches > 5)
                break;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(nonTrivial, 300) << "most filters should select some rows but not all";
}

INSTANTIATE_TEST_SUITE_P(Names, TwoLanguages, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return info.param ? "AsciiNamesOnly" : "NamesBeyondAscii";
});

} // namespace
