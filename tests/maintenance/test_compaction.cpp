// The engine's compaction: a complete, checked copy under a name that did
// not exist, or nothing at all.
#include "DatabaseFiles.h"
#include "FullDisk.h"
#include "TamperedCopy.h"

#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/salvage/CopyCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
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
        insertVariedCustomers(source, 3000, 3);
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

// Makes an index of the file hold only the rows `where` selects (in place of
// its own condition, for a partial one), its definition left as it was: the
// damage a lost index page leaves, which the engine's check of the pages
// alone does not see.
void shortenIndex(const QString &path, const QString &index, const QString &where)
{
    EngineError e;
    RawDatabase db;
    ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e));
    Statement definition(db.handle(), "SELECT sql FROM sqlite_master WHERE name = ?");
    definition.bind(1, index);
    ASSERT_TRUE(definition.step());
    const QString sql = definition.value(0).toString();
    definition = Statement();
    const auto setDefinition = [&](const QString &text) {
        ASSERT_TRUE(execSql(db.handle(), "PRAGMA writable_schema = ON", &e));
        ASSERT_TRUE(execSql(db.handle(), "UPDATE sqlite_master SET sql = ? WHERE name = ?", &e, {text, index}))
            << e.text.toStdString();
        ASSERT_TRUE(execSql(db.handle(), "PRAGMA writable_schema = RESET", &e)) << e.text.toStdString();
    };
    const qsizetype clause = sql.indexOf(" WHERE ");
    setDefinition((clause < 0 ? sql : sql.left(clause)) + " WHERE " + where);
    ASSERT_TRUE(execSql(db.handle(), "REINDEX " + quoteIdentifier(index), &e)) << e.text.toStdString();
    setDefinition(sql);
}

DatabaseSummary summaryOf(const QString &path)
{
    RawDatabase db;
    EngineError e;
    DatabaseSummary summary;
    EXPECT_TRUE(db.open(path, RawDatabase::ReadOnly, &e));
    EXPECT_TRUE(summarizeDatabase(db.handle(), &summary, &e)) << e.text.toStdString();
    return summary;
}

