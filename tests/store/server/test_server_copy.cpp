// A file's customers to the server and back into a new file: every field of
// every row equal, each direction all or nothing.
#include "../../maintenance/DatabaseFiles.h"
#include "ServerTestDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/server/ServerCopy.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QDate>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;
using testing_support::ServerTestDatabase;

namespace {

// Texts that test the copy's escaping and the server's text: control
// characters, backslashes, quotes, letters of other scripts, a character
// beyond the 16-bit range.
const QList<char32_t> kAlphabet = {'a',  'Z',  '0',  ' ', '\t', '\n', '\r', '\\',  '\'', '"',
                                   '\b', '\v', '\f', ',', U'é', U'ß', U'Ω', U'李', U'😀', U'\u212A'};

QVariant randomValue(QRandomGenerator &rng, const FieldDef &field)
{
    if (field.kind == FieldKind::YesNo)
        return qint64(rng.bounded(2));
    if (rng.bounded(10) == 0)
        return {};
    switch (field.kind) {
    case FieldKind::Long: return qint64(qint32(rng.generate()));
    case FieldKind::Date: return QDate(1900, 1, 1).addDays(rng.bounded(73000)).toString(Qt::ISODate);
    default: break;
    }
    const int length = int(rng.bounded(field.kind == FieldKind::Memo ? 400 : field.maxLength + 1));
    QString text;
    for (int i = 0; i < length; ++i) {
        const char32_t c = kAlphabet.at(int(rng.bounded(qsizetype(kAlphabet.size()))));
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

class ServerCopyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isReady());
        connection = server.connect();
        ASSERT_TRUE(connection);
    }

    qint64 serverCount(const QString &sql)
    {
        ServerResult result;
        EngineError error;
        EXPECT_TRUE(connection->exec(sql, {}, &result, &error)) << error.text.toStdString();
        return result.rowCount() ? result.value(0, 0).toLongLong() : -1;
    }

    testing_support::TempProgramFolder folder;
    ServerTestDatabase server;
    std::unique_ptr<ServerConnection> connection;
};

TEST_F(ServerCopyTest, RandomCustomersGoThereAndBackWithEveryFieldEqual)
{
    constexpr int kCustomers = 100000;
    QRandomGenerator rng(20261208);
    QList<testing_support::CustomerRow> customers;
    for (int i = 0; i < kCustomers; ++i) {
        testing_support::CustomerRow row;
        for (const FieldDef &f : Schema::information().fields)
            row[f.name] = randomValue(rng, f);
        customers << row;
    }
    testing_support::insertCustomers(folder.databasePath(), customers);
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        // Gaps in the row numbers, which both sides keep.
        EXPECT_TRUE(execSql(db, "DELETE FROM Information WHERE rowid % 7 = 0", nullptr));
        EXPECT_TRUE(execSql(db, "UPDATE CenterInformation SET CenterName = ?1, YearlyRate = '45.00'", nullptr,
                            {QString::fromUtf8("Lanes \\ \"Ålesund\"\t1")}));
        sqlite3_close(db);
    }

    ServerCopy::Summary to;
    EngineError error;
    ASSERT_TRUE(ServerCopy::toServer(folder.databasePath(), *connection, &to, &error)) << error.text.toStdString();
    EXPECT_EQ(to.customers, kCustomers - kCustomers / 7);
    EXPECT_EQ(ServerCopy::copiedToText(to, *connection),
              QString("Copied 85,715 customers and the center's settings into the database %1; every field was "
                      "compared after the copy.")
                  .arg(connection->where()));
    // New customers on the server are numbered after the copied ones.
    EXPECT_TRUE(connection->exec("INSERT INTO \"Information\" (\"LastName\") VALUES ('New')", {}, nullptr, &error))
        << error.text.toStdString();
    EXPECT_EQ(serverCount("SELECT \"RowId\" FROM \"Information\" WHERE \"LastName\" = 'New'"), kCustomers + 1);
    EXPECT_TRUE(
        connection->exec("DELETE FROM \"Information\" WHERE \"RowId\" = $1", {kCustomers + 1}, nullptr, &error));

    const QString back = folder.file("Back.mdb");
    ServerCopy::Summary from;
    ASSERT_TRUE(ServerCopy::fromServer(*connection, back, &from, &error)) << error.text.toStdString();
    EXPECT_EQ(from.customers, to.customers);
    for (const TableDef *table : {&Schema::information(), &Schema::centerInformation()}) {
        const auto original = testing_support::storedRows(folder.databasePath(), table->name);
        const auto copy = testing_support::storedRows(back, table->name);
        ASSERT_EQ(copy.size(), original.size());
        for (int r = 0; r < original.size(); ++r)
            ASSERT_EQ(copy.at(r), original.at(r)) << table->name.toStdString() << " row " << r;
    }
    EXPECT_EQ(QFile::permissions(back) & (QFile::ReadGroup | QFile::ReadOther), 0)
        << "it holds social security numbers";

    // Neither direction overwrites what is there.
    EXPECT_FALSE(ServerCopy::toServer(folder.databasePath(), *connection, &to, &error));
    EXPECT_EQ(error.text,
              QString("The database %1 already holds 85,715 customers: a file is only copied into a "
                      "database without customers.")
                  .arg(connection->where()));
    EXPECT_FALSE(ServerCopy::fromServer(*connection, folder.databasePath(), &from, &error));
    EXPECT_EQ(error.number, Err::FileExists);
    EXPECT_EQ(serverCount("SELECT count(*) FROM \"Information\""), kCustomers - kCustomers / 7);
}

