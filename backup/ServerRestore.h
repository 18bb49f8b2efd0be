#pragma once

#include "backup/DatabaseArchive.h"

namespace backup {

class ZipMain;

// What a restore into a server did.
struct ServerRestore {
    QString where; // the server, as messages name it
    qint64 customers = 0;
    QString keptFile; // the server's data as it was before
};

// Restores the archive entry `entryName` into the server at `url`: the entry
// is extracted into a private folder in the user's cache (removed whatever
// the outcome) and checked as a file's restore checks its copy. Only then
// are the open windows' edits written, the server's data kept whole in a new
// file of the kept-changes folder beside the program folder's database, and
// every row of the server replaced by the copy's in one transaction. A
// failure at any point leaves every row of the server as it was. The desk's
// windows then follow the restored rows as they follow another desk's.
ArchiveOutcome restoreDatabaseOnServer(ZipMain &zip, const QString &entryName, const QString &url, ServerRestore *done);

// What the window asks before a restore replaces a server's data, and what
// it says after.
QString replaceServerDataText(const QString &url);
QString restoredOnServerText(const ServerRestore &done);

} // namespace backup
