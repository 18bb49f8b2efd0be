#include "store/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace store {

namespace {
QString &folderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString &folder)
{
    folderOverride() = folder;
}

namespace {
QString relativePart(const QString &backslashLiteral)
{
    QString relative = backslashLiteral;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    return relative;
}
} // namespace

QString resolveInFolder(const QString &folder, const QString &backslashLiteral)
{
    const QString relative = relativePart(backslashLiteral);

    const QDir dir(folder);
    const QString asWritten = dir.filePath(relative);
    if (relative.isEmpty() || relative.contains(QLatin1Char('/')) || QFileInfo::exists(asWritten))
        return QDir::toNativeSeparators(asWritten);

    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(relative, Qt::CaseInsensitive) == 0)
            return QDir::toNativeSeparators(dir.filePath(entry));
    }
    return QDir::toNativeSeparators(asWritten);
}

QString programPath(const QString &backslashLiteral)
{
    return resolveInFolder(programFolder(), backslashLiteral);
}

QString programPathAsWritten(const QString &backslashLiteral)
{
    return QDir::toNativeSeparators(QDir(programFolder()).filePath(relativePart(backslashLiteral)));
}

} // namespace store
