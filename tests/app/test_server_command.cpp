// The server commands: --create-server-schema once into an empty database,
// refused (and nothing touched) after that or without a database; the
// program folder's file copied to a server and back into a new file;
// compress, repair and backup of a server's data.
#include "../maintenance/DatabaseFiles.h"
#include "CommandLineRun.h"
#include "ServerTestDatabase.h"
#include "app/ServerChoice.h"
#include "maintenance/MaintenanceCommands.h"
#include "store/DatabaseChoice.h"
#include "store/Schema.h"
#include "support/Customers.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A login role of the test server that owns nothing, dropped at the end.
struct OtherRole {
    QString name = QStringLiteral("vantrel_desk_%1").arg(QCoreApplication::applicationPid());
    OtherRole()
    {
        auto server = store::ServerConnection::open(ServerTestDatabase::serverUrl(), nullptr);
        EXPECT_TRUE(server && server->exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(name)));
    }
    ~OtherRole()
    {
        if (auto server = store::ServerConnection::open(ServerTestDatabase::serverUrl(), nullptr))
            server->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(name));
    }
};

// Every row of both tables on the server, as one digest.
QString serverDigest(store::ServerConnection &server)
{
    store::ServerResult result;
    EXPECT_TRUE(server.exec("SELECT (SELECT md5(string_agg(t::text, ',' ORDER BY \"RowId\")) FROM \"Information\" t) "
                            "|| (SELECT md5(string_agg(t::text, ',' ORDER BY \"RowId\")) FROM \"CenterInformation\" t)",
                            {}, &result));
    return result.text(0, 0);
}

// The program folder's varied customers, with gaps in their row numbers,
// copied into a new database on the server.
void fillServer(const TempProgramFolder &folder, const ServerTestDatabase &database)
{
    insertVariedCustomers(folder.databasePath(), 300, 7);
    ASSERT_EQ(runCommandLine({"--database", database.url(), "--copy-to-server"}).status, 0);
}

} // namespace

