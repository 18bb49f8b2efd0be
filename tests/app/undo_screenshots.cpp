// Saves pictures of the main menu, the undo question and the report after
// an undone import into the folder given as the first argument. Run under
// Xvfb or on the offscreen platform.
#include "app/dlgUndoChange.h"
#include "app/frmMainMenu.h"

#include "support/ScreenshotMain.h"
#include <QApplication>

#include <QTest>

namespace {
void save(QWidget *dialog, const QString &file)
{
    dialog->show();
    if (QTest::qWaitForWindowExposed(dialog))
        dialog->grab().save(file);
    delete dialog;
}
} // namespace

int takeScreenshots(const ScreenshotRun &run)
{
    const QString &out = run.out;
    auto *menu = new app::frmMainMenu;
    menu->show();
    if (QTest::qWaitForWindowExposed(menu)) {
        QApplication::processEvents(); // the picture is painted once the menu is on the screen
        menu->grab().save(out + QStringLiteral("/main-menu.png"));
    }
    delete menu;
    save(app::dlgUndoChange::question({QStringLiteral("Delete Found Records: 1,240 customers, 12/08/2026 14:05"),
                                       QStringLiteral("Import Customers: 3,000 customers, 12/07/2026 09:12"),
                                       QStringLiteral("Delete Found Records: 12 customers, 12/01/2026 17:40")},
                                      nullptr),
         out + QStringLiteral("/undo-question.png"));
    save(
        app::dlgUndoChange::report(
            QStringLiteral("Import Customers: 3,000 customers, 12/07/2026 09:12 was undone: 2,998 customers were "
                           "removed. 2 customers edited since the import stay in place:"),
            {QStringLiteral("Locker 102, Bob Raye (record 5102)"), QStringLiteral("Locker 388, Ann Lee (record 5388)")},
            nullptr),
        out + QStringLiteral("/undo-report.png"));
    return 0;
}
