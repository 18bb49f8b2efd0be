// Backs the database of the program folder named by its first argument up,
// as the automatic backup does to drive A on a removable volume (the folder
// named by the second argument), to drive A on a folder (--drive-a: the
// folder VANTREL_DRIVE_A names), or as `vantrel --backup DEST.zip` does
// (--to DEST.zip). The crash tests kill it at random moments.
#include "ZipFixtures.h"

#include "backup/DatabaseArchive.h"
#include "store/ProgramFolder.h"
#include "zip/ZipMain.h"
#include "zip/ZipResults.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() < 2 || (arguments.at(1) == QLatin1String("--to") && arguments.size() != 3)) {
        std::fprintf(stderr, "usage: backup_crash_helper PROGRAM-FOLDER (VOLUME-FOLDER | --drive-a | --to DEST.zip)\n");
        return 2;
    }
    store::setProgramFolder(arguments.at(0));
    const QString database = store::programPath(QStringLiteral("\\Vantrel.mdb"));
    if (arguments.at(1) == QLatin1String("--to")) {
        const backup::ArchiveOutcome o = backup::writeBackupArchive(arguments.at(2), database, QString());
        if (!o.succeeded())
            std::fprintf(stderr, "%d %s\n", int(o.code), qPrintable(o.error.text));
        return o.succeeded() ? 0 : 1;
    }
    if (arguments.at(1) != QLatin1String("--drive-a")) {
        qunsetenv("VANTREL_DRIVE_A");
        platform::setRemovableVolumeSource(
            std::make_unique<testing_support::FolderVolumes>(QList<platform::RemovableVolume>{
                {QStringLiteral("CRASH-STICK"), arguments.at(1), QStringLiteral("/dev/sdx1"), QStringLiteral("STICK"),
                 QString(), 0, false}}));
    }
    backup::ZipMain zip;
    zip.setMultidisk(true);
    zip.setClearDisks(true);
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    const backup::ArchiveOutcome o = backup::addDatabase(zip, 0, database);
    if (!o.succeeded())
        std::fprintf(stderr, "%d %s%s\n", int(o.code), qPrintable(o.error.text),
                     qPrintable(backup::resultMessageText(o.code, QStringLiteral("adding"), true)));
    return o.succeeded() ? 0 : 1;
}
