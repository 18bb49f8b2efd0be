// Single archives: add, update, list, extract, delete, test, date, abort,
// full disks and what the events carry.
#include "ZipTestKit.h"

#include "zip/ZipMain.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace backup;
using namespace ziptest;

namespace {

class ZipArchiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("src/sub"));
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        previous = QDir::currentPath();
        QDir::setCurrent(dir.filePath(QStringLiteral("src")));
        writeFile(src(QStringLiteral("Vantrel.mdb")), sampleData(3 * 1024 * 1024, 1));
        writeFile(src(QStringLiteral("notes.txt")), QByteArray("locker notes\n").repeated(50));
        writeFile(src(QStringLiteral("sub/inner.txt")), QByteArray("inner"));
        zip.setZipFilename(archive());
        rec.attach(zip);
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QString src(const QString &name) const { return dir.filePath(QStringLiteral("src/") + name); }
    QString out(const QString &name) const { return dir.filePath(QStringLiteral("out/") + name); }
    QString archive() const { return dir.filePath(QStringLiteral("backup.zip")); }
    quint16 addNames(const QStringList &names, int mode = addmode::Add)
    {
        QString list;
        for (const QString &n : names)
            list += n + QLatin1Char('\r');
        zip.setFilesToProcess(list);
        return zip.Add(mode);
    }

    QTemporaryDir dir;
    QString previous;
    ZipMain zip;
    Recorder rec;
};

} // namespace

TEST_F(ZipArchiveTest, AddsListsAndExtractsWithTheEventsTheWindowShows)
{
    ASSERT_EQ(
        addNames({QStringLiteral("Vantrel.mdb"), src(QStringLiteral("notes.txt")), QStringLiteral("sub\\inner.txt")}),
        zipresult::Success);
    EXPECT_TRUE(zip.filesToProcess().isEmpty()) << "the processing list is emptied after an operation";
    EXPECT_EQ(modeOf(archive()), 0600);
    EXPECT_TRUE(rec.log.contains(QStringLiteral("Adding Vantrel.mdb 3145728")));
    // An absolute name is stored by its name alone; a relative one keeps its folder.
    EXPECT_TRUE(rec.log.contains(QStringLiteral("Adding notes.txt 650")));
    EXPECT_TRUE(rec.log.contains(QStringLiteral("Adding sub\\inner.txt 5")));
    // The large entry reports its progress along the way, not in one jump.
    EXPECT_GT(rec.status.count(), 20);
    EXPECT_EQ(rec.status.last(), 100);
    EXPECT_TRUE(std::is_sorted(rec.status.begin(), rec.status.begin() + rec.status.indexOf(100)));

    EXPECT_EQ(zip.entryCount(), 3);
    rec.log.clear();
    ASSERT_EQ(zip.List(), zipresult::Success);
    ASSERT_EQ(rec.log.size(), 3);
    const QRegularExpression listed(
        QStringLiteral("^Listing Vantrel.mdb 3145728 (\\d+) (\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d) (\\d+)$"));
    const QRegularExpressionMatch m = listed.match(rec.log[0]);
    ASSERT_TRUE(m.hasMatch()) << rec.log[0].toStdString();
    EXPECT_EQ(m.captured(2),
              QFileInfo(src(QStringLiteral("Vantrel.mdb"))).lastModified().toString(QStringLiteral("dd/MM/yy HH:mm")));
    EXPECT_EQ(m.captured(3).toInt(), 100 - m.captured(1).toLongLong() * 100 / 3145728);
    EXPECT_TRUE(rec.log[2].startsWith(QStringLiteral("Listing sub\\inner.txt 5 ")));

    zip.setExtractFolder(dir.filePath(QStringLiteral("out")));
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\rsub\\inner.txt\r"));
    rec.log.clear();
    ASSERT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(
        rec.log,
        QStringList({QStringLiteral("Extracting Vantrel.mdb 3145728"), QStringLiteral("Extracting sub\\inner.txt 5")}));
    EXPECT_EQ(readFile(out(QStringLiteral("Vantrel.mdb"))), readFile(src(QStringLiteral("Vantrel.mdb"))));
    EXPECT_EQ(readFile(out(QStringLiteral("sub/inner.txt"))), QByteArray("inner"));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("notes.txt"))));
    EXPECT_EQ(modeOf(out(QStringLiteral("Vantrel.mdb"))), 0600);

    // Peers read what we write.
    expectPeersAccept(archive());
}

