// The files a database's kept changes name are trusted only inside the
// database's own kept folder: trimming, undo and restore never delete, move
// or change a file anywhere else, whatever the rows say, and a kill at any
// moment leaves such a file as it was.
#include "../maintenance/DatabaseFiles.h"
#include "../maintenance/PlantedFolder.h"

#include "CommandLineRun.h"
#include "backup/SafeRestore.h"
#include "store/Database.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "support/KillAtRandom.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

using namespace testing_support;

namespace {

const QDateTime kLongAgo(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);

QList<store::KeptChange> keptChanges(const QString &database)
{
    store::EngineError e;
    auto db = store::Database::open(database, &e);
    EXPECT_TRUE(db) << e.text.toStdString();
    return db ? store::KeptChanges(db->handle()).list(&e) : QList<store::KeptChange>();
}

void forgetNewest(const QString &database)
{
    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(database, store::RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("DELETE FROM VantrelChanges WHERE Number = (SELECT max(Number) FROM VantrelChanges)", &e));
}

// Puts a database of `rows` customers, made by `prepare`, in the live one's
// place as a restore from an archive does. The restore's own change.
store::KeptChange restoreOver(const QString &live, int rows,
                              const std::function<void(const QString &)> &prepare = nullptr)
{
    backup::SafeRestore restore(live);
    store::EngineError e;
    if (!restore.prepare(&e)) {
        ADD_FAILURE() << e.text.toStdString();
        return {};
    }
    const QString staged = QDir(restore.stagingFolder()).filePath("Vantrel.mdb");
    EXPECT_TRUE(store::Schema::createDeliveredDatabase(staged, &e)) << e.text.toStdString();
    insertVariedCustomers(staged, rows);
    if (prepare)
        prepare(staged);
    EXPECT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
    const auto changes = keptChanges(live);
    return changes.isEmpty() ? store::KeptChange() : changes.first();
}

class KeptPaths : public ::testing::Test
{
protected:
    // A replaced database takes more than the usual share of the file:
    // changes older than a restore would go for their size alone.
    static void SetUpTestSuite()
    {
        QStandardPaths::setTestModeEnabled(true);
        settings().setValue("KeptChanges/PercentOfFile", 1000);
    }
    static void TearDownTestSuite() { settings().remove("KeptChanges"); }
    static QSettings settings() { return QSettings(QSettings::UserScope, "Vantrel", "Vantrel"); }

    QString database() const { return folder.databasePath(); }
    QString keptFolder() const { return store::KeptChanges::keptFolderFor(database()); }
    QStringList keptFiles() const { return QDir(keptFolder()).entryList(QDir::Files | QDir::NoSymLinks); }

    TempProgramFolder folder;
    PlantedFolder planted;
};

TEST_F(KeptPaths, TrimmingRemovesTheProgramsOwnKeptFilesAndNothingElse)
{
    insertVariedCustomers(database(), 20);
    restoreOver(database(), 30);
    ASSERT_EQ(keptFiles().size(), 1);
    planted.plantRows(database(), database(), kLongAgo);
    const QString before = planted.snapshot();
    {
        store::RawDatabase db;
        store::EngineError e;
        ASSERT_TRUE(db.open(database(), store::RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(db.exec("UPDATE VantrelChanges SET Time = '2020-01-01T00:00:00Z'", &e));
    }

    // The first open of the file trims what is older than the limit.
    const CommandOutcome listed = runCommandLine({"--list-changes"});
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out, "No change is kept.\n");
    EXPECT_EQ(planted.snapshot(), before);
    EXPECT_TRUE(keptFiles().isEmpty()) << "the restore's kept file goes with its change";

    // Nor through a kept folder that is a link to another place.
    ASSERT_TRUE(QDir(keptFolder()).removeRecursively());
    ASSERT_TRUE(QFile::link(planted.path(), keptFolder()));
    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(database(), store::RawDatabase::ReadWrite, &e));
    store::KeptChanges changes(db.handle(), {30, 20}, database());
    store::KeptChange change;
    change.number = 1;
    change.time = kLongAgo;
    change.description = "Restore";
    change.kind = store::ChangeKind::ReplacedFile;
    change.keptFile = QDir(keptFolder()).filePath(QDir(planted.path()).entryList({"replaced-*"}).value(0));
    ASSERT_TRUE(changes.remember(change, &e) && changes.trim(&e)) << e.text.toStdString();
    EXPECT_TRUE(changes.list(&e).isEmpty());
    EXPECT_EQ(planted.snapshot(), before);
}

TEST_F(KeptPaths, UndoRefusesAKeptFileOutsideTheKeptFolderAndTouchesNothing)
{
    planted.plantRows(database(), database(), QDateTime::currentDateTimeUtc());
    const QString before = planted.snapshot();
    for (int i = 0; i < 4; ++i) {
        const QByteArray live = fileBytes(database());
        const store::KeptChange newest = keptChanges(database()).first();
        SCOPED_TRACE(newest.keptFile.toStdString());
        const CommandOutcome undone = runCommandLine({"--undo-last"});
        EXPECT_EQ(undone.status, 1);
        EXPECT_EQ(undone.err,
                  QString("The change could not be undone; nothing was changed.\nThe file '%1' that it "
                          "names is not one this program kept: only a file named as the program names "
                          "them, inside the folder '%2', can be put back. It has been left as it is.\n")
                      .arg(newest.keptFile, keptFolder()));
        EXPECT_EQ(planted.snapshot(), before);
        EXPECT_TRUE(fileBytes(database()) == live) << "the database is as it was";
        EXPECT_EQ(keptChanges(database()).first().number, newest.number) << "the change stays, refused";
        forgetNewest(database());
    }
}

TEST_F(KeptPaths, ARestoredDatabaseKeepsItsOwnChangesButNotTheFilesOfAnotherPlace)
{
    insertVariedCustomers(database(), 20);
    const QString before = planted.snapshot();
    restoreOver(database(), 30, [&](const QString &staged) {
        store::EngineError e;
        auto db = store::Database::open(staged, &e);
        ASSERT_TRUE(
            db->Execute("Delete * From Information Where [LockerNumber] <= 5", &e, nullptr, "Delete Found Records"));
        db.reset();
        // Old ones, which a trim would drop, and new ones.
        planted.plantRows(staged, database(), kLongAgo);
        planted.plantRows(staged, database(), QDateTime::currentDateTimeUtc());
    });
    EXPECT_EQ(planted.snapshot(), before);

    const auto changes = keptChanges(database());
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes.at(0).description.startsWith("Restore: replaced a database of 20 customers, "));
    EXPECT_EQ(QFileInfo(changes.at(0).keptFile).absolutePath(), keptFolder());
    EXPECT_TRUE(changes.at(1).description.startsWith("Delete Found Records: 5 customers, "));
    const CommandOutcome undone = runCommandLine({"--undo-last"});
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_EQ(rowCount(database(), "Information"), 20);
    EXPECT_EQ(planted.snapshot(), before);
}

} // namespace

