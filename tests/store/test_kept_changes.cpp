// Changes that touch many customers at once are kept in the file and come
// back exactly, newest first; what is kept stays within its limits.
#include "maintenance/DatabaseFiles.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/FilterFixture.h"
#include "store/KeptChanges.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;
using testing_support::storedRows;

namespace {

const QString kDelete = QStringLiteral("Delete Found Records");

class KeptChangesTest : public ::testing::Test
{
protected:
    // Small tables: the size limit would let only the newest change stay.
    static void SetUpTestSuite()
    {
        QStandardPaths::setTestModeEnabled(true);
        settings().setValue("KeptChanges/PercentOfFile", 100);
    }
    static void TearDownTestSuite() { settings().remove("KeptChanges"); }
    static QSettings settings() { return QSettings(QSettings::UserScope, "Vantrel", "Vantrel"); }

    void open()
    {
        EngineError e;
        db = Database::open(folder.databasePath(), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
    }
    QList<testing_support::StoredRow> customers() const { return storedRows(folder.databasePath(), "Information"); }
    int deleteWhere(const QString &where)
    {
        EngineError e;
        int removed = -1;
        const QString statement =
            QStringLiteral("Delete * From Information") + (where.isEmpty() ? "" : " Where " + where);
        EXPECT_TRUE(db->Execute(statement, &e, &removed, kDelete)) << statement.toStdString() << e.text.toStdString();
        return removed;
    }
    UndoResult undo()
    {
        UndoResult r;
        EngineError e;
        EXPECT_TRUE(KeptChanges(db->handle()).undoLast(&r, &e)) << e.text.toStdString();
        return r;
    }
    QList<KeptChange> kept() const
    {
        EngineError e;
        return KeptChanges(db->handle()).list(&e);
    }
    QString schemaOf(const QString &table) const
    {
        Statement st(db->handle(), "SELECT group_concat(sql, ';') FROM sqlite_master WHERE tbl_name = ?");
        st.bind(1, table);
        return st.step() ? st.value(0).toString() : QString();
    }

    testing_support::TempProgramFolder folder;
    std::shared_ptr<Database> db;
};

// A condition of the filter builder's dialect on the fields the tables fill.
QString randomCondition(QRandomGenerator &random)
{
    const int n = random.bounded(400);
    switch (random.bounded(8)) {
    case 0: return QStringLiteral("[LockerNumber] > %1").arg(n);
    case 1: return QStringLiteral("[LockerNumber] < %1").arg(n / 4);
    case 2: return QStringLiteral("[KeyDeposit] = %1").arg(5 * random.bounded(6));
    case 3: return QStringLiteral("[LastName] LIKE '%1*'").arg(QChar(u'A' + random.bounded(26)));
    case 4: return QStringLiteral("[Adult] = %1").arg(random.bounded(2) ? "YES" : "NO");
    case 5:
        return QStringLiteral("[DateRented] < #%1/01/%2#").arg(1 + random.bounded(12)).arg(1993 + random.bounded(30));
    case 6: return QStringLiteral("[Notes] = NULL");
    default: return QStringLiteral("[City] = 'SPRINGFIELD'");
    }
}

TEST_F(KeptChangesTest, RandomDeletesUndoneNewestFirstGiveBackEveryRowAndField)
{
    QRandomGenerator random(20261208u);
    for (int table = 0; table < 6; ++table) {
        SCOPED_TRACE(table);
        db.reset();
        EngineError e;
        open();
        ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information", &e));
        testing_support::fillFilterFixture(*db);
        db.reset();
        testing_support::insertVariedCustomers(folder.databasePath(), 50 + random.bounded(400),
                                               random.bounded(2) ? 7 : 0);
        open();

        QList<QList<testing_support::StoredRow>> before;
        QList<int> removed;
        for (int d = 0; d < 4; ++d) {
            QString where = random.bounded(10) == 0 ? QString() : randomCondition(random);
            if (!where.isEmpty() && random.bounded(2))
                where += (random.bounded(2) ? " And " : " Or ") + randomCondition(random);
            before << customers();
            removed << deleteWhere(where);
            EXPECT_EQ(customers().size(), before.last().size() - removed.last()) << where.toStdString();
        }
        int changes = 0;
        for (int r : removed)
            changes += r > 0;
        ASSERT_EQ(kept().size(), changes) << "a delete that removed nothing keeps nothing";
        for (int d = 3; d >= 0; --d) {
            if (removed[d] == 0)
                continue;
            const UndoResult r = undo();
            EXPECT_EQ(r.restored, removed[d]);
            EXPECT_EQ(r.renumbered, 0);
            ASSERT_EQ(customers(), before[d]) << "after undoing delete " << d;
        }
        EXPECT_TRUE(kept().isEmpty());
    }
}

TEST_F(KeptChangesTest, TheChangeIsNamedAndTheProgramsTablesStayAsDelivered)
{
    open();
    const QString information = schemaOf("Information");
    const QString center = schemaOf("CenterInformation");
    testing_support::fillFilterFixture(*db);
    ASSERT_EQ(deleteWhere("[LastName] = 'SMITH'"), 5);
    const QList<KeptChange> changes = kept();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].description, KeptChanges::describe(kDelete, 5, changes[0].time));
    EXPECT_TRUE(changes[0].description.startsWith("Delete Found Records: 5 customers, "));
    EXPECT_EQ(KeptChanges::describe(kDelete, 1240, QDateTime(QDate(2026, 12, 8), QTime(14, 5))),
              "Delete Found Records: 1,240 customers, 12/08/2026 14:05");
    EXPECT_EQ(schemaOf("Information"), information);
    EXPECT_EQ(schemaOf("CenterInformation"), center);

