#pragma once

#include "backup/ZipWindowRules.h"

#include "platform/LongOperation.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QStatusBar;
class QPushButton;
class QTreeWidget;

namespace backup {

class ZipMain;
class BackupPassword;

// "Database Backup": one zip archive at a time, its entries in a list, a
// one-line message in the status bar, and while an operation runs a
// progress bar and Abort. Every archive operation goes through ZipMain; the
// database itself is archived from a consistent copy and restored through a
// checked copy that replaces it in one rename.
class frmZipCreate : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmZipCreate(QWidget *parent = nullptr);
    ~frmZipCreate() override;

    ZipMain &zipMain() { return *ZipMain_; }
    QString statusText() const;
    QTreeWidget *list() const { return lstMain; }
    QAction *menuItem(const QString &name) const;
    int busyCount() const { return BusyCount; }

    // File
    void mnuFile_Click();
    void mnuFileWizard_Click();
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileClose_Click();
    void mnuFileTest_Click();
    void mnuFileFixNormal_Click();
    void mnuFileFixAgressive_Click();
    void mnuFileDelete_Click();
    void MnuFileExit_Click();
    // Edit
    void mnuEdit_Click();
    void mnuEditAdd_Click();
    void mnuEditDelete_Click();
    void mnuEditExtract_Click();
    void mnuEditUpdate_Click();
    void mnuEditUpdateZipDate_Click();
    void mnuEditSelectAll_Click();
    // Options
    void mnuOptions_Click();
    void mnuOptionsBest_Click();
    void mnuOptionsNormal_Click();
    void mnuOptionsFastest_Click();
    void mnuOptionsStore_Click();
    void mnuOptionsMultidiskMode_Click();
    void mnuOptionsClearDisks_Click();
    void mnuOptionsUseTempFile_Click();
    void mnuOptionsPassword_Click();
    void mnuOptionsDriveA_Click();
    void offerEject();
    // Automatic
    void mnuAutomaticBackup_Click();
    void mnuAutomaticRestore_Click();

    void cmdAbort_Click();

    // Routines the commands share.
    void SetBusy(bool enter);
    void ListArchive(const QString &operation);
    void ShowArchiveSummary();
    void SetProgress(int percent);
    bool HasSelection() const;

    // The component's events.
    void zipMain_Adding(const QString &fileName, qint64 size);
    void zipMain_Updating(const QString &fileName, qint64 size);
    void zipMain_Extracting(const QString &fileName, qint64 size);
    void zipMain_Testing(const QString &fileName, qint64 size);
    void zipMain_Deleting(const QString &fileName);
    void zipMain_Fixing(const QString &fileName);
    void zipMain_Listing(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime, int ratio);
    void zipMain_Status(int completion);
    void zipMain_Newdisk(int diskNumber);
    void zipMain_Replace(const QString &origName, int &cmd);
    void zipMain_SkippingFile(const QString &fileName, int reason);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createControls();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption, void (frmZipCreate::*handler)());
    void markedByCommands(std::initializer_list<QAction *> items);
    void connectEvents();
    void Form_Load();
    void Form_Resize();
    void setStatus(const QString &text);
    rules::ArchiveState archiveState() const;

    // File choice of Add and Update.
    QString SelectFiles(const QString &title);
    void addOrUpdate(bool update);
    void ProcessSelectedFiles(int operation);
    quint16 extractDatabaseEntries(const QStringList &entries, bool *restoredAny);
    void FixArchive(bool aggressive);
    // "A:\VantrelBackup.zip" when drive A holds a disk; otherwise the
    // no-disk message and an empty name.
    QString driveAArchive();
    QString databasePath() const;
    bool checked(QAction *item) const;

    ZipMain *ZipMain_ = nullptr;
    std::unique_ptr<BackupPassword> m_password;
    QTreeWidget *lstMain = nullptr;
    QStatusBar *stbMain = nullptr;
    QLabel *m_statusLine = nullptr;
    QProgressBar *prbMain = nullptr;
    QPushButton *cmdAbort = nullptr;

    QMenu *mnuFile = nullptr;
    QMenu *mnuEdit = nullptr;
    QMenu *mnuOptions = nullptr;
    QMenu *mnuOptionsDriveA = nullptr;
    QMenu *mnuAutomatic = nullptr;
    QMenu *mnuFileFix = nullptr;
    QAction *mnuFileWizard = nullptr;
    QAction *mnuFileClose = nullptr;
    QAction *mnuFileTest = nullptr;
    QAction *mnuFileDelete = nullptr;
    QAction *mnuEditAdd = nullptr;
    QAction *mnuEditDelete = nullptr;
    QAction *mnuEditExtract = nullptr;
    QAction *mnuEditUpdate = nullptr;
    QAction *mnuEditUpdateZipDate = nullptr;
    QAction *mnuEditSelectAll = nullptr;
    QAction *mnuOptionsBest = nullptr;
    QAction *mnuOptionsNormal = nullptr;
    QAction *mnuOptionsFastest = nullptr;
    QAction *mnuOptionsStore = nullptr;
    QAction *mnuOptionsMultidiskMode = nullptr;
    QAction *mnuOptionsClearDisks = nullptr;
    QAction *mnuOptionsUseTempFile = nullptr;
    QAction *mnuAutomaticBackup = nullptr;
    QAction *mnuAutomaticRestore = nullptr;

    // The filter the file choice of Add and Update holds.
    QString m_selectFilesFilter;

    QHash<QAction *, void (frmZipCreate::*)()> m_handlers;
    qint16 BusyCount = 0;
    std::unique_ptr<platform::LongOperation> m_operation;
    rules::ListingTotals m_totals;
    qint64 ExpectedCount = 0;
    rules::Layout m_layout;
    bool m_loaded = false;
    bool m_passwordRefused = false; // the last extraction skipped a file for its password
};

} // namespace backup
