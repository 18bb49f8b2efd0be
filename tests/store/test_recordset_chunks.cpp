// A whole table opens with its first ids only and reads the rest in chunks.
// Every answer of the record set must be the one the fully read keyset gives.
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QSet>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>
#include <sqlite3.h>

using namespace store;

namespace {

constexpr int kRows = 1500;

class ChunkedKeyset : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EngineError e;
        db = DBEngine::OpenDatabase(folder.databasePath(), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
        // Names with ties in every case, NULLs, and locker numbers that repeat.
        ASSERT_TRUE(execSql(db->handle(),
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
                            "INSERT INTO Information (LockerNumber, LastName) SELECT "
                            "CASE WHEN i % 11 = 0 THEN NULL ELSE i * 37 % 400 END, "
                            "CASE WHEN i % 13 = 0 THEN NULL WHEN i % 2 = 0 THEN 'name' || (i % 97) "
                            "ELSE 'NAME' || (i % 97) END FROM n",
                            nullptr));
    }

    std::shared_ptr<Recordset> open(const QString &index = QString())
    {
        EngineError e;
        auto rs = db->OpenRecordset("Information", Recordset::Table, &e);
        EXPECT_TRUE(rs) << e.text.toStdString();
        if (rs && !index.isEmpty()) {
            EXPECT_TRUE(rs->setIndex(index, &e)) << e.text.toStdString();
        }
        return rs;
    }
    QList<qint64> expected(const QString &order)
    {
        QList<qint64> ids;
        Statement st(db->handle(), "SELECT rowid FROM Information ORDER BY " + order);
        while (st.step())
            ids << st.int64(0);
        return ids;
    }
    static QList<qint64> allIds(const Recordset &rs)
    {
        QList<qint64> ids;
        for (int i = 0; i < rs.RecordCount(); ++i)
            ids << rs.idAt(i);
        return ids;
    }

    testing_support::TempProgramFolder folder;
    std::shared_ptr<Database> db;
};

TEST_F(ChunkedKeyset, EveryOrderReadInChunksIsTheOrderReadAtOnce)
{
    const QList<QPair<QString, QString>> orders = {
        {"", "rowid"},
        {"LockerNumber", "LockerNumber, rowid"},
        {"LastName", "LastName COLLATE NOCASE, rowid"},
    };
    for (const auto &[index, order] : orders) {
        SCOPED_TRACE(index.toStdString());
        auto rs = open(index);
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->RecordCount(), kRows) << "exact before the rest is read";
        EXPECT_LT(rs->idsRead(), kRows);
        EXPECT_FALSE(rs->keysetComplete());

        // Straight to the end first, then every row.
        const QList<qint64> reference = expected(order);
        ASSERT_TRUE(rs->MoveLast());
        EXPECT_EQ(rs->AbsolutePosition(), kRows - 1);
        EXPECT_EQ(rs->Bookmark(), reference.last());
        EXPECT_EQ(rs->RecordCount(), kRows);
        EXPECT_EQ(allIds(*rs), reference);
        EXPECT_TRUE(rs->keysetComplete());

        // Step by step from the start, as the navigator does.
        auto stepping = open(index);
        QList<qint64> stepped;
        for (bool more = stepping->MoveFirst(); more && !stepping->atEOF(); more = stepping->MoveNext())
            stepped << stepping->Bookmark();
        EXPECT_EQ(stepped, reference);
    }
}

TEST_F(ChunkedKeyset, RowIdsFarApartComeInOrderToo)
{
    // Far below and above the rest, up to the highest a row id can be, in
    // an index order unlike theirs.
    ASSERT_TRUE(execSql(db->handle(),
                        "INSERT INTO Information (rowid, LockerNumber) VALUES "
                        "(9223372036854775807, 0), (-7, 399), (500000000000, 1)",
                        nullptr));
    auto rs = open();
    ASSERT_TRUE(rs->MoveLast());
    EXPECT_EQ(allIds(*rs), expected("rowid"));
    EXPECT_EQ(rs->Bookmark(), std::numeric_limits<qint64>::max());
}

TEST_F(ChunkedKeyset, ABookmarkIntoAnUnreadChunkFindsItsRow)
{
    const QList<qint64> reference = expected("LastName COLLATE NOCASE, rowid");
    auto rs = open("LastName");
    ASSERT_LT(rs->idsRead(), 300);
    ASSERT_TRUE(rs->setBookmark(reference.at(300)));
    EXPECT_EQ(rs->AbsolutePosition(), 300);
    EXPECT_EQ(rs->value("LastName"), rs->rowAt(300).value(rs->fieldIndex("LastName")));
    EXPECT_FALSE(rs->keysetComplete()) << "only what was needed was read";

    EngineError e;
    EXPECT_FALSE(rs->setBookmark(999999, &e)) << "a row id of no row";
    EXPECT_EQ(e.number, Err::NoCurrentRecord);
    EXPECT_EQ(rs->AbsolutePosition(), 300);
    EXPECT_EQ(rs->positionOf(999999), -1);
}