    // The stock shell reads the file and sees the side tables beside the program's.
    db.reset();
    QProcess shell;
    shell.start("sqlite3",
                {folder.databasePath(),
                 "PRAGMA integrity_check; SELECT name FROM sqlite_master WHERE "
                 "type = 'table' ORDER BY name; SELECT count(*) FROM VantrelKept_Information;"});
    ASSERT_TRUE(shell.waitForFinished());
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()),
              "ok\nCenterInformation\nInformation\nVantrelChanges\nVantrelKept_Information\n5\n");

    // Compaction keeps the change; it can still be undone afterwards.
    const QString compacted = folder.file("compacted.mdb");
    EngineError e;
    ASSERT_TRUE(DBEngine::CompactDatabase(folder.databasePath(), compacted, &e)) << e.text.toStdString();
    ASSERT_TRUE(QFile::remove(folder.databasePath()) && QFile::rename(compacted, folder.databasePath()));
    open();
    ASSERT_EQ(kept().size(), 1);
    EXPECT_EQ(undo().restored, 5);
    EXPECT_EQ(customers().size(), testing_support::kFixtureRows);
}

TEST_F(KeptChangesTest, AFailedDeleteKeepsNothing)
{
    open();
    testing_support::fillFilterFixture(*db);
    EngineError e;
    ASSERT_TRUE(execSql(db->handle(),
                        "CREATE TRIGGER refuse BEFORE DELETE ON Information WHEN old.LockerNumber = 30 "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END",
                        &e));
    EXPECT_FALSE(db->Execute("Delete * From Information", &e, nullptr, kDelete));
    EXPECT_EQ(customers().size(), testing_support::kFixtureRows);
    Statement tables(db->handle(), "SELECT count(*) FROM sqlite_master WHERE name LIKE 'Vantrel%'");
    ASSERT_TRUE(tables.step());
    EXPECT_EQ(tables.int64(0), 0);
}

TEST_F(KeptChangesTest, ARowAddedSinceKeepsItsIdAndTheDeletedOneComesBackUnderANewOne)
{
    open();
    testing_support::fillFilterFixture(*db);
    ASSERT_EQ(deleteWhere("[LockerNumber] > 34"), 2);
    // SQLite gives the new row the highest id there is plus one: a deleted row's id.
    testing_support::insertCustomers(db->handle(), {{{"LockerNumber", 99}, {"LastName", "New"}}});
    const qint64 newId = sqlite3_last_insert_rowid(db->handle());
    const UndoResult r = undo();
    EXPECT_EQ(r.restored, 2);
    EXPECT_EQ(r.renumbered, 1);
    const auto rows = customers();
    ASSERT_EQ(rows.size(), testing_support::kFixtureRows + 1);
    const auto newRow = std::find_if(rows.begin(), rows.end(), [&](const auto &row) { return row.rowid == newId; });
    ASSERT_NE(newRow, rows.end());
    EXPECT_EQ(newRow->values[0].toInt(), 99);
}