TEST(ServerCommand, CreatesTheSchemaOnceAndSaysWhy)
{
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    const QString where = database.connect()->where();

    CommandOutcome first = runCommandLine({"--database", database.url(), "--create-server-schema"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, QString("The Vantrel tables were created in the database %1.\n").arg(where));

    CommandOutcome again = runCommandLine({"--database", database.url(), "--create-server-schema"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.startsWith(QString("The database %1 is not empty").arg(where))) << again.err.toStdString();

    CommandOutcome noDatabase = runCommandLine({"--create-server-schema"});
    EXPECT_EQ(noDatabase.status, 1);
    EXPECT_EQ(noDatabase.err, "--create-server-schema needs the database: --database URL.\n");
    // With a command of the file only, --database is refused rather than
    // quietly passed over; alone, it starts the main menu on the server.
    EXPECT_EQ(runCommandLine({"--database", database.url(), "--export-csv", "x.csv"}).err,
              "--database goes with --backup, --compact, --repair, --create-server-schema, --copy-to-server or "
              "--copy-from-server.");
}

TEST(ServerCommand, CopiesTheProgramFolderFileThereAndBack)
{
    TempProgramFolder folder;
    insertCustomers(folder.databasePath(), {{{"LastName", "Smith"}}, {{"LastName", "Müller"}}, {{"LockerNumber", 7}}});
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    const QString where = database.connect()->where();

    CommandOutcome there = runCommandLine({"--database", database.url(), "--copy-to-server"});
    EXPECT_EQ(there.status, 0) << there.err.toStdString();
    EXPECT_EQ(there.out,
              QString("Copied 3 customers and the center's settings into the database %1; every field "
                      "was compared after the copy.\n")
                  .arg(where));

    const QString back = folder.file("Back.mdb");
    CommandOutcome from = runCommandLine({"--database", database.url(), "--copy-from-server", back});
    EXPECT_EQ(from.status, 0) << from.err.toStdString();
    EXPECT_EQ(from.out,
              QString("Copied 3 customers and the center's settings into '%1'; every field was compared "
                      "after the copy.\n")
                  .arg(back));
    EXPECT_EQ(storedCustomerCount(back), 3);
}

TEST(ServerCommand, CompactAndRepairSayWhatTheyDidAndKeepEveryRow)
{
    TempProgramFolder folder;
    OtherRole desk;
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    fillServer(folder, database);
    auto server = database.connect();
    const QString before = serverDigest(*server);

    CommandOutcome compact = runCommandLine({"--database", database.url(), "--compact"});
    EXPECT_EQ(compact.status, 0) << compact.err.toStdString();
    EXPECT_TRUE(compact.out.startsWith("Your database has been successfully compressed.\nThe server ran VACUUM "
                                       "(ANALYZE) on the tables Information and CenterInformation of the database "
                                       + server->where()))
        << compact.out.toStdString();

    // As a superuser, amcheck is added once and runs.
    CommandOutcome repair = runCommandLine({"--database", database.url(), "--repair"});
    EXPECT_EQ(repair.status, 0) << repair.err.toStdString();
    EXPECT_TRUE(repair.out.startsWith("Your database has been successfully repaired.\nThe server rebuilt the "));
    EXPECT_TRUE(repair.out.endsWith("with amcheck (bt_index_check, verify_heapam): no damage found. The extension "
                                    "amcheck was added to the database for the checks.\n"))
        << repair.out.toStdString();
    repair = runCommandLine({"--database", database.url(), "--repair"});
    EXPECT_TRUE(repair.out.endsWith("no damage found.\n")) << repair.out.toStdString();

    // The main menu's Compress and Repair, on the server the desk works on,
    // say the same.
    {
        testing_support::ScriptedServices ui;
        ui.answer(platform::Button::OK);
        ui.answer(platform::Button::OK);
        store::DatabaseChoice::setServerUrl(database.url());
        EXPECT_TRUE(maintenance::compressDatabase());
        EXPECT_TRUE(maintenance::repairDatabase());
        store::DatabaseChoice::setServerUrl(QString());
        ASSERT_EQ(ui.boxes.size(), 2);
        EXPECT_EQ(ui.boxes[0].text, compact.out.trimmed());
        EXPECT_EQ(ui.boxes[1].text, repair.out.trimmed());
    }
    EXPECT_EQ(serverDigest(*server), before);

    // A role that owns neither the tables nor the database is told so, not
    // left to believe a VACUUM the server skipped.
    const QString asDesk = database.url() + " user=" + desk.name;
    for (const char *command : {"--compact", "--repair"}) {
        CommandOutcome refused = runCommandLine({"--database", asDesk, command});
        EXPECT_EQ(refused.status, 1) << command;
        EXPECT_TRUE(refused.err.contains("Only the owner of the Vantrel tables")) << refused.err.toStdString();
        EXPECT_TRUE(refused.out.isEmpty());
    }
}

TEST(ServerCommand, BackupArchivesEveryCustomerOfTheServerAndLeavesNoCopy)
{
    TempProgramFolder folder;
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    fillServer(folder, database);
    QTemporaryDir work;
    const QString archive = work.filePath("server.zip");
    const QString cache = work.filePath("cache");
    ASSERT_TRUE(QDir().mkpath(cache));
    const QByteArray previousCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.toUtf8());
    CommandOutcome backup = runCommandLine({"--database", database.url(), "--backup", archive});
    qputenv("XDG_CACHE_HOME", previousCache);
    EXPECT_EQ(backup.status, 0) << backup.err.toStdString();
    EXPECT_EQ(backup.out,
              QString("The database %1 (258 customers) was backed up to %2 and the archive tested.\n")
                  .arg(database.connect()->where(), archive));
    EXPECT_TRUE(QDir(cache + "/Vantrel/zip-work").isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << "the copy of the server's data was left behind";

    EXPECT_EQ(QProcess::execute("unzip", {"-tq", archive}), 0);
    ASSERT_EQ(QProcess::execute("unzip", {"-q", archive, "-d", work.path()}), 0);
    const QString restored = work.filePath("Vantrel.mdb");
    for (const store::TableDef *t : {&store::Schema::information(), &store::Schema::centerInformation()})
        EXPECT_EQ(storedRows(restored, t->name), storedRows(folder.databasePath(), t->name)) << t->name.toStdString();
}

TEST(ServerCommand, AnUnreachableServerIsToldAndNothingIsDone)
{
    QTemporaryDir work;
    const QString url = "postgresql://vantrel@/vantrel?host=" + work.filePath("no-server");
    const QString archive = work.filePath("server.zip");
    for (const QStringList &command : {QStringList{"--compact"}, {"--repair"}, {"--backup", archive}}) {
        CommandOutcome outcome = runCommandLine(QStringList{"--database", url} + command);
        EXPECT_EQ(outcome.status, 1) << command.first().toStdString();
        EXPECT_TRUE(outcome.err.startsWith("Could not connect to the database server at " + work.filePath("no-server")))
            << outcome.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(archive));
}

TEST(ServerCommand, OnlyTheFilesMaintenanceRunsAlone)
{
    app::CommandLine commandLine;
    for (const char *command : {"--compact", "--repair"}) {
        ASSERT_TRUE(commandLine.parse({"vantrel", command}));
        EXPECT_TRUE(commandLine.runsAlone()) << command;
        ASSERT_TRUE(commandLine.parse({"vantrel", "--database", "postgresql://db.example/vantrel", command}));
        EXPECT_FALSE(commandLine.runsAlone()) << "a desk's open main menu does not stop the server's " << command;
    }
}

// "Database Connection...": a server is kept only once it answers with the
// program's tables; the caption names it; an empty URL goes back to the file.
TEST(ServerCommand, ADeskConnectsOnlyToAServerThatHoldsTheProgramsTables)
{
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ServerTestDatabase empty;
    ServerTestDatabase ready;
    ASSERT_TRUE(empty.isReady() && ready.isReady());
    ASSERT_EQ(runCommandLine({"--database", ready.url(), "--create-server-schema"}).status, 0);

    bool inKeyring = false;
    store::EngineError error;
    EXPECT_FALSE(app::ServerChoice::connect("db.example/vantrel", {}, &inKeyring, &error));
    EXPECT_TRUE(error.text.startsWith("The database URL is not valid")) << error.text.toStdString();
    EXPECT_FALSE(app::ServerChoice::connect(empty.url(), {}, &inKeyring, &error));
    EXPECT_TRUE(error.text.contains("holds no table Information")) << error.text.toStdString();
    EXPECT_FALSE(store::DatabaseChoice::onServer());
    EXPECT_EQ(app::ServerChoice::mainMenuCaption(), "Main Menu");

    ASSERT_TRUE(app::ServerChoice::connect(ready.url(), {}, &inKeyring, &error)) << error.text.toStdString();
    EXPECT_EQ(store::DatabaseChoice::databaseName(), ready.url());
    EXPECT_EQ(app::ServerChoice::savedUrl(), ready.url());
    EXPECT_EQ(app::ServerChoice::mainMenuCaption(),
              "Main Menu - database server " + store::ServerConnection::describe(ready.url()));

    ASSERT_TRUE(app::ServerChoice::connect("", {}, &inKeyring, &error));
    EXPECT_FALSE(store::DatabaseChoice::onServer());
    EXPECT_TRUE(app::ServerChoice::savedUrl().isEmpty());
}
