// Pictures of the backup window: idle, busy with the progress bar and Abort,
// and listing an archive, saved into the folder given as the first argument.
// Run under Xvfb to see what an operator sees.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"

#include "backup/frmZipCreate.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "zip/ZipMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    QTemporaryDir folder;
    store::setProgramFolder(folder.path());
    const QString db = QDir(folder.path()).filePath(QStringLiteral("Vantrel.mdb"));
    store::EngineError e;
    if (!store::Schema::createDeliveredDatabase(db, &e))
        return 1;
    testing_support::insertVariedCustomers(db, 40000);
    QDir(folder.path()).mkpath(QStringLiteral("reports"));
    for (const char *name : {"reports/Labels.rpt", "reports/Complete.rpt", "notes.txt"}) {
        QFile f(QDir(folder.path()).filePath(QString::fromLatin1(name)));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("{ \"kind\": \"listing\" }\n").repeated(40));
    }
    const QString archive = QDir(folder.path()).filePath(QStringLiteral("Backup.zip"));
    testing_support::zipWithInfoZip(
        archive, folder.path(),
        {QStringLiteral("Vantrel.mdb"), QStringLiteral("reports"), QStringLiteral("notes.txt")});

    auto *window = new backup::frmZipCreate;
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 2;
    QApplication::processEvents();
    window->grab().save(out + QStringLiteral("/backup-idle.png"));

    // Busy: a test of the archive, pictured half way through the database.
    bool taken = false;
    backup::ZipEvents &events = window->zipMain().events();
    auto status = events.Status;
    events.Status = [&](int completion) {
        status(completion);
        if (!taken && completion >= 50) {
            taken = true;
            QApplication::processEvents();
            window->grab().save(out + QStringLiteral("/backup-busy.png"));
        }
    };
    window->zipMain().setZipFilename(archive);
    window->SetBusy(true);
    window->zipMain().setFilesToProcess(QString());
    window->zipMain().Test();
    window->SetBusy(false);

    window->ListArchive(QStringLiteral("Opening"));
    window->setWindowTitle(archive);
    QApplication::processEvents();
    window->grab().save(out + QStringLiteral("/backup-listing.png"));
    window->close();
    return taken ? 0 : 3;
}
