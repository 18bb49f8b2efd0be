#include "ZipTestKit.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ziptest {

QByteArray sampleData(qint64 size, quint32 seed, bool incompressible)
{
    QRandomGenerator random(seed);
    QByteArray data;
    data.reserve(size);
    static const QByteArray words[] = {"SMITH", "LOCKER ", "2026-01-31", "JOHNSON", "KEY 114 ", "555-0100 ", "LEAGUE"};
    while (data.size() < size) {
        if (incompressible || random.bounded(3) == 0) {
            for (int i = 0; i < 64; ++i)
                data.append(char(random.generate() & 0xff));
        } else {
            data.append(words[random.bounded(7)]);
        }
    }
    data.truncate(size);
    return data;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

bool toolInstalled(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

int runTool(const QString &program, const QStringList &arguments, const QString &folder, QString *output)
{
    if (!toolInstalled(program))
        return -1;
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

void expectPeersAccept(const QString &archive, const QString &password)
{
    QString said;
    if (password.isEmpty() && toolInstalled(QStringLiteral("unzip"))) {
        EXPECT_EQ(runTool(QStringLiteral("unzip"), {QStringLiteral("-t"), archive}, QString(), &said), 0)
            << said.toStdString();
    }
    if (toolInstalled(QStringLiteral("7z"))) {
        QStringList args{QStringLiteral("t")};
        if (!password.isEmpty())
            args << QStringLiteral("-p") + password;
        args << archive;
        EXPECT_EQ(runTool(QStringLiteral("7z"), args, QString(), &said), 0) << said.toStdString();
    }
}

void Recorder::attach(backup::ZipMain &zip)
{
    backup::ZipEvents &e = zip.events();
    auto sized = [this](const char *kind) {
        return [this, kind](const QString &name, qint64 size) {
            log << QStringLiteral("%1 %2 %3").arg(QLatin1String(kind), name).arg(size);
        };
    };
    e.Adding = sized("Adding");
    e.Updating = sized("Updating");
    e.Extracting = sized("Extracting");
    e.Testing = sized("Testing");
    e.Deleting = [this](const QString &name) { log << QStringLiteral("Deleting ") + name; };
    e.Fixing = [this](const QString &name) { log << QStringLiteral("Fixing ") + name; };
    e.Listing = [this](const QString &name, qint64 size, qint64 packed, const QString &time, int ratio) {
        log << QStringLiteral("Listing %1 %2 %3 %4 %5").arg(name).arg(size).arg(packed).arg(time).arg(ratio);
    };
    e.Status = [this](int percent) {
        status << percent;
        if (onStatus)
            onStatus(percent);
    };
    e.Newdisk = [this](int disk) {
        disks << disk;
        if (onNewdisk)
            onNewdisk(disk);
    };
    e.Replace = [this](const QString &name, int &cmd) {
        log << QStringLiteral("Replace ") + QFileInfo(name).fileName();
        if (onReplace)
            onReplace(name, cmd);
    };
    e.SkippingFile = [this](const QString &name, int reason) {
        log << QStringLiteral("Skipping %1 %2").arg(name).arg(reason);
    };
}

SimulatedDriveA::SimulatedDriveA(const QString &folder, qint64 diskSize)
{
    qputenv("VANTREL_DRIVE_A", QFile::encodeName(folder));
    qputenv("VANTREL_DISK_SIZE", QByteArray::number(diskSize));
}

SimulatedDriveA::~SimulatedDriveA()
{
    qunsetenv("VANTREL_DRIVE_A");
    qunsetenv("VANTREL_DISK_SIZE");
}

} // namespace ziptest
