#include "backup/BackupFlows.h"

#include "backup/ArchiveChoice.h"
#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "backup/RestoreTarget.h"
#include "backup/ServerRestore.h"
#include "backup/ZipWindowRules.h"
#include "platform/DriveA.h"
#include "platform/MessageBox.h"
#include "platform/Services.h"
#include "store/DatabaseChoice.h"
#include "store/OutputPaths.h"
#include "store/ProgramFolder.h"
#include "zip/ZipMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace backup {

namespace {

using platform::Button;
using platform::Buttons;
using platform::Icon;
using Mark = BackupWindow::Mark;

const QString kDriveAArchive = QStringLiteral("A:\\VantrelBackup.zip");
const QString kAddFilter = QStringLiteral("All Files|*.*|Database Files (*.mdb)|*.mdb");
// The stored filter of Update names the program's own database file.
const QString kUpdateFilter = QStringLiteral("Database file (Vantrel.mdb)|Vantrel.mdb");

// "desc|pattern|desc|pattern" as the file dialogs of Qt take it.
QString qtFilter(const QString &pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts.at(i);
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

// The live database's file: Vantrel.mdb in the program's folder. On a
// server it still names the database in the window: choosing it, or
// extracting the archive's copy onto it, backs up or restores the server's
// data.
QString liveDatabasePath()
{
    return store::programPath(QStringLiteral("\\Vantrel.mdb"));
}

// A name chosen for an archive to make, mend or delete that is one of the
// program's own files is refused (told); true when it may be used.
bool archiveNameAllowed(const QString &name)
{
    const std::optional<QString> local = platform::localPath(name);
    const QString refused = local ? store::refusedOutput(*local) : QString();
    if (refused.isEmpty())
        return true;
    platform::msgBox(refused, Buttons::OKOnly, Icon::Exclamation);
    return false;
}

} // namespace

BackupFlows::BackupFlows(BackupWindow &window, ZipMain &zip, BackupPassword &password)
    : m_window(window), m_zip(zip), m_password(password), m_selectFilesFilter(kUpdateFilter)
{
    connectEvents();
}

void BackupFlows::connectEvents()
{
    ZipEvents &e = m_zip.events();
    e.Adding = [this](const QString &f, qint64 s) {
        m_window.setStatus(QStringLiteral(" Adding file: %1 (%2 bytes)").arg(f).arg(s));
    };
    e.Updating = [this](const QString &f, qint64 s) {
        m_window.setStatus(QStringLiteral(" Updating file: %1 (%2 bytes)").arg(f).arg(s));
    };
    e.Extracting = [this](const QString &f, qint64 s) {
        m_window.setStatus(QStringLiteral(" Extracting file: %1 (%2 bytes)").arg(f).arg(s));
    };
    e.Testing = [this](const QString &f, qint64 s) {
        m_window.setStatus(QStringLiteral(" Testing file: %1 (%2 bytes)").arg(f).arg(s));
    };
    e.Deleting = [this](const QString &f) { m_window.setStatus(QStringLiteral(" Deleting file: ") + f); };
    e.Fixing = [this](const QString &f) { m_window.setStatus(QStringLiteral(" Repairing file: ") + f); };
    e.Status = [this](int completion) { m_window.setProgress(completion); };
    // Either answer goes back to the component, which goes on.
    e.Newdisk = [](int n) { platform::msgBox(rules::newDiskText(n), Buttons::OKCancel, Icon::None); };
    e.Replace = [this](const QString &f, int &cmd) { replace(f, cmd); };
    e.SkippingFile = [this](const QString &f, int reason) {
        if (reason == skipreason::BadPassword)
            m_passwordRefused = true;
        platform::msgBox(rules::skippingText(f, reason), Buttons::OKOnly, Icon::Exclamation);
        m_window.setProgress(0);
    };
}

void BackupFlows::replace(const QString &origName, int &cmd)
{
    const Button answer = platform::msgBox(rules::replaceText(origName), Buttons::YesNoCancel, Icon::None);
    if (answer == Button::Yes) {
        cmd = replacecmd::Replace;
    } else if (answer == Button::No) {
        m_window.setMarked(Mark::AutomaticRestore, false);
        cmd = replacecmd::Keep;
    } else {
        m_zip.setAbort(true);
        m_window.setMarked(Mark::AutomaticRestore, false);
    }
}

// --- Archives -----------------------------------------------------------------------

QString BackupFlows::driveAArchive()
{
    if (!platform::localPath(kDriveAArchive)) {
        platform::msgBox(QStringLiteral("There is no disk in drive A, or it is not formatted!"), Buttons::OKOnly,
                         Icon::None, platform::applicationTitle());
        return QString();
    }
    return kDriveAArchive;
}

void BackupFlows::newArchive()
{
    const bool automatic = m_window.marked(Mark::AutomaticBackup);
    QString name;
    if (automatic) {
        name = driveAArchive();
        if (name.isEmpty())
            m_window.setMarked(Mark::AutomaticBackup, false);
    } else {
        name = SelectArchive(dialogkind::New, m_window.dialogParent());
        if (!name.isEmpty() && !archiveNameAllowed(name))
            return;
    }
    if (name.isEmpty())
        return;
    // The backup to drive A replaces the archive there only once the new
    // one is whole: a failed backup leaves the previous one.
    if (const std::optional<QString> local = platform::localPath(name);
        local && QFileInfo::exists(*local) && !automatic)
        QFile::remove(*local);
    m_window.clearList();
    m_window.setStatus(QStringLiteral(" New Zip archive now open."));
    m_zip.setZipFilename(name);
    m_window.setCaption(name);
}

void BackupFlows::openArchive()
{
    QString name;
    if (m_window.marked(Mark::AutomaticRestore)) {
        name = driveAArchive();
        if (name.isEmpty())
            m_window.setMarked(Mark::AutomaticRestore, false);
    } else {
        name = SelectArchive(dialogkind::Open, m_window.dialogParent());
    }
    if (name.isEmpty())
        return;
    BusyScope busy(m_window);
    m_zip.setZipFilename(name);
    m_window.setCaption(name);
    m_window.listArchive(QStringLiteral("Opening"));
}

void BackupFlows::closeArchive()
{
    m_zip.setZipFilename(QString());
    m_window.clearList();
    m_window.setStatus(QStringLiteral(" No Zip archive is currently open."));
    m_window.setCaption(QStringLiteral("Database Backup"));
}

void BackupFlows::testArchive()
{
    const QString name = SelectArchive(dialogkind::Test, m_window.dialogParent());
    if (name.isEmpty())
        return;
    BusyScope busy(m_window);
    m_zip.setZipFilename(name);
    m_window.setStatus(QStringLiteral(" Testing all files in %1...").arg(name));
    const quint16 code = m_zip.Test();
    if (code == 0)
        platform::msgBox(QStringLiteral("All files in the archive are OK."), Buttons::OKOnly, Icon::Information);
    else if (code == zipresult::SkippedFiles)
        platform::msgBox(QStringLiteral("All files tested in the archive are OK.\r(Some files were skipped)"),
                         Buttons::OKOnly, Icon::Information);
    else
        ShowResultMessage(code, QStringLiteral("testing"), m_zip);
    m_zip.setZipFilename(QString());
    m_window.setProgress(0);
    m_window.setStatus(QStringLiteral(" Finished testing files."));
}

void BackupFlows::fixArchive(bool aggressive)
{
    BusyScope busy(m_window);
    const QString name = SelectArchive(dialogkind::Fix, m_window.dialogParent());
    if (name.isEmpty() || !archiveNameAllowed(name))
        return;
    m_zip.setZipFilename(name);
    m_window.setStatus(QStringLiteral(" Repairing Zip archive..."));
    const quint16 code = m_zip.Fix(aggressive);
    if (code == 0)
        platform::msgBox(QStringLiteral("The specified Zip file has been fixed."), Buttons::OKOnly, Icon::Information);
    else if (code == zipresult::CannotFix)
        platform::msgBox(QStringLiteral("The specified Zip file is too corrupted to be fixed."), Buttons::OKOnly,
                         Icon::Critical);
    else
        ShowResultMessage(code, QStringLiteral("fixing"), m_zip);
    m_zip.setZipFilename(QString());
    m_window.setProgress(0);
    m_window.setStatus(QStringLiteral(" Finished fixing files."));
}

void BackupFlows::deleteArchive()
{
    const QString name = SelectArchive(dialogkind::Delete, m_window.dialogParent());
    if (name.isEmpty() || !archiveNameAllowed(name))
        return;
    if (platform::msgBox(QStringLiteral("Are you sure you want to delete %1?").arg(name), Buttons::YesNo,
                         Icon::Question)
        != Button::Yes)
        return;
    if (const std::optional<QString> local = platform::localPath(name); local && QFileInfo::exists(*local))
        QFile::remove(*local);
}

void BackupFlows::abort()
{
    if (m_zip.useTempFile()) {
        if (platform::msgBox(QStringLiteral("Are you sure you want to abort the current operation?"), Buttons::YesNo,
                             Icon::Question, QStringLiteral("Abort"))
            == Button::Yes) {
            m_window.setMarked(Mark::AutomaticBackup, false);
            m_zip.setAbort(true);
        }
    } else {
        platform::msgBox(QStringLiteral("You cannot abort an operation when you are not using a temporary file."),
                         Buttons::OKOnly, Icon::Exclamation);
    }
}

void BackupFlows::offerEject()
{
    const std::optional<platform::RemovableVolume> volume = platform::DriveA::current().volume();
    if (!volume || !volume->ejectable)
        return;
    if (platform::msgBox(QStringLiteral("Remove %1 safely now?").arg(volume->description()), Buttons::YesNo,
                         Icon::Question, QStringLiteral("Confirm"))
        != Button::Yes)
        return;
    QString why;
    if (platform::removableVolumeSource().eject(*volume, &why))
        platform::msgBox(QStringLiteral("You can now take %1 out.").arg(volume->description()), Buttons::OKOnly,
                         Icon::Information);
    else
        platform::msgBox(QStringLiteral("%1 could not be removed safely: %2").arg(volume->description(), why),
                         Buttons::OKOnly, Icon::Exclamation);
}

// --- Entries ------------------------------------------------------------------------

QString BackupFlows::selectFiles(const QString &title)
{
    platform::FileDialogRequest request;
    request.parent = m_window.dialogParent();
    request.title = title;
    request.filter = qtFilter(m_selectFilesFilter);
    request.mustExist = true;
    const std::optional<QStringList> chosen = platform::services().openFileNames(request);
    return chosen ? rules::selectionText(*chosen) : QString();
}

void BackupFlows::addOrUpdate(bool update)
{
    const bool automatic = !update && m_window.marked(Mark::AutomaticBackup);
    QString selection;
    if (automatic) {
        selection = QStringLiteral("Vantrel.mdb");
    } else {
        if (!update)
            m_selectFilesFilter = kAddFilter;
        selection = selectFiles(update ? QStringLiteral("Update files") : QStringLiteral("Add files"));
    }
    if (selection.isEmpty())
        return;
    // The database of a center whose backups are protected never goes into
    // an archive in the clear.
    if (automatic && !m_password.ensureForBackup(m_window.dialogParent()))
        return;
    m_zip.setPassword(m_password.current());

    BusyScope busy(m_window);
    const int count = rules::CountSelectedFiles(selection);
    // The live database is never archived as it lies: a window may be
    // writing it. It goes in from a consistent copy, under its bare name.
    const QString database = store::DatabaseChoice::databaseName();
    const QString live = QFileInfo(liveDatabasePath()).canonicalFilePath();
    bool withDatabase = automatic;
    QString names;
    if (!automatic) {
        for (int n = 1; n <= count; ++n) {
            const QString file = rules::GetSelectedFile(selection, n);
            if (file.isEmpty())
                continue;
            if (!live.isEmpty() && QFileInfo(file).canonicalFilePath() == live)
                withDatabase = true;
            else
                names += file + QLatin1Char('\r');
        }
    }
    m_window.setStatus(update ? QStringLiteral(" Preparing to update %1 files...").arg(count)
                              : QStringLiteral(" Preparing to add %1 files...").arg(count));
    const int mode = update ? addmode::Update : addmode::Add;
    const QString operation = update ? QStringLiteral("updating") : QStringLiteral("adding");
    quint16 code = 0;
    // A copy of the database that could not be taken is told in its own
    // words, once; the backup then has not completed.
    bool copyFailed = withDatabase && !automatic && !m_password.ensureForBackup(m_window.dialogParent());
    if (withDatabase && !copyFailed) {
        m_zip.setPassword(m_password.current());
        const ArchiveOutcome o = addDatabase(m_zip, mode, database, names);
        if (o.error.isError()) {
            copyFailed = true;
            platform::msgBox(o.error.text, Buttons::OKOnly, Icon::Critical);
        }
        code = o.code;
    }
    if (!names.isEmpty() && (!withDatabase || copyFailed)) {
        m_zip.setFilesToProcess(m_zip.filesToProcess() + names);
        code = m_zip.Add(mode);
    }
    if (update) {
        if (code > 0)
            ShowResultMessage(code, operation, m_zip);
    } else if (code != 0) {
        ShowResultMessage(code, operation, m_zip);
    } else if (m_zip.multidisk() && !copyFailed) {
        platform::msgBox(QStringLiteral("Compressed backup process completed!"), Buttons::OKOnly, Icon::None);
        if (automatic)
            offerEject();
        m_window.setMarked(Mark::AutomaticBackup, false);
    }
    m_window.setProgress(0);
    m_window.setStatus(update ? QStringLiteral(" Finished updating files, updating list...")
                              : QStringLiteral(" Finished adding files, updating list."));
    // Nothing was written when the copy of the database alone failed: there
    // is no archive to list yet.
    if (code != zipresult::UserAborted && !(copyFailed && names.isEmpty()))
        m_window.listArchive(QStringLiteral("listing"));
    m_window.showArchiveSummary();
}

void BackupFlows::extractEntries()
{
    if (!m_window.marked(Mark::AutomaticRestore)) {
        if (!m_window.chooseExtractFolder())
            return;
    }
    BusyScope busy(m_window);
    processSelectedFiles(true);
}

void BackupFlows::deleteEntries()
{
    BusyScope busy(m_window);
    processSelectedFiles(false);
}

void BackupFlows::processSelectedFiles(bool extract)
{
    const QStringList entries = m_window.selectedEntries();
    if (entries.isEmpty())
        return;
    const QString count = QStringLiteral(" %1").arg(entries.size());
    const QString name = extract ? QStringLiteral("extracting") : QStringLiteral("deleting");
    quint16 code = 0;
    {
        BusyScope busy(m_window);
        if (extract) {
            m_window.setStatus(QStringLiteral(" Extracting ") + count + QStringLiteral(" selected files..."));
            // The database is restored through a checked copy, never by
            // writing over the live file.
            const bool automatic = m_window.marked(Mark::AutomaticRestore);
            QStringList database;
            QStringList others;
            for (const QString &entry : entries) {
                const bool isDatabase = automatic ? isArchivedDatabaseName(entry)
                                                  : entryIsDatabase(entry, m_zip.extractFolder(), liveDatabasePath());
                (isDatabase ? database : others) << entry;
            }
            if (database.size() > 1) {
                platform::msgBox(severalDatabaseEntries(database).text, Buttons::OKOnly, Icon::Critical);
                database.clear();
            }
            if (!others.isEmpty())
                code = extractOtherEntries(others, automatic);
            if (!database.isEmpty() && code != zipresult::UserAborted) {
                const quint16 databaseCode = extractDatabaseEntries(database);
                if (code == 0)
                    code = databaseCode;
            }
        } else {
            m_window.setStatus(QStringLiteral(" Deleting ") + count + QStringLiteral(" selected files..."));
            for (const QString &entry : entries)
                m_zip.setFilesToProcess(m_zip.filesToProcess() + entry + QLatin1Char('\r'));
            code = m_zip.Delete();
        }
    }
    if (code > 0)
        ShowResultMessage(code, name, m_zip);
    m_window.setProgress(0);
    m_window.setStatus(QStringLiteral(" Finished %1 files, updating list...").arg(name));
    m_window.listArchive(QStringLiteral("listing"));
    m_window.showArchiveSummary();
}

quint16 BackupFlows::extractOtherEntries(const QStringList &entries, bool automatic)
{
    // The automatic restore fills the program folder, wherever the program
    // was started from; a restore by hand, the folder the operator chose.
    const QString chosen = m_zip.extractFolder();
    if (automatic)
        m_zip.setExtractFolder(store::programFolder());
    const QString folder = m_zip.extractFolder().trimmed().isEmpty() ? QDir::currentPath() : m_zip.extractFolder();
    const std::optional<QString> local = platform::localPath(folder.trimmed());
    const RestoreTarget target(local ? QDir::current().absoluteFilePath(*local) : QString(), automatic);
    QStringList refused;
    const auto place = m_zip.events().Place;
    m_zip.events().Place = [&](const QString &shown, const QString &destination) {
        const QString why = target.refusal(destination);
        if (!why.isEmpty())
            refused << shown + QStringLiteral(": ") + why;
        return why.isEmpty();
    };
    for (const QString &entry : entries)
        m_zip.setFilesToProcess(m_zip.filesToProcess() + entry + QLatin1Char('\r'));
    const quint16 code = m_zip.Extract(0);
    m_zip.events().Place = place;
    if (automatic)
        m_zip.setExtractFolder(chosen);
    if (!refused.isEmpty())
        platform::msgBox(QStringLiteral("These files of the archive were not restored:\r")
                             + refused.join(QLatin1Char('\r')),
                         Buttons::OKOnly, Icon::Exclamation);
    return code;
}

quint16 BackupFlows::extractDatabaseEntries(const QStringList &entries)
{
    const QString live = liveDatabasePath();
    const bool onServer = store::DatabaseChoice::onServer();
    quint16 code = 0;
    for (const QString &entry : entries) {
        if (onServer || QFileInfo::exists(live)) {
            int cmd = replacecmd::Keep;
            if (onServer)
                confirmServerReplace(cmd);
            else
                replace(QFileInfo(live).fileName(), cmd);
            if (m_zip.abortRequested()) {
                m_zip.setAbort(false);
                return zipresult::UserAborted;
            }
            if (cmd != replacecmd::Replace)
                continue;
        }
        ServerRestore restored;
        auto restore = [&] {
            return onServer ? restoreDatabaseOnServer(m_zip, entry, store::DatabaseChoice::serverUrl(), &restored)
                            : restoreDatabase(m_zip, entry, live);
        };
        m_passwordRefused = false;
        ArchiveOutcome o = restore();
        // An archive that the password in force does not open: ask for its own.
        while (!o.succeeded() && m_passwordRefused && o.code != zipresult::UserAborted) {
            const std::optional<QString> typed = BackupPassword::askForArchive(m_window.dialogParent());
            if (!typed)
                break;
            m_zip.setPassword(*typed);
            m_passwordRefused = false;
            o = restore();
            m_zip.setPassword(m_password.current());
        }
        if (o.error.isError()) {
            platform::msgBox(o.error.text, Buttons::OKOnly, Icon::Critical);
            if (code == 0)
                code = o.code;
        } else if (onServer && o.succeeded()) {
            platform::msgBox(restoredOnServerText(restored), Buttons::OKOnly, Icon::Information);
        }
    }
    return code;
}

void BackupFlows::confirmServerReplace(int &cmd)
{
    // Every desk's data goes: No unless the operator chooses Yes.
    const Button answer = platform::msgBox(replaceServerDataText(store::DatabaseChoice::serverUrl()),
                                           Buttons::YesNoCancel, Icon::Question, QString(), 2);
    if (answer == Button::Yes) {
        cmd = replacecmd::Replace;
        return;
    }
    if (answer == Button::Cancel)
        m_zip.setAbort(true);
    m_window.setMarked(Mark::AutomaticRestore, false);
}

void BackupFlows::updateZipDate()
{
    BusyScope busy(m_window);
    m_window.setStatus(QStringLiteral(" Updating the Zip date..."));
    const quint16 code = m_zip.UpdateZipDate();
    if (code != 0)
        ShowResultMessage(code, QStringLiteral("updating zip date"), m_zip);
    else
        platform::msgBox(QStringLiteral("Zip date has been updated."), Buttons::OKOnly, Icon::Information);
    m_window.showArchiveSummary();
}

// --- Automatic and the wizard ---------------------------------------------------------

void BackupFlows::automaticBackup()
{
    QString question = QStringLiteral("Please insert a blank formatted floppy disk in drive A?\rIf you continue, all "
                                      "data on the floppy will be erased and a backup disk will be created!");
    // On a stick or an external disk only the folder of ours is emptied.
    if (const std::optional<platform::RemovableVolume> volume = platform::DriveA::current().volume())
        question += QStringLiteral("\r\rDrive A is %1 at %2; only its folder %3 is erased.")
                        .arg(volume->description(), volume->mountPoint, platform::DriveA::folderName());
    if (platform::msgBox(question, Buttons::YesNo, Icon::Question, QStringLiteral("Confirm"), 2) != Button::Yes)
        return;
    m_window.setMarked(Mark::AutomaticBackup, true);
    m_zip.setMultidisk(true);
    m_zip.setClearDisks(true);
    newArchive();
    if (m_window.marked(Mark::AutomaticBackup))
        addOrUpdate(false);
    m_window.setMarked(Mark::AutomaticBackup, false);
}

void BackupFlows::automaticRestore()
{
    if (platform::msgBox(QStringLiteral("Please insert your backup disk in drive A?"), Buttons::YesNo, Icon::Question,
                         QStringLiteral("Confirm"), 2)
        != Button::Yes)
        return;
    m_window.setMarked(Mark::AutomaticRestore, true);
    m_zip.setMultidisk(true);
    openArchive();
    if (m_window.marked(Mark::AutomaticRestore)) {
        m_window.selectAll();
        extractEntries();
    }
    m_window.setMarked(Mark::AutomaticRestore, false);
}

void BackupFlows::wizard()
{
    m_window.setMarked(Mark::Wizard, true);
    platform::msgBox(QStringLiteral("The next window to pop up will ask you to create a new zip file. \rType in the "
                                    "name of the file you want to create."),
                     Buttons::OKOnly, Icon::None);
    newArchive();
    platform::msgBox(QStringLiteral("The next window to pop up will ask you to add new files to your new zip file. "
                                    "\rPlease select the files you wish to add."),
                     Buttons::OKOnly, Icon::None);
    addOrUpdate(false);
    m_window.setMarked(Mark::Wizard, false);
}

} // namespace backup
