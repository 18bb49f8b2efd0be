#include "backup/XZIPDEMO1.h"

#include "platform/DriveA.h"
#include "platform/Services.h"
#include "zip/ZipMain.h"

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
    return dialog.selected();
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
    m_selected = true;
    accept();
}

void ExtractDialog::cmdCancel_Click()
{
    m_selected = false;
    QDialog::reject();
}

void ExtractDialog::reject()
{
    // Escape or the window frame: the operator confirmed no folder.
    cmdCancel_Click();
}

} // namespace backup