TEST_F(ZipArchiveTest, EveryLevelAndAPasswordGiveArchivesPeersAccept)
{
    for (int level : {0, 1, 9}) {
        QFile::remove(archive());
        zip.setCompressionLevel(level);
        ASSERT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("Vantrel.mdb")}), zipresult::Success);
        expectPeersAccept(archive());
    }
    QFile::remove(archive());
    zip.setPassword(QStringLiteral("lanes"));
    ASSERT_EQ(addNames({QStringLiteral("notes.txt")}), zipresult::Success);
    expectPeersAccept(archive(), QStringLiteral("lanes"));
    EXPECT_EQ(zip.Test(), zipresult::Success);
    zip.setPassword(QStringLiteral("wrong"));
    rec.log.clear();
    zip.setExtractFolder(dir.filePath(QStringLiteral("out")));
    EXPECT_EQ(zip.Extract(0), zipresult::SkippedFiles);
    EXPECT_EQ(rec.log.last(), QStringLiteral("Skipping notes.txt 5"));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("notes.txt"))));
}

TEST_F(ZipArchiveTest, UpdateReplacesNewerFilesOnlyAndDeleteRemovesListedEntries)
{
    ASSERT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("Vantrel.mdb")}), zipresult::Success);
    QFile notes(src(QStringLiteral("notes.txt")));
    writeFile(notes.fileName(), QByteArray("changed"));
    ASSERT_TRUE(notes.open(QIODevice::ReadWrite));
    notes.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime);
    notes.close();
    rec.log.clear();
    EXPECT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("Vantrel.mdb")}, addmode::Update),
              zipresult::Success);
    EXPECT_EQ(rec.log, QStringList({QStringLiteral("Skipping Vantrel.mdb 3"), QStringLiteral("Updating notes.txt 7")}));
    zip.setExtractFolder(dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(readFile(out(QStringLiteral("notes.txt"))), QByteArray("changed"));

    rec.log.clear();
    zip.setFilesToProcess(QStringLiteral("notes.txt\rmissing.txt\r"));
    EXPECT_EQ(zip.Delete(), zipresult::SkippedFiles);
    EXPECT_EQ(rec.log, QStringList({QStringLiteral("Skipping missing.txt 0"), QStringLiteral("Deleting notes.txt")}));
    EXPECT_EQ(zip.entryCount(), 1);
    // Deleting the last entry leaves an empty archive, not a missing one.
    zip.setFilesToProcess(QStringLiteral("Vantrel.mdb\r"));
    EXPECT_EQ(zip.Delete(), zipresult::Success);
    EXPECT_TRUE(QFileInfo::exists(archive()));
    EXPECT_EQ(zip.List(), zipresult::Success);
    EXPECT_EQ(zip.Test(), zipresult::NothingTested);
    EXPECT_EQ(zip.UpdateZipDate(), zipresult::NothingToDate);
}

