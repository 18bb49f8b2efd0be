#include "backup/frmZipCreate.h"

#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "backup/XZIPDEMO1.h"
#include "platform/DriveA.h"
#include "platform/LongOperation.h"
#include "platform/Services.h"
#include "store/ProgramFolder.h"
#include "zip/ZipMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTreeWidget>

namespace backup {

namespace {

using platform::Button;
using platform::Buttons;
using platform::Icon;

const QString kDriveAArchive = QStringLiteral("A:\\VantrelBackup.zip");
const QString kCaption = QStringLiteral("Database Backup ");
const QString kAddFilter = QStringLiteral("All Files|*.*|Database Files (*.mdb)|*.mdb");
// The stored filter of Update names the program's own database file.
const QString kUpdateFilter = QStringLiteral("Database file (Vantrel.mdb)|Vantrel.mdb");

// The design of the window, in twips.
constexpr rules::Layout kDesign{9000, 5400, 120, 4020, 7200, 3960, 9000, 3900};
constexpr int kProgressWidth = 6900, kProgressHeight = 300;
constexpr int kAbortWidth = 1680, kAbortHeight = 420;
constexpr int kColumnWidths[7] = {2100, 1000, 700, 1100, 1100, 700, 1620};

// "desc|pattern|desc|pattern" as the file dialogs of Qt take it.
QString qtFilter(const QString &pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts.at(i);
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace

frmZipCreate::frmZipCreate(QWidget *parent)
    : QMainWindow(parent)
    , ZipMain_(new ZipMain(this))
    , m_password(std::make_unique<BackupPassword>())
    , m_selectFilesFilter(kUpdateFilter)
{
    setObjectName(QStringLiteral("frmZipCreate"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    ZipMain_->setObjectName(QStringLiteral("ZipMain"));
    ZipMain_->setPassword(m_password->current());
    createMenus();
    createControls();
    connectEvents();
    Form_Load();
}

frmZipCreate::~frmZipCreate() = default;

QAction *frmZipCreate::addItem(QMenu *menu, const QString &name, const QString &caption,
                               void (frmZipCreate::*handler)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    m_handlers.insert(action, handler);
    return action;
}

void frmZipCreate::markedByCommands(std::initializer_list<QAction *> items)
{
    // A click must not flip the mark by itself: the commands read it as it
    // was shown and set it themselves. Set back before the handler runs.
    for (QAction *item : items) {
        item->setCheckable(true);
        disconnect(item, &QAction::triggered, nullptr, nullptr);
        connect(item, &QAction::triggered, item, [item](bool now) { item->setChecked(!now); });
        connect(item, &QAction::triggered, this, m_handlers.value(item));
    }
}

void frmZipCreate::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->menuAction()->setObjectName(QStringLiteral("mnuFile"));
    connect(mnuFile, &QMenu::aboutToShow, this, &frmZipCreate::mnuFile_Click);
    mnuFileWizard = addItem(mnuFile, QStringLiteral("mnuFileWizard"), QStringLiteral("&Wizard Backup"),
                            &frmZipCreate::mnuFileWizard_Click);
    addItem(mnuFile, QStringLiteral("mnuFileNew"), QStringLiteral("&New Zipfile..."), &frmZipCreate::mnuFileNew_Click);
    addItem(mnuFile, QStringLiteral("mnuFileOpen"), QStringLiteral("&Open Zipfile..."),
            &frmZipCreate::mnuFileOpen_Click);
    mnuFileClose = addItem(mnuFile, QStringLiteral("mnuFileClose"), QStringLiteral("&Close Zipfile"),
                           &frmZipCreate::mnuFileClose_Click);
    mnuFile->addSeparator();
    mnuFileTest = addItem(mnuFile, QStringLiteral("mnuFileTest"), QStringLiteral("&Test Zipfile..."),
                          &frmZipCreate::mnuFileTest_Click);
    mnuFileFix = mnuFile->addMenu(QStringLiteral("&Fix Zipfile..."));
    mnuFileFix->setObjectName(QStringLiteral("mnuFileFixMenu"));
    mnuFileFix->menuAction()->setObjectName(QStringLiteral("mnuFileFix"));
    addItem(mnuFileFix, QStringLiteral("mnuFileFixNormal"), QStringLiteral("Normal"),
            &frmZipCreate::mnuFileFixNormal_Click);
    addItem(mnuFileFix, QStringLiteral("mnuFileFixAgressive"), QStringLiteral("Agressive"),
            &frmZipCreate::mnuFileFixAgressive_Click);
    mnuFileDelete = addItem(mnuFile, QStringLiteral("mnuFileDelete"), QStringLiteral("&Delete Zipfile..."),
                            &frmZipCreate::mnuFileDelete_Click);
    mnuFile->addSeparator();
    addItem(mnuFile, QStringLiteral("mnuFileExit"), QStringLiteral("E&xit"), &frmZipCreate::MnuFileExit_Click);

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEdit->menuAction()->setObjectName(QStringLiteral("mnuEdit"));
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmZipCreate::mnuEdit_Click);
    mnuEditAdd =
        addItem(mnuEdit, QStringLiteral("mnuEditAdd"), QStringLiteral("&Add..."), &frmZipCreate::mnuEditAdd_Click);
    mnuEditDelete = addItem(mnuEdit, QStringLiteral("mnuEditDelete"), QStringLiteral("&Delete..."),
                            &frmZipCreate::mnuEditDelete_Click);
    mnuEditExtract = addItem(mnuEdit, QStringLiteral("mnuEditExtract"), QStringLiteral("&Restore..."),
                             &frmZipCreate::mnuEditExtract_Click);
    mnuEditUpdate = addItem(mnuEdit, QStringLiteral("mnuEditUpdate"), QStringLiteral("&Update..."),
                            &frmZipCreate::mnuEditUpdate_Click);
    mnuEdit->addSeparator();
    mnuEditUpdateZipDate = addItem(mnuEdit, QStringLiteral("mnuEditUpdateZipDate"), QStringLiteral("&UpdateZipDate"),
                                   &frmZipCreate::mnuEditUpdateZipDate_Click);
    mnuEdit->addSeparator();
    mnuEditSelectAll = addItem(mnuEdit, QStringLiteral("mnuEditSelectAll"), QStringLiteral("Select &All"),
                               &frmZipCreate::mnuEditSelectAll_Click);

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptions->menuAction()->setObjectName(QStringLiteral("mnuOptions"));
    connect(mnuOptions, &QMenu::aboutToShow, this, &frmZipCreate::mnuOptions_Click);
    mnuOptionsBest = addItem(mnuOptions, QStringLiteral("mnuOptionsBest"), QStringLiteral("&Best compression"),
                             &frmZipCreate::mnuOptionsBest_Click);
    mnuOptionsNormal = addItem(mnuOptions, QStringLiteral("mnuOptionsNormal"), QStringLiteral("&Normal compression"),
                               &frmZipCreate::mnuOptionsNormal_Click);
    mnuOptionsFastest = addItem(mnuOptions, QStringLiteral("mnuOptionsFastest"), QStringLiteral("&Fastest compression"),
                                &frmZipCreate::mnuOptionsFastest_Click);
    mnuOptionsStore = addItem(mnuOptions, QStringLiteral("mnuOptionsStore"),
                              QStringLiteral("&Store without compression"), &frmZipCreate::mnuOptionsStore_Click);
    mnuOptions->addSeparator();
    mnuOptionsMultidiskMode = addItem(mnuOptions, QStringLiteral("mnuOptionsMultidiskMode"),
                                      QStringLiteral("&Multidisk mode"), &frmZipCreate::mnuOptionsMultidiskMode_Click);
    mnuOptionsClearDisks = addItem(mnuOptions, QStringLiteral("mnuOptionsClearDisks"), QStringLiteral("&Clear disks"),
                                   &frmZipCreate::mnuOptionsClearDisks_Click);
    mnuOptions->addSeparator();
    mnuOptionsUseTempFile = addItem(mnuOptions, QStringLiteral("mnuOptionsUseTempFile"),
                                    QStringLiteral("&Use Temp File"), &frmZipCreate::mnuOptionsUseTempFile_Click);
    mnuOptions->addSeparator();
    addItem(mnuOptions, QStringLiteral("mnuOptionsPassword"), QStringLiteral("Protect backups with a &password..."),
            &frmZipCreate::mnuOptionsPassword_Click);
    mnuOptionsDriveA = mnuOptions->addMenu(QStringLiteral("&Drive A"));
    mnuOptionsDriveA->setObjectName(QStringLiteral("mnuOptionsDriveA"));
    mnuOptionsDriveA->menuAction()->setObjectName(QStringLiteral("mnuOptionsDriveA"));
    connect(mnuOptionsDriveA, &QMenu::aboutToShow, this, &frmZipCreate::mnuOptionsDriveA_Click);
    // The marks are set from the component's settings when the menu opens.
    markedByCommands({mnuOptionsBest, mnuOptionsNormal, mnuOptionsFastest, mnuOptionsStore, mnuOptionsMultidiskMode,
                      mnuOptionsClearDisks, mnuOptionsUseTempFile});

    mnuAutomatic = menuBar()->addMenu(QStringLiteral("&Automatic"));
    mnuAutomatic->setObjectName(QStringLiteral("mnuAutomatic"));
    mnuAutomatic->menuAction()->setObjectName(QStringLiteral("mnuAutomatic"));
    mnuAutomaticBackup = addItem(mnuAutomatic, QStringLiteral("mnuAutomaticBackup"),
                                 QStringLiteral("&Backup to Drive A"), &frmZipCreate::mnuAutomaticBackup_Click);
    mnuAutomaticRestore = addItem(mnuAutomatic, QStringLiteral("mnuAutomaticRestore"),
                                  QStringLiteral("&Restore From Drive A"), &frmZipCreate::mnuAutomaticRestore_Click);
    // These marks are state that the commands set and clear themselves.
    markedByCommands({mnuAutomaticBackup, mnuAutomaticRestore, mnuFileWizard});
}

void frmZipCreate::createControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    lstMain = new QTreeWidget(central);
    lstMain->setObjectName(QStringLiteral("lstMain"));
    lstMain->setAccessibleName(QStringLiteral("Archive entries"));
    lstMain->setRootIsDecorated(false);
    lstMain->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstMain->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Time"),
                              QStringLiteral("Size"), QStringLiteral("Packed"), QStringLiteral("Ratio"),
                              QStringLiteral("Path")});
    lstMain->header()->setStretchLastSection(false);

