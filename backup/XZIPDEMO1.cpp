#include "backup/XZIPDEMO1.h"

#include "backup/ZipMain.h"
#include "platform/DriveA.h"
#include "platform/Services.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace backup {

bool ExtractCancelled = false;

QString resultMessageText(int code, const QString &op, bool multidisk)
{
    if (code <= 0 || code == 10 || code == 30 || code == 140)
        return QString();
    switch (code) {
    case 40: return QStringLiteral("Some files were skipped while ") + op + QStringLiteral(".");
    case 50: return QStringLiteral("The Zip file is empty.");
    case 100: return QStringLiteral("Could not find the archive file.");
    case 110:
    case 160: return QStringLiteral("The archive file is corrupted. Try using the Fix option on it.");
    case 120: return QStringLiteral("Ran out of memory while ") + op + QStringLiteral(".");
    case 130: return QStringLiteral("Invalid property settings. Check your code.");
    case 150:
        return multidisk ? QStringLiteral("A full disk was inserted instead of an empty one.")
                         : QStringLiteral("Disk full while ") + op + QStringLiteral(".");
    case 180:
        return QStringLiteral("Another application is currently performing a similar task. Wait until the "
                              "other application has completed its operation.");
    case 190: return QStringLiteral("The ") + op + QStringLiteral(" operation was aborted.");
    case 200: return QStringLiteral("Test failed - errors in the archive.");
    case 210: return QStringLiteral("No files ended up being tested in the archive.");
    case 280: return QStringLiteral("Problem with the temporary file.");
    case 290: return QStringLiteral("Problem reading from file while ") + op + QStringLiteral(".");
    case 300: return QStringLiteral("Problem writing to file while ") + op + QStringLiteral(".");
    case 310: return QStringLiteral("Problem creating file while ") + op + QStringLiteral(".");
    case 350: return QStringLiteral("Attempt to remove parent directory.");
    case 370: return QStringLiteral("Names repeated in archive after discarding pathnames.");
    case 380:
        return QStringLiteral("Could not update the Zip archive date. Archive only contains directories or is empty.");
    case 400: return QStringLiteral("Read/Write error with the Zip file or one of the files to process.");
    case 410: return QStringLiteral("Cannot work on multiple-disk archives when not in Multidisk mode.");
    case 420: return QStringLiteral("Wrong disk was inserted too many times.");
    case 430: return QStringLiteral("Operation not supported for Multidisk Zip archives.");
    case 440: return QStringLiteral("Could not open the self-extractor binary.");
    case 450: return QStringLiteral("Could not open the self-extractor configuration file");
    case 460: return QStringLiteral("Invalid command parameter passed to an Xceed Zip event.");
    case 470: return QStringLiteral("Not enough space on first disk to write self-extractor.");
    case 490: return QStringLiteral("Invalid self-extractor binary version.");
    case 510: return QStringLiteral("Problem creating destination directory while ") + op + QStringLiteral(".");
    case 520:
        return QStringLiteral("The files could not be encrypted while ") + op
            + QStringLiteral(", so nothing was written: the archive is as it was.");
    default: return QStringLiteral("An error occured while ") + op + QStringLiteral(" the specified files.");
    }
}

platform::Icon resultMessageIcon(int code)
{
    return code == 40 || code == 50 || code == 190 ? platform::Icon::Exclamation : platform::Icon::Critical;
}

void ShowResultMessage(int code, const QString &operation, bool multidisk)
{
    const QString text = resultMessageText(code, operation, multidisk);
    if (text.isEmpty())
        return;
    platform::msgBox(text, platform::Buttons::OKOnly, resultMessageIcon(code), platform::applicationTitle());
}

void ShowResultMessage(int code, const QString &operation, const ZipMain &zip)
{
    ShowResultMessage(code, operation, zip.multidisk());
}

QString SelectArchive(int kind, QWidget *parent)
{
    platform::FileDialogRequest request;
    request.parent = parent;
    // The filter pairs of the archive dialog, in Qt's form.
    request.filter = QStringLiteral("Zip archives (*.zip);;Self-extracting Zip archives (*.exe);;All files (*.*)");
    request.defaultSuffix = QStringLiteral("zip");
    request.mustExist = kind != dialogkind::New;
    std::optional<QString> chosen;
    switch (kind) {
    case dialogkind::New:
        request.title = QStringLiteral("New Archive");
        chosen = platform::services().saveFileName(request);
        break;
    case dialogkind::Test: request.title = QStringLiteral("Test Archive"); break;
    case dialogkind::Fix: request.title = QStringLiteral("Fix Archive"); break;
    case dialogkind::Delete: request.title = QStringLiteral("Delete Archive"); break;
    default: request.title = QStringLiteral("Open Archive"); break;
    }
    if (kind != dialogkind::New)
        chosen = platform::services().openFileName(request);
    if (!chosen || chosen->isEmpty())
        return QString();
    QString name = *chosen;
    // A name typed without an extension gets the default one.
    if (QFileInfo(name).suffix().isEmpty() && !name.endsWith(QLatin1Char('.')))
        name += QStringLiteral(".zip");
    return name;
}

// ---------------------------------------------------------------------------

