// Drive A: a simulated drive on a folder and the mapping of its paths.
#include "ZipTestKit.h"

#include "platform/DriveA.h"
#include "platform/RemovableVolumes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::DriveA;
using namespace ziptest;

TEST(DriveA, ASimulatedDriveMapsPathsAndCountsItsFreeSpace)
{
    QTemporaryDir dir;
    SimulatedDriveA simulated(dir.path(), 10000);
    const DriveA drive = DriveA::current();
    ASSERT_TRUE(drive.present());
    EXPECT_TRUE(drive.simulated());
    EXPECT_EQ(drive.toLocal(QStringLiteral("A:\\VantrelBackup.zip")),
              dir.filePath(QStringLiteral("VantrelBackup.zip")));
    EXPECT_EQ(drive.toLocal(QStringLiteral("a:/sub\\x.zip")), dir.filePath(QStringLiteral("sub/x.zip")));
    EXPECT_EQ(drive.toLocal(QStringLiteral("B:\\x.zip")), std::nullopt);
    EXPECT_TRUE(DriveA::isDriveAPath(QStringLiteral("A:")));
    EXPECT_FALSE(DriveA::isDriveAPath(QStringLiteral("Archive.zip")));

    EXPECT_EQ(drive.freeSpace(), 10000);
    writeFile(dir.filePath(QStringLiteral("part")), QByteArray(3000, 'x'));
    EXPECT_EQ(drive.freeSpace(), 7000);
    // A disk put aside is no longer in the drive.
    ASSERT_TRUE(drive.takeOut(dir.filePath(QStringLiteral("part")), 1));
    EXPECT_EQ(drive.freeSpace(), 10000);
    EXPECT_EQ(drive.takenOutDisk(1), dir.filePath(QStringLiteral(".disks/1")));
    EXPECT_EQ(drive.takenOutDisk(2), std::nullopt);

    // The folder is the operator's: clearing it for an archive removes only
    // what a killed run left of that archive.
    writeFile(dir.filePath(QStringLiteral("letter.txt")), "x");
    QDir(dir.path()).mkpath(QStringLiteral("folder/deeper"));
    writeFile(dir.filePath(QStringLiteral("VantrelBackup.zip")), "previous");
    writeFile(dir.filePath(QStringLiteral("VantrelBackup.zip.partial")), "killed run");
    writeFile(dir.filePath(QStringLiteral("Other.zip.partial")), "another archive's");
    ASSERT_TRUE(drive.clearFor(QStringLiteral("VantrelBackup.zip")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral(".disks"), QStringLiteral("folder"), QStringLiteral("letter.txt"),
                           QStringLiteral("Other.zip.partial"), QStringLiteral("VantrelBackup.zip")}));
}

TEST(DriveA, AMissingFolderIsNoDisk)
{
    QTemporaryDir dir;
    SimulatedDriveA simulated(dir.filePath(QStringLiteral("absent")), 1000);
    const DriveA drive = DriveA::current();
    EXPECT_FALSE(drive.present());
    EXPECT_EQ(drive.toLocal(QStringLiteral("A:\\x.zip")), std::nullopt);
    EXPECT_EQ(platform::localPath(QStringLiteral("A:\\x.zip")), std::nullopt);
    EXPECT_EQ(platform::localPath(QStringLiteral("dir\\x.zip")), QStringLiteral("dir/x.zip"));
    const QList<platform::Volume> volumes = platform::mountedVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.last().name, QStringLiteral("A:"));
    EXPECT_TRUE(volumes.last().root.isEmpty());
}

namespace {

class OneVolume : public platform::RemovableVolumeSource
{
public:
    explicit OneVolume(const QString &mountPoint) : m_mountPoint(mountPoint) {}
    QList<platform::RemovableVolume> volumes() const override
    {
        return {{QStringLiteral("ID-1"), m_mountPoint, QStringLiteral("/dev/sdz1"), QString(), QString(), 0, false}};
    }

private:
    QString m_mountPoint;
};

} // namespace

// On a volume, drive A is the folder of ours: erasing a disk empties it and
// nothing else; the volume's own files stay.
TEST(DriveA, OnAVolumeOnlyTheFolderOfOursIsADisk)
{
    QTemporaryDir volume;
    writeFile(volume.filePath(QStringLiteral("photo.jpg")), "the operator's");
    QDir(volume.path()).mkpath(QStringLiteral("VantrelBackup/old"));
    writeFile(volume.filePath(QStringLiteral("VantrelBackup/VantrelBackup.zip")), "previous");
    writeFile(volume.filePath(QStringLiteral("VantrelBackup/left.partial")), "killed run");
    qunsetenv("VANTREL_DRIVE_A");
    platform::setRemovableVolumeSource(std::make_unique<OneVolume>(volume.path()));
    const DriveA drive = DriveA::current();
    ASSERT_TRUE(drive.present());
    EXPECT_FALSE(drive.simulated());
    EXPECT_EQ(drive.toLocal(QStringLiteral("A:\\VantrelBackup.zip")),
              volume.filePath(QStringLiteral("VantrelBackup/VantrelBackup.zip")));
    ASSERT_TRUE(drive.clearFor(QStringLiteral("VantrelBackup.zip")));
    EXPECT_EQ(QDir(volume.filePath(QStringLiteral("VantrelBackup"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("VantrelBackup.zip")});
    EXPECT_EQ(readFile(volume.filePath(QStringLiteral("photo.jpg"))), QByteArray("the operator's"));
    platform::setRemovableVolumeSource(nullptr);
}

// Where no D-Bus answers (as here), the kernel's view is the one in force.
TEST(DriveA, WithoutUDisksTheKernelsRemovableFlagDecides)
{
    if (platform::udisksVolumeSource())
        GTEST_SKIP() << "UDisks2 answers on this machine";
    platform::setRemovableVolumeSource(nullptr);
    QStringList inForce, kernel;
    for (const platform::RemovableVolume &v : platform::removableVolumeSource().volumes())
        inForce << v.mountPoint;
    for (const platform::RemovableVolume &v : platform::kernelVolumeSource()->volumes())
        kernel << v.mountPoint;
    EXPECT_EQ(inForce, kernel);
    for (const QString &point : kernel)
        EXPECT_TRUE(QFileInfo(point).isDir()) << point.toStdString();
}
