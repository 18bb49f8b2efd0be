#include "backup/frmZipCreate.h"

#include "backup/BackupPassword.h"
#include "backup/XZIPDEMO1.h"
#include "platform/DriveA.h"
#include "platform/LongOperation.h"
#include "platform/Services.h"
#include "zip/ZipMain.h"

#include <QAction>
#include <QCloseEvent>
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

const QString kCaption = QStringLiteral("Database Backup ");

// The design of the window, in twips.
constexpr rules::Layout kDesign{9000, 5400, 120, 4020, 7200, 3960, 9000, 3900};
constexpr int kProgressWidth = 6900, kProgressHeight = 300;
constexpr int kAbortWidth = 1680, kAbortHeight = 420;
constexpr int kColumnWidths[7] = {2100, 1000, 700, 1100, 1100, 700, 1620};

} // namespace

frmZipCreate::frmZipCreate(QWidget *parent)
    : QMainWindow(parent), ZipMain_(new ZipMain(this)), m_password(std::make_unique<BackupPassword>())
{
    setObjectName(QStringLiteral("frmZipCreate"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    ZipMain_->setObjectName(QStringLiteral("ZipMain"));
    ZipMain_->setPassword(m_password->current());
    m_flows = std::make_unique<BackupFlows>(static_cast<BackupWindow &>(*this), *ZipMain_, *m_password);
    createMenus();
    createControls();
    // The rows of a listing are the window's; the flows answer the other events.
    ZipMain_->events().Listing = [this](const QString &f, qint64 s, qint64 p, const QString &t, int r) {
        zipMain_Listing(f, s, p, t, r);
    };
    Form_Load();
}

frmZipCreate::~frmZipCreate() = default;

QAction *frmZipCreate::addItem(QMenu *menu, const QString &name, const QString &caption, std::function<void()> handler)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    m_handlers.insert(action, std::move(handler));
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
                            [this] { m_flows->wizard(); });
    addItem(mnuFile, QStringLiteral("mnuFileNew"), QStringLiteral("&New Zipfile..."),
            [this] { m_flows->newArchive(); });
    addItem(mnuFile, QStringLiteral("mnuFileOpen"), QStringLiteral("&Open Zipfile..."),
            [this] { m_flows->openArchive(); });
    mnuFileClose = addItem(mnuFile, QStringLiteral("mnuFileClose"), QStringLiteral("&Close Zipfile"),
                           [this] { m_flows->closeArchive(); });
    mnuFile->addSeparator();
    mnuFileTest = addItem(mnuFile, QStringLiteral("mnuFileTest"), QStringLiteral("&Test Zipfile..."),
                          [this] { m_flows->testArchive(); });
    mnuFileFix = mnuFile->addMenu(QStringLiteral("&Fix Zipfile..."));
    mnuFileFix->setObjectName(QStringLiteral("mnuFileFixMenu"));
    mnuFileFix->menuAction()->setObjectName(QStringLiteral("mnuFileFix"));
    addItem(mnuFileFix, QStringLiteral("mnuFileFixNormal"), QStringLiteral("Normal"),
            [this] { m_flows->fixArchive(false); });
    addItem(mnuFileFix, QStringLiteral("mnuFileFixAgressive"), QStringLiteral("Agressive"),
            [this] { m_flows->fixArchive(true); });
    mnuFileDelete = addItem(mnuFile, QStringLiteral("mnuFileDelete"), QStringLiteral("&Delete Zipfile..."),
                            [this] { m_flows->deleteArchive(); });
    mnuFile->addSeparator();
    addItem(mnuFile, QStringLiteral("mnuFileExit"), QStringLiteral("E&xit"), [this] { close(); });

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEdit->menuAction()->setObjectName(QStringLiteral("mnuEdit"));
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmZipCreate::mnuEdit_Click);
    mnuEditAdd = addItem(mnuEdit, QStringLiteral("mnuEditAdd"), QStringLiteral("&Add..."),
                         [this] { m_flows->addOrUpdate(false); });
    mnuEditDelete = addItem(mnuEdit, QStringLiteral("mnuEditDelete"), QStringLiteral("&Delete..."),
                            [this] { m_flows->deleteEntries(); });
    mnuEditExtract = addItem(mnuEdit, QStringLiteral("mnuEditExtract"), QStringLiteral("&Restore..."),
                             [this] { m_flows->extractEntries(); });
    mnuEditUpdate = addItem(mnuEdit, QStringLiteral("mnuEditUpdate"), QStringLiteral("&Update..."),
                            [this] { m_flows->addOrUpdate(true); });
    mnuEdit->addSeparator();
    mnuEditUpdateZipDate = addItem(mnuEdit, QStringLiteral("mnuEditUpdateZipDate"), QStringLiteral("&UpdateZipDate"),
                                   [this] { m_flows->updateZipDate(); });
    mnuEdit->addSeparator();
    mnuEditSelectAll =
        addItem(mnuEdit, QStringLiteral("mnuEditSelectAll"), QStringLiteral("Select &All"), [this] { selectAll(); });

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptions->menuAction()->setObjectName(QStringLiteral("mnuOptions"));
    connect(mnuOptions, &QMenu::aboutToShow, this, &frmZipCreate::mnuOptions_Click);
    mnuOptionsBest = addItem(mnuOptions, QStringLiteral("mnuOptionsBest"), QStringLiteral("&Best compression"),
                             [this] { ZipMain_->setCompressionLevel(9); });
    mnuOptionsNormal = addItem(mnuOptions, QStringLiteral("mnuOptionsNormal"), QStringLiteral("&Normal compression"),
                               [this] { ZipMain_->setCompressionLevel(6); });
    mnuOptionsFastest = addItem(mnuOptions, QStringLiteral("mnuOptionsFastest"), QStringLiteral("&Fastest compression"),
                                [this] { ZipMain_->setCompressionLevel(1); });
    mnuOptionsStore =
        addItem(mnuOptions, QStringLiteral("mnuOptionsStore"), QStringLiteral("&Store without compression"),
                [this] { ZipMain_->setCompressionLevel(0); });
    mnuOptions->addSeparator();
    mnuOptionsMultidiskMode =
        addItem(mnuOptions, QStringLiteral("mnuOptionsMultidiskMode"), QStringLiteral("&Multidisk mode"),
                [this] { ZipMain_->setMultidisk(!mnuOptionsMultidiskMode->isChecked()); });
    mnuOptionsClearDisks = addItem(mnuOptions, QStringLiteral("mnuOptionsClearDisks"), QStringLiteral("&Clear disks"),
                                   [this] { ZipMain_->setClearDisks(!mnuOptionsClearDisks->isChecked()); });
    mnuOptions->addSeparator();
    mnuOptionsUseTempFile =
        addItem(mnuOptions, QStringLiteral("mnuOptionsUseTempFile"), QStringLiteral("&Use Temp File"),
                [this] { ZipMain_->setUseTempFile(!mnuOptionsUseTempFile->isChecked()); });
    mnuOptions->addSeparator();
    addItem(mnuOptions, QStringLiteral("mnuOptionsPassword"), QStringLiteral("Protect backups with a &password..."),
            [this] {
                if (m_password->choose(this))
                    ZipMain_->setPassword(m_password->current());
            });
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
                                 QStringLiteral("&Backup to Drive A"), [this] { m_flows->automaticBackup(); });
    mnuAutomaticRestore = addItem(mnuAutomatic, QStringLiteral("mnuAutomaticRestore"),
                                  QStringLiteral("&Restore From Drive A"), [this] { m_flows->automaticRestore(); });
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
    connect(cmdAbort, &QPushButton::clicked, this, [this] { m_flows->abort(); });

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
    BusyScope busy(*this);
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

