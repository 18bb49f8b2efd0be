// Opens the record window and the list window on a few customers and saves
// a picture of each, and of the whole screen, into the folder given as the
// first argument. Run under Xvfb at 1024x768 to see what an operator sees.
#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "support/Customers.h"
#include "support/ScreenshotMain.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

int takeScreenshots(const ScreenshotRun &run)
{
    const QString &out = run.out;
    const QString &db = run.database;
    const char *names[][3] = {{"Ann", "Zimmer", "Springfield"},
                              {"Bob", "Adams", "Shelbyville"},
                              {"Carla", "Moreno", "Ogdenville"},
                              {"Dave", "Baker", "Springfield"}};
    for (int i = 0; i < 4; ++i)
        testing_support::insertCustomer(db,
                                        {{"LockerNumber", 101 + i},
                                         {"KeyNumber", 5001 + i},
                                         {"KeyDeposit", 10},
                                         {"Combo1", "12-34-56"},
                                         {"DateRented", QDate(2024, 1, 15).addDays(i * 20)},
                                         {"DateToRenew", QDate(2025, 1, 14).addDays(i * 20)},
                                         {"FirstName", names[i][0]},
                                         {"LastName", names[i][1]},
                                         {"Address1", "742 Evergreen Terrace"},
                                         {"City", names[i][2]},
                                         {"State", "IL"},
                                         {"Zip", "62704-1234"},
                                         {"Phone1", "(217)555-0147"},
                                         {"EMail", "bowler@example.com"},
                                         {"Birthdate", "05/12/1980"},
                                         {"SSNumber", "123-45-6789"},
                                         {"Gender", "F"},
                                         {"VIBNumber", 0},
                                         {"Adult", 1},
                                         {"MixedLeague", 1},
                                         {"Winter", 1},
                                         {"Notes", "Prefers the end locker."},
                                         {"WorkName", "Kwik Mart"}});

    auto *record = new customers::frmInformation;
    record->show();
    if (!QTest::qWaitForWindowExposed(record))
        return 2;
    QApplication::processEvents();
    record->grab().save(out + QStringLiteral("/record-window.png"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(out + QStringLiteral("/record-window-screen.png"));

    record->findChild<QAction *>(QStringLiteral("MnuSortName"))->trigger();
    record->findChild<QAction *>(QStringLiteral("MnuList"))->trigger();
    QWidget *list = record->listWindow();
    if (!list || !QTest::qWaitForWindowExposed(list))
        return 3;
    QApplication::processEvents();
    list->grab().save(out + QStringLiteral("/list-window.png"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(out + QStringLiteral("/list-window-screen.png"));
    record->close();
    return 0;
}
