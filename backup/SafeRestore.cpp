#include "backup/SafeRestore.h"

#include "maintenance/DataWindows.h"
#include "maintenance/FileUsers.h"
#include "store/KeptChanges.h"
#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace backup {

namespace {

bool exists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

store::EngineError notRestored(int number, const QString &why)
{
    return {number, QStringLiteral("The database was not restored: %1").arg(why)};
}

bool failWith(store::EngineError *error, int number, const QString &why)
{
    if (error)
        *error = notRestored(number, why);
    return false;
}

bool headerIsRollbackDatabase(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        *why = QStringLiteral("it is not a database file.");
        return false;
    }
    if (header.at(18) != 1 || header.at(19) != 1) {
        *why = QStringLiteral("it is not in rollback-journal mode.");
        return false;
    }
    return true;
}

// Records in the copy that the database it replaces stays, as a change that
// can be undone; a copy put back from the kept ones is itself an undo. Empty
// when it could not be recorded: the restore goes on without.
QString recordReplacement(const QString &database, const QString &copy)
{
    const bool undoing =
        QFileInfo(copy).absolutePath() == QFileInfo(store::KeptChanges::keptFolderFor(database)).absoluteFilePath();
    QString keptPath;
    store::EngineError e;
    if (!store::KeptChanges::recordReplacement(
            database, copy, undoing ? QStringLiteral("Undo Last Change") : QStringLiteral("Restore"), &keptPath, &e)) {
        qWarning("The replaced database will not be kept for an undo: %s", qPrintable(e.text));
        return QString();
    }
    return keptPath;
}

} // namespace

SafeRestore::SafeRestore(const QString &databasePath) : m_database(databasePath)
{
}

SafeRestore::~SafeRestore()
{
    if (!m_staging.isEmpty())
        QDir(m_staging).removeRecursively();
}

QString SafeRestore::keptNameFor(const QString &databasePath)
{
    return databasePath + QStringLiteral(".before-restore");
}

QString SafeRestore::stagingNameFor(const QString &databasePath)
{
    return databasePath + QStringLiteral(".restoring");
}

bool SafeRestore::refuseWhileJournalled(store::EngineError *error) const
{
    // The same check as compaction's: a journal, log or shared-memory file of
    // the database's name in any letter case would be played into the
    // restored file at its next opening.
    const QFileInfo database(m_database);
    const QString journal = store::journalFileFor(database.absolutePath(), {database.fileName()});
    if (journal.isEmpty())
        return true;
    return failWith(error, store::Err::Locked,
                    QStringLiteral("the file '%1' shows that the database is being written or that a "
                                   "change to it was interrupted. Open and close the customer window once "
                                   "(the engine then finishes or undoes that change), then restore again.")
                        .arg(journal));
}

bool SafeRestore::prepare(store::EngineError *error)
{
    if (!refuseWhileJournalled(error))
        return false;
    const QString staging = stagingNameFor(m_database);
    // One left by an interrupted restore holds only a copy of an archive entry.
    if (exists(staging) && !QDir(staging).removeRecursively())
        return failWith(
            error, store::Err::FileExists,
            QStringLiteral("the folder '%1' left by an earlier restore could not be removed.").arg(staging));
    if (!QDir().mkdir(staging) || ::chmod(QFile::encodeName(staging).constData(), 0700) != 0)
        return failWith(error, store::Err::CannotOpen,
                        QStringLiteral("could not make the folder '%1' beside the database.").arg(staging));
    m_staging = staging;
    return true;
}

