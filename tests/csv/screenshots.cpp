// Saves a picture of the import preview on a file with good and bad rows
// into the folder given as the first argument. Run under Xvfb.
#include "CsvTestData.h"

#include "csv/CsvImport.h"
#include "csv/dlgImportPreview.h"
#include "support/ScreenshotMain.h"

#include <QApplication>
#include <QDir>
#include <QTest>

int takeScreenshots(const ScreenshotRun &run)
{
    const QString &out = run.out;
    const QString &db = run.database;
    const QString csvPath = QDir(run.folder).filePath(QStringLiteral("customers.csv"));
    csv_testing::writeFile(csvPath,
                           "LockerNumber,First Name,Last Name,DateRented,Phone1,Adult,Nickname\n"
                           "101,Ann,Zimmer,01/15/2024,217-555-0147,Yes,Annie\n"
                           "9999999999,Bob,Adams,02/30/2024,(217)555-0100,No,Bobby\n"
                           "103,Carla,\"Moreno, Jr.\",2024-03-01,,True,\n"
                           "104,Dave,Baker,01/15/24 00:00:00,call me,maybe,D\n");
    auto import = std::make_unique<csv::CsvImport>();
    QString error;
    if (!import->open(csvPath, db, &error))
        return 2;
    csv::dlgImportPreview preview(std::move(import), db);
    preview.show();
    if (!QTest::qWaitForWindowExposed(&preview))
        return 3;
    QApplication::processEvents();
    preview.grab().save(out + QStringLiteral("/import-preview.png"));
    return 0;
}
