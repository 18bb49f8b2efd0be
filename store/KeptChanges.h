#pragma once

#include "store/EngineError.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

struct sqlite3;

namespace store {

struct TranslatedStatement;

// What a change that touched many customers at once took away or added,
// kept in the database file beside the program's tables so that the change
// can be taken back:
//   VantrelChanges     one row per kept change (number, time, description,
//                      kind, table, rows, the range of its kept rows, size)
//   VantrelKept_<T>    the rows of table T as the change found or left them:
//                      the change's number, the row id and every field,
//                      stored without conversion.
// The tables are made by the first kept change; the program's own tables
// are never altered.
// A database file that a restore or a repair replaced is kept whole, in the
// folder keptFolderFor() beside the database, and named by a row of the
// VantrelChanges of the database that replaced it. A repair's is damaged.
// A name read from that row is a name read from data: only a file of the
// database's own kept folder, named as the program names them, is removed,
// moved or put back (isOwnKeptFile()).
enum class ChangeKind { DeletedRows, AddedRows, ReplacedFile, ReplacedDamagedFile };

inline bool replacesFile(ChangeKind kind)
{
    return kind == ChangeKind::ReplacedFile || kind == ChangeKind::ReplacedDamagedFile;
}

struct KeptChange {
    qint64 number = 0;
    QDateTime time; // UTC
    QString description;
    ChangeKind kind = ChangeKind::DeletedRows;
    QString table;
    qint64 rows = 0;
    qint64 bytes = 0; // what its kept rows take in the file, or the kept file's size
    QString keptFile; // ReplacedFile: the kept database file
};

// How much is kept: changes older than `days`, and the oldest changes while
// all of them take more than `percentOfFile` of the file, are dropped. The
// newest change is never dropped for its size.
struct KeepLimits {
    int days = 30;
    int percentOfFile = 20;
    // The operator's settings ("KeptChanges/Days", "KeptChanges/PercentOfFile"
    // in Vantrel.conf), or the defaults.
    static KeepLimits fromSettings();
};

// A row an import added that was changed since: it stays.
struct EditedRow {
    qint64 rowId = 0;
    QString label; // "Locker 12, John Smith (record 345)"
};

struct UndoResult {
    KeptChange change;
    qint64 restored = 0;         // deleted rows put back
    qint64 renumbered = 0;       // of those, put back under a new row id (theirs was taken since)
    qint64 removed = 0;          // added rows taken out again
    qint64 goneSince = 0;        // added rows already deleted since
    QList<EditedRow> keptEdited; // added rows edited since, left in place
};

// The kept changes of one open connection. Keeping runs inside the caller's
// write transaction, so a change and its kept copy are committed together or
// not at all; listing, undoing and trimming run in transactions of their own.
class KeptChanges
{
public:
    // `databasePath`: the database's name as the program knows it, whose kept
    // folder the kept files must lie in; empty: the engine's name of the file.
    explicit KeptChanges(sqlite3 *db, KeepLimits limits = KeepLimits::fromSettings(),
                         const QString &databasePath = QString());

    // Inside a write transaction: keeps the rows a delete statement would
    // remove, then removes exactly those rows. `what` names the command
    // ("Delete Found Records"). Nothing is kept when nothing matched. On
    // failure the caller rolls its transaction back.
    bool deleteKeeping(const TranslatedStatement &deletion, const QString &what, qint64 *deleted, EngineError *error);

    // Inside a write transaction, before rows are added to `table`: notes
    // where the added rows will begin.
    bool beginAdding(const QString &table, EngineError *error);
    // Still inside it, after the rows were added: keeps their row ids and
    // contents (to tell later whether they were edited since).
    bool keepAdded(const QString &what, qint64 *kept, EngineError *error);

    // A restore keeps the database it replaces, in two steps. Before `copy`
    // takes the database's name, and before the copy is synced: records in
    // the copy that the database now in place will be kept, and where (in
    // the kept folder, checked by prepareKeptFolder()). Then, still before
    // the copy takes the name: gives the database in place a second name
    // there (a second name a restore stopped at that moment left goes
    // first). A damaged file (ReplacedDamagedFile) is not read, not even to
    // count its customers.
    // A copy from an archive comes from another place, or another time: the
    // files its own replaced-file changes name are not this database's to
    // keep or remove. With CopyFiles::Forget those changes are dropped from
    // the copy, and their files left alone; its other changes stay.
    enum class CopyFiles { Keep, Forget };
    static bool recordReplacement(const QString &databasePath, const QString &copy, const QString &what,
                                  QString *keptPath, EngineError *error, ChangeKind kind = ChangeKind::ReplacedFile,
                                  CopyFiles copyFiles = CopyFiles::Keep);
    static bool keepReplacedFile(const QString &replaced, const QString &keptPath, EngineError *error);
    static QString keptFolderFor(const QString &databasePath);

