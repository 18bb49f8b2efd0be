#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace platform {

// A mounted file system on a drive the operator can take away: a USB stick,
// an external disk, a memory card.
struct RemovableVolume {
    QString id;         // stays the same from one mount to the next: the file system's UUID, else its device
    QString mountPoint; // the folder it is mounted on
    QString device;     // "/dev/sdb1"
    QString label;      // the file system's label, may be empty
    QString model;      // the drive's maker and model, may be empty
    qint64 size = 0;    // bytes
    bool ejectable = false;

    // "BOWLING (16.0 GB)": the label, else the model, else the device.
    QString description() const;
};

// Where the removable volumes come from. The desktop's: UDisks2 on the
// system bus where it runs, the kernel's removable flag otherwise. Tests
// put in folders standing for mount points.
class RemovableVolumeSource
{
public:
    virtual ~RemovableVolumeSource() = default;
    // The mounted removable volumes, in a stable order.
    virtual QList<RemovableVolume> volumes() const = 0;
    // Flushes, unmounts and ejects (or powers off) the drive of a volume;
    // false and a reason when this source cannot.
    virtual bool eject(const RemovableVolume &volume, QString *why) const;
};

// UDisks2's view; null when no system bus or no UDisks2 answers.
std::unique_ptr<RemovableVolumeSource> udisksVolumeSource();
// The mount table and the kernel's removable flag of each block device.
std::unique_ptr<RemovableVolumeSource> kernelVolumeSource();

// The source in force: one a test installed, else UDisks2 where it answers,
// else the kernel's.
const RemovableVolumeSource &removableVolumeSource();
// Installs a source (null: the desktop's again).
void setRemovableVolumeSource(std::unique_ptr<RemovableVolumeSource> source);

// Which volume the operator chose as drive A (its id, kept in the user's
// settings); empty until one was chosen.
QString chosenDriveAVolume();
void chooseDriveAVolume(const QString &id);

} // namespace platform
