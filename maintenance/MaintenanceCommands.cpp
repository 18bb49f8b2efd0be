#include "maintenance/MaintenanceCommands.h"

#include "maintenance/InPlaceMaintenance.h"
#include "maintenance/MaintenanceMessages.h"
#include "platform/Services.h"

namespace maintenance {

namespace {

bool runCommand(Command command)
{
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
