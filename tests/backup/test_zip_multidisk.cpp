// Split sets on drive A and beside an archive: written by us and joined by
// Info-ZIP, written by Info-ZIP and read by us; full disks.
#include "ZipTestKit.h"

#include "zip/ZipMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace backup;
using namespace ziptest;

namespace {

constexpr qint64 floppy = 1457664;

class ZipMultidiskTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("drive"));
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        rec.attach(zip);
    }
    void TearDown() override { QDir::setCurrent(previous); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString previous;
    ZipMain zip;
    Recorder rec;
};

} // namespace

TEST_F(ZipMultidiskTest, ABackupSpansFloppiesThatInfoZipJoinsAndWeReadBack)
{
    SimulatedDriveA drive(path(QStringLiteral("drive")), floppy);
    const QByteArray database = sampleData(3600 * 1024, 11, true);
    writeFile(path(QStringLiteral("Vantrel.mdb")), database);
    // A folder as drive A is the operator's: clearing the disks leaves their files.
    writeFile(path(QStringLiteral("drive/old letter.txt")), "kept by clear disks");

    zip.setMultidisk(true);
    zip.setClearDisks(true);
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    ASSERT_EQ(zip.Add(addmode::Add), zipresult::Success);
    EXPECT_EQ(rec.disks, QList<int>({2, 3}));
    EXPECT_EQ(readFile(path(QStringLiteral("drive/old letter.txt"))), QByteArray("kept by clear disks"));
    const QString disk1 = path(QStringLiteral("drive/.disks/1")), disk2 = path(QStringLiteral("drive/.disks/2"));
    const QString last = path(QStringLiteral("drive/VantrelBackup.zip"));
    ASSERT_TRUE(QFileInfo::exists(disk1) && QFileInfo::exists(disk2) && QFileInfo::exists(last));
    for (const QString &part : {disk1, disk2, last}) {
        EXPECT_LE(QFileInfo(part).size(), floppy);
        EXPECT_EQ(modeOf(part), 0600);
    }
    EXPECT_EQ(readFile(disk1).left(4), QByteArray("PK\x07\x08", 4));

    // The parts copied into one folder form the set Info-ZIP knows.
    QDir(dir.path()).mkpath(QStringLiteral("set"));
    QFile::copy(disk1, path(QStringLiteral("set/VantrelBackup.z01")));
    QFile::copy(disk2, path(QStringLiteral("set/VantrelBackup.z02")));
    QFile::copy(last, path(QStringLiteral("set/VantrelBackup.zip")));
    if (toolInstalled(QStringLiteral("zip"))) {
        QString said;
        EXPECT_EQ(runTool(QStringLiteral("zip"),
                          {QStringLiteral("-s"), QStringLiteral("0"), QStringLiteral("VantrelBackup.zip"),
                           QStringLiteral("--out"), QStringLiteral("joined.zip")},
                          path(QStringLiteral("set")), &said),
                  0)
            << said.toStdString();
        expectPeersAccept(path(QStringLiteral("set/joined.zip")));
    }
    if (toolInstalled(QStringLiteral("7z"))) {
        QString said;
        EXPECT_EQ(runTool(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("VantrelBackup.zip")},
                          path(QStringLiteral("set")), &said),
                  0)
            << said.toStdString();
    }

    // Listing the set just written asks for no disk.
    rec.disks.clear();
    EXPECT_EQ(zip.List(), zipresult::Success);
    EXPECT_TRUE(rec.disks.isEmpty());
    // Opened again, it is read from the last disk, in the drive, and then
    // asks once for each other disk, in order; what follows asks nothing.
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    EXPECT_EQ(zip.List(), zipresult::Success);
    EXPECT_EQ(rec.disks, QList<int>({1, 2}));
    EXPECT_TRUE(rec.log.last().startsWith(QStringLiteral("Listing Vantrel.mdb 3686400 ")));
    EXPECT_EQ(zip.Test(), zipresult::Success);
    zip.setExtractFolder(path(QStringLiteral("out")));
    ASSERT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(rec.disks, QList<int>({1, 2}));
    EXPECT_EQ(readFile(path(QStringLiteral("out/Vantrel.mdb"))), database);
    EXPECT_EQ(modeOf(path(QStringLiteral("out/Vantrel.mdb"))), 0600);

    // The first disk again, or a last disk (of this set or another), where
    // the second is wanted: nothing is read from it and the second is asked
    // for again, three times at most; put in then, the right disk is read.
    // The first disk of another backup of the file (its CRC differs) is
    // refused where the first is wanted.
    const QByteArray first = readFile(disk1), second = readFile(disk2);
    QByteArray otherBackup = first;
    otherBackup[4 + 14] = char(otherBackup[4 + 14] ^ 0x5a);
    const struct {
        QString disk;
        QByteArray wrong;
        QList<int> asked;
    } wrongDisks[] = {
        {disk2, first, {1, 2, 2, 2}}, {disk2, readFile(last), {1, 2, 2, 2}}, {disk1, otherBackup, {1, 1, 1}}};
    for (const auto &w : wrongDisks) {
        writeFile(w.disk, w.wrong);
        rec.disks.clear();
        zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
        EXPECT_EQ(zip.List(), zipresult::WrongDiskTooOften);
        EXPECT_EQ(rec.disks, w.asked);
    }
    writeFile(disk1, first);
    writeFile(disk2, first);
    const auto recorded = zip.events().Newdisk;
    zip.events().Newdisk = [&](int n) {
        recorded(n);
        if (n == 2 && rec.disks.count(2) == 2)
            writeFile(disk2, second);
    };
    rec.disks.clear();
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    EXPECT_EQ(zip.List(), zipresult::Success);
    EXPECT_EQ(rec.disks, QList<int>({1, 2, 2}));
    zip.events().Newdisk = recorded;

    // Not in multidisk mode, a set is refused with its own code.
    zip.setMultidisk(false);
    EXPECT_EQ(zip.List(), zipresult::MultidiskNeedsMode);
    EXPECT_EQ(zip.Delete(), zipresult::MultidiskNeedsMode);
    zip.setMultidisk(true);
    EXPECT_EQ(zip.UpdateZipDate(), zipresult::NotForMultidisk);
}

