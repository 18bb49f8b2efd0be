#include "zip/ZipCommon.h"

#include "platform/Leftovers.h"
#include "zip/ZipFormat.h"
#include "zip/ZipSplit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace backup {

using namespace zipresult;

namespace {
quint16 g_encryptionMethod = ZIP_EM_AES_256;
}

quint16 encryptionMethod()
{
    return g_encryptionMethod;
}

void setEncryptionMethod(quint16 method)
{
    g_encryptionMethod = method;
}

// ---------------------------------------------------------------------------
// Events

void EventPump::pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventPump::aborted()
{
    return m_settings.abort && m_settings.useTempFile;
}

void EventPump::status(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_lastStatus)
        return;
    m_lastStatus = percent;
    if (m_events.Status)
        m_events.Status(percent);
    pump();
}

WorkFolder::WorkFolder()
{
    const QString base =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Vantrel/zip-work");
    if (!QDir().mkpath(base) || ::chmod(QFile::encodeName(base).constData(), 0700) != 0)
        return;
    // Folders of ended processes: named by their tag since, by their id alone before.
    platform::Leftovers::removeEndedIn(base, QString());
    const QStringList left = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : left) {
        const QString id = name.section(QLatin1Char('-'), 0, 0);
        const pid_t owner = pid_t(id.toLongLong());
        if (!id.contains(QLatin1Char('.')) && owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            QDir(base + QLatin1Char('/') + name).removeRecursively();
    }
    static std::atomic<int> serial = 0;
    const QString path = platform::Leftovers::taggedName(base + QLatin1Char('/'), QString()) + QLatin1Char('-')
        + QString::number(++serial);
    platform::Leftovers::expect(path);
    QDir(path).removeRecursively();
    if (QDir().mkdir(path) && ::chmod(QFile::encodeName(path).constData(), 0700) == 0)
        m_path = path;
}

WorkFolder::~WorkFolder()
{
    remove();
}

bool WorkFolder::remove()
{
    if (m_path.isEmpty() || QDir(m_path).removeRecursively()) {
        m_path.clear();
        return true;
    }
    return false;
}

namespace engine {

void makeOwnerOnly(const QString &file)
{
    ::chmod(QFile::encodeName(file).constData(), 0600);
}

QString displayName(const char *entryName)
{
    QString name = QString::fromUtf8(entryName);
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return name;
}

QString entryNameFor(const QString &displayed)
{
    QString name = displayed;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name;
}

QString fTime(time_t when)
{
    return QDateTime::fromSecsSinceEpoch(qint64(when)).toString(QStringLiteral("dd/MM/yy HH:mm"));
}

int ratioOf(qint64 size, qint64 packed)
{
    if (size <= 0)
        return 0;
    return int(100 - packed * 100 / size);
}

// The code an operator recognises for a libzip failure.
quint16 codeFor(zip_error_t *error, quint16 readWriteDefault)
{
    const int sys = zip_error_code_system(error);
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_OK: return Success;
    case ZIP_ER_CANCELLED: return UserAborted;
    case ZIP_ER_MULTIDISK: return MultidiskNeedsMode;
    case ZIP_ER_NOENT: return FileNotFound;
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF: return CorruptedArchive;
    case ZIP_ER_MEMORY: return InsufficientMemory;
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL: return ReadError;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE: return sys == ENOSPC || sys == EDQUOT ? DiskFull : WriteError;
    case ZIP_ER_TMPOPEN: return sys == ENOSPC || sys == EDQUOT ? DiskFull : CreateError;
    case ZIP_ER_RENAME:
    case ZIP_ER_REMOVE: return WriteError;
    case ZIP_ER_OPEN: return sys == ENOENT ? FileNotFound : ReadError;
    default: return readWriteDefault;
    }
}

quint16 codeForOpen(int zipError)
{
    zip_error_t error;
    zip_error_init_with_code(&error, zipError);
    const quint16 code = codeFor(&error, CorruptedArchive);
    zip_error_fini(&error);
    return code;
}

std::optional<Location> locate(const QString &name)
{
    Location where;
    if (platform::DriveA::isDriveAPath(name)) {
        where.onDriveA = true;
        where.drive = platform::DriveA::current();
        const std::optional<QString> local = where.drive.toLocal(name);
        if (!local)
            return std::nullopt;
        where.local = *local;
        return where;
    }
    QString local = name;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    where.local = QDir::current().absoluteFilePath(local);
    return where;
}

quint16 checkArchiveToChange(const ZipSettings &settings, std::optional<Location> &where)
{
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    where = locate(settings.zipFilename);
    if (!where || !QFileInfo(where->local).isFile())
        return FileNotFound;
    const std::optional<int> disks = splitDiskCount(where->local);
    if (disks && *disks > 1)
        return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;
    return Success;
}

// An entry name that is safe to create below the extraction folder.
std::optional<QString> safeRelativePath(const QString &entry)
{
    QStringList kept;
    const QStringList parts = entry.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..") || part.contains(QLatin1Char('\\')))
            return std::nullopt;
        kept << part;
    }
    if (kept.isEmpty())
        return std::nullopt;
    return kept.join(QLatin1Char('/'));
}

// An empty archive: libzip deletes the file of an archive left without
// entries, but an emptied archive is still the operator's archive.
bool writeEmptyArchive(const QString &path)
{
    OwnerOnlyUmask mask;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray end = zipformat::encodeEndOfCentral(zipformat::EndOfCentral{});
    const bool ok = file.write(end) == end.size() && file.flush();
    file.close();
    makeOwnerOnly(path);
    return ok;
}

// Which entries the processing list names; all of them when it is empty.
// Names not found are returned in missing.
QList<zip_int64_t> selectEntries(zip_t *za, const QStringList &names, QStringList &missing)
{
    QList<zip_int64_t> picked;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (names.isEmpty()) {
        for (zip_int64_t i = 0; i < count; ++i)
            picked << i;
        return picked;
    }
    QHash<QString, zip_int64_t> byName;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (name)
            byName.insert(QString::fromUtf8(name), i);
    }
    QSet<zip_int64_t> seen;
    for (const QString &shown : names) {
        const QString name = entryNameFor(shown);
        const auto found = byName.constFind(name);
        if (found == byName.constEnd()) {
            missing << shown;
            continue;
        }
        if (!seen.contains(*found)) {
            seen.insert(*found);
            picked << *found;
        }
    }
    std::sort(picked.begin(), picked.end());
    return picked;
}

} // namespace engine

// ---------------------------------------------------------------------------
// Common

QStringList ZipMain::Private::namesToProcess() const
{
    QStringList names;
    const QStringList parts = settings.filesToProcess.split(QLatin1Char('\r'));
    for (QString name : parts) {
        if (name.startsWith(QLatin1Char('\n')))
            name.remove(0, 1);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

quint16 ZipMain::Private::run(const std::function<quint16(Private &)> &method)
{
    settings.abort = false;
    const quint16 result = method(*this);
    settings.filesToProcess.clear();
    settings.abort = false;
    return result;
}

} // namespace backup
