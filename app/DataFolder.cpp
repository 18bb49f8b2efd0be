#include "app/DataFolder.h"

#include "store/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace app {

namespace {

bool sameFolder(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

const QString kDatabase = QStringLiteral("\\Vantrel.mdb");

} // namespace

ProgramFolderChoice chooseProgramFolder(const FolderLayout &layout)
{
    const bool delivered = QFileInfo::exists(store::resolveInFolder(layout.deliveredFolder, kDatabase));
    if (sameFolder(layout.executableFolder, layout.buildFolder)
        || QFileInfo::exists(store::resolveInFolder(layout.executableFolder, kDatabase)) || !delivered)
        return {layout.executableFolder, false, {}};

    if (!layout.siteSettingsFile.isEmpty() && QFileInfo::exists(layout.siteSettingsFile)) {
        const QSettings site(layout.siteSettingsFile, QSettings::IniFormat);
        const QString folder = site.value(QStringLiteral("DataFolder")).toString().trimmed();
        if (site.status() != QSettings::NoError)
            return {{}, true, QStringLiteral("The settings file %1 cannot be read.").arg(layout.siteSettingsFile)};
        if (!folder.isEmpty()) {
            if (QDir::isRelativePath(folder))
                return {{},
                        true,
                        QStringLiteral("The data folder \"%1\" set in %2 is not a full path.")
                            .arg(folder, layout.siteSettingsFile)};
            return {QDir::cleanPath(folder), true, {}};
        }
    }
    if (layout.userDataFolder.isEmpty())
        return {{}, true, QStringLiteral("This account has no folder for its data (is HOME set?).")};
    return {layout.userDataFolder, true, {}};
}

bool fillDataFolder(const QString &folder, const QString &deliveredFolder, QString *error)
{
    const QFileInfo info(folder);
    if (!info.isDir()) {
        // Created owner-only: the database holds social security numbers.
        // Missing parents (~/.local/share) get the usual rights.
        if (!QDir().mkpath(info.absolutePath())
            || !QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            *error = QStringLiteral("The data folder %1 cannot be created.").arg(folder);
            return false;
        }
    }
    const QStringList delivered = QDir(deliveredFolder).entryList(QDir::Files, QDir::Name);
    if (delivered.isEmpty()) {
        *error = QStringLiteral("The delivered files are missing from %1.").arg(deliveredFolder);
        return false;
    }
    for (const QString &name : delivered) {
        const QString literal = QLatin1Char('\\') + name;
        if (QFileInfo::exists(store::resolveInFolder(folder, literal)))
            continue;
        const QString target = QDir(folder).filePath(name);
        // QFile::copy writes a temporary file and renames it without
        // replacing: a file that appeared meanwhile stays, and a half copy
        // never carries the name.
        QFile source(QDir(deliveredFolder).filePath(name));
        if (!source.copy(target)) {
            if (QFileInfo::exists(target))
                continue;
            *error = QStringLiteral("%1 cannot be copied into %2: %3").arg(name, folder, source.errorString());
            return false;
        }
        const bool database = name.compare(kDatabase.mid(1), Qt::CaseInsensitive) == 0;
        const QFile::Permissions rights = database
            ? QFile::ReadOwner | QFile::WriteOwner
            : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        if (!QFile::setPermissions(target, rights)) {
            *error = QStringLiteral("The rights of %1 cannot be set.").arg(target);
            return false;
        }
    }
    return true;
}

FolderLayout runningLayout()
{
    // The running executable, found without an application object: --help
    // names the folder before one exists.
    const QString executableFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    FolderLayout layout;
    layout.executableFolder = executableFolder;
    layout.buildFolder = QStringLiteral(VANTREL_BUILD_PROGRAM_FOLDER);
    layout.deliveredFolder = QDir::cleanPath(executableFolder + QStringLiteral("/" VANTREL_DELIVERED_RELATIVE));
    layout.siteSettingsFile = QStringLiteral(VANTREL_SITE_SETTINGS);
    layout.userDataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return layout;
}

bool setUpProgramFolder(QString *error)
{
    const FolderLayout layout = runningLayout();
    const ProgramFolderChoice choice = chooseProgramFolder(layout);
    if (!choice.error.isEmpty()) {
        *error = choice.error;
        return false;
    }
    if (choice.installed && !fillDataFolder(choice.folder, layout.deliveredFolder, error))
        return false;
    store::setProgramFolder(choice.folder);
    return true;
}

} // namespace app