TEST_F(ZipArchiveTest, ResultCodesForMissingDamagedAndUnreadableArchives)
{
    zip.setZipFilename(dir.filePath(QStringLiteral("none.zip")));
    EXPECT_EQ(zip.List(), zipresult::FileNotFound);
    EXPECT_EQ(zip.Test(), zipresult::FileNotFound);
    EXPECT_EQ(zip.entryCount(), 0);
    zip.setZipFilename(QString());
    EXPECT_EQ(zip.List(), zipresult::InvalidSettings);

    writeFile(dir.filePath(QStringLiteral("junk.zip")), QByteArray("this is not an archive at all").repeated(10));
    zip.setZipFilename(dir.filePath(QStringLiteral("junk.zip")));
    EXPECT_EQ(zip.List(), zipresult::CorruptedArchive);
    EXPECT_EQ(addNames({QStringLiteral("notes.txt")}), zipresult::CorruptedArchive);

    // A byte changed inside the compressed data: the test fails on its CRC.
    zip.setZipFilename(archive());
    ASSERT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("Vantrel.mdb")}), zipresult::Success);
    QByteArray bytes = readFile(archive());
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
    writeFile(archive(), bytes);
    rec.log.clear();
    EXPECT_EQ(zip.Test(), zipresult::TestFailed);
    EXPECT_TRUE(rec.log.contains(QStringLiteral("Testing notes.txt 650")));
    EXPECT_TRUE(rec.log.last().startsWith(QStringLiteral("Skipping Vantrel.mdb ")));

    // Files that are missing or cannot be read: skipped, the rest still goes in.
    writeFile(src(QStringLiteral("locked.txt")), "x");
    QFile::setPermissions(src(QStringLiteral("locked.txt")), QFileDevice::Permissions());
    const bool lockable = !QFile(src(QStringLiteral("locked.txt"))).open(QIODevice::ReadOnly); // not as root
    if (lockable) {
        QFile::remove(archive());
        rec.log.clear();
        EXPECT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("locked.txt")}), zipresult::SkippedFiles);
        EXPECT_TRUE(rec.log.contains(QStringLiteral("Skipping locked.txt 4")));
        EXPECT_EQ(zip.entryCount(), 1);
    }
    QFile::remove(archive());
    rec.log.clear();
    const quint16 code = addNames({QStringLiteral("notes.txt"), QStringLiteral("gone.txt")});
    EXPECT_EQ(code, zipresult::SkippedFiles);
    EXPECT_TRUE(rec.log.contains(QStringLiteral("Skipping gone.txt 0")));
    // Two files that would share one entry name.
    QFile::remove(archive());
    EXPECT_EQ(addNames({src(QStringLiteral("notes.txt")), QStringLiteral("notes.txt")}), zipresult::DuplicateNames);
    EXPECT_FALSE(QFileInfo::exists(archive()));
}

TEST_F(ZipArchiveTest, AnAbortInTheMiddleOfALargeFileLeavesTheArchiveAsItWas)
{
    ASSERT_EQ(addNames({QStringLiteral("notes.txt")}), zipresult::Success);
    const QByteArray before = readFile(archive());
    const QDateTime stamp = QFileInfo(archive()).lastModified();

    writeFile(src(QStringLiteral("big.mdb")), sampleData(8 * 1024 * 1024, 7));
    // The Abort click arrives through the window's events while the data is read.
    rec.onStatus = [this](int percent) {
        if (percent == 40)
            zip.setAbort(true);
    };
    EXPECT_EQ(addNames({QStringLiteral("big.mdb")}), zipresult::UserAborted);
    EXPECT_LT(rec.status.last(), 100);
    EXPECT_EQ(readFile(archive()), before);
    EXPECT_EQ(QFileInfo(archive()).lastModified(), stamp);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("backup.zip")})
        << "no temporary file is left behind";
    EXPECT_FALSE(zip.abortRequested());

    // An Abort click waiting in the window's queue arrives while the file is read.
    rec.onStatus = nullptr;
    QTimer::singleShot(0, [this] { zip.setAbort(true); });
    EXPECT_EQ(addNames({QStringLiteral("big.mdb")}), zipresult::UserAborted);
    EXPECT_EQ(readFile(archive()), before);

    // Without the temporary file an abort request is not honoured.
    zip.setUseTempFile(false);
    EXPECT_EQ(addNames({QStringLiteral("big.mdb")}), zipresult::Success);
    EXPECT_EQ(zip.entryCount(), 2);
}

