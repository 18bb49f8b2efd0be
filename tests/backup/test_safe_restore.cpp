// A restored database takes the live one's place only whole and checked;
// every failure leaves the live database as it was.
#include "maintenance/DatabaseFiles.h"

#include "backup/SafeRestore.h"
#include "customers/frmInformation.h"
#include "store/DataControl.h"
#include "store/KeptChanges.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class SafeRestoreTest : public ::testing::Test
{
protected:
    // A database of `rows` customers put into the staging folder, the way
    // the extraction leaves it.
    QString stage(backup::SafeRestore &restore, int rows)
    {
        store::EngineError e;
        if (!restore.prepare(&e)) {
            ADD_FAILURE() << e.text.toStdString();
            return QString();
        }
        const QString file = QDir(restore.stagingFolder()).filePath("Vantrel.mdb");
        EXPECT_TRUE(store::Schema::createDeliveredDatabase(file, &e)) << e.text.toStdString();
        insertVariedCustomers(file, rows);
        return file;
    }

    TempProgramFolder folder;
};

TEST_F(SafeRestoreTest, ReplacesTheDatabaseAndTheOpenWindowComesBackOnTheRestoredRows)
{
    ScriptedServices services;
    insertVariedCustomers(folder.databasePath(), 10);
    QPointer<customers::frmInformation> window = new customers::frmInformation;
    window->show();
    QApplication::processEvents();
    store::DataControl *data = window->data();
    ASSERT_EQ(data->recordset()->RecordCount(), 10);
    auto *firstName = window->findChild<QLineEdit *>("txtFields_0");
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Typed");

    backup::SafeRestore restore(folder.databasePath());
    const QString staged = stage(restore, 25);
    const auto restoredRows = storedRows(staged, "Information");
    store::EngineError e;
    ASSERT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
    QApplication::processEvents();

    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), restoredRows);
    EXPECT_EQ(fileMode(folder.databasePath()), 0600);
    ASSERT_TRUE(data->recordset());
    EXPECT_EQ(data->recordset()->RecordCount(), 25);
    EXPECT_TRUE(services.boxes.isEmpty());
    window->close();
    QApplication::processEvents();
    delete window.data();
    {
        backup::SafeRestore done(folder.databasePath());
    }
    EXPECT_EQ(filesIn(folder.path()).filter("Vantrel").size(), 1);
}

TEST_F(SafeRestoreTest, ADamagedOrForeignCopyLeavesTheLiveDatabaseAsItWas)
{
    insertVariedCustomers(folder.databasePath(), 12);
    const QByteArray before = fileBytes(folder.databasePath());
    {
        backup::SafeRestore restore(folder.databasePath());
        const QString staged = stage(restore, 3000);
        overwritePage(staged, leafPages(staged, "Information").at(3).number);
        store::EngineError e;
        EXPECT_FALSE(restore.install(staged, &e));
        EXPECT_EQ(e.number, store::Err::Corrupt);
        EXPECT_TRUE(e.text.startsWith("The database was not restored: ")) << e.text.toStdString();
    }
    {
        backup::SafeRestore restore(folder.databasePath());
        store::EngineError e;
        ASSERT_TRUE(restore.prepare(&e));
        const QString other = QDir(restore.stagingFolder()).filePath("Vantrel.mdb");
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(other).constData(), &db), SQLITE_OK);
        store::execSql(db, "CREATE TABLE Inventory (Item TEXT)", nullptr);
        sqlite3_close(db);
        EXPECT_FALSE(restore.install(other, &e));
        EXPECT_TRUE(e.text.contains("no table Information")) << e.text.toStdString();

        QFile text(other);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
        text.write(QByteArray(4096, 'x'));
        text.close();
        EXPECT_FALSE(restore.install(other, &e));
        EXPECT_EQ(e.number, store::Err::UnrecognizedFormat);
    }
    EXPECT_EQ(fileBytes(folder.databasePath()), before);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"})) << "the staging folder goes with the restore";
}

TEST_F(SafeRestoreTest, RefusesWhileTheLiveDatabaseHasAJournalInAnyLetterCase)
{
    const QByteArray before = fileBytes(folder.databasePath());
    for (const char *name : {"Vantrel.mdb-journal", "Vantrel.mdb-wal", "VANTREL.MDB-journal", "vantrel.MDB-shm"}) {
        const QString path = folder.file(QLatin1String(name));
        QFile journal(path);
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write("pages of an unfinished write");
        journal.close();
        backup::SafeRestore restore(folder.databasePath());
        store::EngineError e;
        EXPECT_FALSE(restore.prepare(&e)) << name;
        EXPECT_EQ(e.number, store::Err::Locked);
        EXPECT_TRUE(e.text.contains(QLatin1String(name))) << e.text.toStdString();
        QFile::remove(path);
    }
    EXPECT_EQ(fileBytes(folder.databasePath()), before);
}

TEST_F(SafeRestoreTest, AJournalTheEngineWouldNotRollBackDoesNotStopARestore)
{
    for (const char *name : {"Vantrel.mdb-journal", "VANTREL.MDB-journal"})
        writeColdJournal(folder.databasePath(), folder.file(QLatin1String(name)));
    backup::SafeRestore restore(folder.databasePath());
    const QString staged = stage(restore, 9);
    store::EngineError e;
    ASSERT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 9);
}

