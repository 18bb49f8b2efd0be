#include "maintenance/InPlaceMaintenance.h"

#include "maintenance/DataWindows.h"
#include "maintenance/FileUsers.h"
#include "platform/MessageBox.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/SafeFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace maintenance {

namespace {

using Result = Outcome::Result;

Outcome outcome(Result result, const store::EngineError &error)
{
    Outcome o;
    o.result = result;
    o.error = error;
    return o;
}

// Names that differ from the database's only in case: on this file system
// they are other files, and a data window could open either.
QStringList databaseNamesInFolder()
{
    const QString wanted = QFileInfo(store::programPathAsWritten(QStringLiteral("\\VANTREL.MDB"))).fileName();
    QStringList found;
    const QStringList entries =
        QDir(store::programFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QString &entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            found << entry;
    }
    std::sort(found.begin(), found.end());
    return found;
}

store::EngineError inUseError(const QString &database, const QList<qint64> &holders)
{
    const qint64 self = QCoreApplication::applicationPid();
    if (holders.contains(self))
        return {store::Err::Locked,
                QStringLiteral("The database '%1' is still open in a window of this program. Close the customer "
                               "windows, then run the command again.")
                    .arg(database)};
    QStringList ids;
    for (qint64 id : holders)
        ids << QString::number(id);
    return {store::Err::Locked,
            QStringLiteral("The database '%1' is open in another program (process %2). Close "
                           "that program, then run the command again.")
                .arg(database, ids.join(QStringLiteral(", ")))};
}

// The damaged file is kept as a change of the repaired database: "Undo Last
// Change" puts it back, and it goes when the kept changes are trimmed.
// Should that fail, it is kept beside the database as before.
QString keepDamagedAsChange(const QString &damaged, const QString &repairedCopy)
{
    QString kept;
    store::EngineError e;
    if (!store::KeptChanges::recordReplacement(damaged, repairedCopy, QStringLiteral("Repair"), &kept, &e,
                                               store::ChangeKind::ReplacedDamagedFile)) {
        qWarning("The damaged file is kept beside the database, not as a change: %s", qPrintable(e.text));
        return QString();
    }
    return kept;
}

// The database's journal under the name it had: the engine left it as it
// was (its header zeroed), and no database has that name any more. Only a
// file of this account that the engine would not roll back goes; any other
// stays for the journal check of the next command to show.
void removeColdJournalOfOldName(const QString &oldName, const QString &database)
{
    const QString journal = oldName + QStringLiteral("-journal");
    struct stat info {
    };
    if (::lstat(QFile::encodeName(journal).constData(), &info) == 0 && S_ISREG(info.st_mode)
        && info.st_uid == ::geteuid() && store::isColdJournal(journal, {database}))
        ::unlink(QFile::encodeName(journal).constData());
}

} // namespace

Outcome InPlaceMaintenance::compress()
{
    return run(false);
}

Outcome InPlaceMaintenance::repair()
{
    return run(true);
}

