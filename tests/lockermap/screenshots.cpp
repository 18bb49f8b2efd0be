// Opens the locker map on 300 lockers that show every state and saves
// pictures of it (normal and high contrast) and a printed PDF into the
// folder given as the first argument. Run under Xvfb to see what an
// operator sees.
#include "MapRows.h"
#include "lockermap/LockerGrid.h"
#include "lockermap/MapSettings.h"
#include "lockermap/frmLockerMap.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QPrinter>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QStandardPaths::setTestModeEnabled(true);
    lockermap::MapSettings::clear();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    QTemporaryDir folder;
    store::setProgramFolder(folder.path());
    const QString db = QDir(folder.path()).filePath(QStringLiteral("Vantrel.mdb"));
    store::EngineError e;
    if (!store::Schema::createDeliveredDatabase(db, &e))
        return 1;
    const QDate today(2026, 12, 8);
    const QStringList names = {
        "Zimmer", "Adams",   "Moreno", "Baker", "Nguyen", "O'Brien", "Kowalczyk", "Lee", "Fitzgerald-Hughes",
        "Ito",    "Schmidt", "Okafor"};
    {
        testing_support::RawRows rows(db);
        rows.begin();
        for (int n = 1; n <= 300; ++n) {
            const QString name = names.at(n % names.size());
            switch (n % 10) {
            case 0: break; // vacant
            case 1: rows.customer(n, today.addDays(-n).toString(Qt::ISODate), name); break;
            case 2: rows.customer(n, today.addDays(n % 30).toString(Qt::ISODate), name); break;
            case 3: rows.customer(n, QVariant(), name); break;
            default:
                rows.customer(n, today.addDays(40 + n).toString(Qt::ISODate), name);
                if (n % 25 == 4)
                    rows.customer(n, today.addDays(90).toString(Qt::ISODate), names.at((n + 5) % names.size()));
            }
        }
        rows.commit();
        rows.setRate(QStringLiteral("45"), QStringLiteral("365"));
    }

    auto *map = new lockermap::frmLockerMap;
    map->setClock([today] { return today; });
    map->findChild<QSpinBox *>(QStringLiteral("txtLast"))->setValue(300);
    map->findChild<QSpinBox *>(QStringLiteral("txtPerRow"))->setValue(20);
    map->resize(map->grid()->sizeHint().width() + 24, 760);
    map->show();
    if (!QTest::qWaitForWindowExposed(map))
        return 2;
    QApplication::processEvents();
    map->grab().save(out + QStringLiteral("/locker-map.png"));

    map->findChild<QCheckBox *>(QStringLiteral("chkHighContrast"))->setChecked(true);
    QApplication::processEvents();
    map->grab().save(out + QStringLiteral("/locker-map-high-contrast.png"));
    map->findChild<QCheckBox *>(QStringLiteral("chkHighContrast"))->setChecked(false);

    map->setPrinterChooser([&](QPrinter &printer, int) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out + QStringLiteral("/locker-map.pdf"));
        return true;
    });
    map->findChild<QAction *>(QStringLiteral("MnuPrint"))->trigger();
    map->close();
    return 0;
}
