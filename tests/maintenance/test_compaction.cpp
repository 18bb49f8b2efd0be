// The engine's compaction: a complete, checked copy under a name that did
// not exist, or nothing at all.
#include "DatabaseFiles.h"
#include "FullDisk.h"

#include "store/CopyCheck.h"
#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace store;
using namespace testing_support;

namespace {

class Compaction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Schema::createDeliveredDatabase(source, &e)) << e.text.toStdString();
        addCustomers(source, 3000, 3);
        // A table without an index, whose row ids a plain VACUUM would renumber.
        RawDatabase db;
        ASSERT_TRUE(db.open(source, RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(db.exec("INSERT INTO CenterInformation (CenterName) VALUES ('Second'); "
                            "DELETE FROM CenterInformation WHERE CenterName IS NULL",
                            &e))
            << e.text.toStdString();
    }

    QStringList folderEntries() const { return filesIn(dir.path()); }

    QTemporaryDir dir;
    QString source = dir.filePath("VANTREL.MDB");
    QString destination = dir.filePath("VANTRELOLD.MDB");
    EngineError e;
};

TEST_F(Compaction, CopyHoldsEveryRowUnderItsOwnRowIdWithoutTheFreePages)
{
    const QByteArray before = fileBytes(source);
    const auto customers = storedRows(source, "Information");
    const auto center = storedRows(source, "CenterInformation");
    ASSERT_EQ(customers.size(), 2000);
    ASSERT_EQ(center.size(), 1);
    ASSERT_EQ(center.first().rowid, 2);

    ASSERT_TRUE(DBEngine::CompactDatabase(source, destination, &e)) << e.text.toStdString();

    EXPECT_EQ(storedRows(destination, "Information"), customers);
    EXPECT_EQ(storedRows(destination, "CenterInformation"), center);
    EXPECT_EQ(integrityCheck(destination), "ok");
    EXPECT_LT(QFileInfo(destination).size(), before.size());
    EXPECT_EQ(fileBytes(source), before) << "the source is only read";

    // A plain file of the stock engine in rollback-journal mode, for its owner only.
    const QByteArray header = fileBytes(destination).left(20);
    EXPECT_EQ(header.at(18), 1);
    EXPECT_EQ(header.at(19), 1);
    EXPECT_EQ(fileMode(destination), 0600);
    EXPECT_EQ(folderEntries(), QStringList({"VANTREL.MDB", "VANTRELOLD.MDB"})) << "no partial file or journal";

    // Indexes and their names come along.
    auto db = DBEngine::OpenDatabase(destination, &e);
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->tableDef("Information")->index("LockerNumber"));
    EXPECT_TRUE(db->tableDef("Information")->index("LastName"));
}

TEST_F(Compaction, AnExistingDestinationIsRefusedAndLeftAlone)
{
    QFile taken(destination);
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("the only copy of something");
    taken.close();

    EXPECT_FALSE(DBEngine::CompactDatabase(source, destination, &e));
    EXPECT_EQ(e.number, Err::FileExists);
    EXPECT_EQ(e.text, QString("Cannot compact into '%1': a file of that name already exists.").arg(destination));
    EXPECT_EQ(fileBytes(destination), QByteArray("the only copy of something"));
}

