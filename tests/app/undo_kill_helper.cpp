// Undoes the newest kept change of the program folder named by its argument,
// as --undo-last does. The kill test stops it at random moments.
#include "app/UndoFlows.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: undo_kill_helper PROGRAM-FOLDER\n");
        return 2;
    }
    store::setProgramFolder(QString::fromLocal8Bit(argv[1]));
    const app::UndoOutcome outcome = app::undoNewestChange(store::programPath(QStringLiteral("\\Vantrel.mdb")));
    if (!outcome.succeeded)
        std::fprintf(stderr, "%s\n", qPrintable(outcome.text));
    return outcome.succeeded ? 0 : 1;
}
