#include "maintenance/MaintenanceCommands.h"

#include "maintenance/InPlaceMaintenance.h"
#include "maintenance/MaintenanceMessages.h"
#include "platform/Services.h"
#include "store/DatabaseChoice.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerMaintenance.h"

namespace maintenance {

namespace {

// On a server the server does the work; nothing is replaced, so the open
// windows stay as they are.
bool runOnServer(Command command)
{
    platform::Hourglass hourglass;
    store::EngineError error;
    auto connection = store::ServerConnection::open(store::DatabaseChoice::serverUrl(), &error,
                                                    store::DatabaseChoice::serverPassword());
    bool done = false;
    QString text;
    if (command == Command::Compress) {
        done = connection && store::ServerMaintenance::compact(*connection, &error);
        text = done ? store::ServerMaintenance::compactedText(*connection)
                    : store::ServerMaintenance::notCompactedText(error);
    } else {
        store::ServerMaintenance::RepairReport report;
        done = connection && store::ServerMaintenance::repair(*connection, &report, &error);
        text = done ? store::ServerMaintenance::repairedText(report, *connection)
                    : store::ServerMaintenance::notRepairedText(error);
    }
    platform::msgBox(text, platform::Buttons::OKOnly, done ? platform::Icon::Information : platform::Icon::Exclamation);
    return done;
}

bool runCommand(Command command)
{
    if (store::DatabaseChoice::onServer())
        return runOnServer(command);
    // The pointer stays the hourglass until the closing box has been answered.
    platform::Hourglass hourglass;
    InPlaceMaintenance maintenance;
    const Outcome outcome = command == Command::Compress ? maintenance.compress() : maintenance.repair();
    platform::services().messageBox(closingMessage(command, outcome));
    return outcome.succeeded();
}

} // namespace

bool compressDatabase()
{
    return runCommand(Command::Compress);
}

bool repairDatabase()
{
    return runCommand(Command::Repair);
}

} // namespace maintenance
