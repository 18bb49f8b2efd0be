// Compacts the database of the program folder named by its argument, the way
// the main menu's "&Compress" does, without the closing box. The crash test
// kills it at random moments.
#include "maintenance/InPlaceMaintenance.h"
#include "store/ProgramFolder.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: crash_helper PROGRAM-FOLDER\n");
        return 2;
    }
    store::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    const maintenance::Outcome outcome = maintenance::InPlaceMaintenance().compress();
    if (!outcome.succeeded())
        std::fprintf(stderr, "%s\n", qPrintable(outcome.error.text));
    return outcome.succeeded() ? 0 : 1;
}
