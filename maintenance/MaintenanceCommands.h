#pragma once

namespace maintenance {

// The main menu's "&Compress": compacts the database in place, with the
// hourglass meanwhile, and closes with the notice or with what went wrong.
// Returns whether the database was compacted. On a server, the server's
// VACUUM (ANALYZE) (see ServerMaintenance).
bool compressDatabase();

// The main menu's "&Repair": repairs the database in place, then compacts
// it, and closes the same way. Returns whether both were done. On a
// server, REINDEX and the server's checks.
bool repairDatabase();

} // namespace maintenance
