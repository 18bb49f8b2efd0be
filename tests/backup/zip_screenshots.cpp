// Saves a picture of the extract-folder dialog into the folder given as the
// first argument. Run under Xvfb to see what an operator sees.
#include "backup/XZIPDEMO1.h"
#include "zip/ZipMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    QTemporaryDir folder;
    for (const char *sub : {"Backups", "Database", "Reports", "Restore"})
        QDir(folder.path()).mkpath(QString::fromLatin1(sub));
    QDir::setCurrent(folder.path());

    backup::ZipMain zip;
    backup::ExtractDialog dialog(zip);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    QTest::qWait(200);
    return dialog.grab().save(QDir(out).filePath(QStringLiteral("ExtractDialog.png"))) ? 0 : 1;
}
