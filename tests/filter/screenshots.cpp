// Opens the filter window over a record window with three filter rows and
// two sort rows and saves its picture into the folder given as the first
// argument. Run under Xvfb to see what an operator sees.
#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "support/ScreenshotMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {
void choose(filter::frmFindWindow &w, const QString &list, const QString &text)
{
    auto *l = w.findChild<QComboBox *>(list);
    const int i = l->findText(text);
    l->setCurrentIndex(i);
    emit l->activated(i);
}
} // namespace

int takeScreenshots(const ScreenshotRun &run)
{
    const QString &out = run.out;
    auto *record = new customers::frmInformation;
    record->show();
    filter::frmFindWindow find;
    find.showFor(record);
    (void)QTest::qWaitForWindowExposed(&find);
    find.AdvancedButton_Click();
    choose(find, QStringLiteral("Field_0"), QStringLiteral("LastName"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_0"))->setText(QStringLiteral("SMITH"));
    choose(find, QStringLiteral("Condition_0"), QStringLiteral("And"));
    choose(find, QStringLiteral("Field_1"), QStringLiteral("DateToRenew"));
    choose(find, QStringLiteral("Operator_1"), QStringLiteral("Is Less Than or Equal To"));
    find.findChild<QLineEdit *>(QStringLiteral("Criteria_1"))->setText(QStringLiteral("12/31/2026"));
    choose(find, QStringLiteral("Condition_1"), QStringLiteral("Or"));
    choose(find, QStringLiteral("Field_2"), QStringLiteral("Adult"));
    choose(find, QStringLiteral("SortField_0"), QStringLiteral("LastName"));
    choose(find, QStringLiteral("SortField_1"), QStringLiteral("FirstName"));
    choose(find, QStringLiteral("SortOrder_1"), QStringLiteral("Descending"));
    QApplication::processEvents();
    find.grab().save(out + QStringLiteral("/filter-window.png"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(out + QStringLiteral("/filter-window-screen.png"));
    find.CancelButton_Click();
    record->close();
    return 0;
}