    prbMain = new QProgressBar(central);
    prbMain->setObjectName(QStringLiteral("prbMain"));
    prbMain->setAccessibleName(QStringLiteral("Progress"));
    prbMain->setRange(0, 100);
    prbMain->setValue(0);
    prbMain->hide();
    cmdAbort = new QPushButton(QStringLiteral("Abort"), central);
    cmdAbort->setObjectName(QStringLiteral("cmdAbort"));
    cmdAbort->hide();
    connect(cmdAbort, &QPushButton::clicked, this, &frmZipCreate::cmdAbort_Click);

    stbMain = new QStatusBar(this);
    stbMain->setObjectName(QStringLiteral("stbMain"));
    stbMain->setSizeGripEnabled(true);
    m_statusLine = new QLabel(stbMain);
    m_statusLine->setObjectName(QStringLiteral("stbMainText"));
    // Its name is the text it shows, which changes; what it is, is told apart.
    m_statusLine->setAccessibleDescription(QStringLiteral("Status"));
    stbMain->addWidget(m_statusLine, 1);
    setStatusBar(stbMain);
}

void frmZipCreate::connectEvents()
{
    ZipEvents &e = ZipMain_->events();
    e.Adding = [this](const QString &f, qint64 s) { zipMain_Adding(f, s); };
    e.Updating = [this](const QString &f, qint64 s) { zipMain_Updating(f, s); };
    e.Extracting = [this](const QString &f, qint64 s) { zipMain_Extracting(f, s); };
    e.Testing = [this](const QString &f, qint64 s) { zipMain_Testing(f, s); };
    e.Deleting = [this](const QString &f) { zipMain_Deleting(f); };
    e.Fixing = [this](const QString &f) { zipMain_Fixing(f); };
    e.Listing = [this](const QString &f, qint64 s, qint64 p, const QString &t, int r) {
        zipMain_Listing(f, s, p, t, r);
    };
    e.Status = [this](int c) { zipMain_Status(c); };
    e.Newdisk = [this](int n) { zipMain_Newdisk(n); };
    e.Replace = [this](const QString &f, int &cmd) { zipMain_Replace(f, cmd); };
    e.SkippingFile = [this](const QString &f, int r) { zipMain_SkippingFile(f, r); };
}