TEST_F(KeptChangesTest, AddedRowsGoExceptThoseEditedSince)
{
    open();
    testing_support::fillFilterFixture(*db);
    const auto before = customers();
    EngineError e;
    KeptChanges adding(db->handle());
    ASSERT_TRUE(execSql(db->handle(), "BEGIN IMMEDIATE", &e));
    ASSERT_TRUE(adding.beginAdding("Information", &e));
    QList<testing_support::CustomerRow> added;
    for (int i = 1; i <= 10; ++i)
        added.append({{"LockerNumber", 100 + i}, {"FirstName", "Ann"}, {"LastName", QStringLiteral("Lee%1").arg(i)}});
    testing_support::insertCustomers(db->handle(), added);
    qint64 keptRows = 0;
    ASSERT_TRUE(adding.keepAdded("Import Customers", &keptRows, &e));
    ASSERT_TRUE(execSql(db->handle(), "COMMIT", &e));
    EXPECT_EQ(keptRows, 10);

    // Edited since: a changed name, a change of case only, a field filled
    // in; one deleted; one written back unchanged.
    for (const char *edit : {"UPDATE Information SET LastName = 'Leigh' WHERE LockerNumber = 101",
                             "UPDATE Information SET LastName = 'LEE2' WHERE LockerNumber = 102",
                             "UPDATE Information SET Notes = 'paid' WHERE LockerNumber = 103",
                             "DELETE FROM Information WHERE LockerNumber = 104",
                             "UPDATE Information SET LastName = LastName WHERE LockerNumber = 105"})
        ASSERT_TRUE(execSql(db->handle(), QString::fromLatin1(edit), &e)) << edit;
    const UndoResult r = undo();
    EXPECT_EQ(r.change.kind, ChangeKind::AddedRows);
    EXPECT_EQ(r.removed, 6);
    EXPECT_EQ(r.goneSince, 1);
    QStringList labels;
    for (const EditedRow &row : r.keptEdited)
        labels << row.label.section(" (record", 0, 0);
    EXPECT_EQ(labels, QStringList({"Locker 101, Ann Leigh", "Locker 102, Ann LEE2", "Locker 103, Ann Lee3"}));
    const auto after = customers();
    ASSERT_EQ(after.size(), before.size() + 3);
    EXPECT_EQ(after.mid(0, before.size()), before);
    EXPECT_TRUE(kept().isEmpty());
}

TEST_F(KeptChangesTest, OldChangesAndTheOldestBeyondTheSizeAreDropped)
{
    open();
    db.reset();
    testing_support::insertVariedCustomers(folder.databasePath(), 3000);
    open();
    for (const char *where : {"[LockerNumber] <= 300", "[LockerNumber] <= 350", "[LockerNumber] <= 400"})
        deleteWhere(QString::fromLatin1(where));
    ASSERT_EQ(kept().size(), 3);
    const QDateTime newest = kept().first().time;

    struct Case {
        const char *name;
        KeepLimits limits;
        int daysLater;
        int left; // newest changes left
    };
    const Case cases[] = {
        {"within every limit", {30, 100}, 0, 3},
        {"all newer than the age limit", {30, 100}, 29, 3},
        {"all older than the age limit", {30, 100}, 31, 0},
        {"beyond the size, oldest first", {30, 5}, 0, 2},
        {"the newest stays whatever its size", {30, 0}, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString copy = folder.file("trim.mdb");
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(folder.databasePath(), copy));
        EngineError e;
        auto other = Database::open(copy, &e);
        ASSERT_TRUE(other);
        KeptChanges changes(other->handle(), c.limits);
        ASSERT_TRUE(changes.trim(&e, newest.addDays(c.daysLater))) << e.text.toStdString();
        const QList<KeptChange> left = changes.list(&e);
        ASSERT_EQ(left.size(), c.left);
        if (c.left > 0) {
            EXPECT_EQ(left.first().number, kept().first().number);
        }
        Statement rows(other->handle(), "SELECT count(*) FROM VantrelKept_Information");
        ASSERT_TRUE(rows.step());
        qint64 expected = 0;
        for (const KeptChange &k : left)
            expected += k.rows;
        EXPECT_EQ(rows.int64(0), expected);
    }
}

TEST_F(KeptChangesTest, UndoWithNothingKeptSaysSo)
{
    open();
    UndoResult r;
    EngineError e;
    EXPECT_FALSE(KeptChanges(db->handle()).undoLast(&r, &e));
    EXPECT_EQ(e.number, Err::NoCurrentRecord);
    EXPECT_EQ(e.text, "No change is kept that could be undone.");
}

} // namespace
