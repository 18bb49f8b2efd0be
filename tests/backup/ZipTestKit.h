#pragma once

#include "zip/ZipMain.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace ziptest {

// Bytes that compress about as well as a database file: runs of text
// between random bytes.
QByteArray sampleData(qint64 size, quint32 seed, bool incompressible = false);
void writeFile(const QString &path, const QByteArray &data);
QByteArray readFile(const QString &path);
int modeOf(const QString &path); // permission bits

// Runs a peer program; its exit code, or -1 when it is not installed.
int runTool(const QString &program, const QStringList &arguments, const QString &folder = QString(),
            QString *output = nullptr);
bool toolInstalled(const QString &program);
// unzip -t and 7z t pass (7z alone with a password: unzip has no AES).
void expectPeersAccept(const QString &archive, const QString &password = QString());

// Everything the events reported, in order.
struct Recorder {
    QStringList log;
    QList<int> status;
    QList<int> disks;
    std::function<void(int)> onNewdisk;
    std::function<void(const QString &, int &)> onReplace;
    std::function<void(int)> onStatus;
    void attach(backup::ZipMain &zip);
};

// Sets VANTREL_DRIVE_A / VANTREL_DISK_SIZE for its lifetime.
class SimulatedDriveA
{
public:
    SimulatedDriveA(const QString &folder, qint64 diskSize);
    ~SimulatedDriveA();
};

} // namespace ziptest