void frmZipCreate::Form_Load()
{
    QFont font = lstMain->font();
    font.setBold(false);
    lstMain->setFont(font);
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    resize(rules::toPixels(kDesign.width, dpiX), rules::toPixels(kDesign.height, dpiY));
    setMinimumSize(rules::toPixels(kDesign.width, dpiX), rules::toPixels(kDesign.height, dpiY));
    for (int c = 0; c < 7; ++c)
        lstMain->setColumnWidth(c, rules::toPixels(kColumnWidths[c], dpiX));
    m_layout = kDesign;
    m_loaded = true;
    Form_Resize();
}

void frmZipCreate::closeEvent(QCloseEvent *event)
{
    // While an operation runs only Abort is open to the operator; the window
    // stays until the operation has ended.
    if (BusyCount != 0) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void frmZipCreate::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmZipCreate::Form_Resize()
{
    if (!m_loaded || isMinimized())
        return;
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    const rules::Resized r = rules::resized(m_layout, rules::toTwips(width(), dpiX), rules::toTwips(height(), dpiY));
    const int w = rules::toPixels(r.width, dpiX);
    const int h = rules::toPixels(r.height, dpiY);
    if (w > width() || h > height())
        resize(std::max(w, width()), std::max(h, height()));
    lstMain->setGeometry(0, 0, rules::toPixels(r.listWidth, dpiX), rules::toPixels(r.listHeight, dpiY));
    prbMain->setGeometry(rules::toPixels(r.progressLeft, dpiX), rules::toPixels(r.progressTop, dpiY),
                         rules::toPixels(kProgressWidth, dpiX), rules::toPixels(kProgressHeight, dpiY));
    cmdAbort->setGeometry(rules::toPixels(r.abortLeft, dpiX), rules::toPixels(r.abortTop, dpiY),
                          rules::toPixels(kAbortWidth, dpiX), rules::toPixels(kAbortHeight, dpiY));
    lstMain->setColumnWidth(6, rules::toPixels(r.pathColumnWidth, dpiX));
}

QString frmZipCreate::statusText() const
{
    return m_statusLine->text();
}

void frmZipCreate::setStatus(const QString &text)
{
    m_statusLine->setText(text);
}

QAction *frmZipCreate::menuItem(const QString &name) const
{
    return findChild<QAction *>(name);
}

bool frmZipCreate::checked(QAction *item) const
{
    return item->isChecked();
}

QString frmZipCreate::databasePath() const
{
    return store::programPath(QStringLiteral("\\Vantrel.mdb"));
}

rules::ArchiveState frmZipCreate::archiveState() const
{
    rules::ArchiveState s;
    s.open = !ZipMain_->zipFilename().isEmpty();
    s.rows = lstMain->topLevelItemCount() > 0;
    s.multidisk = ZipMain_->multidisk();
    s.selection = HasSelection();
    return s;
}

// --- Busy state, listing, summary -------------------------------------------

void frmZipCreate::SetBusy(bool enter)
{
    BusyCount = qint16(BusyCount + (enter ? 1 : -1));
    const bool busy = BusyCount != 0;
    // While it works, the main menu starts nothing else on the database.
    if (busy && !m_operation)
        m_operation = std::make_unique<platform::LongOperation>(QStringLiteral("a backup or restore"));
    else if (!busy)
        m_operation.reset();
    platform::services().setPointer(busy ? platform::Pointer::Hourglass : platform::Pointer::Default);
    cmdAbort->setVisible(busy);
    prbMain->setVisible(busy);
    for (QMenu *menu : {mnuFile, mnuEdit, mnuOptions, mnuAutomatic})
        menu->menuAction()->setEnabled(!busy);
    lstMain->setEnabled(!busy);
}

namespace {
// Enters the busy state for a scope, and leaves it on every way out.
class Busy
{
public:
    explicit Busy(frmZipCreate &window) : m_window(window) { m_window.SetBusy(true); }
    ~Busy() { m_window.SetBusy(false); }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    frmZipCreate &m_window;
};
} // namespace

void frmZipCreate::SetProgress(int percent)
{
    prbMain->setValue(std::clamp(percent, 0, 100));
}

bool frmZipCreate::HasSelection() const
{
    QTreeWidgetItem *current = lstMain->currentItem();
    return lstMain->topLevelItemCount() > 0 && current && current->isSelected();
}

void frmZipCreate::ListArchive(const QString &operation)
{
    Busy busy(*this);
    m_totals = {};
    lstMain->clear();
    lstMain->hide();
    SetProgress(0);
    ExpectedCount = ZipMain_->entryCount();
    if (ExpectedCount > rules::kQuietListing)
        setStatus(rules::readingText(ExpectedCount));
    const quint16 code = ZipMain_->List();
    SetProgress(0);
    lstMain->show();
    if (code > 0)
        ShowResultMessage(code, operation, *ZipMain_);
    ShowArchiveSummary();
}

void frmZipCreate::ShowArchiveSummary()
{
    setStatus(rules::summaryText(m_totals));
}

// --- Events of the component ----------------------------------------------------

void frmZipCreate::zipMain_Listing(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime,
                                   int ratio)
{
    const rules::ListedRow row = rules::listedRow(fileName, size, packedSize, fTime, ratio);
    auto *item =
        new QTreeWidgetItem(QStringList{row.name, row.date, row.time, row.size, row.packed, row.ratio, row.path});
    for (int c = 3; c <= 5; ++c)
        item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    lstMain->addTopLevelItem(item);
    m_totals.add(size, packedSize);
    if (ExpectedCount > rules::kQuietListing)
        SetProgress(rules::listingProgress(m_totals.fileCount, ExpectedCount));
}

void frmZipCreate::zipMain_Status(int completion)
{
    SetProgress(completion);
}

void frmZipCreate::zipMain_Adding(const QString &fileName, qint64 size)
{
    setStatus(QStringLiteral(" Adding file: %1 (%2 bytes)").arg(fileName).arg(size));
}

void frmZipCreate::zipMain_Updating(const QString &fileName, qint64 size)
{
    setStatus(QStringLiteral(" Updating file: %1 (%2 bytes)").arg(fileName).arg(size));
}

void frmZipCreate::zipMain_Extracting(const QString &fileName, qint64 size)
{
    setStatus(QStringLiteral(" Extracting file: %1 (%2 bytes)").arg(fileName).arg(size));
}

void frmZipCreate::zipMain_Testing(const QString &fileName, qint64 size)
{
    setStatus(QStringLiteral(" Testing file: %1 (%2 bytes)").arg(fileName).arg(size));
}

void frmZipCreate::zipMain_Deleting(const QString &fileName)
{
    setStatus(QStringLiteral(" Deleting file: ") + fileName);
}

void frmZipCreate::zipMain_Fixing(const QString &fileName)
{
    setStatus(QStringLiteral(" Repairing file: ") + fileName);
}

void frmZipCreate::zipMain_Newdisk(int diskNumber)
{
    // Either answer goes back to the component, which goes on.
    platform::msgBox(rules::newDiskText(diskNumber), Buttons::OKCancel, Icon::None);
}

void frmZipCreate::zipMain_Replace(const QString &origName, int &cmd)
{
    const Button answer = platform::msgBox(rules::replaceText(origName), Buttons::YesNoCancel, Icon::None);
    if (answer == Button::Yes) {
        cmd = replacecmd::Replace;
    } else if (answer == Button::No) {
        mnuAutomaticRestore->setChecked(false);
        cmd = replacecmd::Keep;
    } else {
        ZipMain_->setAbort(true);
        mnuAutomaticRestore->setChecked(false);
    }
}

void frmZipCreate::zipMain_SkippingFile(const QString &fileName, int reason)
{
    if (reason == skipreason::BadPassword)
        m_passwordRefused = true;
    platform::msgBox(rules::skippingText(fileName, reason), Buttons::OKOnly, Icon::Exclamation);
    SetProgress(0);
}

// --- File menu -------------------------------------------------------------------

void frmZipCreate::mnuFile_Click()
{
    const rules::FileMenu m = rules::fileMenu(archiveState());
    mnuFileClose->setEnabled(m.close);
    mnuFile->findChild<QMenu *>(QStringLiteral("mnuFileFixMenu"))->menuAction()->setEnabled(m.fix);
    mnuFileDelete->setEnabled(m.deleteArchive);
    mnuFileTest->setEnabled(m.test);
}

QString frmZipCreate::driveAArchive()
{
    if (!platform::localPath(kDriveAArchive)) {
        platform::msgBox(QStringLiteral("There is no disk in drive A, or it is not formatted!"), Buttons::OKOnly,
                         Icon::None, platform::applicationTitle());
        return QString();
    }
    return kDriveAArchive;
}

void frmZipCreate::mnuFileNew_Click()
{
    QString name;
    if (checked(mnuAutomaticBackup)) {
        name = driveAArchive();
        if (name.isEmpty())
            mnuAutomaticBackup->setChecked(false);
    } else {
        name = SelectArchive(dialogkind::New, this);
    }
    if (name.isEmpty())
        return;
    // The backup to drive A replaces the archive there only once the new
    // one is whole: a failed backup leaves the previous one.
    if (const std::optional<QString> local = platform::localPath(name);
        local && QFileInfo::exists(*local) && !checked(mnuAutomaticBackup))
        QFile::remove(*local);
    lstMain->clear();
    m_totals = {};
    setStatus(QStringLiteral(" New Zip archive now open."));
    ZipMain_->setZipFilename(name);
    setWindowTitle(name);
}

void frmZipCreate::mnuFileOpen_Click()
{
    QString name;
    if (checked(mnuAutomaticRestore)) {
        name = driveAArchive();
        if (name.isEmpty())
            mnuAutomaticRestore->setChecked(false);
    } else {
        name = SelectArchive(dialogkind::Open, this);
    }
    if (name.isEmpty())
        return;
    Busy busy(*this);
    ZipMain_->setZipFilename(name);
    setWindowTitle(name);
    ListArchive(QStringLiteral("Opening"));
}

void frmZipCreate::mnuFileClose_Click()
{
    ZipMain_->setZipFilename(QString());
    lstMain->clear();
    m_totals = {};
    setStatus(QStringLiteral(" No Zip archive is currently open."));
    setWindowTitle(QStringLiteral("Database Backup"));
}

void frmZipCreate::mnuFileTest_Click()
{
    const QString name = SelectArchive(dialogkind::Test, this);
    if (name.isEmpty())
        return;
    Busy busy(*this);
    ZipMain_->setZipFilename(name);
    setStatus(QStringLiteral(" Testing all files in %1...").arg(name));
    const quint16 code = ZipMain_->Test();
    if (code == 0)
        platform::msgBox(QStringLiteral("All files in the archive are OK."), Buttons::OKOnly, Icon::Information);
    else if (code == zipresult::SkippedFiles)
        platform::msgBox(QStringLiteral("All files tested in the archive are OK.\r(Some files were skipped)"),
                         Buttons::OKOnly, Icon::Information);
    else
        ShowResultMessage(code, QStringLiteral("testing"), *ZipMain_);
    ZipMain_->setZipFilename(QString());
    SetProgress(0);
    setStatus(QStringLiteral(" Finished testing files."));
}

void frmZipCreate::mnuFileFixNormal_Click()
{
    FixArchive(false);
}

void frmZipCreate::mnuFileFixAgressive_Click()
{
    FixArchive(true);
}

void frmZipCreate::FixArchive(bool aggressive)
{
    Busy busy(*this);
    const QString name = SelectArchive(dialogkind::Fix, this);
    if (name.isEmpty())
        return;
    ZipMain_->setZipFilename(name);
    setStatus(QStringLiteral(" Repairing Zip archive..."));
    const quint16 code = ZipMain_->Fix(aggressive);
    if (code == 0)
        platform::msgBox(QStringLiteral("The specified Zip file has been fixed."), Buttons::OKOnly, Icon::Information);
    else if (code == zipresult::CannotFix)
        platform::msgBox(QStringLiteral("The specified Zip file is too corrupted to be fixed."), Buttons::OKOnly,
                         Icon::Critical);
    else
        ShowResultMessage(code, QStringLiteral("fixing"), *ZipMain_);
    ZipMain_->setZipFilename(QString());
    SetProgress(0);
    setStatus(QStringLiteral(" Finished fixing files."));
}

void frmZipCreate::mnuFileDelete_Click()
{
    const QString name = SelectArchive(dialogkind::Delete, this);
    if (name.isEmpty())
        return;
    if (platform::msgBox(QStringLiteral("Are you sure you want to delete %1?").arg(name), Buttons::YesNo,
                         Icon::Question)
        != Button::Yes)
        return;
    if (const std::optional<QString> local = platform::localPath(name); local && QFileInfo::exists(*local))
        QFile::remove(*local);
}

void frmZipCreate::MnuFileExit_Click()
{
    close();
}

void frmZipCreate::cmdAbort_Click()
{
    if (ZipMain_->useTempFile()) {
        if (platform::msgBox(QStringLiteral("Are you sure you want to abort the current operation?"), Buttons::YesNo,
                             Icon::Question, QStringLiteral("Abort"))
            == Button::Yes) {
            mnuAutomaticBackup->setChecked(false);
            ZipMain_->setAbort(true);
        }
    } else {
        platform::msgBox(QStringLiteral("You cannot abort an operation when you are not using a temporary file."),
                         Buttons::OKOnly, Icon::Exclamation);
    }
}

// --- Options -----------------------------------------------------------------------

void frmZipCreate::mnuOptions_Click()
{
    rules::OptionsSettings s;
    s.compressionLevel = ZipMain_->compressionLevel();
    s.multidisk = ZipMain_->multidisk();
    s.clearDisks = ZipMain_->clearDisks();
    s.useTempFile = ZipMain_->useTempFile();
    const rules::OptionsMenu m = rules::optionsMenu(s);
    mnuOptionsUseTempFile->setChecked(m.useTempFileChecked);
    mnuOptionsUseTempFile->setEnabled(m.useTempFileEnabled);
    mnuOptionsClearDisks->setChecked(m.clearDisksChecked);
    mnuOptionsClearDisks->setEnabled(m.clearDisksEnabled);
    mnuOptionsMultidiskMode->setChecked(m.multidiskChecked);
    mnuOptionsStore->setChecked(m.store);
    mnuOptionsFastest->setChecked(m.fastest);
    mnuOptionsNormal->setChecked(m.normal);
    mnuOptionsBest->setChecked(m.best);
}

void frmZipCreate::mnuOptionsBest_Click()
{
    ZipMain_->setCompressionLevel(9);
}
void frmZipCreate::mnuOptionsNormal_Click()
{
    ZipMain_->setCompressionLevel(6);
}
void frmZipCreate::mnuOptionsFastest_Click()
{
    ZipMain_->setCompressionLevel(1);
}
void frmZipCreate::mnuOptionsStore_Click()
{
    ZipMain_->setCompressionLevel(0);
}

void frmZipCreate::mnuOptionsMultidiskMode_Click()
{
    ZipMain_->setMultidisk(!mnuOptionsMultidiskMode->isChecked());
}

void frmZipCreate::mnuOptionsClearDisks_Click()
{
    ZipMain_->setClearDisks(!mnuOptionsClearDisks->isChecked());
}

void frmZipCreate::mnuOptionsUseTempFile_Click()
{
    ZipMain_->setUseTempFile(!mnuOptionsUseTempFile->isChecked());
}

void frmZipCreate::mnuOptionsPassword_Click()
{
    if (m_password->choose(this))
        ZipMain_->setPassword(m_password->current());
}

// One item per removable volume; the checked one is drive A.
void frmZipCreate::mnuOptionsDriveA_Click()
{
    mnuOptionsDriveA->clear();
    const platform::DriveA drive = platform::DriveA::current();
    const QList<platform::RemovableVolume> volumes = platform::removableVolumeSource().volumes();
    if (drive.simulated() || volumes.isEmpty()) {
        QAction *none =
            mnuOptionsDriveA->addAction(drive.simulated() ? QStringLiteral("The folder %1").arg(drive.root())
                                                          : QStringLiteral("No removable disk"));
        none->setEnabled(false);
        return;
    }
    for (const platform::RemovableVolume &volume : volumes) {
        QAction *item =
            mnuOptionsDriveA->addAction(QStringLiteral("%1 at %2").arg(volume.description(), volume.mountPoint));
        item->setObjectName(QStringLiteral("mnuOptionsDriveA_") + volume.id);
        item->setCheckable(true);
        item->setChecked(drive.volume() && drive.volume()->id == volume.id);
        const QString id = volume.id;
        connect(item, &QAction::triggered, this, [id] { platform::chooseDriveAVolume(id); });
    }
}

void frmZipCreate::offerEject()
{
    const std::optional<platform::RemovableVolume> volume = platform::DriveA::current().volume();
    if (!volume || !volume->ejectable)
        return;
    if (platform::msgBox(QStringLiteral("Remove %1 safely now?").arg(volume->description()), Buttons::YesNo,
                         Icon::Question, QStringLiteral("Confirm"))
        != Button::Yes)
        return;
    QString why;
    if (platform::removableVolumeSource().eject(*volume, &why))
        platform::msgBox(QStringLiteral("You can now take %1 out.").arg(volume->description()), Buttons::OKOnly,
                         Icon::Information);
    else
        platform::msgBox(QStringLiteral("%1 could not be removed safely: %2").arg(volume->description(), why),
                         Buttons::OKOnly, Icon::Exclamation);
}

// --- Edit menu ------------------------------------------------------------------------

void frmZipCreate::mnuEdit_Click()
{
    const rules::EditMenu m = rules::editMenu(archiveState());
    mnuEditAdd->setEnabled(m.add);
    mnuEditDelete->setEnabled(m.deleteEntries);
    mnuEditExtract->setEnabled(m.restore);
    mnuEditUpdate->setEnabled(m.update);
    mnuEditUpdateZipDate->setEnabled(m.updateZipDate);
    mnuEditSelectAll->setEnabled(m.selectAll);
}

QString frmZipCreate::SelectFiles(const QString &title)
{
    platform::FileDialogRequest request;
    request.parent = this;
    request.title = title;
    request.filter = qtFilter(m_selectFilesFilter);
    request.mustExist = true;
    const std::optional<QStringList> chosen = platform::services().openFileNames(request);
    return chosen ? rules::selectionText(*chosen) : QString();
}

void frmZipCreate::mnuEditAdd_Click()
{
    addOrUpdate(false);
}

void frmZipCreate::mnuEditUpdate_Click()
{
    addOrUpdate(true);
}

void frmZipCreate::addOrUpdate(bool update)
{
    const bool automatic = !update && checked(mnuAutomaticBackup);
    QString selection;
    if (automatic) {
        selection = QStringLiteral("Vantrel.mdb");
    } else {
        if (!update)
            m_selectFilesFilter = kAddFilter;
        selection = SelectFiles(update ? QStringLiteral("Update files") : QStringLiteral("Add files"));
    }
    if (selection.isEmpty())
        return;
    // The database of a center whose backups are protected never goes into
    // an archive in the clear.
    if (automatic && !m_password->ensureForBackup(this))
        return;
    ZipMain_->setPassword(m_password->current());

    Busy busy(*this);
    const int count = rules::CountSelectedFiles(selection);
    // The live database is never archived as it lies: a window may be
    // writing it. It goes in from a consistent copy, under its bare name.
    const QString live = QFileInfo(databasePath()).canonicalFilePath();
    bool withDatabase = automatic;
    QString names;
    if (!automatic) {
        for (int n = 1; n <= count; ++n) {
            const QString file = rules::GetSelectedFile(selection, n);
            if (file.isEmpty())
                continue;
            if (!live.isEmpty() && QFileInfo(file).canonicalFilePath() == live)
                withDatabase = true;
            else
                names += file + QLatin1Char('\r');
        }
    }
    setStatus(update ? QStringLiteral(" Preparing to update %1 files...").arg(count)
                     : QStringLiteral(" Preparing to add %1 files...").arg(count));
    const int mode = update ? addmode::Update : addmode::Add;
    const QString operation = update ? QStringLiteral("updating") : QStringLiteral("adding");
    quint16 code = 0;
    // A copy of the database that could not be taken is told in its own
    // words, once; the backup then has not completed.
    bool copyFailed = withDatabase && !automatic && !m_password->ensureForBackup(this);
    if (withDatabase && !copyFailed) {
        ZipMain_->setPassword(m_password->current());
        const ArchiveOutcome o = addDatabase(*ZipMain_, mode, databasePath(), names);
        if (o.error.isError()) {
            copyFailed = true;
            platform::msgBox(o.error.text, Buttons::OKOnly, Icon::Critical);
        }
        code = o.code;
    }
    if (!names.isEmpty() && (!withDatabase || copyFailed)) {
        ZipMain_->setFilesToProcess(ZipMain_->filesToProcess() + names);
        code = ZipMain_->Add(mode);
    }
    if (update) {
        if (code > 0)
            ShowResultMessage(code, operation, *ZipMain_);
    } else if (code != 0) {
        ShowResultMessage(code, operation, *ZipMain_);
    } else if (ZipMain_->multidisk() && !copyFailed) {
        platform::msgBox(QStringLiteral("Compressed backup process completed!"), Buttons::OKOnly, Icon::None);
        if (automatic)
            offerEject();
        mnuAutomaticBackup->setChecked(false);
    }
    SetProgress(0);
    setStatus(update ? QStringLiteral(" Finished updating files, updating list...")
                     : QStringLiteral(" Finished adding files, updating list."));
    // Nothing was written when the copy of the database alone failed: there
    // is no archive to list yet.
    if (code != zipresult::UserAborted && !(copyFailed && names.isEmpty()))
        ListArchive(QStringLiteral("listing"));
    ShowArchiveSummary();
}

void frmZipCreate::mnuEditExtract_Click()
{
    if (!checked(mnuAutomaticRestore)) {
        if (!ExtractDialog::run(*ZipMain_, this))
            return;
    }
    Busy busy(*this);
    ProcessSelectedFiles(1);
}

void frmZipCreate::mnuEditDelete_Click()
{
    Busy busy(*this);
    ProcessSelectedFiles(0);
}

void frmZipCreate::ProcessSelectedFiles(int operation)
{
    if (!HasSelection())
        return;
    QStringList entries;
    for (int i = 0; i < lstMain->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = lstMain->topLevelItem(i);
        if (row->isSelected())
            entries << rules::entryPath(row->text(6), row->text(0));
    }
    const QString count = QStringLiteral(" %1").arg(entries.size());
    const bool extract = operation == 1;
    const QString name = extract ? QStringLiteral("extracting") : QStringLiteral("deleting");
    quint16 code = 0;
    {
        Busy busy(*this);
        if (extract) {
            setStatus(QStringLiteral(" Extracting ") + count + QStringLiteral(" selected files..."));
            // The database is restored through a checked copy, never by
            // writing over the live file.
            const bool automatic = checked(mnuAutomaticRestore);
            QStringList database;
            QStringList others;
            for (const QString &entry : std::as_const(entries)) {
                const bool isDatabase = automatic ? isArchivedDatabaseName(entry)
                                                  : entryIsDatabase(entry, ZipMain_->extractFolder(), databasePath());
                (isDatabase ? database : others) << entry;
            }
            if (database.size() > 1) {
                platform::msgBox(severalDatabaseEntries(database).text, Buttons::OKOnly, Icon::Critical);
                database.clear();
            }
            if (!others.isEmpty()) {
                for (const QString &entry : std::as_const(others))
                    ZipMain_->setFilesToProcess(ZipMain_->filesToProcess() + entry + QLatin1Char('\r'));
                code = ZipMain_->Extract(0);
            }
            if (!database.isEmpty() && code != zipresult::UserAborted) {
                bool restored = false;
                const quint16 databaseCode = extractDatabaseEntries(database, &restored);
                if (code == 0)
                    code = databaseCode;
            }
        } else {
            setStatus(QStringLiteral(" Deleting ") + count + QStringLiteral(" selected files..."));
            for (const QString &entry : std::as_const(entries))
                ZipMain_->setFilesToProcess(ZipMain_->filesToProcess() + entry + QLatin1Char('\r'));
            code = ZipMain_->Delete();
        }
    }
    if (code > 0)
        ShowResultMessage(code, name, *ZipMain_);
    SetProgress(0);
    setStatus(QStringLiteral(" Finished %1 files, updating list...").arg(name));
    ListArchive(QStringLiteral("listing"));
    ShowArchiveSummary();
}

quint16 frmZipCreate::extractDatabaseEntries(const QStringList &entries, bool *restoredAny)
{
    const QString live = databasePath();
    quint16 code = 0;
    for (const QString &entry : entries) {
        if (QFileInfo::exists(live)) {
            int cmd = replacecmd::Keep;
            zipMain_Replace(QFileInfo(live).fileName(), cmd);
            if (ZipMain_->abortRequested()) {
                ZipMain_->setAbort(false);
                return zipresult::UserAborted;
            }
            if (cmd != replacecmd::Replace)
                continue;
        }
        m_passwordRefused = false;
        ArchiveOutcome o = restoreDatabase(*ZipMain_, entry, live);
        // An archive that the password in force does not open: ask for its own.
        while (!o.succeeded() && m_passwordRefused && o.code != zipresult::UserAborted) {
            const std::optional<QString> typed = BackupPassword::askForArchive(this);
            if (!typed)
                break;
            ZipMain_->setPassword(*typed);
            m_passwordRefused = false;
            o = restoreDatabase(*ZipMain_, entry, live);
            ZipMain_->setPassword(m_password->current());
        }
        if (o.error.isError()) {
            platform::msgBox(o.error.text, Buttons::OKOnly, Icon::Critical);
            if (code == 0)
                code = o.code;
        } else {
            *restoredAny = true;
        }
    }
    return code;
}

void frmZipCreate::mnuEditSelectAll_Click()
{
    lstMain->hide();
    for (int i = 0; i < lstMain->topLevelItemCount(); ++i)
        lstMain->topLevelItem(i)->setSelected(true);
    if (lstMain->topLevelItemCount() > 0 && !lstMain->currentItem())
        lstMain->setCurrentItem(lstMain->topLevelItem(0), 0, QItemSelectionModel::Select);
    lstMain->show();
}

void frmZipCreate::mnuEditUpdateZipDate_Click()
{
    Busy busy(*this);
    setStatus(QStringLiteral(" Updating the Zip date..."));
    const quint16 code = ZipMain_->UpdateZipDate();
    if (code != 0)
        ShowResultMessage(code, QStringLiteral("updating zip date"), *ZipMain_);
    else
        platform::msgBox(QStringLiteral("Zip date has been updated."), Buttons::OKOnly, Icon::Information);
    ShowArchiveSummary();
}

// --- Automatic and the wizard ------------------------------------------------------------

void frmZipCreate::mnuAutomaticBackup_Click()
{
    QString question = QStringLiteral("Please insert a blank formatted floppy disk in drive A?\rIf you continue, all "
                                      "data on the floppy will be erased and a backup disk will be created!");
    // On a stick or an external disk only the folder of ours is emptied.
    if (const std::optional<platform::RemovableVolume> volume = platform::DriveA::current().volume())
        question += QStringLiteral("\r\rDrive A is %1 at %2; only its folder %3 is erased.")
                        .arg(volume->description(), volume->mountPoint, platform::DriveA::folderName());
    if (platform::msgBox(question, Buttons::YesNo, Icon::Question, QStringLiteral("Confirm"), 2) != Button::Yes)
        return;
    mnuAutomaticBackup->setChecked(true);
    ZipMain_->setMultidisk(true);
    ZipMain_->setClearDisks(true);
    mnuFileNew_Click();
    if (checked(mnuAutomaticBackup))
        mnuEditAdd_Click();
    mnuAutomaticBackup->setChecked(false);
}

void frmZipCreate::mnuAutomaticRestore_Click()
{
    if (platform::msgBox(QStringLiteral("Please insert your backup disk in drive A?"), Buttons::YesNo, Icon::Question,
                         QStringLiteral("Confirm"), 2)
        != Button::Yes)
        return;
    mnuAutomaticRestore->setChecked(true);
    ZipMain_->setMultidisk(true);
    mnuFileOpen_Click();
    if (checked(mnuAutomaticRestore)) {
        mnuEditSelectAll_Click();
        mnuEditExtract_Click();
    }
    mnuAutomaticRestore->setChecked(false);
}

void frmZipCreate::mnuFileWizard_Click()
{
    mnuFileWizard->setChecked(true);
    platform::msgBox(QStringLiteral("The next window to pop up will ask you to create a new zip file. \rType in the "
                                    "name of the file you want to create."),
                     Buttons::OKOnly, Icon::None);
    mnuFileNew_Click();
    platform::msgBox(QStringLiteral("The next window to pop up will ask you to add new files to your new zip file. "
                                    "\rPlease select the files you wish to add."),
                     Buttons::OKOnly, Icon::None);
    mnuEditAdd_Click();
    mnuFileWizard->setChecked(false);
}

} // namespace backup
