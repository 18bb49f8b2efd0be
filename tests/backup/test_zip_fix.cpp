// Fixing damaged archives, compared with what Info-ZIP salvages.
#include "ZipTestKit.h"

#include "zip/ZipMain.h"
#include "zip/ZipRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace backup;
using namespace ziptest;

namespace {

class ZipFixTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        rec.attach(zip);
        QString names;
        for (int i = 1; i <= 12; ++i) {
            const QString name = QStringLiteral("customers%1.txt").arg(i);
            writeFile(path(name), sampleData(20000, quint32(i), true).toBase64());
            names += name + QLatin1Char('\r');
        }
        zip.setZipFilename(path(QStringLiteral("damaged.zip")));
        zip.setFilesToProcess(names);
        ASSERT_EQ(zip.Add(addmode::Add), zipresult::Success);
        // Overwrite bytes in the middle, inside one entry's data.
        QByteArray bytes = readFile(path(QStringLiteral("damaged.zip")));
        bytes.replace(bytes.size() / 2, 300, QByteArray(300, '\xff'));
        writeFile(path(QStringLiteral("damaged.zip")), bytes);
        writeFile(path(QStringLiteral("copy.zip")), bytes);
        rec.log.clear();
    }
    void TearDown() override { QDir::setCurrent(previous); }
    QString path(const QString &name) const { return dir.filePath(name); }

    int goodEntries(const QString &archive)
    {
        ZipMain reader;
        reader.setZipFilename(archive);
        int passed = 0;
        reader.events().Testing = [&](const QString &, qint64) { ++passed; };
        int skipped = 0;
        reader.events().SkippingFile = [&](const QString &, int) { ++skipped; };
        reader.Test();
        return passed - skipped;
    }

    QTemporaryDir dir;
    QString previous;
    ZipMain zip;
    Recorder rec;
};

} // namespace

TEST_F(ZipFixTest, NormalFixKeepsTheEntriesBeforeTheDamageAggressiveFindsTheRest)
{
    EXPECT_EQ(zip.Test(), zipresult::TestFailed);
    ASSERT_EQ(zip.Fix(false), zipresult::Success);
    const QStringList fixed = rec.log.filter(QStringLiteral("Fixing "));
    EXPECT_GE(fixed.size(), 4);
    EXPECT_LT(fixed.size(), 11);
    EXPECT_EQ(fixed.first(), QStringLiteral("Fixing customers1.txt"));
    EXPECT_EQ(zip.Test(), zipresult::Success);
    expectPeersAccept(path(QStringLiteral("damaged.zip")));
    EXPECT_EQ(modeOf(path(QStringLiteral("damaged.zip"))), 0600);

    zip.setZipFilename(path(QStringLiteral("copy.zip")));
    rec.log.clear();
    ASSERT_EQ(zip.Fix(true), zipresult::Success);
    EXPECT_EQ(rec.log.filter(QStringLiteral("Fixing ")).size(), 11);
    EXPECT_EQ(goodEntries(path(QStringLiteral("copy.zip"))), 11);
    expectPeersAccept(path(QStringLiteral("copy.zip")));
}

TEST_F(ZipFixTest, AggressiveFixRecoversAtLeastWhatInfoZipSalvages)
{
    if (!toolInstalled(QStringLiteral("zip")))
        GTEST_SKIP() << "zip is not installed";
    ASSERT_EQ(runTool(QStringLiteral("zip"),
                      {QStringLiteral("-FF"), QStringLiteral("copy.zip"), QStringLiteral("--out"),
                       QStringLiteral("theirs.zip")},
                      dir.path()),
              0);
    const int theirs = goodEntries(path(QStringLiteral("theirs.zip")));
    ASSERT_EQ(zip.Fix(true), zipresult::Success);
    EXPECT_GE(goodEntries(path(QStringLiteral("damaged.zip"))), theirs);
}

TEST_F(ZipFixTest, EntriesWithTrailingDescriptorsAndHopelessFiles)
{
    // Info-ZIP writes sizes after the data when it reads from a pipe.
    if (toolInstalled(QStringLiteral("sh")) && toolInstalled(QStringLiteral("zip"))) {
        ASSERT_EQ(
            runTool(QStringLiteral("sh"),
                    {QStringLiteral("-c"), QStringLiteral("head -c 50000 customers1.txt | zip -q -fd piped.zip -")},
                    dir.path()),
            0);
        QByteArray bytes = readFile(path(QStringLiteral("piped.zip")));
        const qsizetype central = bytes.indexOf(QByteArray("PK\x01\x02", 4));
        ASSERT_GT(central, 0);
        writeFile(path(QStringLiteral("piped.zip")), bytes.left(central)); // no central directory
        zip.setZipFilename(path(QStringLiteral("piped.zip")));
        ASSERT_EQ(zip.Fix(false), zipresult::Success);
        EXPECT_EQ(zip.Test(), zipresult::Success);
        expectPeersAccept(path(QStringLiteral("piped.zip")));
    }

    writeFile(path(QStringLiteral("junk.zip")), QByteArray("nothing of a zip here").repeated(100));
    zip.setZipFilename(path(QStringLiteral("junk.zip")));
    const QByteArray junk = readFile(path(QStringLiteral("junk.zip")));
    EXPECT_EQ(zip.Fix(true), zipresult::CannotFix);
    EXPECT_EQ(readFile(path(QStringLiteral("junk.zip"))), junk) << "a failed fix leaves the file alone";
    zip.setZipFilename(path(QStringLiteral("absent.zip")));
    EXPECT_EQ(zip.Fix(false), zipresult::FileNotFound);

    // Truncated headers and sizes that run past the end are passed over.
    QByteArray rebuilt;
    const QByteArray truncated = readFile(path(QStringLiteral("copy.zip"))).left(25000);
    const RepairOutcome outcome = repairBytes(truncated, true, rebuilt);
    EXPECT_EQ(outcome.code, zipresult::Success);
    EXPECT_EQ(outcome.recovered, 1);
}