TEST_F(ServerCopyTest, AValueTheServerCannotHoldCopiesNothing)
{
    testing_support::insertCustomers(
        folder.databasePath(),
        {{{"LastName", "Good"}, {"DateRented", "2024-01-05"}}, {{"LastName", "Bad"}, {"DateRented", "the fifth"}}});
    EngineError error;
    EXPECT_FALSE(ServerCopy::toServer(folder.databasePath(), *connection, nullptr, &error));
    EXPECT_EQ(error.text,
              "Row 2 of Information: the field DateRented holds 'the fifth', which is no date; nothing "
              "was copied.");
    // Not even the tables the copy began with are left.
    EXPECT_EQ(serverCount("SELECT count(*) FROM pg_class WHERE relname = 'Information'"), 0);
}

// Every row of the server, its number and version included, as one text.
QString serverRows(ServerConnection &server)
{
    ServerResult result;
    EngineError error;
    EXPECT_TRUE(server.exec("SELECT (SELECT string_agg(i::text, '|' ORDER BY \"RowId\") FROM \"Information\" i) || "
                            "(SELECT string_agg(c::text, '|') FROM \"CenterInformation\" c)",
                            {}, &result, &error))
        << error.text.toStdString();
    return result.text(0, 0);
}

TEST_F(ServerCopyTest, AReplaceTakesEveryRowOfTheFileOrNone)
{
    testing_support::insertCustomers(folder.databasePath(),
                                     {{{"LastName", "Ann"}}, {{"LastName", "Bob"}}, {{"LastName", "Cy"}}});
    EngineError error;
    ASSERT_TRUE(ServerCopy::toServer(folder.databasePath(), *connection, nullptr, &error)) << error.text.toStdString();
    // A desk holds Bob at his version; another desk saved Cy twice and added Dee.
    const qint64 bobVersion = serverCount("SELECT \"RowVersion\" FROM \"Information\" WHERE \"RowId\" = 2");
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(connection->exec("UPDATE \"Information\" SET \"FirstName\" = 'x' WHERE \"RowId\" = 3", {}, nullptr,
                                     &error));
    ASSERT_TRUE(connection->exec("INSERT INTO \"Information\" (\"LastName\") VALUES ('Dee')", {}, nullptr, &error));
    const QString before = serverRows(*connection);

    // A row the server's checks refuse, the last one copied: nothing changes.
    const QString refused = folder.file("Refused.mdb");
    ASSERT_TRUE(Schema::createDeliveredDatabase(refused, &error));
    testing_support::insertCustomers(refused, {{{"LastName", "Eve"}}, {{"LastName", QString(300, 'z')}}});
    EXPECT_FALSE(ServerCopy::replaceOnServer(refused, *connection, nullptr, &error));
    EXPECT_TRUE(error.text.contains("check constraint")) << error.text.toStdString();
    EXPECT_EQ(serverRows(*connection), before);

    const QString archived = folder.file("Archived.mdb");
    ASSERT_TRUE(Schema::createDeliveredDatabase(archived, &error));
    testing_support::insertCustomers(archived, {{{"LastName", "Ann"}}, {{"LastName", QString::fromUtf8("Bö\tb")}}});
    ServerCopy::Summary summary;
    ASSERT_TRUE(ServerCopy::replaceOnServer(archived, *connection, &summary, &error)) << error.text.toStdString();
    EXPECT_EQ(summary.customers, 2);
    const QString back = folder.file("Back.mdb");
    ASSERT_TRUE(ServerCopy::fromServer(*connection, back, nullptr, &error)) << error.text.toStdString();
    for (const TableDef *table : {&Schema::information(), &Schema::centerInformation()})
        EXPECT_EQ(testing_support::storedRows(back, table->name), testing_support::storedRows(archived, table->name));

    // The desk holding Bob finds him changed, not silently overwritten.
    ServerResult result;
    ASSERT_TRUE(connection->exec("UPDATE \"Information\" SET \"FirstName\" = 'y' WHERE \"RowId\" = 2 AND "
                                 "\"RowVersion\" = $1 RETURNING 1",
                                 {bobVersion}, &result, &error));
    EXPECT_EQ(result.rowCount(), 0);
    EXPECT_GT(serverCount("SELECT min(\"RowVersion\") FROM \"Information\""), 3);
    // A new customer takes a number never given before (Dee had 4).
    ASSERT_TRUE(connection->exec("INSERT INTO \"Information\" (\"LastName\") VALUES ('Fay') RETURNING \"RowId\"", {},
                                 &result, &error));
    EXPECT_EQ(result.value(0, 0).toLongLong(), 5);
}

} // namespace
