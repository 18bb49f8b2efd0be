#pragma once

#include "backup/BackupFlows.h"
#include "backup/ZipWindowRules.h"

#include "platform/LongOperation.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
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
// progress bar and Abort. The commands are the flows of BackupFlows; the
// window shows their state and the archive's entries.
class frmZipCreate : public QMainWindow, private BackupWindow
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

    // The menus' marks and enabled items, set as each opens.
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuOptions_Click();
    void mnuOptionsDriveA_Click();

    void SetBusy(bool enter);
    void ListArchive(const QString &operation);
    void ShowArchiveSummary();
    void SetProgress(int percent);
    bool HasSelection() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // BackupWindow
    QWidget *dialogParent() override { return this; }
    bool marked(Mark mark) const override;
    void setMarked(Mark mark, bool on) override;
    void setBusy(bool enter) override { SetBusy(enter); }
    void setStatus(const QString &text) override;
    void setProgress(int percent) override { SetProgress(percent); }
    void setCaption(const QString &caption) override { setWindowTitle(caption); }
    void clearList() override;
    void listArchive(const QString &operation) override { ListArchive(operation); }
    void showArchiveSummary() override { ShowArchiveSummary(); }
    QStringList selectedEntries() const override;
    void selectAll() override;
    bool chooseExtractFolder() override;

    void createMenus();
    void createControls();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption, std::function<void()> handler);
    void markedByCommands(std::initializer_list<QAction *> items);
    void Form_Load();
    void Form_Resize();
    rules::ArchiveState archiveState() const;
    void zipMain_Listing(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime, int ratio);

    ZipMain *ZipMain_ = nullptr;
    std::unique_ptr<BackupPassword> m_password;
    std::unique_ptr<BackupFlows> m_flows;
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

    QHash<QAction *, std::function<void()>> m_handlers;
    qint16 BusyCount = 0;
    std::unique_ptr<platform::LongOperation> m_operation;
    rules::ListingTotals m_totals;
    qint64 ExpectedCount = 0;
    rules::Layout m_layout;
    bool m_loaded = false;
};

} // namespace backup