namespace {

constexpr int kKills = 20;
constexpr int kReplacedRows = 15000;
constexpr int kRestoredRows = 1100;

// An undo killed at random moments, in a program folder whose database and
// the kept database it would put back both name files of a planted folder:
// the folder is as it was after every kill, and the database in place is
// one of the two, whole.
class KilledUndo : public ::testing::Test
{
protected:
    // The database (`kReplacedRows` customers) replaced by a restore of
    // `kRestoredRows`; both name planted files, with old times, and the
    // restore is the newest change.
    void prepare(const QString &programFolder)
    {
        const QString live = QDir(programFolder).filePath("Vantrel.mdb");
        store::EngineError e;
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(live, &e));
        insertVariedCustomers(live, kReplacedRows);
        planted.plantRows(live, live, kLongAgo);
        const store::KeptChange restore = restoreOver(live, kRestoredRows);
        ASSERT_TRUE(QFileInfo(restore.keptFile).isFile());
        planted.plantRows(live, live, kLongAgo);
        store::RawDatabase db;
        ASSERT_TRUE(db.open(live, store::RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(store::execSql(db.handle(),
                                   "UPDATE VantrelChanges SET Number = (SELECT max(Number) + 1 FROM VantrelChanges) "
                                   "WHERE KeptFile = ?",
                                   &e, {restore.keptFile}))
            << e.text.toStdString();
    }

    PlantedFolder planted;
};

TEST_F(KilledUndo, NoKillTouchesAFileOutsideTheProgramsFolders)
{
    const QString before = planted.snapshot();
    qint64 runMicroseconds = 0;
    for (int i = 0; i < 2; ++i) {
        QTemporaryDir whole;
        prepare(whole.path());
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(QProcess::execute(UNDO_KILL_HELPER, {whole.path()}), 0);
        runMicroseconds = std::max(runMicroseconds, clock.nsecsElapsed() / 1000);
        ASSERT_EQ(rowCount(store::resolveInFolder(whole.path(), "\\Vantrel.mdb"), "Information"), kReplacedRows);
        ASSERT_EQ(planted.snapshot(), before);
    }

    QRandomGenerator random(20261209u);
    int asBefore = 0;
    int undone = 0;
    int attempts = 0;
    for (int kills = 0; kills < kKills;) {
        ASSERT_LT(attempts++, kKills * 4) << "the undo keeps finishing before the kill";
        QTemporaryDir folder;
        prepare(folder.path());
        std::chrono::microseconds delay;
        if (!killAtRandomMoment(UNDO_KILL_HELPER, {folder.path()}, random, runMicroseconds, &delay))
            continue;
        ++kills;
        SCOPED_TRACE(QString("kill after %1 us").arg(delay.count()).toStdString());
        ASSERT_EQ(planted.snapshot(), before);
        const QString database = store::resolveInFolder(folder.path(), "\\Vantrel.mdb");
        {
            // The first read-write connection rolls an unfinished write back.
            store::RawDatabase db;
            store::EngineError e;
            ASSERT_TRUE(db.open(database, store::RawDatabase::ReadWrite, &e)
                        && db.exec("SELECT 1 FROM sqlite_master", &e))
                << e.text.toStdString();
        }
        ASSERT_EQ(quickCheck(database), "ok");
        const qint64 rows = rowCount(database, "Information");
        ASSERT_TRUE(rows == kRestoredRows || rows == kReplacedRows) << rows;
        (rows == kRestoredRows ? asBefore : undone) += 1;
    }
    std::cout << "[ figures  ] an uninterrupted undo took up to " << runMicroseconds / 1000 << " ms; " << kKills
              << " kills (" << attempts - kKills << " runs ended before their kill): " << asBefore
              << " left the restored database, " << undone << " the one it replaced\n";
}

} // namespace