TEST_F(Compaction, FailuresLeaveNoDestinationAndTheSourceAsItWas)
{
    const QByteArray before = fileBytes(source);
    {
        // The disk fills up halfway through the copy.
        FullDisk fullDisk(before.size() / 2);
        EXPECT_FALSE(DBEngine::CompactDatabase(source, destination, &e));
    }
    EXPECT_EQ(e.number, Err::DiskFull) << e.text.toStdString();
    EXPECT_TRUE(e.text.contains("database or disk is full")) << e.text.toStdString();
    EXPECT_EQ(folderEntries(), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(fileBytes(source), before);

    EXPECT_FALSE(DBEngine::CompactDatabase(dir.filePath("missing.mdb"), destination, &e));
    EXPECT_EQ(e.number, Err::FileNotFound);
    EXPECT_EQ(e.text, QString("Could not find file '%1'.").arg(dir.filePath("missing.mdb")));

    const QString notADatabase = dir.filePath("notes.mdb");
    QFile notes(notADatabase);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(8192, 'x'));
    notes.close();
    EXPECT_FALSE(DBEngine::CompactDatabase(notADatabase, destination, &e));
    EXPECT_EQ(e.number, Err::UnrecognizedFormat) << e.text.toStdString();
    EXPECT_EQ(folderEntries(), QStringList({"VANTREL.MDB", "notes.mdb"}));
    EXPECT_EQ(fileBytes(notADatabase), QByteArray(8192, 'x'));
}

TEST_F(Compaction, APartialCopyLeftByAnInterruptedRunIsReplaced)
{
    QFile partial(destination + ".partial");
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("half a copy");
    partial.close();

    ASSERT_TRUE(DBEngine::CompactDatabase(source, destination, &e)) << e.text.toStdString();
    EXPECT_EQ(storedRows(destination, "Information").size(), 2000);
    EXPECT_FALSE(QFileInfo::exists(destination + ".partial"));
}

TEST_F(Compaction, TheCheckRefusesACopyThatDiffersFromItsSource)
{
    RawDatabase db;
    ASSERT_TRUE(db.open(source, RawDatabase::ReadOnly, &e));
    QList<TableSummary> summaries;
    ASSERT_TRUE(summarizeTables(db.handle(), &summaries, &e)) << e.text.toStdString();
    db.close();
    ASSERT_EQ(summaries.size(), 2);
    EXPECT_TRUE(checkCopy(source, summaries, &e)) << e.text.toStdString();

    // A row less, the same number of rows under other ids, a table too many.
    QList<TableSummary> fewer = summaries;
    fewer[1].rows += 1;
    EXPECT_FALSE(checkCopy(source, fewer, &e));
    EXPECT_EQ(e.number, Err::Corrupt);
    EXPECT_TRUE(e.text.endsWith("the table 'Information' holds 2000 rows instead of 2001.")) << e.text.toStdString();
    QList<TableSummary> renumbered = summaries;
    renumbered[1].lastRowid = renumbered[1].rows;
    EXPECT_FALSE(checkCopy(source, renumbered, &e));
    EXPECT_TRUE(e.text.endsWith("the rows of the table 'Information' have other row ids.")) << e.text.toStdString();
    EXPECT_FALSE(checkCopy(source, {summaries.first()}, &e));
    EXPECT_TRUE(e.text.contains("holds the tables CenterInformation, Information instead of CenterInformation."))
        << e.text.toStdString();

    // An index that no longer holds the keys of its table's rows.
    const QString damaged = dir.filePath("damaged.mdb");
    ASSERT_TRUE(QFile::copy(source, damaged));
    ASSERT_TRUE(db.open(damaged, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("PRAGMA writable_schema = ON; "
                        "UPDATE sqlite_master SET sql = replace(sql, '(\"LockerNumber\")', '(\"KeyNumber\")') "
                        "WHERE name = 'LockerNumber'",
                        &e))
        << e.text.toStdString();
    db.close();
    EXPECT_FALSE(checkCopy(damaged, summaries, &e));
    EXPECT_TRUE(e.text.endsWith("the index 'LockerNumber' does not match the rows of the table 'Information'."))
        << e.text.toStdString();

    // A copy in write-ahead-log mode would leave files beside it.
    const QString wal = dir.filePath("wal.mdb");
    ASSERT_TRUE(QFile::copy(source, wal));
    ASSERT_TRUE(db.open(wal, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("PRAGMA journal_mode = WAL", &e));
    db.close();
    EXPECT_FALSE(checkCopy(wal, summaries, &e));
    EXPECT_TRUE(e.text.endsWith("it is not in rollback-journal mode.")) << e.text.toStdString();
}

} // namespace
