#include "backup/RestoreTarget.h"

#include "store/OutputPaths.h"

#include <QDir>
#include <QFileInfo>

namespace backup {

RestoreTarget::RestoreTarget(const QString &folder, bool programFolderOnly)
    : m_folder(QDir(folder).absolutePath())
    , m_canonicalFolder(QFileInfo(folder).canonicalFilePath())
    , m_programFolderOnly(programFolderOnly)
{
}

QString RestoreTarget::refusal(const QString &destination) const
{
    if (m_programFolderOnly) {
        const QStringList parts = QDir(m_folder).relativeFilePath(destination).split(QLatin1Char('/'));
        for (const QString &part : parts)
            if (part.startsWith(QLatin1Char('.')))
                return QStringLiteral("a hidden name (it begins with a dot), which a restore never puts into the "
                                      "program folder");
        if (m_canonicalFolder.isEmpty()
            || !store::landingPath(destination).startsWith(m_canonicalFolder + QLatin1Char('/')))
            return QStringLiteral("a link leads it out of the program folder");
    }
    const QString own = store::ownFile(destination, store::OutputKind::RestoredFile);
    return own.isEmpty() ? QString() : QStringLiteral("it would be %1").arg(own);
}

} // namespace backup
