// Compacts (or, with "repair", repairs and compacts) the database of the
// program folder named by its argument, the way the main menu's "&Compress"
// and "&Repair" do, without the closing box. The crash test
// kills it at random moments.
#include "maintenance/InPlaceMaintenance.h"
#include "store/ProgramFolder.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool repair = argc == 3 && std::strcmp(argv[2], "repair") == 0;
    if (argc != 2 && !repair) {
        std::fprintf(stderr, "usage: crash_helper PROGRAM-FOLDER [repair]\n");
        return 2;
    }
    store::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    maintenance::InPlaceMaintenance maintenance;
    const maintenance::Outcome outcome = repair ? maintenance.repair() : maintenance.compress();
    if (!outcome.succeeded())
        std::fprintf(stderr, "%s\n", qPrintable(outcome.error.text));
    return outcome.succeeded() ? 0 : 1;
}
