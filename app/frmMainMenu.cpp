#include "app/frmMainMenu.h"

#include "about/ProgramPicture.h"
#include "about/frmAbout.h"
#include "app/ClickableImage.h"
#include "app/ServerChoice.h"
#include "app/UndoFlows.h"
#include "app/UserGuide.h"
#include "app/dlgDatabaseConnection.h"
#include "backup/frmZipCreate.h"
#include "center/frmCenterInformation.h"
#include "csv/CsvFlows.h"
#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"
#include "lockermap/frmLockerMap.h"
#include "lockermap/frmYearAhead.h"
#include "maintenance/MaintenanceCommands.h"
#include "platform/LongOperation.h"
#include "platform/Services.h"
#include "reports/ui/CrystalReport.h"
#include "reports/ui/frmDate.h"
#include "store/DatabaseChoice.h"
#include "store/ProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

namespace {
const QSize kPictureSize(480, 280);
} // namespace

frmMainMenu::frmMainMenu(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMainMenu"));
    setWindowTitle(ServerChoice::mainMenuCaption());
    m_exit = [] { QCoreApplication::exit(0); };
    createMenus();
    createControls();
    // The picture and the icon are painted once the menu is on the screen:
    // the operator sees the window without waiting for them.
    QTimer::singleShot(0, this, [this] {
        Image1->setPixmap(about::programPicture(kPictureSize));
        setWindowIcon(about::programIcon());
    });
    customers::frmInformation::setFilterWindowLauncher(
        [this](customers::frmInformation &window) { findWindow()->execFor(&window); });
    customers::frmListWindow::setExportLauncher(
        [](customers::frmListWindow &window) { csv::exportCustomers(&window, window.data()->recordset()); });
    // The record window prints the filter that the filter window last
    // generated: its formula and sort keys wait in the hidden labels.
    customers::frmInformation::setReportFilterSource([this] {
        customers::ReportFilter filter;
        if (!m_find)
            return filter;
        auto caption = [this](const char *name) {
            const QLabel *label = m_find->findChild<QLabel *>(QLatin1String(name));
            return label ? label->text() : QString();
        };
        filter.formula = caption("Label4");
        filter.selection = m_find->reportSelection();
        filter.sortKeys = {caption("Label6"), caption("Label7"), caption("Label8")};
        return filter;
    });
}

frmMainMenu::~frmMainMenu()
{
    customers::frmInformation::setFilterWindowLauncher(nullptr);
    customers::frmListWindow::setExportLauncher(nullptr);
    customers::frmInformation::setReportFilterSource(nullptr);
    // Windows that live beside the main menu go with it.
    delete m_about;
    delete m_center;
    delete m_lockerMap;
    delete m_yearAhead;
    delete m_information;
}

customers::frmInformation *frmMainMenu::informationWindow() const
{
    return m_information;
}

filter::frmFindWindow *frmMainMenu::findWindow()
{
    if (!m_find)
        m_find = std::make_unique<filter::frmFindWindow>();
    return m_find.get();
}

