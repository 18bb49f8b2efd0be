#include "app/UserGuide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {

namespace {
QStringList &chosenFolders()
{
    static QStringList folders;
    return folders;
}
} // namespace

void UserGuide::setFolders(const QStringList &folders)
{
    chosenFolders() = folders;
}

QStringList UserGuide::expectedFolders()
{
    if (!chosenFolders().isEmpty())
        return chosenFolders();
    // Installed: beside the delivered files. Run from the build: the
    // build's guide folder, when the program is the build's own.
    const QDir bin(QCoreApplication::applicationDirPath());
    QStringList folders{
        QDir::cleanPath(bin.filePath(QStringLiteral(VANTREL_DELIVERED_RELATIVE) + QStringLiteral("/guide")))};
    const QString build = QStringLiteral(VANTREL_BUILD_GUIDE_FOLDER);
    if (QFileInfo(bin.absolutePath()) == QFileInfo(QStringLiteral(VANTREL_BUILD_PROGRAM_FOLDER)))
        folders.prepend(build);
    return folders;
}

QString UserGuide::indexPage()
{
    for (const QString &folder : expectedFolders()) {
        const QFileInfo page(QDir(folder).filePath(QStringLiteral("index.html")));
        if (page.isFile())
            return page.absoluteFilePath();
    }
    return QString();
}

} // namespace app