// The database in place is kept before the restored one takes its name; a
// restore that cannot keep it stops, and the database is as it was.
TEST_F(SafeRestoreTest, ADatabaseThatCannotBeKeptIsNotReplaced)
{
    insertVariedCustomers(folder.databasePath(), 12);
    const QByteArray before = fileBytes(folder.databasePath());
    const QString kept = store::KeptChanges::keptFolderFor(folder.databasePath());
    QTemporaryDir sameDisk;
    QTemporaryDir otherDisk((QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath())
                            + "/vantrel-kept-XXXXXX");
    struct stat disk {
    }, data{};
    const bool onOtherDisk = ::stat(QFile::encodeName(otherDisk.path()).constData(), &disk) == 0
        && ::stat(QFile::encodeName(folder.path()).constData(), &data) == 0 && disk.st_dev != data.st_dev;
    const bool root = ::geteuid() == 0;

    struct Case {
        const char *name;
        bool runs;
        std::function<void()> make;
        QString why;
    };
    const QString link =
        QString("The folder '%1' is a link; databases are kept only in a folder of their own.").arg(kept);
    const Case cases[] = {
        {"a link to a folder on another disk", onOtherDisk, [&] { QFile::link(otherDisk.path(), kept); }, link},
        {"a link to a folder", true, [&] { QFile::link(sameDisk.path(), kept); }, link},
        {"a file", true,
         [&] {
             QFile file(kept);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         },
         QString("'%1' is not a folder.").arg(kept)},
        {"a folder of another account", root,
         [&] {
             QDir().mkdir(kept);
             ASSERT_EQ(::chown(QFile::encodeName(kept).constData(), 65534, 65534), 0);
         },
         QString("The folder '%1' belongs to another account.").arg(kept)},
        {"a folder that cannot be written", !root,
         [&] {
             QDir().mkdir(kept);
             QFile::setPermissions(kept, QFile::ReadOwner | QFile::ExeOwner);
         },
         QString("The folder '%1' cannot be written.").arg(kept)},
    };
    for (const Case &c : cases) {
        if (!c.runs)
            continue;
        SCOPED_TRACE(c.name);
        c.make();
        {
            backup::SafeRestore restore(folder.databasePath());
            const QString staged = stage(restore, 7);
            store::EngineError e;
            EXPECT_FALSE(restore.install(staged, &e));
            EXPECT_EQ(e.text,
                      "The database was not restored: the database in place could not be kept first, so it "
                      "has not been replaced. "
                          + c.why);
        }
        EXPECT_TRUE(fileBytes(folder.databasePath()) == before) << "the database is as it was";
        QStringList files = filesIn(folder.path());
        files.removeAll(QFileInfo(kept).fileName());
        EXPECT_EQ(files, QStringList({"Vantrel.mdb"}));
        EXPECT_TRUE(QDir(sameDisk.path()).isEmpty());
        EXPECT_TRUE(QDir(otherDisk.path()).isEmpty());
        if (QFileInfo(kept).isSymLink() || QFileInfo(kept).isFile())
            QFile::remove(kept);
        QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(kept).removeRecursively();
    }
}

TEST_F(SafeRestoreTest, TheSecondNameARestoreKilledBeforeTheRenameLeftGoesWithTheNextOne)
{
    insertVariedCustomers(folder.databasePath(), 12);
    const QString kept = store::KeptChanges::keptFolderFor(folder.databasePath());
    ASSERT_TRUE(QDir().mkdir(kept));
    const QString left = QDir(kept).filePath("replaced-20261209-101010-2f1e0d9c-8b7a-4655-9443-3f2e1d0c9b8a.mdb");
    ASSERT_EQ(::link(QFile::encodeName(folder.databasePath()).constData(), QFile::encodeName(left).constData()), 0);

    backup::SafeRestore restore(folder.databasePath());
    const QString staged = stage(restore, 7);
    store::EngineError e;
    ASSERT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
    const QStringList files = QDir(kept).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_NE(files.first(), QFileInfo(left).fileName());
    EXPECT_EQ(rowCount(QDir(kept).filePath(files.first()), "Information"), 12);
}

TEST_F(SafeRestoreTest, RestoresIntoAFolderWithoutADatabaseAndClearsWhatAnInterruptedRunLeft)
{
    QFile::remove(folder.databasePath());
    const QString live = folder.file("Vantrel.mdb");
    QDir().mkdir(backup::SafeRestore::stagingNameFor(live));
    QFile leftover(QDir(backup::SafeRestore::stagingNameFor(live)).filePath("half.mdb"));
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    store::EngineError e;
    {
        backup::SafeRestore restore(live);
        const QString staged = stage(restore, 7);
        EXPECT_FALSE(QFileInfo::exists(leftover.fileName()));
        ASSERT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
        EXPECT_EQ(rowCount(live, "Information"), 7);
    }

    // A link in the staging folder's place is no folder of ours to empty.
    QTemporaryDir elsewhere;
    QFile other(elsewhere.filePath("other.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    ASSERT_TRUE(QFile::link(elsewhere.path(), backup::SafeRestore::stagingNameFor(live)));
    backup::SafeRestore again(live);
    ASSERT_TRUE(again.prepare(&e)) << e.text.toStdString();
    EXPECT_TRUE(QFileInfo::exists(other.fileName()));
    EXPECT_FALSE(QFileInfo(again.stagingFolder()).isSymLink());
}

} // namespace
