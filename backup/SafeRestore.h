#pragma once

#include "store/EngineError.h"

#include <QString>

namespace backup {

// Puts a database taken from an archive in the place of the live one, so
// that at every moment the live name holds a whole database: the old one or
// the restored one, never a half-written file.
//
// The archive entry is first extracted into a private folder beside the
// live database (stagingFolder()); install() then checks that copy (it opens,
// passes the engine's integrity check and holds the program's tables), lets
// the open data windows write their edits and let go of the file, renames
// the copy over the live name (the old file is kept under a second name
// until the new one is in place), and opens the windows again on the
// restored data. A failure at any point leaves the live database as it was.
class SafeRestore
{
public:
    // `databasePath`: the live database's path (it need not exist).
    explicit SafeRestore(const QString &databasePath);
    ~SafeRestore(); // removes the staging folder and whatever is left in it
    SafeRestore(const SafeRestore &) = delete;
    SafeRestore &operator=(const SafeRestore &) = delete;

    // Refuses while the live database has a journal or write-ahead log of
    // its own name (a transaction is unfinished; the file is in use or was
    // left by a crash), then makes the staging folder.
    bool prepare(store::EngineError *error);
    QString stagingFolder() const { return m_staging; }

    // Checks `extractedFile` (normally inside the staging folder) and puts
    // it in the live database's place.
    bool install(const QString &extractedFile, store::EngineError *error);

    // Puts a damaged database that a repair replaced back in the live
    // database's place, unchecked: it is the file as the repair found it.
    // The database in place stays beside it under `setAside`, a free name.
    bool putBackDamaged(const QString &damagedFile, const QString &setAside, store::EngineError *error);

    // The name the old database has for the moment of the rename.
    static QString keptNameFor(const QString &databasePath);
    // The staging folder's name for a database.
    static QString stagingNameFor(const QString &databasePath);

    // Checks a file before it may become the database: a rollback-journal
    // database of the engine that opens, passes the full integrity check and
    // holds the tables Information and CenterInformation.
    static bool checkRestoredCopy(const QString &path, store::EngineError *error);

private:
    bool refuseWhileJournalled(store::EngineError *error) const;
    // Lets the open data windows write their edits and let go, replaces, and
    // opens them again on what is in place then.
    bool replaceWithWindowsClosed(const QString &copy, const QString &setAside, store::EngineError *error);
    // With `setAside`, the replaced database keeps that name and nothing is
    // written into the copy; without, it is kept as a change the copy records.
    bool replace(const QString &copy, store::EngineError *error, const QString &setAside = QString());

    QString m_database;
    QString m_staging;
};

} // namespace backup
