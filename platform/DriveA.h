#pragma once

#include "platform/RemovableVolumes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// A mounted volume as the drive lists show it.
struct Volume {
    QString name; // "A:" for drive A, otherwise the mount point
    QString root; // local folder; empty when no disk is in the drive
};

// Drive A of the backup: on a removable volume (a USB stick, an external
// disk), the folder "VantrelBackup" at the volume's top, so that a backup
// never touches the operator's other files there. The volume is the one the
// operator chose (chooseDriveAVolume), else the first one mounted.
// VANTREL_DRIVE_A points it at a folder instead, which then stands for the
// folder of ours on a disk, beside whatever else the operator keeps there
// (a folder that does not exist is "no disk"), and VANTREL_DISK_SIZE
// (bytes) is the size of each simulated disk (1457664, a 1.44 MB floppy,
// when unset).
class DriveA
{
public:
    // The drive as the system has it now.
    static DriveA current();
    // A simulated drive on a folder (tests, benchmarks).
    static DriveA simulatedAt(const QString &folder, qint64 diskSize);

    // The folder of ours on a volume.
    static QString folderName() { return QStringLiteral("VantrelBackup"); }

    // True for "A:\...", "a:/..." and "A:".
    static bool isDriveAPath(const QString &path);

    // A readable disk is in the drive.
    bool present() const { return !m_root.isEmpty(); }
    bool simulated() const { return m_simulated; }
    QString root() const { return m_root; }
    // The removable volume drive A is on (nullopt when simulated or absent).
    const std::optional<RemovableVolume> &volume() const { return m_volume; }
    // Makes the folder of ours on a real volume; true when it is there.
    bool makeFolder(QString *error = nullptr) const;
    // Puts a file written on the disk and its folder on the medium, so that
    // the operator may pull the stick out once told the backup is done.
    bool sync(const QString &file, QString *error = nullptr) const;
    // Bytes a whole disk holds, and bytes free on it now.
    qint64 diskSize() const;
    qint64 freeSpace() const;
    // Bytes the file system under the drive's folder has room for: on a
    // simulated drive it may be less than its disk's free space.
    qint64 roomOnFileSystem() const;

    // "A:\dir\name.zip" -> "<root>/dir/name.zip"; nullopt without a disk or
    // for a path that is not on drive A.
    std::optional<QString> toLocal(const QString &path) const;

    // Makes the disk ready for a new archive named `archiveName` (a name in
    // the drive's folder), which replaces the one there only once it is
    // whole (clear disks). On a volume the folder is ours and is emptied but
    // for that archive; on a simulated drive the folder is the operator's,
    // and only what earlier runs left on their way to that archive goes.
    // What a backup still running writes stays.
    bool clearFor(const QString &archiveName, QString *error = nullptr) const;
    // Simulated drive: moves a full disk's part aside to <root>/.disks/<n>
    // so that the folder is an empty disk again.
    bool takeOut(const QString &partPath, int diskNumber, QString *error = nullptr) const;
    // Simulated drive: where disk n (1-based) of a set was put aside, if it was.
    std::optional<QString> takenOutDisk(int diskNumber) const;

private:
    QString m_root;
    std::optional<RemovableVolume> m_volume;
    bool m_simulated = false;
    qint64 m_diskSize = 0;
};

// The mounted volumes (the root and home first, then the mount points the
// operator can use) followed by drive A, whose root is empty without a disk.
QList<Volume> mountedVolumes();

// A local path for a name the operator or the window gave: drive A paths go
// through DriveA (nullopt without a disk), backslashes become slashes.
std::optional<QString> localPath(const QString &path);

} // namespace platform
