#pragma once

#include "backup/ArchiveChoice.h"
#include "platform/MessageBox.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace backup {

class ZipMain;

// "Extract archive": a drive list, a folder list and the folder to extract
// to. Select sets the component's extraction folder; Cancel, Escape or the
// window frame leave it, and the dialog answers that nothing was selected.
class ExtractDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ExtractDialog(ZipMain &zip, QWidget *parent = nullptr);

    // Shows the dialog modally; true when a folder was selected.
    static bool run(ZipMain &zip, QWidget *parent = nullptr);
    // Select was the last answer.
    bool selected() const { return m_selected; }

    void drvExtract_Change();
    void dirExtract_Change();
    void cmdSelect_Click();
    void cmdCancel_Click();

    QComboBox *drvExtract() const { return m_drives; }
    QListWidget *dirExtract() const { return m_folders; }
    QLineEdit *txtExtract() const { return m_text; }
    QPushButton *cmdSelect() const { return m_select; }
    QPushButton *cmdCancel() const { return m_cancel; }
    // The folder list's current folder.
    QString currentFolder() const { return m_currentFolder; }
    // Moves the folder list (and the drive list) to a folder; false when it
    // cannot be read.
    bool moveTo(const QString &folder);

protected:
    void reject() override;

private:
    void Form_Load();
    void fillDrives();
    void fillFolders();
    int driveIndexFor(const QString &folder) const;

    ZipMain &m_zip;
    bool m_selected = false;
    QComboBox *m_drives = nullptr;
    QListWidget *m_folders = nullptr;
    QLineEdit *m_text = nullptr;
    QPushButton *m_select = nullptr;
    QPushButton *m_cancel = nullptr;
    QString m_currentFolder;
    int m_driveIndex = -1;
    QList<QString> m_driveRoots;
};

} // namespace backup