TEST_F(Compaction, TheCheckRefusesACopyThatDiffersFromItsSource)
{
    const DatabaseSummary summary = summaryOf(source);
    ASSERT_EQ(summary.tables.size(), 2);
    EXPECT_TRUE(checkCopy(source, summary, ReadBack::WhenInDoubt, &e)) << e.text.toStdString();
    EXPECT_TRUE(checkCopy(source, summary, ReadBack::Always, &e)) << e.text.toStdString();

    // A row less, the same number of rows under other ids, a table too many.
    DatabaseSummary fewer = summary;
    fewer.tables[1].rows += 1;
    EXPECT_FALSE(checkCopy(source, fewer, ReadBack::WhenInDoubt, &e));
    EXPECT_EQ(e.number, Err::Corrupt);
    EXPECT_TRUE(e.text.endsWith("the table 'Information' holds 2000 rows instead of 2001.")) << e.text.toStdString();
    DatabaseSummary renumbered = summary;
    renumbered.tables[1].lastRowid = renumbered.tables[1].rows;
    EXPECT_FALSE(checkCopy(source, renumbered, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(e.text.endsWith("the rows of the table 'Information' have other row ids.")) << e.text.toStdString();
    DatabaseSummary oneTable = summary;
    oneTable.schema.removeIf([](const SchemaEntry &entry) { return entry.table == "Information"; });
    EXPECT_FALSE(checkCopy(source, oneTable, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(e.text.endsWith("it holds the tables CenterInformation, Information instead of CenterInformation."))
        << e.text.toStdString();
    DatabaseSummary otherPages = summary;
    otherPages.pageSize *= 2;
    EXPECT_FALSE(checkCopy(source, otherPages, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(e.text.endsWith(
        QString("its pages are %1 bytes instead of %2.").arg(summary.pageSize).arg(otherPages.pageSize)))
        << e.text.toStdString();

    // An index defined otherwise.
    const QString redefined = dir.filePath("redefined.mdb");
    ASSERT_TRUE(QFile::copy(source, redefined));
    RawDatabase db;
    ASSERT_TRUE(db.open(redefined, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("PRAGMA writable_schema = ON; "
                        "UPDATE sqlite_master SET sql = replace(sql, '(\"LockerNumber\")', '(\"KeyNumber\")') "
                        "WHERE name = 'LockerNumber'",
                        &e))
        << e.text.toStdString();
    db.close();
    EXPECT_FALSE(checkCopy(redefined, summary, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(e.text.endsWith("the index 'LockerNumber' is not defined as in the database.")) << e.text.toStdString();

    // An index short of entries, which the engine's check of the pages passes.
    const QString shortIndex = dir.filePath("short-index.mdb");
    ASSERT_TRUE(QFile::copy(source, shortIndex));
    shortenIndex(shortIndex, "LastName", "rowid % 2 = 0");
    ASSERT_EQ(quickCheck(shortIndex), "ok");
    EXPECT_FALSE(checkCopy(shortIndex, summary, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(
        e.text.endsWith("the index 'LastName' holds 1000 entries for the 2000 rows of the table 'Information'."))
        << e.text.toStdString();

    // A copy in write-ahead-log mode would leave files beside it.
    const QString wal = dir.filePath("wal.mdb");
    ASSERT_TRUE(QFile::copy(source, wal));
    ASSERT_TRUE(db.open(wal, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("PRAGMA journal_mode = WAL", &e));
    db.close();
    EXPECT_FALSE(checkCopy(wal, summary, ReadBack::WhenInDoubt, &e));
    EXPECT_TRUE(e.text.endsWith("it is not in rollback-journal mode.")) << e.text.toStdString();
}

// The copy is damaged between its writing and its check; the compaction
// must refuse it and leave the database as it was.
TEST_F(Compaction, ACopyDamagedAfterItWasWrittenIsRefused)
{
    struct Damage {
        const char *what;
        std::function<void(const QString &)> apply;
        QString expected; // the end of the error text, or a part of it
    };
    const auto middleLeaf = [](const QString &path, const QString &tree) {
        const QList<Page> leaves = leafPages(path, tree);
        return leaves.isEmpty() ? 0 : leaves.at(leaves.size() / 2).number;
    };
    const QList<Damage> damages{
        {"a page of the table overwritten",
         [&](const QString &copy) { overwritePage(copy, middleLeaf(copy, "Information")); },
         "database disk image is malformed"},
        {"a page of an index overwritten",
         [&](const QString &copy) { overwritePage(copy, middleLeaf(copy, "LastName")); },
         "the pages of the index 'LastName' do not form an index."},
        {"a row deleted",
         [](const QString &copy) {
             RawDatabase db;
             EngineError error;
             ASSERT_TRUE(db.open(copy, RawDatabase::ReadWrite, &error));
             ASSERT_TRUE(db.exec("DELETE FROM Information WHERE rowid = (SELECT rowid FROM Information "
                                 "ORDER BY rowid LIMIT 1 OFFSET 1000)",
                                 &error))
                 << error.text.toStdString();
         },
         "the table 'Information' holds 1999 rows instead of 2000."},
        {"its last page cut off",
         [](const QString &copy) {
             QFile file(copy);
             ASSERT_TRUE(file.resize(file.size() - pageSize(copy)));
         },
         "pages take."},
    };
    const QByteArray before = fileBytes(source);
    for (const Damage &damage : damages) {
        SCOPED_TRACE(damage.what);
        {
            TamperedCopy tamper(damage.apply);
            EXPECT_FALSE(DBEngine::CompactDatabase(source, destination, &e));
            EXPECT_TRUE(tamper.tampered());
        }
        EXPECT_EQ(e.number, Err::Corrupt) << e.text.toStdString();
        EXPECT_TRUE(e.text.contains(damage.expected)) << e.text.toStdString();
        EXPECT_EQ(fileBytes(source), before);
        EXPECT_EQ(folderEntries(), QStringList({"VANTREL.MDB"}));
    }
    // Untouched, the same copy passes.
    ASSERT_TRUE(DBEngine::CompactDatabase(source, destination, &e)) << e.text.toStdString();
}

// A source whose index lost entries passes them on to the copy, entry for
// entry: the copy is refused, and the database keeps it for the repair.
TEST_F(Compaction, ASourceIndexShortOfEntriesIsNotCopied)
{
    shortenIndex(source, "LockerNumber", "rowid < 100"); // 66 of the rows
    ASSERT_EQ(quickCheck(source), "ok");
    const QByteArray before = fileBytes(source);
    EXPECT_FALSE(DBEngine::CompactDatabase(source, destination, &e));
    EXPECT_TRUE(e.text.endsWith("the index 'LockerNumber' holds 66 entries for the 2000 rows of the table "
                                "'Information'."))
        << e.text.toStdString();
    EXPECT_EQ(fileBytes(source), before);
    EXPECT_EQ(folderEntries(), QStringList({"VANTREL.MDB"}));
}

// A partial index holds the rows its condition selects: counted through a
// full index that holds the columns the condition reads, in the source beside
// the copy or in the copy itself. Where no full index does, and for a table
// without row ids, which has no ends to compare, the table is read back.
TEST_F(Compaction, PartialIndexesAndTablesWithoutRowIdsAreVouchedFor)
{
    RawDatabase db;
    ASSERT_TRUE(db.open(source, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("UPDATE Information SET LastName = LastName || ' ' WHERE LockerNumber % 7 = 0; "
                        "CREATE INDEX Late ON Information (LockerNumber) WHERE LockerNumber > 500; "
                        "CREATE INDEX Town ON Information (LockerNumber) WHERE City = 'Springfield'; "
                        "CREATE TABLE Codes (Code TEXT PRIMARY KEY, Meaning TEXT) WITHOUT ROWID; "
                        "INSERT INTO Codes SELECT 'C' || rowid, LastName FROM Information",
                        &e))
        << e.text.toStdString();
    QList<PartialIndexSummary> partial;
    ASSERT_TRUE(summarizePartialIndexes(db.handle(), &partial, &e)) << e.text.toStdString();
    db.close();
    // 2000 customers; 286 of them end in a blank, 1666 have lockers beyond 500.
    EXPECT_EQ(partial, QList<PartialIndexSummary>({{"LastNameOrderExceptions", 286}, {"Late", 1666}}));
    ASSERT_TRUE(DBEngine::CompactDatabase(source, destination, &e)) << e.text.toStdString();
    EXPECT_EQ(integrityCheck(destination), "ok");

    DatabaseSummary counted = summaryOf(source);
    counted.partialIndexes = partial;
    for (const DatabaseSummary &summary : {summaryOf(source), counted}) {
        ASSERT_TRUE(checkCopy(destination, summary, ReadBack::WhenInDoubt, &e)) << e.text.toStdString();

        const QString fewerCodes = dir.filePath("fewer-codes.mdb");
        ASSERT_TRUE(QFile::copy(destination, fewerCodes));
        ASSERT_TRUE(db.open(fewerCodes, RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(db.exec("DELETE FROM Codes WHERE Code = 'C5'", &e));
        db.close();
        EXPECT_FALSE(checkCopy(fewerCodes, summary, ReadBack::WhenInDoubt, &e));
        EXPECT_TRUE(e.text.endsWith("the table 'Codes' holds 1999 rows instead of 2000.")) << e.text.toStdString();

        const struct {
            const char *index, *where, *reason;
        } shortened[] = {
            {"Late", "LockerNumber > 900",
             "the index 'Late' holds 1400 entries for the 1666 rows of the table 'Information' its condition "
             "selects."},
            {"LastNameOrderExceptions", "LastName GLOB '*1 '",
             "the index 'LastNameOrderExceptions' holds 28 entries for the 286 rows of the table 'Information' "
             "its condition selects."},
            {"Town", "LockerNumber > 900", "missing from index Town"},
        };
        for (const auto &c : shortened) {
            const QString copy = dir.filePath("short-partial.mdb");
            ASSERT_TRUE(QFile::copy(destination, copy));
            shortenIndex(copy, c.index, c.where);
            EXPECT_FALSE(checkCopy(copy, summary, ReadBack::WhenInDoubt, &e)) << c.index;
            EXPECT_TRUE(e.text.contains(c.reason)) << e.text.toStdString();
            QFile::remove(copy);
        }
        QFile::remove(fewerCodes);
    }

    // The source's own partial index short of entries hands the loss on to
    // the copy: counted through the full index, it is found all the same.
    QFile::remove(destination);
    shortenIndex(source, "Late", "LockerNumber > 900");
    EXPECT_FALSE(DBEngine::CompactDatabase(source, destination, &e));
    EXPECT_TRUE(e.text.endsWith("the index 'Late' holds 1400 entries for the 1666 rows of the table 'Information' "
                                "its condition selects."))
        << e.text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(destination));
}

} // namespace
