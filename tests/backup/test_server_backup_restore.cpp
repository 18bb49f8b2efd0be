// The backup window on a server: an archive made on a server restores on a
// file and one made on a file restores on the server, every field equal; a
// damaged archived copy never reaches the server.
#include "../store/server/ServerTestDatabase.h"
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"

#include "backup/frmZipCreate.h"
#include "customers/frmInformation.h"
#include "store/DataControl.h"
#include "store/DatabaseChoice.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/server/ServerCopy.h"
#include "support/Customers.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace testing_support;
using platform::Button;

namespace {

class ServerBackupRestore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server->isReady());
        drive = work.filePath("driveA");
        QDir().mkdir(drive);
        qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
        services.answerOthersWith([](const platform::MessageBoxRequest &) { return Button::Yes; });
    }
    void TearDown() override
    {
        qunsetenv("VANTREL_DRIVE_A");
        store::DatabaseChoice::setServerUrl(QString());
    }

    // A database file of customers that differ by `name`.
    QString databaseOf(const QString &file, const QString &name, int customers)
    {
        const QString path = work.filePath(file);
        store::EngineError error;
        EXPECT_TRUE(store::Schema::createDeliveredDatabase(path, &error)) << error.text.toStdString();
        QList<CustomerRow> rows;
        for (int i = 1; i <= customers; ++i)
            rows << CustomerRow{{"LastName", QString("%1 %2").arg(name).arg(i)},
                                {"FirstName", i % 3 ? QVariant(QString::fromUtf8("Zoë\t\\")) : QVariant()},
                                {"DateRented", QDate(2026, 1, i % 28 + 1)},
                                {"LockerNumber", i * 7}};
        insertCustomers(path, rows);
        return path;
    }

    // The server's rows, as a file.
    QString serverRows()
    {
        const QString path = work.filePath(QString("server-%1.mdb").arg(++m_copies));
        store::EngineError error;
        auto connection = server->connect();
        EXPECT_TRUE(connection && store::ServerCopy::fromServer(*connection, path, nullptr, &error))
            << error.text.toStdString();
        return path;
    }

    void fillServer(const QString &file)
    {
        store::EngineError error;
        auto connection = server->connect();
        ASSERT_TRUE(connection && store::ServerCopy::toServer(file, *connection, nullptr, &error))
            << error.text.toStdString();
    }

    void run(const char *item)
    {
        auto *window = new backup::frmZipCreate;
        window->show();
        window->menuItem(item)->trigger();
        delete window;
    }

    QString boxLike(const QString &start) const
    {
        for (const QString &text : services.boxTexts())
            if (text.startsWith(start))
                return text;
        return QString();
    }

    TempProgramFolder folder;
    ScriptedServices services;
    QTemporaryDir work;
    std::unique_ptr<ServerTestDatabase> server = std::make_unique<ServerTestDatabase>();
    QString drive;
    int m_copies = 0;
};

void expectSameRows(const QString &a, const QString &b)
{
    for (const char *table : {"Information", "CenterInformation"})
        EXPECT_EQ(storedRows(a, table), storedRows(b, table)) << table;
}

TEST_F(ServerBackupRestore, AnArchiveOfEitherBackendRestoresOnTheOther)
{
    const QString archived = databaseOf("archived.mdb", QString::fromUtf8("Ærø"), 40);
    const QString replaced = databaseOf("replaced.mdb", "Old", 25);
    for (const bool fromServer : {true, false}) {
        SCOPED_TRACE(fromServer ? "from the server to the file" : "from the file to the server");
        services.boxes.clear();
        QFile::remove(QDir(drive).filePath("VantrelBackup.zip"));
        QFile::remove(folder.databasePath());
        server = std::make_unique<ServerTestDatabase>();
        if (fromServer) {
            fillServer(archived);
            store::DatabaseChoice::setServerUrl(server->url());
            run("mnuAutomaticBackup");
            store::DatabaseChoice::setServerUrl(QString());
            QFile::copy(replaced, folder.databasePath());
            run("mnuAutomaticRestore");
            expectSameRows(folder.databasePath(), archived);
        } else {
            QFile::copy(archived, folder.databasePath());
            run("mnuAutomaticBackup");
            fillServer(replaced);
            store::DatabaseChoice::setServerUrl(server->url());
            // The desk's open customer window follows the restore.
            QPointer<customers::frmInformation> customers = new customers::frmInformation;
            customers->show();
            ASSERT_EQ(customers->data()->recordset()->RecordCount(), 25);
            run("mnuAutomaticRestore");
            expectSameRows(serverRows(), archived);
            for (int waited = 0; waited < 3000 && customers->data()->recordset()->RecordCount() != 40; waited += 50)
                QTest::qWait(50);
            EXPECT_EQ(customers->data()->recordset()->RecordCount(), 40);
            delete customers.data();
            EXPECT_FALSE(boxLike("Restoring 'Vantrel.mdb' replaces every customer").isEmpty());
            // What the server held is kept, named in the message.
            const QString told = boxLike("The database ");
            ASSERT_TRUE(told.contains("now holds the 40 customers of the archive")) << told.toStdString();
            const QString kept = told.section("kept in '", 1).chopped(2);
            expectSameRows(kept, replaced);
            EXPECT_EQ(QFile::permissions(kept) & (QFile::ReadGroup | QFile::ReadOther), 0);
        }
        EXPECT_TRUE(boxLike("The database was not restored").isEmpty())
            << services.boxTexts().join(" | ").toStdString();
        // Work folders are named after the process that made them.
        EXPECT_EQ(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Vantrel/zip-work")
                      .entryList({QString("%1-*").arg(QCoreApplication::applicationPid())},
                                 QDir::Dirs | QDir::NoDotAndDotDot),
                  QStringList())
            << "no copy of the data is left";
    }
}

TEST_F(ServerBackupRestore, ADamagedArchivedCopyLeavesTheServerAsItWas)
{
    const QString held = databaseOf("held.mdb", "Held", 30);
    fillServer(held);
    const QString before = serverRows();
    // A database whose index page is overwritten: it opens, and fails its check.
    const QString damaged = databaseOf("Vantrel.mdb", "Damaged", 200);
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(damaged).constData(), &db);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE type = 'index' LIMIT 1", -1, &st, nullptr);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        const qint64 page = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek((page - 1) * 4096);
        file.write(QByteArray(64, '\xff'));
    }
    zipWithInfoZip(QDir(drive).filePath("VantrelBackup.zip"), work.path(), {"Vantrel.mdb"});
    store::DatabaseChoice::setServerUrl(server->url());
    run("mnuAutomaticRestore");
    EXPECT_FALSE(boxLike("The database was not restored: the restored file").isEmpty())
        << services.boxTexts().join(" | ").toStdString();
    expectSameRows(serverRows(), before);
    EXPECT_FALSE(QFileInfo::exists(folder.file("VANTREL.MDB.kept"))) << "nothing was replaced, nothing kept";
}

} // namespace
