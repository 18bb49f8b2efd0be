#pragma once

#include "maintenance/InPlaceMaintenance.h"
#include "platform/MessageBox.h"

namespace maintenance {

enum class Command { Compress, Repair };

// The box that closes a compress or repair: the notice when it worked, and
// otherwise what happened to the database and why, in the engine's words.
platform::MessageBoxRequest closingMessage(Command command, const Outcome &outcome);

} // namespace maintenance