TEST_F(ZipArchiveTest, ExtractAsksBeforeReplacingAndKeepsEntriesInsideTheFolder)
{
    ASSERT_EQ(addNames({QStringLiteral("notes.txt")}), zipresult::Success);
    zip.setExtractFolder(dir.filePath(QStringLiteral("out")));
    writeFile(out(QStringLiteral("notes.txt")), "mine");
    rec.onReplace = [](const QString &, int &) {};
    EXPECT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(readFile(out(QStringLiteral("notes.txt"))), QByteArray("mine"));
    EXPECT_EQ(rec.log.last(), QStringLiteral("Replace notes.txt"));
    rec.onReplace = [](const QString &, int &cmd) { cmd = replacecmd::Replace; };
    EXPECT_EQ(zip.Extract(0), zipresult::Success);
    EXPECT_EQ(readFile(out(QStringLiteral("notes.txt"))), readFile(src(QStringLiteral("notes.txt"))));
    rec.onReplace = [this](const QString &, int &) { zip.setAbort(true); };
    EXPECT_EQ(zip.Extract(0), zipresult::UserAborted);

    // An archive from elsewhere naming a file outside the folder.
    if (toolInstalled(QStringLiteral("python3"))) {
        const QString evil = dir.filePath(QStringLiteral("evil.zip"));
        runTool(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import zipfile,sys;z=zipfile.ZipFile(sys.argv[1],'w');"
                                "z.writestr('../escaped.txt','x');z.writestr('ok.txt','y');z.close()"),
                 evil});
        zip.setZipFilename(evil);
        rec.log.clear();
        EXPECT_EQ(zip.Extract(0), zipresult::SkippedFiles);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("escaped.txt"))));
        EXPECT_TRUE(QFileInfo::exists(out(QStringLiteral("ok.txt"))));
        EXPECT_TRUE(rec.log.contains(QStringLiteral("Skipping ..\\escaped.txt 4")));
    }
}

TEST_F(ZipArchiveTest, UpdateZipDateTakesTheNewestEntry)
{
    QFile notes(src(QStringLiteral("notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::ReadWrite));
    const QDateTime newest = QDateTime(QDate(2024, 3, 14), QTime(15, 9, 26));
    notes.setFileTime(newest, QFileDevice::FileModificationTime);
    notes.close();
    QFile inner(src(QStringLiteral("sub/inner.txt")));
    ASSERT_TRUE(inner.open(QIODevice::ReadWrite));
    inner.setFileTime(newest.addDays(-30), QFileDevice::FileModificationTime);
    inner.close();
    // The folder entry itself is newer than both files and does not count.
    ASSERT_EQ(addNames({QStringLiteral("notes.txt"), QStringLiteral("sub")}), zipresult::Success);
    ASSERT_EQ(zip.UpdateZipDate(), zipresult::Success);
    EXPECT_EQ(QFileInfo(archive()).lastModified(), newest);
}

TEST_F(ZipArchiveTest, SettingsAndMethodsByTheirIds)
{
    zip.setValue(zipid::CompressionLevel, 9);
    zip.setValue(zipid::Multidisk, true);
    zip.setValue(zipid::ExtractFolder, QStringLiteral("C"));
    EXPECT_EQ(zip.compressionLevel(), 9);
    EXPECT_TRUE(zip.value(zipid::Multidisk).toBool());
    EXPECT_EQ(zip.value(zipid::ExtractFolder).toString(), QStringLiteral("C"));
    EXPECT_EQ(zip.value(zipid::CompressionLevel).toInt(), 9);
    EXPECT_FALSE(zip.value(99).isValid());
    zip.setValue(zipid::Multidisk, false);
    zip.setValue(zipid::FilesToProcess, QStringLiteral("notes.txt\r"));
    EXPECT_EQ(zip.invoke(zipid::Add, addmode::Add), zipresult::Success);
    EXPECT_EQ(zip.value(zipid::EntryCount).toInt(), 1);
    EXPECT_EQ(zip.invoke(zipid::Test), zipresult::Success);
    EXPECT_EQ(zip.invoke(77), zipresult::InvalidSettings);
}