TEST_F(ZipMultidiskTest, ASetWrittenByInfoZipIsReadTestedAndExtracted)
{
    if (!toolInstalled(QStringLiteral("zip")))
        GTEST_SKIP() << "zip is not installed";
    const QByteArray big = sampleData(300 * 1024, 5, true);
    writeFile(path(QStringLiteral("big.bin")), big);
    writeFile(path(QStringLiteral("small.txt")), "bowling");
    ASSERT_EQ(runTool(QStringLiteral("zip"),
                      {QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("64k"), QStringLiteral("set.zip"),
                       QStringLiteral("big.bin"), QStringLiteral("small.txt")},
                      dir.path()),
              0);
    ASSERT_TRUE(QFileInfo::exists(path(QStringLiteral("set.z04"))));
    zip.setZipFilename(path(QStringLiteral("set.zip")));
    EXPECT_EQ(zip.List(), zipresult::MultidiskNeedsMode);
    zip.setMultidisk(true);
    rec.log.clear();
    ASSERT_EQ(zip.List(), zipresult::Success);
    EXPECT_EQ(rec.log.size(), 2);
    EXPECT_TRUE(rec.disks.isEmpty()) << "parts beside the archive need no disk changes";
    EXPECT_EQ(zip.Test(), zipresult::Success);
    zip.setExtractFolder(path(QStringLiteral("out")));
    ASSERT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(readFile(path(QStringLiteral("out/big.bin"))), big);
    EXPECT_EQ(readFile(path(QStringLiteral("out/small.txt"))), QByteArray("bowling"));

    // A part missing from the set.
    QFile::remove(path(QStringLiteral("set.z02")));
    EXPECT_EQ(zip.Test(), zipresult::FileNotFound);
}

TEST_F(ZipMultidiskTest, AFullDiskGives150AndNoArchiveThatPassesForWhole)
{
    SimulatedDriveA drive(path(QStringLiteral("drive")), floppy);
    writeFile(path(QStringLiteral("Vantrel.mdb")), sampleData(2 * 1024 * 1024, 3, true));
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    EXPECT_EQ(zip.Add(addmode::Add), zipresult::DiskFull);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("drive/VantrelBackup.zip"))));
    EXPECT_TRUE(QDir(path(QStringLiteral("drive"))).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // A set of one disk is read without a disk prompt.
    zip.setMultidisk(true);
    writeFile(path(QStringLiteral("small.txt")), "fits");
    zip.setFilesToProcess(QStringLiteral("small.txt\r"));
    ASSERT_EQ(zip.Add(addmode::Add), zipresult::Success);
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    EXPECT_EQ(zip.List(), zipresult::Success);
    zip.setExtractFolder(path(QStringLiteral("out")));
    EXPECT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_TRUE(rec.disks.isEmpty());
    QFile::remove(path(QStringLiteral("drive/VantrelBackup.zip")));
    zip.setMultidisk(false);

    // A small archive that fits, then growing it past the disk: the old one stays.
    writeFile(path(QStringLiteral("small.txt")), "fits");
    zip.setFilesToProcess(QStringLiteral("small.txt\r"));
    ASSERT_EQ(zip.Add(addmode::Add), zipresult::Success);
    const QByteArray before = readFile(path(QStringLiteral("drive/VantrelBackup.zip")));
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    EXPECT_EQ(zip.Add(addmode::Add), zipresult::DiskFull);
    EXPECT_EQ(readFile(path(QStringLiteral("drive/VantrelBackup.zip"))), before);
    QFile::remove(path(QStringLiteral("drive/VantrelBackup.zip")));

    // Multidisk without clearing: a full disk inserted instead of an empty one.
    writeFile(path(QStringLiteral("drive/full.bin")), QByteArray(floppy - 100, 'x'));
    zip.setMultidisk(true);
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    EXPECT_EQ(zip.Add(addmode::Add), zipresult::DiskFull);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("drive/VantrelBackup.zip"))));

    // No disk in the drive at all.
    SimulatedDriveA none(path(QStringLiteral("no such drive")), floppy);
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    EXPECT_EQ(zip.Add(addmode::Add), zipresult::CreateError);
    EXPECT_EQ(zip.List(), zipresult::FileNotFound);
}
