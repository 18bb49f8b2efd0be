#include "platform/DriveA.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTextStream>

namespace platform {

namespace {

constexpr qint64 floppySize = 1457664;
const QString takenOutFolder = QStringLiteral(".disks");

// The removable flag of the disk a block device (or its partition) is on.
bool isRemovableDevice(const QString &device)
{
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    const QString name = QFileInfo(device).canonicalFilePath().section(QLatin1Char('/'), -1);
    if (name.isEmpty())
        return false;
    QFileInfo sys(QStringLiteral("/sys/class/block/") + name);
    if (!sys.exists())
        return false;
    QString dir = sys.canonicalFilePath();
    // Some USB sticks call themselves fixed disks; the bus tells.
    if (dir.contains(QLatin1String("/usb")))
        return true;
    // A partition's folder sits inside its disk's folder.
    for (int up = 0; up < 2 && !dir.isEmpty(); ++up) {
        QFile flag(dir + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
        dir = QFileInfo(dir).path();
    }
    return false;
}

// Mount points of removable block devices, in mount-table order.
QStringList removableMounts()
{
    QStringList result;
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> lines = mounts.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        // The mount table writes blanks in paths as \040.
        QString point = QString::fromLocal8Bit(fields[1]);
        point.replace(QLatin1String("\\040"), QLatin1String(" "));
        if (isRemovableDevice(QString::fromLocal8Bit(fields[0])) && QFileInfo(point).isDir())
            result << point;
    }
    return result;
}

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
    const QStringList mounts = removableMounts();
    if (!mounts.isEmpty())
        drive.m_root = mounts.first();
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
    return QStorageInfo(m_root).bytesTotal();
}

qint64 DriveA::freeSpace() const
{
    if (!present())
        return 0;
    if (!m_simulated)
        return QStorageInfo(m_root).bytesAvailable();
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

std::optional<QString> DriveA::toLocal(const QString &path) const
{
    if (!present() || !isDriveAPath(path))
        return std::nullopt;
    const QString rest = stripDrive(path);
    return rest.isEmpty() ? m_root : QDir(m_root).filePath(rest);
}

bool DriveA::eraseDisk(QString *error) const
{
    if (!present()) {
        if (error)
            *error = QStringLiteral("no disk");
        return false;
    }
    QDir root(m_root);
    const QFileInfoList entries = root.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (m_simulated && entry.fileName() == takenOutFolder)
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
