#pragma once

#include "store/EngineError.h"

#include <QString>
#include <QStringList>

namespace backup {

class ZipMain;

// How an archive step with the database ended: the component's result code,
// and a failure of our own before or after the component ran (the copy, the
// check or the replacement of the database).
struct ArchiveOutcome {
    quint16 code = 0;
    store::EngineError error;
    bool succeeded() const { return code == 0 && !error.isError(); }
};

// Adds (mode 0) or updates (mode 2) the database in the component's archive
// as the entry "Vantrel.mdb", from a consistent copy taken now, never from
// the live file a window may be writing; `otherNames` (each followed by
// "\r") go in by the same call. A copy that fails its check is not
// archived; `discardable` says the caller removes the archive on a failure,
// so that the check may run beside the compression even without the
// component's temporary file.
ArchiveOutcome addDatabase(ZipMain &zip, int mode, const QString &databasePath, const QString &otherNames = QString(),
                           bool discardable = false);

// Restores the entry `entryName` of the component's archive as the database:
// extracted beside it, checked, then renamed over it (see SafeRestore). The
// component's extraction folder is left as it was.
ArchiveOutcome restoreDatabase(ZipMain &zip, const QString &entryName, const QString &databasePath);

// Extracts the entry `entryName`, which must begin as a database file, into
// `folder` (the component's extraction folder is left as it was); *extracted
// is where it landed. An outcome without error may still carry the
// component's code 40 (a file skipped).
ArchiveOutcome extractDatabaseEntry(ZipMain &zip, const QString &entryName, const QString &folder, QString *extracted);

// Writes a new archive at `destination` holding the database as its one
// entry, encrypted when `password` is not empty, and tests it. The archive
// is written under a temporary name and takes the destination's name only
// when complete and tested, so an earlier backup of that name stays until
// then.
ArchiveOutcome writeBackupArchive(const QString &destination, const QString &databasePath, const QString &password);

// An entry's name as it lands on the disk: separators made one, "." and
// ".." resolved (none climbs above the top), in small letters.
QString normalizedEntryName(const QString &entryPath);

// Whether an archive entry, extracted into `extractFolder`, would land on
// the database `databasePath`, however its name is spelled.
bool entryIsDatabase(const QString &entryPath, const QString &extractFolder, const QString &databasePath);
// Whether an entry is the database by the name backups give it.
bool isArchivedDatabaseName(const QString &entryPath);

// What a restore says of an archive with more than one entry that would
// become the database: it restores none of them.
store::EngineError severalDatabaseEntries(const QStringList &entries);

} // namespace backup
