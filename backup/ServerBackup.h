#pragma once

#include "backup/DatabaseArchive.h"

namespace store {
class ServerConnection;
}

namespace backup {

// The backup of a server's data: the same archive as a file's, so that it
// restores on either backend. The server's tables, read in one snapshot,
// become a checked Vantrel.mdb in a new folder only its owner may enter
// (the data holds social security numbers), which writeBackupArchive()
// archives and tests; the folder is removed afterwards, whatever the
// outcome, and a folder that cannot be removed is told as a failure.
// `customers` receives how many customers went into the archive.
ArchiveOutcome writeServerBackupArchive(const QString &destination, store::ServerConnection &server,
                                        const QString &password, qint64 *customers = nullptr);

} // namespace backup
