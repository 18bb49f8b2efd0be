// The filter window's statements, run on the file and on the server over
// the same random customers, select the same rows in the same order.
#include "RandomFilters.h"
#include "ServerTestDatabase.h"
#include "filter/CriteriaRules.h"
#include "filter/StatementBuilder.h"
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "store/server/ServerSchema.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace filter;
using testing_support::RandomFilters;

namespace {

class FileAndServer : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isReady());
        connection = server.connect();
        ASSERT_TRUE(connection);
        store::EngineError e;
        ASSERT_TRUE(store::ServerSchema::create(*connection, &e)) << e.text.toStdString();
    }

    // The same customers under the same row numbers in both.
    void fill(int rows)
    {
        QStringList names;
        QStringList serverNames;
        QStringList serverSlots{"$1"};
        for (const auto &f : RandomFilters::fields()) {
            names << f.name;
            serverNames << store::quoteIdentifier(f.name);
            serverSlots << QStringLiteral("$%1").arg(serverSlots.size() + 1);
        }
        const QString fileInsert = QStringLiteral("INSERT INTO Information (rowid, %1) VALUES (?%2)")
                                       .arg(names.join(", "), QString(",?").repeated(names.size()));
        const QString serverInsert = QStringLiteral("INSERT INTO \"Information\" (\"RowId\", %1) VALUES (%2)")
                                         .arg(serverNames.join(", "), serverSlots.join(", "));
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        store::EngineError e;
        store::execSql(raw, "BEGIN", nullptr);
        ASSERT_TRUE(connection->exec("BEGIN", {}, nullptr, &e));
        for (int i = 1; i <= rows; ++i) {
            const QVariantList values = QVariantList{i} + random.randomCustomer();
            ASSERT_TRUE(store::execSql(raw, fileInsert, &e, values)) << e.text.toStdString();
            ASSERT_TRUE(connection->exec(serverInsert, values, nullptr, &e)) << e.text.toStdString();
        }
        ASSERT_TRUE(connection->exec("COMMIT", {}, nullptr, &e));
        store::execSql(raw, "COMMIT", nullptr);
        sqlite3_close(raw);
    }

    QList<qint64> fromServer(const QString &statement)
    {
        store::TranslatedStatement t;
        store::EngineError e;
        const auto tables = [](const QString &name) { return store::Schema::table(name); };
        if (!store::translateAccessSql(statement, tables, &t, &e, store::SqlDialect::Postgres)) {
            ADD_FAILURE() << e.text.toStdString();
            return {};
        }
        store::ServerResult result;
        if (!connection->exec(t.sql, t.params, &result, &e)) {
            ADD_FAILURE() << e.text.toStdString() << "\n" << t.sql.toStdString();
            return {};
        }
        QList<qint64> ids;
        for (int r = 0; r < result.rowCount(); ++r)
            ids << result.value(r, 0).toLongLong();
        return ids;
    }

    testing_support::TempProgramFolder folder;
    testing_support::ServerTestDatabase server;
    std::unique_ptr<store::ServerConnection> connection;
    RandomFilters random{20261208, GetParam()};
};

TEST_P(FileAndServer, SelectTheSameRowsInTheSameOrder)
{
    constexpr int kRows = 600;
    fill(kRows);
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();

    // Every field's order over the whole table, then random filters.
    QStringList statements;
    for (const auto &f : RandomFilters::fields()) {
        for (const char *direction : {"ASC", "DESC"})
            statements
                << QStringLiteral("Select Information.* From Information ORDER BY [%1] %2").arg(f.name, direction);
    }
    for (int n = 0; n < 500; ++n) {
        FilterRows filter = random.randomFilter();
        ASSERT_TRUE(CheckCriteria(filter).passed);
        statements << CreateSQLStatement(filter).statement;
    }

    int mismatches = 0;
    int nonTrivial = 0;
    for (const QString &statement : statements) {
        auto selected = db->OpenRecordset(statement, store::Recordset::Dynaset, &e);
        ASSERT_TRUE(selected) << e.text.toStdString() << "\n" << statement.toStdString();
        QList<qint64> fromFile;
        for (int i = 0; i < selected->RecordCount(); ++i)
            fromFile << selected->idAt(i);
        if (!fromFile.isEmpty() && fromFile.size() < kRows)
            ++nonTrivial;
        const QList<qint64> onServer = fromServer(statement);
        if (onServer != fromFile) {
            ADD_FAILURE() << statement.toStdString() << "\nfile rows " << fromFile.size() << ", server rows "
                          << onServer.size();
            if (++mismatches > 5)
                break;
        }
    }
    EXPECT_GT(nonTrivial, 200) << "most filters should select some rows but not all";
}

INSTANTIATE_TEST_SUITE_P(Names, FileAndServer, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return info.param ? "AsciiNamesOnly" : "NamesBeyondAscii";
});

} // namespace
