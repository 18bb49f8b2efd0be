#pragma once

#include "platform/MessageBox.h"
#include "zip/ZipResults.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace backup {

class ZipMain;

// Kinds of archive file dialog (SelectArchive).
namespace dialogkind {
constexpr int Open = 0;
constexpr int New = 1;
constexpr int Test = 2;
constexpr int Fix = 3;
constexpr int Delete = 4;
} // namespace dialogkind

// Shows at most one box (OK, title "Vantrel") for a result code.
void ShowResultMessage(int code, const QString &operation, bool multidisk = false);
void ShowResultMessage(int code, const QString &operation, const ZipMain &zip);

// The archive file dialog of the given kind; the chosen name (with ".zip"
// added to a name typed without an extension), or empty when cancelled.
QString SelectArchive(int kind, QWidget *parent = nullptr);

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