    // The kept folder of the database, made when missing, and checked before
    // anything is kept in it: a folder (not a link) of this account, which
    // it may write, on the database's own file system (a kept database is a
    // second name of the same file). Its access is narrowed to this account.
    static bool prepareKeptFolder(const QString &databasePath, QString *folder, EngineError *error);

    // Whether `keptFile` is a file this program keeps for the database: by
    // its canonical form inside the database's kept folder (itself a folder
    // of this account, not a link), named "replaced-DATE-TIME-ID.mdb", and
    // no link. It need not exist. `why` tells the operator otherwise.
    static bool isOwnKeptFile(const QString &keptFile, const QString &databasePath, QString *why = nullptr);

    // A replaced file's change is forgotten by the database before that
    // database is itself replaced by the file, and remembered again when the
    // file could not be put back.
    bool forget(const KeptChange &change, EngineError *error);
    bool remember(const KeptChange &change, EngineError *error);

    // Newest first.
    QList<KeptChange> list(EngineError *error) const;

    // Takes the newest kept change back, in one transaction, and forgets it.
    // False with Err::NoCurrentRecord when nothing is kept. A replaced file
    // is not put back here, but by the restore's checked rename.
    bool undoLast(UndoResult *result, EngineError *error);

    // Drops what is beyond the limits, oldest first.
    bool trim(EngineError *error, const QDateTime &now = QDateTime::currentDateTimeUtc());

    // "Delete Found Records: 1,240 customers, 12/08/2026 14:05" (local time).
    static QString describe(const QString &what, qint64 rows, const QDateTime &time);
    // "Restore: replaced a database of 1,240 customers, 12/08/2026 14:05".
    static QString describeReplaced(const QString &what, qint64 rows, const QDateTime &time);
    // "Repair: replaced a damaged database, 12/08/2026 14:05".
    static QString describeReplacedDamaged(const QString &what, const QDateTime &time);
    static QString changesTable();
    static QString keptTableFor(const QString &table);

private:
    struct KeptRange {
        qint64 rows = 0;
        qint64 first = 0; // row ids in the kept table
        qint64 last = 0;
    };
    // Copies the rows of `table` that `condition` (" WHERE ...", or empty)
    // selects into its kept table as a new change, and records the change
    // unless no row was copied.
    bool keepRows(const QString &table, const QString &condition, const QVariantList &params, const QString &what,
                  ChangeKind kind, KeptRange *range, EngineError *error);
    bool ensureTables(const QString &table, QStringList *columns, EngineError *error);
    bool ensureChangesTable(EngineError *error);
    bool keptColumns(const QString &table, QStringList *columns, EngineError *error) const;
    bool hasChangesTable() const;
    qint64 usedBytes() const;
    bool recordChange(qint64 number, const QDateTime &time, const QString &description, ChangeKind kind,
                      const QString &table, qint64 rows, qint64 firstKept, qint64 lastKept, qint64 bytes,
                      EngineError *error, const QString &keptFile = QString());
    // Forgets a change and its kept rows; a kept file to remove once the
    // transaction is committed goes into `files`.
    bool drop(qint64 number, QStringList *files, EngineError *error);
    bool undoDeleted(const KeptChange &change, qint64 first, qint64 last, UndoResult *result, EngineError *error);
    bool undoAdded(const KeptChange &change, qint64 first, qint64 last, UndoResult *result, EngineError *error);

    // Drops the changes that name a kept file, leaving the files alone.
    bool forgetKeptFiles(EngineError *error);
    // Removes the files of dropped changes that are this database's own.
    void removeKeptFiles(const QStringList &files) const;

    sqlite3 *m_db;
    KeepLimits m_limits;
    QString m_databasePath;
    QString m_addingTable;
    qint64 m_addingAfter = 0;
};

} // namespace store
