// Lays the delivered database into the program folder given as argument,
// unless a database file is already there: a rebuild never touches an
// operator's data.
#include "store/ProgramFolder.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-makedb PROGRAM-FOLDER\n");
        return 2;
    }
    const QString path = store::resolveInFolder(QString::fromLocal8Bit(argv[1]), QStringLiteral("\\Vantrel.mdb"));
    if (QFileInfo::exists(path))
        return 0;
    store::EngineError error;
    if (!store::Schema::createDeliveredDatabase(path, &error)) {
        std::fprintf(stderr, "vantrel-makedb: %s\n", qPrintable(error.text));
        return 1;
    }
    std::printf("vantrel-makedb: created %s\n", qPrintable(path));
    return 0;
}
