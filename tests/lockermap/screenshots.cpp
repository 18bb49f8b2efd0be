// Opens the locker map on 300 lockers that show every state and saves
// pictures of it (normal and high contrast) and a printed PDF into the
// folder given as the first argument. Run under Xvfb to see what an
// operator sees.
#include "lockermap/LockerGrid.h"
#include "lockermap/MapSettings.h"
#include "lockermap/frmLockerMap.h"
#include "lockermap/frmYearAhead.h"
#include "store/RawDatabase.h"
#include "support/Customers.h"
#include "support/ScreenshotMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QPrinter>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>

int takeScreenshots(const ScreenshotRun &run)
{
    QStandardPaths::setTestModeEnabled(true);
    lockermap::MapSettings::clear();
    const QString &out = run.out;
    const QDate today(2026, 12, 8);
    const QStringList names = {
        "Zimmer", "Adams",   "Moreno", "Baker", "Nguyen", "O'Brien", "Kowalczyk", "Lee", "Fitzgerald-Hughes",
        "Ito",    "Schmidt", "Okafor"};
    QList<testing_support::CustomerRow> rows;
    const auto rent = [&](int n, const QVariant &expiry, const QString &name) {
        rows.append({{"LockerNumber", n}, {"DateToRenew", expiry}, {"LastName", name}});
    };
    for (int n = 1; n <= 300; ++n) {
        const QString name = names.at(n % names.size());
        switch (n % 10) {
        case 0: break; // vacant
        case 1: rent(n, today.addDays(-n), name); break;
        case 2: rent(n, today.addDays(n % 30), name); break;
        case 3: rent(n, QVariant(), name); break;
        default:
            rent(n, today.addDays(40 + n), name);
            if (n % 25 == 4)
                rent(n, today.addDays(90), names.at((n + 5) % names.size()));
        }
    }
    testing_support::insertCustomers(run.database, rows);
    store::RawDatabase db;
    store::EngineError e;
    if (!db.open(run.database, store::RawDatabase::ReadWrite, &e)
        || !db.exec(QStringLiteral("UPDATE CenterInformation SET YearlyRate = '45', Period = '365'"), &e))
        return 1;
    db.close();

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

    // The year ahead over the same lockers.
    auto *year = new lockermap::frmYearAhead;
    year->setClock([today] { return today; });
    year->show();
    if (!QTest::qWaitForWindowExposed(year))
        return 3;
    QApplication::processEvents();
    year->grab().save(out + QStringLiteral("/year-ahead.png"));
    year->close();
    return 0;
}
