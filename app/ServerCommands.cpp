// --create-server-schema: makes an empty PostgreSQL database ready for
// several desks, with the same tables and indexes as the file.
#include "app/CommandLine.h"

#include "store/server/ServerConnection.h"
#include "store/server/ServerSchema.h"

namespace app {

namespace {
int createServerSchema(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    if (!parser.isSet(QStringLiteral("database"))) {
        err << "--create-server-schema needs the database: --database URL.\n";
        return 1;
    }
    store::EngineError error;
    auto connection = store::ServerConnection::open(parser.value(QStringLiteral("database")), &error);
    if (!connection || !store::ServerSchema::create(*connection, &error)) {
        err << error.text << '\n';
        return 1;
    }
    out << store::ServerSchema::createdText(*connection) << '\n';
    return 0;
}
} // namespace

void addServerCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(
        QCommandLineOption(QStringLiteral("database"),
                           QStringLiteral("With --create-server-schema: the PostgreSQL database, as a connection URL: "
                                          "postgresql://user@host:port/dbname"),
                           QStringLiteral("URL")));
    parser.addOption(QCommandLineOption(QStringLiteral("create-server-schema"),
                                        QStringLiteral("Creates the Vantrel tables in the empty PostgreSQL "
                                                       "database given by --database.")));
    commands.push_back({QStringLiteral("create-server-schema"), createServerSchema, {QStringLiteral("database")}});
}

} // namespace app
