#include "backup/DatabaseArchive.h"

#include "backup/DatabaseSnapshot.h"
#include "backup/SafeRestore.h"
#include "backup/ZipMain.h"
#include "store/SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace backup {

namespace {

// The component takes relative names from the current folder and stores
// them as given; the copy is added from its own folder so that its entry is
// the bare name.
class CurrentFolder
{
public:
    explicit CurrentFolder(const QString &folder) : m_previous(QDir::currentPath()) { m_ok = QDir::setCurrent(folder); }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_previous;
    bool m_ok = false;
};

// Puts the component's extraction folder back whatever way the restore ends.
class ExtractFolderGuard
{
public:
    explicit ExtractFolderGuard(ZipMain &zip) : m_zip(zip), m_previous(zip.extractFolder()) {}
    ~ExtractFolderGuard() { m_zip.setExtractFolder(m_previous); }
    ExtractFolderGuard(const ExtractFolderGuard &) = delete;
    ExtractFolderGuard &operator=(const ExtractFolderGuard &) = delete;

private:
    ZipMain &m_zip;
    QString m_previous;
};

ArchiveOutcome failed(const store::EngineError &e, quint16 code = 0)
{
    ArchiveOutcome o;
    o.code = code;
    o.error = e;
    return o;
}

QString canonicalFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
}

} // namespace

ArchiveOutcome addDatabase(ZipMain &zip, int mode, const QString &databasePath, bool discardable)
{
    // The copy is checked while it is compressed, where a copy that fails
    // its check can still be kept out of the archive: the component then
    // works on a temporary file, which an abort leaves unused, or the whole
    // archive is the caller's to throw away.
    const bool beside = discardable || zip.useTempFile();
    DatabaseSnapshot snapshot;
    store::EngineError e;
    if (!snapshot.take(databasePath, &e,
                       beside ? DatabaseSnapshot::CheckTiming::Beside : DatabaseSnapshot::CheckTiming::Before))
        return failed(e);
    CurrentFolder here(snapshot.folder());
    if (!here.ok()) {
        snapshot.checked(nullptr);
        return failed({store::Err::CannotOpen,
                       QStringLiteral("Could not open the folder '%1' of the backup copy.").arg(snapshot.folder())});
    }
    zip.setFilesToProcess(archivedDatabaseName() + QLatin1Char('\r'));
    // Once the whole copy is read, its check is waited for before the
    // archive is finished.
    const auto status = zip.events().Status;
    bool failedCheck = false;
    zip.events().Status = [&](int completion) {
        if (status)
            status(completion);
        if (completion == 100 && !failedCheck && !snapshot.checked(&e)) {
            failedCheck = true;
            zip.setAbort(true);
        }
    };
    ArchiveOutcome o;
    o.code = zip.Add(mode);
    zip.events().Status = status;
    if (!failedCheck && !snapshot.checked(&e))
        failedCheck = true;
    if (failedCheck) {
        // The archive is as it was before (or the caller's to discard): the
        // check's reason is the outcome, not an abort nobody asked for.
        zip.setAbort(false);
        if (o.code == zipresult::UserAborted)
            o.code = 0;
        o.error = e;
    }
    return o;
}

ArchiveOutcome restoreDatabase(ZipMain &zip, const QString &entryName, const QString &databasePath)
{
    SafeRestore restore(databasePath);
    store::EngineError e;
    if (!restore.prepare(&e))
        return failed(e);
    quint16 code = 0;
    {
        ExtractFolderGuard keep(zip);
        zip.setExtractFolder(restore.stagingFolder());
        zip.setFilesToProcess(entryName + QLatin1Char('\r'));
        code = zip.Extract(0);
    }
    QString relative = entryName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString extracted = QDir(restore.stagingFolder()).filePath(relative);
    if (code != 0 && code != 40)
        return failed({store::Err::CannotOpen,
                       QStringLiteral("The database was not restored: the archive entry "
                                      "could not be extracted.")},
                      code);
    if (!QFileInfo(extracted).isFile())
        return failed({store::Err::FileNotFound,
                       QStringLiteral("The database was not restored: the archive entry "
                                      "'%1' could not be extracted.")
                           .arg(entryName)},
                      code);
    if (!restore.install(extracted, &e))
        return failed(e, code);
    return {};
}

ArchiveOutcome writeBackupArchive(const QString &destination, const QString &databasePath, const QString &password)
{
    const QString target = QFileInfo(destination).absoluteFilePath();
    const QString partial = store::partialNameFor(target);
    QFile::remove(partial);
    ZipMain zip;
    zip.setPassword(password);
    zip.setUseTempFile(false);
    zip.setZipFilename(partial);
    ArchiveOutcome o = addDatabase(zip, 0, databasePath, true);
    if (o.succeeded()) {
        zip.setZipFilename(partial);
        o.code = zip.Test();
    }
    zip.setZipFilename(QString());
    store::EngineError e;
    if (o.succeeded() && !store::syncFile(partial, &e))
        o.error = e;
    if (o.succeeded() && !store::renameReplacing(partial, target, &e))
        o.error = e;
    if (!o.succeeded()) {
        QFile::remove(partial);
        return o;
    }
    store::syncFolder(QFileInfo(target).absolutePath(), nullptr);
    return o;
}

bool entryIsDatabase(const QString &entryPath, const QString &extractFolder, const QString &databasePath)
{
    if (entryPath.contains(QLatin1Char('\\')) || entryPath.contains(QLatin1Char('/')))
        return false;
    if (entryPath.compare(QFileInfo(databasePath).fileName(), Qt::CaseInsensitive) != 0)
        return false;
    const QString folder = extractFolder.isEmpty() ? QDir::currentPath() : extractFolder;
    return canonicalFolder(folder) == canonicalFolder(QFileInfo(databasePath).absolutePath());
}

} // namespace backup
