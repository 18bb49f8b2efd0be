#pragma once

#include "store/EngineError.h"
#include "store/KeptChanges.h"

#include <QString>

namespace backup {

// Puts a database taken from an archive in the place of the live one, so
// that at every moment the live name holds a whole database: the old one or
// the restored one, never a half-written file.
//
// The archive entry is first extracted into a private folder beside the
// live database (stagingFolder()); install() then checks that copy (it opens,
// passes the engine's integrity check and holds the program's tables), lets
// the open data windows write their edits and let go of the file, gives the
// live database a second name in its kept folder (as a change of the copy
// that can be undone), renames the copy over the live name, and opens the
// windows again on the restored data. A database that cannot be kept is not
// replaced. A failure at any point leaves the live database as it was.
class SafeRestore
{
public:
    // `databasePath`: the live database's path (it need not exist).
    explicit SafeRestore(const QString &databasePath);
    ~SafeRestore(); // removes the staging folder and whatever is left in it
    SafeRestore(const SafeRestore &) = delete;
    SafeRestore &operator=(const SafeRestore &) = delete;

    // Refuses while the live database has a journal the engine would roll
    // back, or a write-ahead log, of its own name in any letter case (a
    // transaction is unfinished; the file is in use or was left by a crash),
    // then makes the staging folder.
    bool prepare(store::EngineError *error);
    QString stagingFolder() const { return m_staging; }

    // Checks `extractedFile`, a file inside the staging folder, and puts it
    // in the live database's place. The changes it holds that name kept
    // files are forgotten: those files belong to the place and time it was
    // archived, not to this database.
    bool install(const QString &extractedFile, store::EngineError *error);

    // Puts a database a restore (or an undo) replaced back from the kept
    // folder, through the same checks; its own kept changes stay.
    bool putBack(const QString &keptFile, store::EngineError *error);

    // Puts a damaged database that a repair replaced back in the live
    // database's place, unchecked: it is the file as the repair found it.
    // The database in place stays beside it under `setAside`, a free name.
    bool putBackDamaged(const QString &damagedFile, const QString &setAside, store::EngineError *error);

    // The staging folder's name for a database.
    static QString stagingNameFor(const QString &databasePath);

    // Checks a file before it may become the database: a rollback-journal
    // database of the engine that opens, passes the full integrity check and
    // holds the tables Information and CenterInformation.
    static bool checkRestoredCopy(const QString &path, store::EngineError *error);

private:
    // How the database in place is kept: as a change the copy records (what
    // the change is named by, and whether the copy's own kept files stay
    // named), or, with `setAside`, under that name, nothing written into the
    // copy.
    struct Keeping {
        QString what;
        store::KeptChanges::CopyFiles copyFiles = store::KeptChanges::CopyFiles::Keep;
        QString setAside;
    };

    bool refuseWhileJournalled(store::EngineError *error) const;
    // A file of the database's kept folder, as the program names them, there.
    bool isKeptHere(const QString &keptFile, store::EngineError *error) const;
    // Lets the open data windows write their edits and let go, replaces, and
    // opens them again on what is in place then.
    bool replaceWithWindowsClosed(const QString &copy, const Keeping &keeping, store::EngineError *error);
    bool replace(const QString &copy, const Keeping &keeping, store::EngineError *error);
    // The database in place gets its second name before the copy takes its name.
    bool keepAndReplace(const QString &copy, const Keeping &keeping, store::EngineError *error);

    QString m_database;
    QString m_staging;
};

} // namespace backup
