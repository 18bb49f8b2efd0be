#include "store/OutputPaths.h"

#include "platform/Leftovers.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/SafeFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace store {

namespace {

// The report files the program delivers into its folder.
const QStringList kReportFiles = {QStringLiteral("Complete.rpt"), QStringLiteral("RenewalMail.rpt"),
                                  QStringLiteral("RenewalLocker.rpt"), QStringLiteral("Labels.rpt"),
                                  QStringLiteral("Filter.rpt")};
// What the engine keeps beside a database while it writes it.
const QStringList kEngineFiles = {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")};
// The names the backup, the restore and the compaction give the files they
// work with beside the database ("Vantrel.mdb.backing-up-4711.2212233").
const QStringList kWorkingSuffixes = {QStringLiteral(".backing-up"), QStringLiteral(".restoring"),
                                      QStringLiteral(".before-restore")};
const QString kCompactionFile = QStringLiteral("VANTRELOLD.MDB");

QString canonicalOrClean(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// `path` lies in `folder` or below it; the first name below it is matched
// without regard to case, as the program folder's names are.
bool inFolder(const QString &landing, const QString &parent, const QString &folderName)
{
    if (!landing.startsWith(parent + QLatin1Char('/')))
        return false;
    const QString below = landing.mid(parent.size() + 1);
    const QString first = below.section(QLatin1Char('/'), 0, 0);
    return sameName(first, folderName) && below.contains(QLatin1Char('/'));
}

// What of a database's own files `landing` is, or empty.
QString databaseFile(const QString &landing, const QString &database, OutputKind kind)
{
    const QFileInfo info(database);
    const QString folder = canonicalOrClean(info.absolutePath());
    const QString name = info.fileName();
    const QString keptFolder = QFileInfo(KeptChanges::keptFolderFor(database)).fileName();
    const QString landingFolder = QFileInfo(landing).absolutePath();
    const QString landingName = QFileInfo(landing).fileName();
    const bool mayBecomeIt = kind == OutputKind::NewDatabase && !QFileInfo::exists(database);
    if (sameFile(landing, database) || (landingFolder == folder && sameName(landingName, name) && !mayBecomeIt))
        return QStringLiteral("the database itself");
    if (landingFolder == folder) {
        for (const QString &suffix : kEngineFiles)
            if (sameName(landingName, name + suffix))
                return QStringLiteral("a file the database engine keeps beside the database");
        if (sameName(landingName, keptFolder))
            return QStringLiteral("the folder where the database's replaced files are kept");
        for (const QString &suffix : kWorkingSuffixes)
            if (landingName.startsWith(name + suffix, Qt::CaseInsensitive))
                return QStringLiteral("a file the program works with beside the database");
    }
    // The kept folder may be a link to another disk: what lies in it, as
    // the system finds it, is refused too.
    const QString keptCanonical = QFileInfo(KeptChanges::keptFolderFor(database)).canonicalFilePath();
    if (inFolder(landing, folder, keptFolder)
        || (!keptCanonical.isEmpty() && landing.startsWith(keptCanonical + QLatin1Char('/'))))
        return QStringLiteral("in the folder where the database's replaced files are kept");
    for (const QString &suffix : kWorkingSuffixes)
        if (inFolder(landing, folder, name + suffix))
            return QStringLiteral("in a folder the program works with beside the database");
    return QString();
}

} // namespace

QString landingPath(const QString &path)
{
    const QFileInfo given(QDir::current().absoluteFilePath(path));
    const QString name = given.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        const QString canonical = given.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(given.absoluteFilePath()) : canonical;
    }
    QString existing = given.absolutePath();
    QStringList missing;
    while (!QFileInfo(existing).exists() && existing != QLatin1String("/")) {
        missing.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).absolutePath();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    const QString base = canonical.isEmpty() ? existing : canonical;
    return QDir::cleanPath(base + QLatin1Char('/') + missing.join(QLatin1Char('/')) + QLatin1Char('/') + name);
}

QString ownFile(const QString &path, OutputKind kind, const QStringList &databases)
{
    const QString landing = landingPath(path);
    const QString programFolder = canonicalOrClean(store::programFolder());
    QStringList guarded{programPath(QStringLiteral("\\Vantrel.mdb"))};
    for (const QString &database : databases)
        if (!database.isEmpty())
            guarded << database;
    for (const QString &database : std::as_const(guarded)) {
        const QString what = databaseFile(landing, database, kind);
        if (!what.isEmpty())
            return what;
    }
    const QString landingFolder = QFileInfo(landing).absolutePath();
    const QString landingName = QFileInfo(landing).fileName();
    if (landingFolder == programFolder) {
        for (const QString &suffix : QStringList{QString()} + kEngineFiles)
            if (sameName(landingName, kCompactionFile + suffix))
                return QStringLiteral("a file the program works with beside the database");
    }
    if (kind != OutputKind::RestoredFile) {
        for (const QString &report : kReportFiles) {
            const QString file = programPath(QLatin1Char('\\') + report);
            if (sameFile(landing, file) || (landingFolder == programFolder && sameName(landingName, report)))
                return QStringLiteral("the report file %1 of the program folder").arg(report);
        }
    }
    const QString program = QCoreApplication::applicationFilePath();
    if (!program.isEmpty()
        && (sameFile(landing, program)
            || (landingFolder == canonicalOrClean(QFileInfo(program).absolutePath())
                && sameName(landingName, QFileInfo(program).fileName()))))
        return QStringLiteral("the program itself");
    return QString();
}

QString refusedOutput(const QString &path, OutputKind kind, const QStringList &databases)
{
    const QString what = ownFile(path, kind, databases);
    return what.isEmpty() ? QString() : QStringLiteral("'%1' is %2; choose another file.").arg(path, what);
}

OutputFile::OutputFile(const QString &destination, const QStringList &databases)
    : m_destination(QFileInfo(destination).absoluteFilePath()), m_databases(databases)
{
}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::prepare(QString *error)
{
    const QString refused = refusedOutput(m_destination, OutputKind::NewFile, m_databases);
    if (!refused.isEmpty()) {
        *error = refused;
        return false;
    }
    const QFileInfo destination(m_destination);
    const QString marker = QStringLiteral(".partial-");
    // A run of the same command that was killed left its file here.
    platform::Leftovers::removeEndedIn(destination.absolutePath(), destination.fileName() + marker);
    m_partial = platform::Leftovers::taggedName(m_destination, marker);
    platform::Leftovers::expect(m_partial);
    QFile::remove(m_partial);
    return true;
}

bool OutputFile::commit(QString *error)
{
    EngineError e;
    if (!syncFile(m_partial, &e) || !renameReplacing(m_partial, m_destination, &e)) {
        *error = e.text;
        return false;
    }
    m_committed = true;
    syncFolder(QFileInfo(m_destination).absolutePath(), nullptr);
    return true;
}

void OutputFile::discard()
{
    if (m_committed || m_partial.isEmpty())
        return;
    // A library may have left its own temporary file beside ours.
    const QFileInfo partial(m_partial);
    const QString name = partial.fileName();
    for (const QString &file : partial.dir().entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (file == name || file.startsWith(name + QLatin1Char('.')))
            QFile::remove(partial.dir().filePath(file));
    m_partial.clear();
}

} // namespace store
