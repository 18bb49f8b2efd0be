#pragma once

struct sqlite3;

namespace store {

// Registers the functions and collations that translated statements use
// (case-blind comparison of every letter, the dialect's patterns, date
// parts) on one connection. They live on the connection, never in the
// file's schema, so the stock sqlite3 shell still reads the file.
bool registerVantrelFunctions(sqlite3 *db);

} // namespace store
