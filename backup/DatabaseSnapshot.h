#pragma once

#include "store/EngineError.h"

#include <QString>
#include <future>
#include <memory>

namespace store {
class ServerConnection;
}

namespace backup {

class WorkFolder;

// Writes what was typed into the open data windows that hold the database
// (a file, or a server's URL), without letting go of it: a backup taken next
// holds those edits. A failure tells the operator to correct them, then
// `retry` ("back up again").
bool writePendingEdits(const QString &databasePath, store::EngineError *error,
                       const QString &retry = QStringLiteral("back up again"));

// Copies the database into `destination` (which must not exist) through the
// engine's online backup: one read transaction covers the whole copy, so it
// is the database as it was at one moment even while windows hold the file
// open. The copy is readable by its owner only and is checked before this
// returns true; on failure no destination file is left behind. It is meant
// to be archived and removed, and is not synced to the disk.
bool copyDatabaseConsistently(const QString &databasePath, const QString &destination, store::EngineError *error);

// A consistent copy of the database under its bare name "Vantrel.mdb", in a
// private folder beside the database (folderNameFor, followed by this
// process's tag) that goes away with the object: what a backup archives,
// never the live file a window may be writing at that moment. A folder a
// killed backup left is removed by the next take(), and by the next start of
// the program. A server's data (its URL for the database) is read in one
// snapshot and compared field by field, into a private folder in the user's
// cache folder.
class DatabaseSnapshot
{
public:
    DatabaseSnapshot();
    ~DatabaseSnapshot();
    DatabaseSnapshot(const DatabaseSnapshot &) = delete;
    DatabaseSnapshot &operator=(const DatabaseSnapshot &) = delete;

    // When the copy is checked: before take() returns, or beside what is
    // done with the copy next (on a thread of its own, until checked()).
    enum class CheckTiming { Before, Beside };

    // Writes the windows' pending edits, then copies the database.
    bool take(const QString &databasePath, store::EngineError *error, CheckTiming timing = CheckTiming::Before);
    // Waits for a check running beside; false, with its reason, when the copy
    // failed it and is not to be kept anywhere.
    bool checked(store::EngineError *error);

    QString folder() const;
    QString file() const; // folder() + "/Vantrel.mdb"

    // "Vantrel.mdb.backing-up": the name the copy's folder begins with (the
    // whole name an earlier version gave it).
    static QString folderNameFor(const QString &databasePath);

private:
    // Waits for a check still running, then removes the copy.
    void removeFolder();
    bool takeFromServer(const QString &url, store::EngineError *error);

    QString m_folder;
    std::future<store::EngineError> m_check;
    store::EngineError m_checkResult;
    std::unique_ptr<WorkFolder> m_work; // the folder of a server's copy
};

// A connection to the server at `url`, with the desk's password when it is
// the desk's server.
std::unique_ptr<store::ServerConnection> openServer(const QString &url, store::EngineError *error);

// The name the database is archived under.
QString archivedDatabaseName();

} // namespace backup
