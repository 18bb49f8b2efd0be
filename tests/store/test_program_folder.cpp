#include "store/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(ProgramFolder, BackslashLiteralFindsFileWhateverItsCase)
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("VANTREL.MDB")));
    EXPECT_EQ(store::resolveInFolder(dir.path(), QStringLiteral("\\Vantrel.mdb")),
              dir.filePath(QStringLiteral("VANTREL.MDB")));
    EXPECT_EQ(store::resolveInFolder(dir.path(), QStringLiteral("\\VANTREL.mdb")),
              dir.filePath(QStringLiteral("VANTREL.MDB")));
}

TEST(ProgramFolder, ExactNameWinsAndMissingFileKeepsTheLiteral)
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("Vantrel.mdb")));
    touch(dir.filePath(QStringLiteral("VANTREL.MDB")));
    EXPECT_EQ(store::resolveInFolder(dir.path(), QStringLiteral("\\VANTREL.MDB")),
              dir.filePath(QStringLiteral("VANTREL.MDB")));
    EXPECT_EQ(store::resolveInFolder(dir.path(), QStringLiteral("\\Vantrel.mdb")),
              dir.filePath(QStringLiteral("Vantrel.mdb")));
    EXPECT_EQ(store::resolveInFolder(dir.path(), QStringLiteral("\\VANTRELOLD.MDB")),
              dir.filePath(QStringLiteral("VANTRELOLD.MDB")));
}

TEST(ProgramFolder, ProgramPathUsesTheSetFolder)
{
    QTemporaryDir dir;
    const QString previous = store::programFolder();
    store::setProgramFolder(dir.path());
    touch(dir.filePath(QStringLiteral("complete.RPT")));
    EXPECT_EQ(store::programPath(QStringLiteral("\\Complete.rpt")), dir.filePath(QStringLiteral("complete.RPT")));
    store::setProgramFolder(previous);
}

} // namespace
