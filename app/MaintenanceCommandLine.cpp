// --compact and --repair: the main menu's "&Compress" and "&Repair" on the
// program folder's database, or with --database on the server's tables, for
// a scheduled job. The closing notice goes to standard output, a failure to
// standard error; only success ends with 0.
#include "app/CommandLine.h"

#include "maintenance/InPlaceMaintenance.h"
#include "maintenance/MaintenanceMessages.h"
#include "platform/MessageBox.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerMaintenance.h"

namespace app {

namespace {

int runMaintenance(maintenance::Command command, QTextStream &out, QTextStream &err)
{
    maintenance::InPlaceMaintenance maintenance;
    const maintenance::Outcome outcome =
        command == maintenance::Command::Compress ? maintenance.compress() : maintenance.repair();
    const platform::MessageBoxRequest notice = maintenance::closingMessage(command, outcome);
    QTextStream &stream = outcome.succeeded() ? out : err;
    stream << platform::shownLines(notice.text).trimmed() << '\n';
    return outcome.succeeded() ? 0 : 1;
}

int runServerMaintenance(maintenance::Command command, const QCommandLineParser &parser, QTextStream &out,
                         QTextStream &err)
{
    namespace server = store::ServerMaintenance;
    const bool compress = command == maintenance::Command::Compress;
    auto connection = connectToServer(parser, compress ? QStringLiteral("compact") : QStringLiteral("repair"), err);
    if (!connection)
        return 1;
    store::EngineError error;
    server::RepairReport report;
    if (compress ? !server::compact(*connection, &error) : !server::repair(*connection, &report, &error)) {
        err << (compress ? server::notCompactedText(error) : server::notRepairedText(error)) << '\n';
        return 1;
    }
    out << (compress ? server::compactedText(*connection) : server::repairedText(report, *connection)) << '\n';
    return 0;
}

int run(maintenance::Command command, const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    return parser.isSet(QStringLiteral("database")) ? runServerMaintenance(command, parser, out, err)
                                                    : runMaintenance(command, out, err);
}

} // namespace

void addMaintenanceCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(QStringLiteral("compact"),
                                        QStringLiteral("Compresses the database of the program folder, or with "
                                                       "--database the server's tables (VACUUM (ANALYZE)).")));
    parser.addOption(QCommandLineOption(QStringLiteral("repair"),
                                        QStringLiteral("Repairs the database of the program folder, then compresses "
                                                       "it; a damaged file is kept beside it. With --database: "
                                                       "rebuilds the server's indexes (REINDEX) and runs its checks "
                                                       "(amcheck) where it has them.")));
    const QStringList database{QStringLiteral("database")};
    commands.push_back({QStringLiteral("compact"),
                        [](const QCommandLineParser &p, QTextStream &out, QTextStream &err) {
                            return run(maintenance::Command::Compress, p, out, err);
                        },
                        database, true, database, false});
    commands.push_back({QStringLiteral("repair"),
                        [](const QCommandLineParser &p, QTextStream &out, QTextStream &err) {
                            return run(maintenance::Command::Repair, p, out, err);
                        },
                        database, true, database, false});
}

} // namespace app