// --- File menu -------------------------------------------------------------------

void frmZipCreate::mnuFile_Click()
{
    const rules::FileMenu m = rules::fileMenu(archiveState());
    mnuFileClose->setEnabled(m.close);
    mnuFile->findChild<QMenu *>(QStringLiteral("mnuFileFixMenu"))->menuAction()->setEnabled(m.fix);
    mnuFileDelete->setEnabled(m.deleteArchive);
    mnuFileTest->setEnabled(m.test);
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

void frmZipCreate::selectAll()
{
    lstMain->hide();
    for (int i = 0; i < lstMain->topLevelItemCount(); ++i)
        lstMain->topLevelItem(i)->setSelected(true);
    if (lstMain->topLevelItemCount() > 0 && !lstMain->currentItem())
        lstMain->setCurrentItem(lstMain->topLevelItem(0), 0, QItemSelectionModel::Select);
    lstMain->show();
}

// --- What the flows see of the window ---------------------------------------------------

bool frmZipCreate::marked(Mark mark) const
{
    switch (mark) {
    case Mark::AutomaticBackup: return mnuAutomaticBackup->isChecked();
    case Mark::AutomaticRestore: return mnuAutomaticRestore->isChecked();
    case Mark::Wizard: return mnuFileWizard->isChecked();
    }
    return false;
}

void frmZipCreate::setMarked(Mark mark, bool on)
{
    switch (mark) {
    case Mark::AutomaticBackup: mnuAutomaticBackup->setChecked(on); break;
    case Mark::AutomaticRestore: mnuAutomaticRestore->setChecked(on); break;
    case Mark::Wizard: mnuFileWizard->setChecked(on); break;
    }
}

void frmZipCreate::clearList()
{
    lstMain->clear();
    m_totals = {};
}

QStringList frmZipCreate::selectedEntries() const
{
    QStringList entries;
    if (!HasSelection())
        return entries;
    for (int i = 0; i < lstMain->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = lstMain->topLevelItem(i);
        if (row->isSelected())
            entries << rules::entryPath(row->text(6), row->text(0));
    }
    return entries;
}

bool frmZipCreate::chooseExtractFolder()
{
    return ExtractDialog::run(*ZipMain_, this);
}

} // namespace backup
