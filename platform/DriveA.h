#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace platform {

// A mounted volume as the drive lists show it.
struct Volume {
    QString name; // "A:" for drive A, otherwise the mount point
    QString root; // local folder; empty when no disk is in the drive
};

// Drive A of the backup: the first mounted removable volume (a USB stick
// today), found from the mount table and the block devices' removable flag.
// VANTREL_DRIVE_A points it at a folder instead (a folder that does not
// exist is "no disk"), and VANTREL_DISK_SIZE (bytes) is then the size of
// each simulated disk (1457664, a 1.44 MB floppy, when unset).
class DriveA
{
public:
    // The drive as the system has it now.
    static DriveA current();
    // A simulated drive on a folder (tests, benchmarks).
    static DriveA simulatedAt(const QString &folder, qint64 diskSize);

    // True for "A:\...", "a:/..." and "A:".
    static bool isDriveAPath(const QString &path);

    // A readable disk is in the drive.
    bool present() const { return !m_root.isEmpty(); }
    bool simulated() const { return m_simulated; }
    QString root() const { return m_root; }
    // Bytes a whole disk holds, and bytes free on it now.
    qint64 diskSize() const;
    qint64 freeSpace() const;

    // "A:\dir\name.zip" -> "<root>/dir/name.zip"; nullopt without a disk or
    // for a path that is not on drive A.
    std::optional<QString> toLocal(const QString &path) const;

    // Erases every file on the disk (clear disks); a simulated drive keeps
    // its folder of taken-out disks.
    bool eraseDisk(QString *error = nullptr) const;
    // Simulated drive: moves a full disk's part aside to <root>/.disks/<n>
    // so that the folder is an empty disk again.
    bool takeOut(const QString &partPath, int diskNumber, QString *error = nullptr) const;
    // Simulated drive: where disk n (1-based) of a set was put aside, if it was.
    std::optional<QString> takenOutDisk(int diskNumber) const;

private:
    QString m_root;
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
