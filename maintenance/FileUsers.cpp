#include "maintenance/FileUsers.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace maintenance {

QList<qint64> processesHoldingOpen(const QString &path)
{
    QList<qint64> holders;
    struct stat target {
    };
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return holders;

    const QDir proc(QStringLiteral("/proc"));
    const QStringList processes = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : processes) {
        bool numeric = false;
        const qint64 id = pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        // Processes of other users are not readable; they cannot hold our file.
        const QStringList entries = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : entries) {
            struct stat opened {
            };
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &opened) == 0 && opened.st_dev == target.st_dev
                && opened.st_ino == target.st_ino) {
                holders << id;
                break;
            }
        }
    }
    return holders;
}

} // namespace maintenance
