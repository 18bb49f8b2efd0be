// --compact and --repair: the main menu's "&Compress" and "&Repair" on the
// program folder's database, for a scheduled job. The closing notice goes to
// standard output, a failure to standard error; only success ends with 0.
#include "app/CommandLine.h"

#include "maintenance/InPlaceMaintenance.h"
#include "maintenance/MaintenanceMessages.h"
#include "platform/MessageBox.h"

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

} // namespace

void addMaintenanceCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(QStringLiteral("compact"),
                                        QStringLiteral("Compresses the database of the program folder.")));
    parser.addOption(QCommandLineOption(QStringLiteral("repair"),
                                        QStringLiteral("Repairs the database of the program folder, then compresses "
                                                       "it; a damaged file is kept beside it.")));
    commands.push_back({QStringLiteral("compact"),
                        [](const QCommandLineParser &, QTextStream &out, QTextStream &err) {
                            return runMaintenance(maintenance::Command::Compress, out, err);
                        },
                        {},
                        true});
    commands.push_back({QStringLiteral("repair"),
                        [](const QCommandLineParser &, QTextStream &out, QTextStream &err) {
                            return runMaintenance(maintenance::Command::Repair, out, err);
                        },
                        {},
                        true});
}

} // namespace app
