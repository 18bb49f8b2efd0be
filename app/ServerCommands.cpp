// The commands for a PostgreSQL database that several desks share:
// --create-server-schema makes an empty one ready, with the same tables and
// indexes as the file; --copy-to-server moves the program folder's file
// into one, --copy-from-server FILE brings its data back into a new file.
// With --database, --compact, --repair and --backup work on the server too
// (MaintenanceCommandLine.cpp, BackupCommand.cpp).
#include "app/CommandLine.h"

#include "store/OutputPaths.h"
#include "store/ProgramFolder.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerCopy.h"
#include "store/server/ServerSchema.h"

namespace app {

std::unique_ptr<store::ServerConnection> connectToServer(const QCommandLineParser &parser, const QString &command,
                                                         QTextStream &err)
{
    if (!parser.isSet(QStringLiteral("database"))) {
        err << "--" << command << " needs the database: --database URL.\n";
        return nullptr;
    }
    store::EngineError error;
    auto connection = store::ServerConnection::open(parser.value(QStringLiteral("database")), &error);
    if (!connection)
        err << error.text << '\n';
    return connection;
}

namespace {

int createServerSchema(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    auto connection = connectToServer(parser, QStringLiteral("create-server-schema"), err);
    if (!connection)
        return 1;
    store::EngineError error;
    if (!store::ServerSchema::create(*connection, &error)) {
        err << error.text << '\n';
        return 1;
    }
    out << store::ServerSchema::createdText(*connection) << '\n';
    return 0;
}

int copyToServer(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    auto connection = connectToServer(parser, QStringLiteral("copy-to-server"), err);
    if (!connection)
        return 1;
    store::EngineError error;
    store::ServerCopy::Summary summary;
    if (!store::ServerCopy::toServer(store::programPath(QStringLiteral("\\Vantrel.mdb")), *connection, &summary,
                                     &error)) {
        err << error.text << '\n';
        return 1;
    }
    out << store::ServerCopy::copiedToText(summary, *connection) << '\n';
    return 0;
}

int copyFromServer(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    auto connection = connectToServer(parser, QStringLiteral("copy-from-server"), err);
    if (!connection)
        return 1;
    const QString target = parser.value(QStringLiteral("copy-from-server"));
    const QString refused = store::refusedOutput(target, store::OutputKind::NewDatabase);
    if (!refused.isEmpty()) {
        err << refused << '\n';
        return 1;
    }
    store::EngineError error;
    store::ServerCopy::Summary summary;
    if (!store::ServerCopy::fromServer(*connection, target, &summary, &error)) {
        err << error.text << '\n';
        return 1;
    }
    out << store::ServerCopy::copiedFromText(summary, target) << '\n';
    return 0;
}
} // namespace

void addServerCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(
        QStringLiteral("database"),
        QStringLiteral("With --compact, --repair, --backup or the server commands below: the PostgreSQL "
                       "database to work on instead of the program folder's, as a connection URL: "
                       "postgresql://user@host:port/dbname"),
        QStringLiteral("URL")));
    parser.addOption(QCommandLineOption(QStringLiteral("create-server-schema"),
                                        QStringLiteral("Creates the Vantrel tables in the empty PostgreSQL "
                                                       "database given by --database.")));
    parser.addOption(QCommandLineOption(QStringLiteral("copy-to-server"),
                                        QStringLiteral("Copies the database of the program folder into the "
                                                       "PostgreSQL database given by --database, which must hold no "
                                                       "customers; all or nothing, every field compared after.")));
    parser.addOption(QCommandLineOption(QStringLiteral("copy-from-server"),
                                        QStringLiteral("Writes the data of the PostgreSQL database given by "
                                                       "--database into the new database file FILE."),
                                        QStringLiteral("FILE")));
    const QStringList database{QStringLiteral("database")};
    commands.push_back({QStringLiteral("create-server-schema"), createServerSchema, database});
    commands.push_back({QStringLiteral("copy-to-server"), copyToServer, database});
    commands.push_back({QStringLiteral("copy-from-server"), copyFromServer, database});
}

} // namespace app