ExtractDialog::ExtractDialog(ZipMain &zip, QWidget *parent) : QDialog(parent), m_zip(zip)
{
    setObjectName(QStringLiteral("ExtractDialog"));
    setWindowTitle(QStringLiteral("Extract archive"));
    setModal(true);

    auto *drivesLabel = new QLabel(QStringLiteral("Drives:"), this);
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("drvExtract"));
    m_drives->setAccessibleName(QStringLiteral("Drives:"));
    drivesLabel->setBuddy(m_drives);

    auto *foldersLabel = new QLabel(QStringLiteral("Directories:"), this);
    m_folders = new QListWidget(this);
    m_folders->setObjectName(QStringLiteral("dirExtract"));
    m_folders->setAccessibleName(QStringLiteral("Directories:"));
    foldersLabel->setBuddy(m_folders);

    auto *textLabel = new QLabel(QStringLiteral("Extract files to:"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtExtract"));
    m_text->setAccessibleName(QStringLiteral("Extract files to:"));
    textLabel->setBuddy(m_text);

    m_select = new QPushButton(QStringLiteral("Select"), this);
    m_select->setObjectName(QStringLiteral("cmdSelect"));
    m_select->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(textLabel, 0, 0, 1, 2);
    grid->addWidget(m_text, 1, 0, 1, 2);
    grid->addWidget(foldersLabel, 2, 0);
    grid->addWidget(m_folders, 3, 0, 3, 1);
    grid->addWidget(drivesLabel, 2, 1);
    grid->addWidget(m_drives, 3, 1);
    grid->addWidget(m_select, 4, 1);
    grid->addWidget(m_cancel, 5, 1, Qt::AlignTop);

    fillDrives();
    connect(m_drives, &QComboBox::activated, this, [this](int) { drvExtract_Change(); });
    connect(m_folders, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const QString target = item->data(Qt::UserRole).toString();
        if (moveTo(target))
            dirExtract_Change();
    });
    connect(m_select, &QPushButton::clicked, this, [this] { cmdSelect_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    Form_Load();
}

bool ExtractDialog::run(ZipMain &zip, QWidget *parent)
{
    ExtractDialog dialog(zip, parent);
    dialog.exec();
    return !ExtractCancelled;
}

void ExtractDialog::fillDrives()
{
    m_drives->clear();
    m_driveRoots.clear();
    for (const platform::Volume &volume : platform::mountedVolumes()) {
        m_drives->addItem(volume.name);
        m_driveRoots << volume.root;
    }
}

int ExtractDialog::driveIndexFor(const QString &folder) const
{
    // The longest root that holds the folder.
    int best = -1;
    qsizetype bestLength = -1;
    const QString clean = QDir::cleanPath(folder);
    for (int i = 0; i < m_driveRoots.size(); ++i) {
        const QString root = m_driveRoots[i];
        if (root.isEmpty())
            continue;
        const bool inside =
            clean == root || clean.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        // Drive A wins over the volume it lives on, whatever the lengths.
        const qsizetype length = m_drives->itemText(i) == QLatin1String("A:") ? 1 << 20 : root.size();
        if (inside && length > bestLength) {
            best = i;
            bestLength = length;
        }
    }
    return best;
}

void ExtractDialog::fillFolders()
{
    m_folders->clear();
    QDir dir(m_currentFolder);
    if (!dir.isRoot()) {
        auto *up = new QListWidgetItem(QStringLiteral(".."), m_folders);
        up->setData(Qt::UserRole, QFileInfo(m_currentFolder).path());
    }
    const QFileInfoList subfolders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &sub : subfolders) {
        if (sub.fileName() == QLatin1String(".disks"))
            continue;
        auto *item = new QListWidgetItem(sub.fileName(), m_folders);
        item->setData(Qt::UserRole, sub.absoluteFilePath());
    }
}

bool ExtractDialog::moveTo(const QString &folder)
{
    QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable())
        return false;
    m_currentFolder = QDir(folder).absolutePath();
    fillFolders();
    const int drive = driveIndexFor(m_currentFolder);
    if (drive >= 0) {
        m_driveIndex = drive;
        m_drives->setCurrentIndex(drive);
    }
    return true;
}

void ExtractDialog::Form_Load()
{
    const QString folder = m_zip.extractFolder();
    if (folder.isEmpty()) {
        moveTo(QDir::currentPath());
        m_text->setText(QDir::toNativeSeparators(m_currentFolder));
        return;
    }
    m_text->setText(folder);
    const std::optional<QString> local = platform::localPath(folder);
    if (!local || !moveTo(*local))
        moveTo(QDir::currentPath());
}

void ExtractDialog::dirExtract_Change()
{
    m_text->setText(m_currentFolder);
}

void ExtractDialog::drvExtract_Change()
{
    const int index = m_drives->currentIndex();
    if (index < 0 || index >= m_driveRoots.size())
        return;
    const QString root = m_driveRoots[index];
    if (root.isEmpty() || !moveTo(root)) {
        platform::msgBox(m_drives->itemText(index).toUpper() + QStringLiteral("\\ is not accessible")
                             + platform::kParagraphBreak + QStringLiteral("The device is not ready"),
                         platform::Buttons::OKOnly, platform::Icon::Critical, QStringLiteral("Error"));
        m_drives->setCurrentIndex(driveIndexFor(m_currentFolder));
        return;
    }
    dirExtract_Change();
}

void ExtractDialog::cmdSelect_Click()
{
    m_zip.setExtractFolder(m_text->text().trimmed());
    ExtractCancelled = false;
    accept();
}

void ExtractDialog::cmdCancel_Click()
{
    ExtractCancelled = true;
    QDialog::reject();
}

void ExtractDialog::reject()
{
    // Escape or the window frame: the operator confirmed no folder.
    cmdCancel_Click();
}

} // namespace backup
