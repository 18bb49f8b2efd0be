// Drive A: a simulated drive on a folder and the mapping of its paths.
#include "ZipTestKit.h"

#include "platform/DriveA.h"

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

    writeFile(dir.filePath(QStringLiteral("letter.txt")), "x");
    QDir(dir.path()).mkpath(QStringLiteral("folder/deeper"));
    ASSERT_TRUE(drive.eraseDisk());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral(".disks")});
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
