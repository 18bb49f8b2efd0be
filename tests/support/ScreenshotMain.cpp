#include "support/ScreenshotMain.h"

#include "store/ProgramFolder.h"
#include "store/Schema.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    ScreenshotRun run;
    run.out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(run.out);
    QTemporaryDir folder;
    run.folder = folder.path();
    run.database = QDir(run.folder).filePath(QStringLiteral("Vantrel.mdb"));
    store::setProgramFolder(run.folder);
    store::EngineError e;
    if (!store::Schema::createDeliveredDatabase(run.database, &e)) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text));
        return 1;
    }
    return takeScreenshots(run);
}