Outcome InPlaceMaintenance::run(bool repairFirst)
{
    const QString database = store::programPath(QStringLiteral("\\VANTREL.MDB"));
    const QFileInfo databaseInfo(database);
    // A linked database is worked on where it lies, and keeps its own name
    // there; the link stays as it is.
    const bool linked = databaseInfo.isSymLink();
    const QString file = linked ? databaseInfo.canonicalFilePath() : database;
    const QString folder = linked ? QFileInfo(file).absolutePath() : store::programFolder();
    const QString target = linked ? store::resolveInFolder(folder, QStringLiteral("\\VANTRELOLD.MDB"))
                                  : store::programPath(QStringLiteral("\\VANTRELOLD.MDB"));

    if (file.isEmpty() || !QFileInfo(file).isFile())
        return outcome(Result::NotRun,
                       {store::Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(database)});
    const QStringList names = databaseNamesInFolder();
    if (names.size() > 1)
        return outcome(Result::NotRun,
                       {store::Err::InvalidOperation,
                        QStringLiteral("The program folder '%1' holds more than one database file: %2. Move the ones "
                                       "you do not need out of the folder, then run the command again.")
                            .arg(QDir::toNativeSeparators(store::programFolder()), names.join(QStringLiteral(", ")))});
    // After a crash this file may be the only complete copy of the data.
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return outcome(Result::NotRun,
                       {store::Err::FileExists,
                        QStringLiteral("A file left by an earlier compress or repair is in the way: '%1'. It may hold "
                                       "the only good copy of your data if that run was interrupted, so it has not "
                                       "been deleted. Move it to a safe place, then run the command again.")
                            .arg(target)});
    if (store::isReadOnlyFile(file) || !QFileInfo(folder).isWritable())
        return outcome(Result::NotRun,
                       {store::Err::CannotOpen,
                        QStringLiteral("The database '%1' is read-only: it cannot be %2. Allow changes to the file "
                                       "and its folder, then run the command again.")
                            .arg(file, repairFirst ? QStringLiteral("repaired") : QStringLiteral("compressed"))});

    DataWindows windows(database);
    store::EngineError e;
    if (!windows.release(&e)) {
        QString reason = e.text.trimmed();
        if (!reason.endsWith(QLatin1Char('.')) && !reason.endsWith(QLatin1Char('!'))
            && !reason.endsWith(QLatin1Char('?')))
            reason += QLatin1Char('.');
        return outcome(Result::NotRun,
                       {e.number,
                        QStringLiteral("The changes in an open window could not be saved: "
                                       "%1 Correct them, then run the command again.")
                            .arg(reason)});
    }
    const auto finish = [&windows](Outcome o) {
        windows.reopen(store::programPath(QStringLiteral("\\VANTREL.MDB")));
        return o;
    };

    // The database's own journal or log, under exactly its name, is the
    // engine's: compaction and repair open the file through the engine, which
    // rolls an interrupted write back first. One under any other name the
    // database has or is given here would be played into it by a later open:
    // what it holds belongs to no file we know. Once the windows have let go,
    // none of ours is left.
    const QString ownName = QFileInfo(file).fileName();
    QStringList journalNames{ownName, databaseInfo.fileName(), QStringLiteral("VANTREL.MDB"),
                             QFileInfo(target).fileName()};
    QString journal = store::journalFileFor(folder, journalNames, ownName);
    if (journal.isEmpty() && linked) {
        const bool sameFolder =
            QFileInfo(folder).canonicalFilePath() == QFileInfo(store::programFolder()).canonicalFilePath();
        journal = store::journalFileFor(store::programFolder(), journalNames, sameFolder ? ownName : QString());
    }
    if (!journal.isEmpty())
        return finish(outcome(Result::NotRun,
                              {store::Err::InvalidOperation,
                               QStringLiteral("A journal left by a program that stopped before it finished lies "
                                              "beside the database: '%1'. It belongs to a file of another name, "
                                              "and the command would give that name to a database, which would "
                                              "then play the journal into it. Nothing has been changed. Keep the "
                                              "folder as it is and have it looked at before you run the command "
                                              "again.")
                                   .arg(journal)}));

    const QList<qint64> holders = processesHoldingOpen(file);
    if (!holders.isEmpty())
        return finish(outcome(Result::NotRun, inUseError(database, holders)));

    Outcome result;
    if (repairFirst && !store::DBEngine::RepairDatabase(file, &e, &result.repair, keepDamagedAsChange))
        return finish(outcome(Result::NotRun, e));
    const Result failed = result.repair.wasDamaged ? Result::RepairedOnly : Result::NotRun;
    auto failure = [&](const store::EngineError &error) {
        Outcome o = outcome(failed, error);
        o.repair = result.repair;
        return finish(o);
    };

    if (!store::DBEngine::CompactDatabase(file, target, &e, store::DBEngine::CompactedSource::Replaced)) {
        if (e.number == store::Err::UnrecognizedFormat || e.number == store::Err::Corrupt)
            e.text += platform::kParagraphBreak
                + QStringLiteral("The file is damaged or is not a database. Run Repair, or restore the "
                                 "database from a backup.");
        return failure(e);
    }
    // One rename puts the checked copy in the database's place.
    if (!store::renameReplacing(target, file, &e)) {
        // The copy was made from the intact database moments ago; removing
        // it loses nothing and keeps the next run from stopping at it.
        QFile::remove(target);
        return failure(e);
    }
    // The file takes the name in upper case by a second rename, which never
    // replaces a file: in between, the database is there under its old name.
    const QString finalName = store::programPathAsWritten(QStringLiteral("\\VANTREL.MDB"));
    if (!linked && file != finalName && !store::renameNoReplace(file, finalName, &e)) {
        Outcome o = outcome(Result::CompactedUnderOldName, e);
        o.repair = result.repair;
        return finish(o);
    }
    if (!linked && file != finalName)
        removeColdJournalOfOldName(file, finalName);
    store::syncFolder(folder, nullptr);
    result.result = Result::Done;
    return finish(result);
}

} // namespace maintenance
