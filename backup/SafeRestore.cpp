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
#include <fcntl.h>
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

// Gives the file no access but its owner's, never through a link: it holds
// social security numbers, whatever the archive said.
bool restrictToOwner(const QString &path, store::EngineError *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool done = fd >= 0 && ::fchmod(fd, 0600) == 0;
    const int e = errno;
    if (fd >= 0)
        ::close(fd);
    return done
        || failWith(error, store::Err::CannotOpen,
                    QStringLiteral("could not restrict access to '%1': %2").arg(path, store::systemErrorText(e)));
}

bool isInside(const QString &path, const QString &folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    return !canonicalFolder.isEmpty() && !QFileInfo(path).isSymLink()
        && QFileInfo(path).canonicalFilePath().startsWith(canonicalFolder + QLatin1Char('/'));
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
    // One left by an interrupted restore holds only a copy of an archive
    // entry. A link of that name goes alone: what it leads to is not ours.
    const bool removed =
        QFileInfo(staging).isSymLink() ? QFile::remove(staging) : !exists(staging) || QDir(staging).removeRecursively();
    if (!removed)
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
    if (m_staging.isEmpty() || !isInside(extractedFile, m_staging))
        return failWith(error, store::Err::InvalidOperation,
                        QStringLiteral("'%1' is not a file this restore extracted.").arg(extractedFile));
    if (!restrictToOwner(extractedFile, error) || !checkRestoredCopy(extractedFile, error))
        return false;
    store::EngineError e;
    if (!store::syncFile(extractedFile, &e))
        return failWith(error, e.number, e.text);

    return replaceWithWindowsClosed(
        extractedFile, {QStringLiteral("Restore"), store::KeptChanges::CopyFiles::Forget, QString()}, error);
}

bool SafeRestore::isKeptHere(const QString &keptFile, store::EngineError *error) const
{
    QString why;
    if (!store::KeptChanges::isOwnKeptFile(keptFile, m_database, &why))
        return failWith(error, store::Err::InvalidOperation, why);
    if (!QFileInfo(keptFile).isFile())
        return failWith(error, store::Err::FileNotFound,
                        QStringLiteral("the kept database '%1' is missing.").arg(keptFile));
    return true;
}

bool SafeRestore::putBack(const QString &keptFile, store::EngineError *error)
{
    if (!isKeptHere(keptFile, error) || !checkRestoredCopy(keptFile, error))
        return false;
    return replaceWithWindowsClosed(
        keptFile, {QStringLiteral("Undo Last Change"), store::KeptChanges::CopyFiles::Keep, QString()}, error);
}

bool SafeRestore::putBackDamaged(const QString &damagedFile, const QString &setAside, store::EngineError *error)
{
    if (!isKeptHere(damagedFile, error))
        return false;
    return replaceWithWindowsClosed(damagedFile, {QString(), store::KeptChanges::CopyFiles::Keep, setAside}, error);
}

bool SafeRestore::replaceWithWindowsClosed(const QString &copy, const Keeping &keeping, store::EngineError *error)
{
    store::EngineError e;
    maintenance::DataWindows windows(m_database);
    if (!windows.release(&e))
        return failWith(error, e.number,
                        QStringLiteral("the changes in an open window could not be saved: %1").arg(e.text));
    const bool replaced = replace(copy, keeping, error);
    windows.reopen(m_database);
    return replaced;
}

bool SafeRestore::replace(const QString &copy, const Keeping &keeping, store::EngineError *error)
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
    if (keeping.setAside.isEmpty())
        return keepAndReplace(copy, keeping, error);

    // The old file keeps a second name, which stays when the copy takes the
    // first, and which puts it back if the folder cannot show the new one.
    if (::link(QFile::encodeName(m_database).constData(), QFile::encodeName(keeping.setAside).constData()) != 0)
        return failWith(error, store::Err::CannotOpen,
                        QStringLiteral("could not keep the current database as '%1': %2")
                            .arg(keeping.setAside, store::systemErrorText(errno)));
    if (!store::renameReplacing(copy, m_database, &e)) {
        QFile::remove(keeping.setAside);
        return failWith(error, e.number, e.text);
    }
    if (!store::syncFolder(folder, &e)) {
        store::renameReplacing(keeping.setAside, m_database, nullptr);
        return failWith(error, e.number, e.text);
    }
    return true;
}

bool SafeRestore::keepAndReplace(const QString &copy, const Keeping &keeping, store::EngineError *error)
{
    const auto notKept = [error](const store::EngineError &why) {
        return failWith(error, why.number,
                        QStringLiteral("the database in place could not be kept first, so it has not been replaced. %1")
                            .arg(why.text));
    };
    // Written into the copy while it is not yet the database, so that no
    // moment leaves the database with a journal of this write.
    QString keptPath;
    store::EngineError e;
    if (!store::KeptChanges::recordReplacement(m_database, copy, keeping.what, &keptPath, &e,
                                               store::ChangeKind::ReplacedFile, keeping.copyFiles))
        return notKept(e);
    if (!store::syncFile(copy, &e))
        return failWith(error, e.number, e.text);
    if (!store::KeptChanges::keepReplacedFile(m_database, keptPath, &e))
        return notKept(e);
    const QString folder = QFileInfo(m_database).absolutePath();
    if (!store::renameReplacing(copy, m_database, &e)) {
        ::unlink(QFile::encodeName(keptPath).constData());
        return failWith(error, e.number, e.text);
    }
    if (!store::syncFolder(folder, &e)) {
        // The kept name puts the old file back.
        store::renameReplacing(keptPath, m_database, nullptr);
        return failWith(error, e.number, e.text);
    }
    return true;
}

} // namespace backup