TEST_F(ChunkedKeyset, RowsDeletedAddedAndRekeyedWhileChunksRemainAreNeitherLostNorDoubled)
{
    QList<qint64> reference = expected("LastName COLLATE NOCASE, rowid");
    auto rs = open("LastName");
    ASSERT_FALSE(rs->keysetComplete());

    // The first row is deleted, the second gets a name that sorts into the
    // part of the index not read yet.
    ASSERT_TRUE(rs->MoveFirst());
    ASSERT_TRUE(rs->Delete());
    reference.removeFirst();
    EXPECT_EQ(rs->RecordCount(), kRows - 1);
    ASSERT_TRUE(rs->MoveNext());
    const qint64 renamed = rs->Bookmark();
    ASSERT_TRUE(rs->Edit() && rs->setValue("LastName", "zzz last of all") && rs->Update());

    // A row added now comes after every row, read or not.
    ASSERT_TRUE(rs->AddNew() && rs->setValue("LastName", "Aaron") && rs->Update());
    const qint64 added = rs->Bookmark();
    reference.append(added);
    EXPECT_EQ(rs->RecordCount(), kRows);
    EXPECT_EQ(rs->AbsolutePosition(), kRows - 1);
    EXPECT_FALSE(rs->keysetComplete());
    EXPECT_EQ(rs->value("LastName").toString(), "Aaron");

    // Deleting that row again, before the rest is read.
    ASSERT_TRUE(rs->Delete());
    reference.removeLast();
    EXPECT_EQ(rs->RecordCount(), kRows - 1);
    ASSERT_TRUE(rs->AddNew() && rs->setValue("LastName", "Bea") && rs->Update());
    reference.append(rs->Bookmark());

    const QList<qint64> ids = allIds(*rs);
    EXPECT_EQ(ids, reference);
    EXPECT_EQ(QSet<qint64>(ids.begin(), ids.end()).size(), ids.size()) << "no row twice";
    EXPECT_TRUE(ids.contains(renamed));
    EXPECT_TRUE(rs->keysetComplete());
    EXPECT_EQ(rs->RecordCount(), kRows);
}

TEST_F(ChunkedKeyset, ASortASnapshotAndAFilterOnAPartlyReadSet)
{
    auto rs = open();
    ASSERT_TRUE(rs->moveTo(300));
    ASSERT_FALSE(rs->keysetComplete());
    auto snapshot = rs->OpenSnapshot();
    EXPECT_EQ(snapshot->RecordCount(), kRows);
    EXPECT_EQ(allIds(*snapshot), expected("rowid"));
    EXPECT_FALSE(rs->keysetComplete()) << "the copy reads on its own";

    ASSERT_TRUE(rs->setIndex("LockerNumber"));
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->RecordCount(), kRows);
    EXPECT_EQ(allIds(*rs), expected("LockerNumber, rowid"));

    EngineError e;
    auto none =
        db->OpenRecordset("Select Information.* From Information Where [LastName] = 'nobody'", Recordset::Dynaset, &e);
    ASSERT_TRUE(none) << e.text.toStdString();
    EXPECT_EQ(none->RecordCount(), 0);
    EXPECT_FALSE(none->hasCurrent());
    EXPECT_FALSE(none->MoveLast(&e));

    // An empty table is complete at once.
    ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information", nullptr));
    auto empty = open("LastName");
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_TRUE(empty->keysetComplete());
    EXPECT_FALSE(empty->MoveFirst(&e));
}

TEST_F(ChunkedKeyset, RowsOthersAddAreNotInTheSetAndRowsOthersDeleteAreCountedOut)
{
    auto rs = open();
    ASSERT_FALSE(rs->keysetComplete());
    QSignalSpy resets(rs.get(), &Recordset::rowsReset);

    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(execSql(other, "INSERT INTO Information (LockerNumber) VALUES (9001)", nullptr));
    EXPECT_EQ(allIds(*rs).size(), kRows);
    EXPECT_EQ(rs->RecordCount(), kRows) << "the set holds the rows of the moment it opened";
    EXPECT_TRUE(resets.isEmpty());

    auto later = open();
    QSignalSpy laterResets(later.get(), &Recordset::rowsReset);
    ASSERT_TRUE(execSql(other, "DELETE FROM Information WHERE rowid > 1400", nullptr));
    sqlite3_close(other);
    ASSERT_TRUE(later->MoveLast());
    EXPECT_EQ(later->RecordCount(), 1400) << "exact after moving last";
    EXPECT_EQ(later->AbsolutePosition(), 1399);
    EXPECT_EQ(later->Bookmark(), 1400);
    EXPECT_EQ(later->idAt(kRows - 1), -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(laterResets.size(), 1) << "views of the set learn of the new count";
    EXPECT_TRUE(resets.isEmpty());
}

} // namespace
