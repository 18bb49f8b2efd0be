#pragma once

namespace maintenance {

// The main menu's "&Compress": compacts the database in place, with the
// hourglass meanwhile, and closes with the notice or with what went wrong.
// Returns whether the database was compacted.
bool compressDatabase();

// The main menu's "&Repair": repairs the database in place, then compacts
// it, and closes the same way. Returns whether both were done.
bool repairDatabase();

} // namespace maintenance
