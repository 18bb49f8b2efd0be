// Restores the database of the program folder named by its first argument
// from the archive named by its second, the way the backup window's restore
// does, without the questions. The crash test kills it at random moments.
#include "backup/DatabaseArchive.h"
#include "store/ProgramFolder.h"
#include "zip/ZipMain.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: restore_crash_helper PROGRAM-FOLDER ARCHIVE\n");
        return 2;
    }
    store::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    backup::ZipMain zip;
    zip.setZipFilename(QString::fromLocal8Bit(argv[2]));
    const backup::ArchiveOutcome o = backup::restoreDatabase(zip, QStringLiteral("Vantrel.mdb"),
                                                             store::programPath(QStringLiteral("\\Vantrel.mdb")));
    if (!o.succeeded())
        std::fprintf(stderr, "%d %s\n", int(o.code), qPrintable(o.error.text));
    return o.succeeded() ? 0 : 1;
}
