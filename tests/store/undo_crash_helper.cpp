// Deletes the customers with a yes in Adult, keeping them ("delete"), or
// undoes the newest kept change ("undo"), in the database file named by its
// first argument. The crash test kills it at random moments.
#include "store/Database.h"
#include "store/KeptChanges.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 || (std::strcmp(argv[2], "delete") != 0 && std::strcmp(argv[2], "undo") != 0)) {
        std::fprintf(stderr, "usage: undo_crash_helper DATABASE delete|undo\n");
        return 2;
    }
    store::EngineError e;
    auto db = store::Database::open(QString::fromLocal8Bit(argv[1]), &e);
    bool done = false;
    if (db && std::strcmp(argv[2], "delete") == 0) {
        done = db->Execute(QStringLiteral("Delete * From Information Where [Adult] = YES"), &e, nullptr,
                           QStringLiteral("Delete Found Records"));
    } else if (db) {
        store::UndoResult result;
        done = store::KeptChanges(db->handle()).undoLast(&result, &e);
    }
    if (!done)
        std::fprintf(stderr, "%s\n", qPrintable(e.text));
    return done ? 0 : 1;
}