QAction *frmMainMenu::addItem(QMenu *menu, const QString &name, const QString &caption, void (frmMainMenu::*handler)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void frmMainMenu::createMenus()
{
    QMenu *database = menuBar()->addMenu(QStringLiteral("&Database"));
    database->setObjectName(QStringLiteral("MnuDatabase"));
    addItem(database, QStringLiteral("MnuBackupRestore"), QStringLiteral("&Backup/Restore"),
            &frmMainMenu::MnuBackupRestore_Click);
    addItem(database, QStringLiteral("MnuDatabaseCompress"), QStringLiteral("&Compress"),
            &frmMainMenu::MnuDatabaseCompress_Click);
    addItem(database, QStringLiteral("MnuDatabaseRepair"), QStringLiteral("&Repair"),
            &frmMainMenu::MnuDatabaseRepair_Click);
    addItem(database, QStringLiteral("MnuDatabaseExport"), QStringLiteral("E&xport Customers..."),
            &frmMainMenu::MnuDatabaseExport_Click);
    addItem(database, QStringLiteral("MnuDatabaseImport"), QStringLiteral("&Import Customers..."),
            &frmMainMenu::MnuDatabaseImport_Click);
    addItem(database, QStringLiteral("MnuDatabaseUndo"), QStringLiteral("&Undo Last Change..."),
            &frmMainMenu::MnuDatabaseUndo_Click);
    addItem(database, QStringLiteral("MnuDatabaseConnection"), QStringLiteral("Database &Connection..."),
            &frmMainMenu::MnuDatabaseConnection_Click);

    QMenu *print = menuBar()->addMenu(QStringLiteral("&Print"));
    print->setObjectName(QStringLiteral("MnuPrint"));
    QMenu *due = print->addMenu(QStringLiteral("&Locker Due Notices"));
    due->setObjectName(QStringLiteral("MnuPrintLockersDue"));
    due->menuAction()->setObjectName(QStringLiteral("MnuPrintLockersDue"));
    MnuPrintMail =
        addItem(due, QStringLiteral("MnuPrintMail"), QStringLiteral("To Be &Mailed"), &frmMainMenu::MnuPrintMail_Click);
    MnuPrintLocker = addItem(due, QStringLiteral("MnuPrintLocker"), QStringLiteral("For the &Locker"),
                             &frmMainMenu::MnuPrintLocker_Click);
    // The marks are state read by the expiry-date dialog, not toggles the
    // operator flips: the handlers set them.
    for (QAction *a : {MnuPrintMail, MnuPrintLocker}) {
        a->setCheckable(true);
        a->setChecked(false);
    }
    addItem(print, QStringLiteral("MnuPrintComplete"), QStringLiteral("Complete &Database"),
            &frmMainMenu::MnuPrintComplete_Click);

    QMenu *modify = menuBar()->addMenu(QStringLiteral("&Modify"));
    modify->setObjectName(QStringLiteral("MnuModify"));
    addItem(modify, QStringLiteral("MnuModifyCenterInfo"), QStringLiteral("Center &Information"),
            &frmMainMenu::MnuModifyCenterInfo_Click);
    addItem(modify, QStringLiteral("MnuCustInfo"), QStringLiteral("&Customer Information"),
            &frmMainMenu::MnuCustInfo_Click);
    addItem(modify, QStringLiteral("MnuLockerMap"), QStringLiteral("Locker &Map"), &frmMainMenu::MnuLockerMap_Click);
    addItem(modify, QStringLiteral("MnuYearAhead"), QStringLiteral("The &Year Ahead"),
            &frmMainMenu::MnuYearAhead_Click);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MnuHelp"));
    addItem(help, QStringLiteral("MnuHelpGuide"), QStringLiteral("&User Guide"), &frmMainMenu::MnuHelpGuide_Click)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    // F1 opens the guide from whichever window has the focus.
    menuAction(QStringLiteral("MnuHelpGuide"))->setShortcutContext(Qt::ApplicationShortcut);
    addItem(help, QStringLiteral("MnuHelpAbout"), QStringLiteral("&About"), &frmMainMenu::MnuHelpAbout_Click);

    for (QMenu *m : {database, print, modify, help})
        m->menuAction()->setObjectName(m->objectName());
}

void frmMainMenu::createControls()
{
    auto *central = new QWidget(this);
    Image1 = new ClickableImage(central);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setToolTip(QStringLiteral("CLICK here to maintain your database information"));
    Image1->setAccessibleName(QStringLiteral("CLICK here to maintain your database information"));
    Image1->setFrameShape(QFrame::StyledPanel);
    // The picture's place, kept while it is painted.
    const int frame = 2 * Image1->frameWidth();
    Image1->setFixedSize(kPictureSize + QSize(frame, frame));
    connect(Image1, &ClickableImage::clicked, this, &frmMainMenu::Image1_Click);

    CrystalReport1 = new reports::CrystalReport(this);

    Command1 = new QPushButton(QStringLiteral("E&xit"), central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Click here to exit "));
    Command1->setMinimumWidth(100);
    connect(Command1, &QPushButton::clicked, this, &frmMainMenu::Command1_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(12);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    setCentralWidget(central);
}

QAction *frmMainMenu::menuAction(const QString &name) const
{
    return findChild<QAction *>(name);
}

template<typename Window, typename Factory>
Window *frmMainMenu::showSingle(QPointer<Window> &slot, Factory make)
{
    if (!slot)
        slot = make();
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void frmMainMenu::Command1_Click()
{
    // Ends the program at once: no window runs its closing steps and nobody
    // is asked anything. Only what the operator typed into the record window
    // is written first, and a value the database refuses keeps the program
    // running so that nothing typed is lost.
    if (m_information && !m_information->writePendingEdit())
        return;
    m_exit();
}

void frmMainMenu::Image1_Click()
{
    platform::Hourglass hourglass;
    showSingle(m_information, [] { return new customers::frmInformation; });
}

void frmMainMenu::MnuCustInfo_Click()
{
    Image1_Click();
}

void frmMainMenu::MnuHelpGuide_Click()
{
    const QString page = UserGuide::indexPage();
    if (page.isEmpty()) {
        platform::msgBox(QStringLiteral("The user guide is not installed: there is no index.html in %1.")
                             .arg(UserGuide::expectedFolders().join(QStringLiteral(" or "))),
                         platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        platform::msgBox(QStringLiteral("No browser could open the user guide %1.").arg(page),
                         platform::Buttons::OKOnly, platform::Icon::Exclamation);
}

void frmMainMenu::MnuYearAhead_Click()
{
    platform::Hourglass hourglass;
    showSingle(m_yearAhead, [] { return new lockermap::frmYearAhead; });
}

void frmMainMenu::MnuLockerMap_Click()
{
    platform::Hourglass hourglass;
    showSingle(m_lockerMap, [this] {
        auto *map = new lockermap::frmLockerMap;
        // A cell opens the program's one record window.
        map->setRecordWindowOpener([this] {
            MnuCustInfo_Click();
            return informationWindow();
        });
        return map;
    });
}

bool frmMainMenu::refusedOnServer(const QString &why)
{
    if (!store::DatabaseChoice::onServer())
        return false;
    platform::msgBox(why, platform::Buttons::OKOnly, platform::Icon::Exclamation);
    return true;
}

void frmMainMenu::MnuBackupRestore_Click()
{
    // Making the window waits for the keyring, and a second click may
    // arrive meanwhile: it is the same window.
    if (m_openingBackup)
        return;
    m_openingBackup = true;
    showSingle(m_backup, [] { return new backup::frmZipCreate; });
    m_openingBackup = false;
}

void frmMainMenu::MnuDatabaseCompress_Click()
{
    if (!platform::LongOperation::refuseWhileRunning(QStringLiteral("Compress")))
        return;
    const platform::LongOperation running(QStringLiteral("a compression"));
    maintenance::compressDatabase();
}

void frmMainMenu::MnuDatabaseRepair_Click()
{
    if (!platform::LongOperation::refuseWhileRunning(QStringLiteral("Repair")))
        return;
    const platform::LongOperation running(QStringLiteral("a repair"));
    maintenance::repairDatabase();
}

void frmMainMenu::MnuDatabaseExport_Click()
{
    // With the record window open, what it shows (a filter's rows, in order);
    // otherwise every customer.
    csv::exportCustomers(this, m_information ? m_information->data()->recordset() : nullptr);
}

void frmMainMenu::MnuDatabaseImport_Click()
{
    if (!platform::LongOperation::refuseWhileRunning(QStringLiteral("Import")))
        return;
    csv::importCustomers(this);
}

void frmMainMenu::MnuDatabaseUndo_Click()
{
    if (refusedOnServer(QStringLiteral("Changes to a server's database are not kept for undoing: \"Undo Last "
                                       "Change\" works on the database file of the program folder.")))
        return;
    // An undo rewrites customers or replaces the file: never beside a backup.
    if (!platform::LongOperation::refuseWhileRunning(QStringLiteral("Undo")))
        return;
    const platform::LongOperation running(QStringLiteral("an undo"));
    undoLastChange(this);
}

void frmMainMenu::MnuDatabaseConnection_Click()
{
    // The open windows hold the database in use; they are closed first, so
    // that none goes on working on the other one.
    if (informationWindow() || m_center || m_lockerMap || m_backup) {
        platform::msgBox(QStringLiteral("Close the customer, center, locker map and backup windows first: they "
                                        "work on the database in use."),
                         platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return;
    }
    if (!platform::LongOperation::refuseWhileRunning(QStringLiteral("Database Connection")))
        return;
    dlgDatabaseConnection dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        setWindowTitle(ServerChoice::mainMenuCaption());
}

void frmMainMenu::MnuModifyCenterInfo_Click()
{
    platform::Hourglass hourglass;
    setEnabled(false);
    showSingle(m_center, [this] { return new center::frmCenterInformation(this); });
}

void frmMainMenu::MnuHelpAbout_Click()
{
    setEnabled(false);
    showSingle(m_about, [this] { return new about::frmAbout(this); });
}

void frmMainMenu::MnuPrintMail_Click()
{
    MnuPrintMail->setChecked(true);
    MnuPrintLocker->setChecked(false);
    showDateDialog();
}

void frmMainMenu::MnuPrintLocker_Click()
{
    MnuPrintLocker->setChecked(true);
    MnuPrintMail->setChecked(false);
    showDateDialog();
}

void frmMainMenu::showDateDialog()
{
    // The dialog clears both marks however it closes.
    reports::frmDate dialog(MnuPrintMail, MnuPrintLocker, this);
    dialog.exec();
}

void frmMainMenu::MnuPrintComplete_Click()
{
    platform::Hourglass busy;
    CrystalReport1->setReportFileName(store::programPath(QStringLiteral("\\Complete.rpt")));
    // A report that cannot run is told, not passed over as if it had printed.
    if (!CrystalReport1->setAction(1))
        platform::msgBox(CrystalReport1->LastErrorString(), platform::Buttons::OKOnly, platform::Icon::Exclamation);
}

} // namespace app
