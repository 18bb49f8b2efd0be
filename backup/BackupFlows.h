#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace backup {

class ZipMain;
class BackupPassword;

// What the flows change in the backup window: its marks, its busy state,
// its status line, progress and list, and the extraction folder dialog.
class BackupWindow
{
public:
    // The marks of the commands that run other commands in turn.
    enum class Mark { AutomaticBackup, AutomaticRestore, Wizard };

    virtual ~BackupWindow() = default;
    // The parent of the boxes and file dialogs.
    virtual QWidget *dialogParent() = 0;
    virtual bool marked(Mark mark) const = 0;
    virtual void setMarked(Mark mark, bool on) = 0;
    // Counted: nested scopes each enter and leave.
    virtual void setBusy(bool enter) = 0;
    virtual void setStatus(const QString &text) = 0;
    virtual void setProgress(int percent) = 0;
    virtual void setCaption(const QString &caption) = 0;
    // Empties the list and its totals.
    virtual void clearList() = 0;
    // Lists the archive in force again; a failure told with the operation.
    virtual void listArchive(const QString &operation) = 0;
    virtual void showArchiveSummary() = 0;
    // The archive paths of the selected rows; empty when nothing is selected.
    virtual QStringList selectedEntries() const = 0;
    virtual void selectAll() = 0;
    // "Extract archive": true when a folder was selected.
    virtual bool chooseExtractFolder() = 0;
};

// Enters the window's busy state for a scope, and leaves it on every way out.
class BusyScope
{
public:
    explicit BusyScope(BackupWindow &window) : m_window(window) { m_window.setBusy(true); }
    ~BusyScope() { m_window.setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    BackupWindow &m_window;
};

// The commands of the backup window that work on archives: new, open,
// test, fix and delete of an archive; add, update, restore and delete of
// its entries (the live database through a consistent copy and a checked
// restore); the automatic backup and restore to drive A and the wizard.
// The component's events become the window's status texts and boxes.
class BackupFlows
{
public:
    BackupFlows(BackupWindow &window, ZipMain &zip, BackupPassword &password);

    void newArchive();
    void openArchive();
    void closeArchive();
    void testArchive();
    void fixArchive(bool aggressive);
    void deleteArchive();

    void addOrUpdate(bool update);
    void extractEntries();
    void deleteEntries();
    void updateZipDate();

    void automaticBackup();
    void automaticRestore();
    void wizard();
    void abort();

    // Offers to eject drive A's volume where the desktop can.
    void offerEject();

private:
    void connectEvents();
    QString selectFiles(const QString &title);
    void processSelectedFiles(bool extract);
    // Extracts entries other than the database, where they may go (the
    // automatic restore: into the program folder only); the others are
    // told.
    quint16 extractOtherEntries(const QStringList &entries, bool automatic);
    quint16 extractDatabaseEntries(const QStringList &entries);
    // "A:\VantrelBackup.zip" when drive A holds a disk; otherwise the
    // no-disk message and an empty name.
    QString driveAArchive();
    void replace(const QString &origName, int &cmd);
    // Before a restore replaces a server's data: Yes sets `cmd` to replace,
    // Cancel aborts.
    void confirmServerReplace(int &cmd);

    BackupWindow &m_window;
    ZipMain &m_zip;
    BackupPassword &m_password;
    // The filter the file choice of Add and Update holds.
    QString m_selectFilesFilter;
    bool m_passwordRefused = false; // the last extraction skipped a file for its password
};

} // namespace backup
