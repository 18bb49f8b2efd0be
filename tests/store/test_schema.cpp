#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;

namespace {

TEST(Schema, DeliveredDatabaseHasBothTablesIndexesAndOneCenterRow)
{
    testing_support::TempProgramFolder folder;
    EngineError e;
    auto db = DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();

    const TableDef *info = db->tableDef(QStringLiteral("information"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, QStringLiteral("Information"));
    EXPECT_EQ(info->fields.size(), 48);
    EXPECT_TRUE(info->index(QStringLiteral("LockerNumber")));
    EXPECT_TRUE(info->index(QStringLiteral("LastName")));

    auto center = db->OpenRecordset(QStringLiteral("CenterInformation"), Recordset::Table, &e);
    ASSERT_TRUE(center) << e.text.toStdString();
    EXPECT_EQ(center->RecordCount(), 1);
    auto customers = db->OpenRecordset(QStringLiteral("Information"), Recordset::Table, &e);
    ASSERT_TRUE(customers);
    EXPECT_EQ(customers->RecordCount(), 0);
}

TEST(Schema, RecordSetReportsTheEngineTypeCodeOfEveryKind)
{
    testing_support::TempProgramFolder folder;
    EngineError e;
    auto db = DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db);
    auto rs = db->OpenRecordset(QStringLiteral("Information"), Recordset::Dynaset, &e);
    ASSERT_TRUE(rs);
    QHash<QString, int> codes;
    QStringList order;
    for (const FieldInfo &f : rs->Fields()) {
        codes.insert(f.name, f.type);
        order << f.name;
    }
    EXPECT_EQ(order, Schema::information().fieldNames());
    EXPECT_EQ(codes.value("Adult"), 1);
    EXPECT_EQ(codes.value("LockerNumber"), 4);
    EXPECT_EQ(codes.value("VIBNumber"), 4);
    EXPECT_EQ(codes.value("DateToRenew"), 8);
    EXPECT_EQ(codes.value("Birthdate"), 10);
    EXPECT_EQ(codes.value("Phone2"), 10);
    EXPECT_EQ(codes.value("Notes"), 12);
    EXPECT_EQ(rs->fieldIndex(QStringLiteral("DatetoRenew")), rs->fieldIndex(QStringLiteral("DateToRenew")));
}

TEST(Schema, DeliveredFileIsPrivateAndNeverOverwritten)
{
    testing_support::TempProgramFolder folder;
    QFile file(folder.databasePath());
    EXPECT_EQ(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    EngineError e;
    EXPECT_FALSE(Schema::createDeliveredDatabase(folder.databasePath(), &e));
    EXPECT_EQ(e.number, Err::FileExists);
}

TEST(Schema, StockShellReadsTheFileAndItsIntegrityHolds)
{
    testing_support::TempProgramFolder folder;
    QProcess shell;
    // The shell writes too: the partial index of odd names is kept by it.
    shell.start(QStringLiteral("sqlite3"),
                {folder.databasePath(),
                 QString::fromUtf8("INSERT INTO Information (LastName) VALUES "
                                   "('Müller'), ('Smith '), ('Jones'); PRAGMA integrity_check;")});
    if (!shell.waitForStarted())
        GTEST_SKIP() << "sqlite3 shell not installed";
    shell.waitForFinished();
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()).trimmed(), QStringLiteral("ok"));

    EngineError e;
    auto db = DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();
    const QString field = QStringLiteral("LastName");
    Statement odd(
        db->handle(),
        QStringLiteral("SELECT LastName FROM Information INDEXED BY %1 WHERE %2 ORDER BY rowid")
            .arg(quoteIdentifier(Schema::orderExceptionsIndex(field)), Schema::orderExceptionsCondition(field)));
    QStringList held;
    while (odd.step())
        held << odd.value(0).toString();
    EXPECT_EQ(held, QStringList({QString::fromUtf8("Müller"), QStringLiteral("Smith ")}));
}

TEST(Engine, ATableAnotherProgramAddsOpensByNameInAnyCaseAndANameOfNoTableIsRefused)
{
    testing_support::TempProgramFolder folder;
    EngineError e;
    auto db = DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();
    EXPECT_FALSE(db->OpenRecordset(QStringLiteral("Extra"), Recordset::Table, &e));
    EXPECT_EQ(e.number, Err::ItemNotFound);

    // Added by another connection after this one has read the schema.
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(folder.databasePath().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_TRUE(execSql(other, QStringLiteral("CREATE TABLE Extra (Word TEXT)"), nullptr));
    ASSERT_TRUE(execSql(other, QStringLiteral("INSERT INTO Extra VALUES ('a'), ('b')"), nullptr));
    sqlite3_close(other);
    auto extra = db->OpenRecordset(QStringLiteral("EXTRA"), Recordset::Table, &e);
    ASSERT_TRUE(extra) << e.text.toStdString();
    EXPECT_EQ(extra->RecordCount(), 2);
    auto statement = db->OpenRecordset(QStringLiteral("Select Information.* From Information"), Recordset::Dynaset, &e);
    EXPECT_TRUE(statement) << e.text.toStdString();
    EXPECT_FALSE(db->OpenRecordset(QStringLiteral("Extras"), Recordset::Table, &e));
    EXPECT_EQ(e.number, Err::ItemNotFound);
}

TEST(Engine, MissingOrForeignFileIsRefusedWithTheEngineText)
{
    testing_support::TempProgramFolder folder(false);
    EngineError e;
    EXPECT_FALSE(DBEngine::OpenDatabase(folder.file(QStringLiteral("Vantrel.mdb")), &e));
    EXPECT_EQ(e.number, Err::FileNotFound);
    EXPECT_TRUE(e.text.startsWith(QStringLiteral("Could not find file"))) << e.text.toStdString();
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Vantrel.mdb")))) << "opening must not create the file";

    QFile junk(folder.file(QStringLiteral("Vantrel.mdb")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'x'));
    junk.close();
    EXPECT_FALSE(DBEngine::OpenDatabase(folder.databasePath(), &e));
    EXPECT_EQ(e.number, Err::UnrecognizedFormat);
}

} // namespace
