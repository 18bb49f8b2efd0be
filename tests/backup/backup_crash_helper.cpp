// Backs the database of the program folder named by its first argument up
// to drive A on a removable volume, the folder named by its second, the way
// the automatic backup does. The crash test kills it at random moments.
#include "ZipFixtures.h"

#include "backup/DatabaseArchive.h"
#include "store/ProgramFolder.h"
#include "zip/ZipMain.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: backup_crash_helper PROGRAM-FOLDER VOLUME-FOLDER\n");
        return 2;
    }
    qunsetenv("VANTREL_DRIVE_A");
    store::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    platform::setRemovableVolumeSource(std::make_unique<testing_support::FolderVolumes>(
        QList<platform::RemovableVolume>{{QStringLiteral("CRASH-STICK"), QString::fromLocal8Bit(argv[2]),
                                          QStringLiteral("/dev/sdx1"), QStringLiteral("STICK"), QString(), 0, false}}));
    backup::ZipMain zip;
    zip.setMultidisk(true);
    zip.setClearDisks(true);
    zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
    const backup::ArchiveOutcome o = backup::addDatabase(zip, 0, store::programPath(QStringLiteral("\\Vantrel.mdb")));
    if (!o.succeeded())
        std::fprintf(stderr, "%d %s\n", int(o.code), qPrintable(o.error.text));
    return o.succeeded() ? 0 : 1;
}