bool SafeRestore::checkRestoredCopy(const QString &path, store::EngineError *error)
{
    QString why;
    if (!headerIsRollbackDatabase(path, &why))
        return failWith(error, store::Err::UnrecognizedFormat,
                        QStringLiteral("the restored file '%1' cannot be used: %2").arg(path, why));
    store::RawDatabase copy;
    store::EngineError e;
    if (!copy.open(path, store::RawDatabase::ReadOnly, &e))
        return failWith(error, store::Err::Corrupt,
                        QStringLiteral("the restored file '%1' does not open: %2").arg(path, e.text));
    store::Statement check(copy.handle(), QStringLiteral("PRAGMA integrity_check"));
    QStringList problems;
    while (check.step())
        problems << check.value(0).toString();
    if (!check.isValid() || check.error().isError())
        return failWith(
            error, store::Err::Corrupt,
            QStringLiteral("the restored file '%1' could not be checked: %2").arg(path, check.error().text));
    if (problems != QStringList{QStringLiteral("ok")})
        return failWith(error, store::Err::Corrupt,
                        QStringLiteral("the restored file '%1' is damaged: %2")
                            .arg(path, problems.mid(0, 3).join(QStringLiteral("; "))));
    // The file must be the program's own database: its tables with every
    // column the program reads and writes, and nothing that would run on
    // the program's writes (a trigger) or stand in for a table (a view).
    for (const store::TableDef *table : {&store::Schema::information(), &store::Schema::centerInformation()}) {
        store::Statement columns(copy.handle(), QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        columns.bind(1, table->name);
        QSet<QString> present;
        while (columns.step())
            present.insert(columns.value(0).toString().toLower());
        if (present.isEmpty())
            return failWith(error, store::Err::UnrecognizedFormat,
                            QStringLiteral("the restored file '%1' is not a database of this program (it has no "
                                           "table %2).")
                                .arg(path, table->name));
        for (const QString &field : table->fieldNames())
            if (!present.contains(field.toLower()))
                return failWith(error, store::Err::UnrecognizedFormat,
                                QStringLiteral("the restored file '%1' is not a database of this program (its table "
                                               "%2 has no field %3).")
                                    .arg(path, table->name, field));
    }
    store::Statement extra(copy.handle(),
                           QStringLiteral("SELECT type, name FROM sqlite_master WHERE type IN ('trigger', 'view')"));
    if (extra.step())
        return failWith(error, store::Err::UnrecognizedFormat,
                        QStringLiteral("the restored file '%1' is not a database of this program (it holds the %2 "
                                       "%3).")
                            .arg(path, extra.value(0).toString(), extra.value(1).toString()));
    return true;
}

bool SafeRestore::install(const QString &extractedFile, store::EngineError *error)
{
    if (!QFileInfo(extractedFile).isFile())
        return failWith(error, store::Err::FileNotFound,
                        QStringLiteral("the archive entry was not extracted ('%1' is missing).").arg(extractedFile));
    // It holds social security numbers, whatever the archive said.
    ::chmod(QFile::encodeName(extractedFile).constData(), 0600);
    if (!checkRestoredCopy(extractedFile, error))
        return false;
    store::EngineError e;
    if (!store::syncFile(extractedFile, &e))
        return failWith(error, e.number, e.text);

    return replaceWithWindowsClosed(extractedFile, QString(), error);
}

bool SafeRestore::putBackDamaged(const QString &damagedFile, const QString &setAside, store::EngineError *error)
{
    if (!QFileInfo(damagedFile).isFile())
        return failWith(error, store::Err::FileNotFound,
                        QStringLiteral("the kept database '%1' is missing.").arg(damagedFile));
    return replaceWithWindowsClosed(damagedFile, setAside, error);
}

bool SafeRestore::replaceWithWindowsClosed(const QString &copy, const QString &setAside, store::EngineError *error)
{
    store::EngineError e;
    maintenance::DataWindows windows(m_database);
    if (!windows.release(&e))
        return failWith(error, e.number,
                        QStringLiteral("the changes in an open window could not be saved: %1").arg(e.text));
    const bool replaced = replace(copy, error, setAside);
    windows.reopen(m_database);
    return replaced;
}

bool SafeRestore::replace(const QString &copy, store::EngineError *error, const QString &setAside)
{
    const QList<qint64> holders = maintenance::processesHoldingOpen(m_database);
    if (!holders.isEmpty()) {
        if (holders.contains(QCoreApplication::applicationPid()))
            return failWith(error, store::Err::Locked,
                            QStringLiteral("the database is still open in a window of this program. Close the "
                                           "customer windows, then restore again."));
        return failWith(error, store::Err::Locked,
                        QStringLiteral("the database is open in another program. Close that program, then restore "
                                       "again."));
    }
    // The windows have just let go; a journal now is another program's.
    if (!refuseWhileJournalled(error))
        return false;

    store::EngineError e;
    const QString folder = QFileInfo(m_database).absolutePath();
    if (!QFileInfo(m_database).isFile()) {
        // Nothing to keep: the restored file takes the free name.
        if (!store::renameNoReplace(copy, m_database, &e))
            return failWith(error, e.number, e.text);
        store::syncFolder(folder, nullptr);
        return true;
    }

    // Written into the copy while it is not yet the database, so that no
    // moment leaves the database with a journal of this write.
    const QString keptPath = setAside.isEmpty() ? recordReplacement(m_database, copy) : QString();
    if (!keptPath.isEmpty() && !store::syncFile(copy, &e))
        return failWith(error, e.number, e.text);
    // The old file keeps a second name until the folder shows the new one,
    // so that it can be put back if that last step fails.
    const QString kept = setAside.isEmpty() ? keptNameFor(m_database) : setAside;
    if (setAside.isEmpty())
        QFile::remove(kept);
    if (::link(QFile::encodeName(m_database).constData(), QFile::encodeName(kept).constData()) != 0)
        return failWith(
            error, store::Err::CannotOpen,
            QStringLiteral("could not keep the current database as '%1': %2").arg(kept, store::systemErrorText(errno)));
    if (!store::renameReplacing(copy, m_database, &e)) {
        QFile::remove(kept);
        return failWith(error, e.number, e.text);
    }
    if (!store::syncFolder(folder, &e)) {
        store::renameReplacing(kept, m_database, nullptr);
        return failWith(error, e.number, e.text);
    }
    if (!setAside.isEmpty())
        return true;
    store::EngineError keptError;
    if (keptPath.isEmpty() || !store::KeptChanges::keepReplacedFile(kept, keptPath, &keptError))
        QFile::remove(kept);
    return true;
}

} // namespace backup
