#include "backup/DatabaseArchive.h"

#include "backup/DatabaseSnapshot.h"
#include "backup/SafeRestore.h"
#include "store/OutputPaths.h"
#include "store/SafeFiles.h"
#include "zip/ZipMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace backup {

namespace {

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

ArchiveOutcome addDatabase(ZipMain &zip, int mode, const QString &databasePath, const QString &otherNames,
                           bool discardable)
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
    // Given by its full name, the copy is stored under its bare name. The
    // other files go in by the same call: a split set is written once.
    zip.setFilesToProcess(zip.filesToProcess() + otherNames + snapshot.file() + QLatin1Char('\r'));
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

ArchiveOutcome extractDatabaseEntry(ZipMain &zip, const QString &entryName, const QString &folder, QString *extracted)
{
    quint16 code = 0;
    bool notDatabase = false;
    {
        ExtractFolderGuard keep(zip);
        // A file that does not begin as a database is not read further.
        const auto admit = zip.events().Admit;
        zip.events().Admit = [&](const QString &, const QByteArray &head) {
            notDatabase = !head.startsWith(QByteArrayLiteral("SQLite format 3\0"));
            return !notDatabase;
        };
        zip.setExtractFolder(folder);
        zip.setFilesToProcess(entryName + QLatin1Char('\r'));
        code = zip.Extract(0);
        zip.events().Admit = admit;
    }
    if (notDatabase)
        return failed({store::Err::UnrecognizedFormat,
                       QStringLiteral("The database was not restored: the archive entry '%1' is not a database "
                                      "file.")
                           .arg(entryName)},
                      code);
    QString relative = entryName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // Only a file inside the staging folder can be what was extracted.
    *extracted = QDir::cleanPath(folder + QLatin1Char('/') + relative);
    if (!extracted->startsWith(QDir::cleanPath(folder) + QLatin1Char('/')))
        return failed({store::Err::FileNotFound,
                       QStringLiteral("The database was not restored: the archive entry '%1' names a place "
                                      "outside the folder it is restored into.")
                           .arg(entryName)},
                      code);
    if (code != 0 && code != 40)
        return failed({store::Err::CannotOpen,
                       QStringLiteral("The database was not restored: the archive entry "
                                      "could not be extracted.")},
                      code);
    if (!QFileInfo(*extracted).isFile())
        return failed({store::Err::FileNotFound,
                       QStringLiteral("The database was not restored: the archive entry "
                                      "'%1' could not be extracted.")
                           .arg(entryName)},
                      code);
    ArchiveOutcome o;
    o.code = code;
    return o;
}

ArchiveOutcome restoreDatabase(ZipMain &zip, const QString &entryName, const QString &databasePath)
{
    SafeRestore restore(databasePath);
    store::EngineError e;
    if (!restore.prepare(&e))
        return failed(e);
    QString extracted;
    const ArchiveOutcome o = extractDatabaseEntry(zip, entryName, restore.stagingFolder(), &extracted);
    if (o.error.isError())
        return o;
    if (!restore.install(extracted, &e))
        return failed(e, o.code);
    return {};
}

ArchiveOutcome writeBackupArchive(const QString &destination, const QString &databasePath, const QString &password)
{
    store::OutputFile output(destination, {databasePath});
    QString refused;
    if (!output.prepare(&refused))
        return failed({store::Err::FileExists, QStringLiteral("The backup was not made: %1").arg(refused)});
    const QString partial = output.partialPath();
    ZipMain zip;
    zip.setPassword(password);
    zip.setUseTempFile(false);
    zip.setZipFilename(partial);
    ArchiveOutcome o = addDatabase(zip, 0, databasePath, QString(), true);
    if (o.succeeded()) {
        zip.setZipFilename(partial);
        o.code = zip.Test();
    }
    zip.setZipFilename(QString());
    QString why;
    if (o.succeeded() && !output.commit(&why))
        o.error = {store::Err::CannotOpen, why};
    return o;
}

QString normalizedEntryName(const QString &entryPath)
{
    QStringList kept;
    const QStringList parts = QString(entryPath).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept << part.toLower();
    }
    return kept.join(QLatin1Char('/'));
}

bool entryIsDatabase(const QString &entryPath, const QString &extractFolder, const QString &databasePath)
{
    const QString name = normalizedEntryName(entryPath);
    const QString folder = extractFolder.isEmpty() ? QDir::currentPath() : extractFolder;
    const QFileInfo target(QDir(canonicalFolder(folder)).filePath(name));
    return target.fileName() == QFileInfo(databasePath).fileName().toLower()
        && canonicalFolder(target.absolutePath()) == canonicalFolder(QFileInfo(databasePath).absolutePath());
}

bool isArchivedDatabaseName(const QString &entryPath)
{
    return normalizedEntryName(entryPath) == archivedDatabaseName().toLower();
}

store::EngineError severalDatabaseEntries(const QStringList &entries)
{
    return {store::Err::FileExists,
            QStringLiteral("The database was not restored: the archive holds %1 entries that would each become the "
                           "database (%2), and nothing tells which one is meant.")
                .arg(entries.size())
                .arg(entries.join(QStringLiteral(", ")))};
}

} // namespace backup
