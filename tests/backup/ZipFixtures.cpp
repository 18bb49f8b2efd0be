#include "ZipFixtures.h"

#include "maintenance/DatabaseFiles.h"
#include "store/Statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

int runTool(const QString &program, const QStringList &arguments, const QString &folder, QString *output)
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted())
        return -1;
    p.closeWriteChannel(); // a tool that asks for a password gets no answer
    if (!p.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void zipWithInfoZip(const QString &archive, const QString &folder, const QStringList &names)
{
    QString out;
    ASSERT_EQ(runTool("zip", QStringList{"-q", "-r", archive} + names, folder, &out), 0) << out.toStdString();
}

QStringList smallFiles(const QString &folder, int count)
{
    QStringList names;
    for (int n = 1; n <= count; ++n) {
        const QString name = QString::number(n) + ".txt";
        QFile f(QDir(folder).filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("line ").repeated(n % 7 + 1));
        names << name;
    }
    return names;
}

void writeEmptyArchive(const QString &archive)
{
    QFile f(archive);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray end("PK\x05\x06", 4);
    end.append(QByteArray(18, '\0'));
    f.write(end);
}

void growDatabase(const QString &path, int megabytes)
{
    // About 1300 bytes a row, of which the notes compress to about half.
    insertVariedCustomers(path, megabytes * 780);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    store::EngineError e;
    EXPECT_TRUE(store::execSql(db, "UPDATE Information SET Notes = hex(randomblob(500))", &e)) << e.text.toStdString();
    sqlite3_close(db);
}

int joinDiskSet(const QString &driveFolder, const QString &archiveName, const QString &workFolder,
                const QString &joined)
{
    const QString base = QFileInfo(archiveName).completeBaseName();
    int parts = 0;
    for (int n = 1;; ++n) {
        const QString disk = QDir(driveFolder).filePath(QString(".disks/%1").arg(n));
        if (!QFileInfo::exists(disk))
            break;
        QString part;
        const QStringList files = QFileInfo(disk).isDir() ? QDir(disk).entryList(QDir::Files) : QStringList();
        part = QFileInfo(disk).isDir() ? QDir(disk).filePath(files.value(0)) : disk;
        EXPECT_TRUE(
            QFile::copy(part, QDir(workFolder).filePath(QString("%1.z%2").arg(base).arg(n, 2, 10, QChar('0')))));
        ++parts;
    }
    EXPECT_TRUE(QFile::copy(QDir(driveFolder).filePath(archiveName), QDir(workFolder).filePath(base + ".zip")));
    ++parts;
    QString out;
    EXPECT_EQ(runTool("zip", {"-q", "-s", "0", base + ".zip", "--out", joined}, workFolder, &out), 0)
        << out.toStdString();
    return parts;
}

} // namespace testing_support
