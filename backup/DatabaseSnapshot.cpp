#include "backup/DatabaseSnapshot.h"

#include "maintenance/FileUsers.h"
#include "platform/Leftovers.h"
#include "store/DataControl.h"
#include "store/Database.h"
#include "store/DatabaseChoice.h"
#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/ServerDatabase.h"
#include "store/SilencedErrors.h"
#include "store/Statement.h"
#include "store/salvage/CopyCheck.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerCopy.h"
#include "zip/ZipCommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>

namespace backup {

namespace {

// Between the folder's name and the tag of the process whose copy it holds.
const QString kTagMarker = QStringLiteral("-");

// A server is named by its URL, a file by its canonical path.
QString identity(const QString &path)
{
    if (store::ServerDatabase::isServerUrl(path))
        return path;
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

store::EngineError copyFailure(const QString &database, const QString &why)
{
    return {store::Err::CannotOpen, QStringLiteral("Could not copy the database '%1': %2").arg(database, why)};
}

// Runs the online backup from an open source into a fresh file. The source
// connection already holds the read transaction the copy is taken in.
bool backupInto(sqlite3 *source, const QString &databasePath, const QString &destination, store::EngineError *error)
{
    store::RawDatabase target;
    store::EngineError e;
    if (!target.open(destination, store::RawDatabase::ReadWrite, &e)) {
        if (error)
            *error = e;
        return false;
    }
    // A crash meanwhile leaves a file in a private folder that the next
    // backup removes.
    target.exec(QStringLiteral("PRAGMA synchronous = OFF; PRAGMA journal_mode = OFF"), nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(target.handle(), "main", source, "main");
    if (!backup) {
        if (error)
            *error = copyFailure(databasePath, QString::fromUtf8(sqlite3_errmsg(target.handle())));
        return false;
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE || finished != SQLITE_OK) {
        if (error)
            *error = store::engineErrorFor(target.handle(), stepped != SQLITE_DONE ? stepped : finished,
                                           QStringLiteral("Could not copy the database '%1'").arg(databasePath));
        return false;
    }
    // The pages came with the source's journal mode. A file another program
    // left in write-ahead-log mode is archived as a rollback-journal file: it
    // restores to a file that needs no log beside it, and the live file's
    // mode stays its own.
    if (!target.exec(QStringLiteral("PRAGMA journal_mode = DELETE"), &e)) {
        if (error)
            *error = copyFailure(databasePath, e.text);
        return false;
    }
    return target.close(error);
}

} // namespace

QString archivedDatabaseName()
{
    return QStringLiteral("Vantrel.mdb");
}

bool writePendingEdits(const QString &databasePath, store::EngineError *error, const QString &retry)
{
    const QString file = identity(databasePath);
    if (file.isEmpty())
        return true;
    for (store::DataControl *control : store::DataControl::instances()) {
        if (!control->hasOpenFile() || !control->database() || identity(control->database()->name()) != file)
            continue;
        // The command tells a failure in its own words, not the window too.
        bool written = false;
        {
            const store::SilencedErrors quiet(control);
            written = control->UpdateRecord();
        }
        if (!written) {
            if (error) {
                const store::EngineError &e = control->lastError();
                *error = {e.number,
                          QStringLiteral("The changes in an open window could not be saved: %1 Correct "
                                         "them, then %2.")
                              .arg(e.text, retry)};
            }
            return false;
        }
    }
    return true;
}

namespace {

// The copy without its check; `summary` is what the check compares it with.
bool copyUnchecked(const QString &databasePath, const QString &destination, store::DatabaseSummary *summary,
                   store::EngineError *error)
{
    if (!QFileInfo(databasePath).isFile())
        return store::fail(error, store::Err::FileNotFound,
                           QStringLiteral("Could not find file '%1'.").arg(databasePath));
    store::EngineError e;
    if (!store::createOwnerOnlyFile(destination, &e)) {
        if (error)
            *error = e;
        return false;
    }
    auto failAndClean = [&](const store::EngineError &reason) {
        QFile::remove(destination);
        if (error)
            *error = reason;
        return false;
    };

    store::RawDatabase source;
    // Read-write, so that a transaction a crash left unfinished is rolled
    // back before anything is read; nothing is written to the source.
    if (!source.open(databasePath, store::RawDatabase::ReadWrite, &e))
        return failAndClean(e);
    // The summaries and the pages come from one read transaction: a window
    // writing meanwhile waits for it, and the copy is the file of one moment.
    if (!source.exec(QStringLiteral("BEGIN"), &e))
        return failAndClean(e);
    if (!store::summarizeDatabase(source.handle(), summary, &e))
        return failAndClean(copyFailure(databasePath, e.text));
    if (!backupInto(source.handle(), databasePath, destination, &e))
        return failAndClean(e);
    source.exec(QStringLiteral("COMMIT"), nullptr);
    source.close(nullptr);
    return true;
}

// The copy only lives until it is archived, so it is not synced to the disk;
// what the archive holds is checked when the archive is tested. The backup
// copies the source's pages as they are, damage included, and the archive
// may be the only copy left one day: it is read back whole.
store::EngineError checkOfCopy(const QString &destination, const store::DatabaseSummary &summary)
{
    store::EngineError e;
    store::checkCopy(destination, summary, store::ReadBack::Always, &e);
    return e;
}

} // namespace

bool copyDatabaseConsistently(const QString &databasePath, const QString &destination, store::EngineError *error)
{
    store::DatabaseSummary summary;
    if (!copyUnchecked(databasePath, destination, &summary, error))
        return false;
    const store::EngineError e = checkOfCopy(destination, summary);
    if (!e.isError())
        return true;
    QFile::remove(destination);
    if (error)
        *error = e;
    return false;
}

DatabaseSnapshot::DatabaseSnapshot() = default;

QString DatabaseSnapshot::folderNameFor(const QString &databasePath)
{
    return databasePath + QStringLiteral(".backing-up");
}

DatabaseSnapshot::~DatabaseSnapshot()
{
    removeFolder();
}

void DatabaseSnapshot::removeFolder()
{
    // A check still reading the copy finishes first.
    if (m_check.valid())
        m_check.wait();
    if (m_work)
        m_work->remove();
    else if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    m_work.reset();
    m_folder.clear();
}

bool DatabaseSnapshot::takeFromServer(const QString &url, store::EngineError *error)
{
    if (!writePendingEdits(url, error))
        return false;
    // A folder of the user's alone, which the next backup clears should
    // this one be killed.
    m_work = std::make_unique<WorkFolder>();
    if (!m_work->isValid()) {
        m_work.reset();
        return store::fail(error, store::Err::CannotOpen,
                           QStringLiteral("Could not make a private folder for the copy of the server's data in the "
                                          "user's cache folder."));
    }
    m_folder = m_work->path();
    auto server = openServer(url, error);
    if (!server || !store::ServerCopy::fromServer(*server, file(), nullptr, error)) {
        removeFolder();
        return false;
    }
    return true;
}

std::unique_ptr<store::ServerConnection> openServer(const QString &url, store::EngineError *error)
{
    // The desk's password serves the server it works on.
    return store::ServerConnection::open(
        url, error, url == store::DatabaseChoice::serverUrl() ? store::DatabaseChoice::serverPassword() : QString());
}

bool DatabaseSnapshot::take(const QString &databasePath, store::EngineError *error, CheckTiming timing)
{
    removeFolder();
    // The server's copy is compared as it is written: there is nothing to
    // check beside.
    if (store::ServerDatabase::isServerUrl(databasePath))
        return takeFromServer(databasePath, error);
    // Beside the database, on its own file system and readable by its owner
    // only: the copy holds what the database holds. Its name carries this
    // process's tag, so that a backup running beside this one keeps its own
    // copy, and what a killed one left is known as such and removed now.
    const QString prefix = folderNameFor(QFileInfo(databasePath).absoluteFilePath());
    platform::Leftovers::removeEndedIn(QFileInfo(prefix).absolutePath(), QFileInfo(prefix).fileName() + kTagMarker);
    const QString folder = platform::Leftovers::taggedName(prefix, kTagMarker);
    for (const QString &left : {prefix, folder}) {
        const QFileInfo info(left);
        if (!info.exists() && !info.isSymLink())
            continue;
        // The untagged folder is an earlier version's: gone unless a process
        // still reads its copy.
        if (left == prefix
            && !maintenance::processesHoldingOpen(prefix + QLatin1Char('/') + archivedDatabaseName()).isEmpty())
            continue;
        if (!(info.isDir() && !info.isSymLink() ? QDir(left).removeRecursively() : QFile::remove(left)))
            return store::fail(error, store::Err::FileExists,
                               QStringLiteral("Could not remove the folder '%1' an earlier backup left.").arg(left));
    }
    platform::Leftovers::expect(folder);
    if (!QDir().mkdir(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0) {
        const QString why = store::systemErrorText(errno);
        QDir().rmdir(folder);
        return store::fail(error, store::Err::CannotOpen,
                           QStringLiteral("Could not make the folder '%1' for the backup copy: %2").arg(folder, why));
    }
    m_folder = folder;
    if (timing == CheckTiming::Before) {
        if (!writePendingEdits(databasePath, error) || !copyDatabaseConsistently(databasePath, file(), error)) {
            removeFolder();
            return false;
        }
        return true;
    }
    store::DatabaseSummary summary;
    if (!writePendingEdits(databasePath, error) || !copyUnchecked(databasePath, file(), &summary, error)) {
        removeFolder();
        return false;
    }
    m_check = std::async(std::launch::async, &checkOfCopy, file(), std::move(summary));
    return true;
}

bool DatabaseSnapshot::checked(store::EngineError *error)
{
    if (m_check.valid())
        m_checkResult = m_check.get();
    if (!m_checkResult.isError())
        return true;
    if (error)
        *error = m_checkResult;
    return false;
}

QString DatabaseSnapshot::folder() const
{
    return m_folder;
}

QString DatabaseSnapshot::file() const
{
    return m_folder.isEmpty() ? QString() : QDir(m_folder).filePath(archivedDatabaseName());
}

} // namespace backup
