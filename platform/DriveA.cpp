#include "platform/DriveA.h"

#include "platform/Leftovers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>
#include <QTextStream>
#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qint64 floppySize = 1457664;
const QString takenOutFolder = QStringLiteral(".disks");

QString stripDrive(const QString &path)
{
    QString rest = path.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    return rest;
}

} // namespace

DriveA DriveA::current()
{
    const QByteArray simulated = qgetenv("VANTREL_DRIVE_A");
    if (!simulated.isEmpty()) {
        bool ok = false;
        qint64 size = qEnvironmentVariable("VANTREL_DISK_SIZE").toLongLong(&ok);
        if (!ok || size <= 0)
            size = floppySize;
        return simulatedAt(QString::fromLocal8Bit(simulated), size);
    }
    DriveA drive;
    const QList<RemovableVolume> volumes = removableVolumeSource().volumes();
    if (volumes.isEmpty())
        return drive;
    const QString chosen = chosenDriveAVolume();
    const auto found = std::find_if(volumes.cbegin(), volumes.cend(),
                                    [&](const RemovableVolume &v) { return !chosen.isEmpty() && v.id == chosen; });
    drive.m_volume = found != volumes.cend() ? *found : volumes.first();
    drive.m_root = QDir(drive.m_volume->mountPoint).filePath(folderName());
    return drive;
}

DriveA DriveA::simulatedAt(const QString &folder, qint64 diskSize)
{
    DriveA drive;
    drive.m_simulated = true;
    drive.m_diskSize = diskSize;
    if (QFileInfo(folder).isDir())
        drive.m_root = QDir(folder).absolutePath();
    return drive;
}

bool DriveA::isDriveAPath(const QString &path)
{
    return path.size() >= 2 && (path[0] == QLatin1Char('A') || path[0] == QLatin1Char('a'))
        && path[1] == QLatin1Char(':')
        && (path.size() == 2 || path[2] == QLatin1Char('\\') || path[2] == QLatin1Char('/'));
}

qint64 DriveA::diskSize() const
{
    if (!present())
        return 0;
    if (m_simulated)
        return m_diskSize;
    return QStorageInfo(m_volume->mountPoint).bytesTotal();
}

qint64 DriveA::freeSpace() const
{
    if (!present())
        return 0;
    if (!m_simulated)
        return QStorageInfo(m_volume->mountPoint).bytesAvailable();
    qint64 used = 0;
    QDirIterator it(m_root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    const QString aside = QDir(m_root).filePath(takenOutFolder) + QLatin1Char('/');
    while (it.hasNext()) {
        const QString file = it.next();
        if (!file.startsWith(aside))
            used += QFileInfo(file).size();
    }
    return qMax<qint64>(0, m_diskSize - used);
}

qint64 DriveA::roomOnFileSystem() const
{
    return present() ? QStorageInfo(m_root).bytesAvailable() : 0;
}

std::optional<QString> DriveA::toLocal(const QString &path) const
{
    if (!present() || !isDriveAPath(path))
        return std::nullopt;
    const QString rest = stripDrive(path);
    return rest.isEmpty() ? m_root : QDir(m_root).filePath(rest);
}

bool DriveA::makeFolder(QString *error) const
{
    if (!present()) {
        if (error)
            *error = QStringLiteral("no disk");
        return false;
    }
    if (m_simulated || QFileInfo(m_root).isDir())
        return true;
    if (!QDir().mkdir(m_root)) {
        if (error)
            *error = m_root;
        return false;
    }
    return sync(m_root, error);
}

bool DriveA::sync(const QString &file, QString *error) const
{
    for (const QString &path : {file, QFileInfo(file).absolutePath()}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!synced) {
            if (error)
                *error = path;
            return false;
        }
    }
    return true;
}

bool DriveA::clearFor(const QString &archiveName, QString *error) const
{
    if (!makeFolder(error))
        return false;
    const QString partial = archiveName + QStringLiteral(".partial");
    QDir root(m_root);
    const QFileInfoList entries =
        root.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name == archiveName)
            continue;
        // In the operator's folder only the archive's own leftovers are ours:
        // its part a killed run left, and the copy of a single archive.
        if (m_simulated && !name.startsWith(partial) && name != archiveName + QStringLiteral(".vantrel-part"))
            continue;
        const QString tag = Leftovers::tagAfter(name, QStringLiteral(".partial-"));
        if (!tag.isEmpty() && tag != Leftovers::processTag() && !Leftovers::hasEnded(tag))
            continue;
        const bool removed = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                                 : QFile::remove(entry.filePath());
        if (!removed) {
            if (error)
                *error = entry.filePath();
            return false;
        }
    }
    return true;
}

bool DriveA::takeOut(const QString &partPath, int diskNumber, QString *error) const
{
    if (!m_simulated || !present())
        return false;
    QDir root(m_root);
    if (!root.mkpath(takenOutFolder)) {
        if (error)
            *error = root.filePath(takenOutFolder);
        return false;
    }
    const QString target = root.filePath(takenOutFolder + QLatin1Char('/') + QString::number(diskNumber));
    QFile::remove(target);
    if (!QFile::rename(partPath, target)) {
        if (error)
            *error = target;
        return false;
    }
    return true;
}

std::optional<QString> DriveA::takenOutDisk(int diskNumber) const
{
    if (!m_simulated || !present())
        return std::nullopt;
    const QString file = QDir(m_root).filePath(takenOutFolder + QLatin1Char('/') + QString::number(diskNumber));
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    return file;
}

QList<Volume> mountedVolumes()
{
    QList<Volume> result;
    result << Volume{QStringLiteral("/"), QStringLiteral("/")};
    const QString home = QDir::homePath();
    result << Volume{home, home};
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        const QString root = storage.rootPath();
        if (!storage.isValid() || !storage.isReady() || root == QLatin1String("/"))
            continue;
        // Only the places an operator keeps files: media and mounted disks.
        if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/"))
            || root.startsWith(QLatin1String("/run/media/")))
            result << Volume{root, root};
    }
    result << Volume{QStringLiteral("A:"), DriveA::current().root()};
    return result;
}

std::optional<QString> localPath(const QString &path)
{
    if (DriveA::isDriveAPath(path))
        return DriveA::current().toLocal(path);
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
}

} // namespace platform
