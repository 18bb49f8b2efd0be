#pragma once

#include "platform/RemovableVolumes.h"

#include <QString>
#include <QStringList>

namespace testing_support {

// Runs a program to its end; its exit status (-1 when it did not start or
// crashed). Its output goes to `output` when given.
int runTool(const QString &program, const QStringList &arguments, const QString &folder = QString(),
            QString *output = nullptr);

// Writes an archive with Info-ZIP's zip from the files and folders named
// relative to `folder`.
void zipWithInfoZip(const QString &archive, const QString &folder, const QStringList &names);

// Files n.txt (n from 1 to count) of a few bytes each in `folder`.
QStringList smallFiles(const QString &folder, int count);

// An archive without entries.
void writeEmptyArchive(const QString &archive);

// Makes the database about `megabytes` big with text that compresses to
// about half, so that its backup spans floppy disks.
void growDatabase(const QString &path, int megabytes);

// The parts a simulated drive A holds after a multidisk backup
// (<drive>/.disks/1 ... and the last disk's archive), copied beside each
// other as Info-ZIP names a split set, then joined with `zip -s 0` into
// `joined`. The number of parts.
int joinDiskSet(const QString &driveFolder, const QString &archiveName, const QString &workFolder,
                const QString &joined);

// Removable volumes that are folders standing for mount points.
class FolderVolumes : public platform::RemovableVolumeSource
{
public:
    explicit FolderVolumes(QList<platform::RemovableVolume> volumes) : m_volumes(std::move(volumes)) {}
    QList<platform::RemovableVolume> volumes() const override { return m_volumes; }

private:
    QList<platform::RemovableVolume> m_volumes;
};

} // namespace testing_support
