#pragma once

#include "store/EngineError.h"

#include <QString>

namespace store {

class ServerConnection;

// Compress and repair for the program's two tables on a server. Neither
// changes a row: compressing lets the server reuse the room of deleted and
// replaced rows and renews its statistics; repairing rebuilds every index
// and, where the server offers them, runs its checks of indexes and tables.
namespace ServerMaintenance {

struct RepairReport {
    int indexesRebuilt = 0;
    // Whether amcheck's checks ran (and found nothing), and why not when
    // they could not.
    bool checked = false;
    QString uncheckedWhy;
    // Whether this repair added amcheck to the database.
    bool amcheckAdded = false;
};

// VACUUM (ANALYZE) of both tables. Refused, with the reason, when the
// tables are missing or the connection's role may not vacuum them (the
// server would skip them with a mere warning).
bool compact(ServerConnection &connection, EngineError *error);

// REINDEX of both tables, then amcheck's bt_index_check (every index entry
// and every row) and verify_heapam, when the extension is there or can be
// created and the role may run it. Damage found fails with what and where.
bool repair(ServerConnection &connection, RepairReport *report, EngineError *error);

// What the commands say when done, opening with the file's own notices.
QString compactedText(const ServerConnection &connection);
QString repairedText(const RepairReport &report, const ServerConnection &connection);
// What they say when they failed: the file's notice, then why.
QString notCompactedText(const EngineError &error);
QString notRepairedText(const EngineError &error);

} // namespace ServerMaintenance
} // namespace store
