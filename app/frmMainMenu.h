#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPushButton;

namespace customers {
class frmInformation;
}
namespace filter {
class frmFindWindow;
}
namespace reports {
class CrystalReport;
}

namespace app {

class ClickableImage;

// The start-up window and hub: it opens every other window and ends the
// program. It holds no data of its own.
class frmMainMenu : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMainMenu(QWidget *parent = nullptr);
    ~frmMainMenu() override;

    // How the program ends; tests replace it to watch the end happen.
    using ExitHandler = std::function<void()>;
    void setExitHandler(ExitHandler handler) { m_exit = std::move(handler); }

    QAction *menuAction(const QString &name) const;

    void Command1_Click();
    void Image1_Click();
    void MnuCustInfo_Click();
    void MnuBackupRestore_Click();
    void MnuDatabaseCompress_Click();
    void MnuDatabaseRepair_Click();
    void MnuDatabaseExport_Click();
    void MnuDatabaseImport_Click();
    void MnuDatabaseUndo_Click();
    void MnuDatabaseConnection_Click();
    void MnuModifyCenterInfo_Click();
    void MnuHelpAbout_Click();
    void MnuPrintMail_Click();
    void MnuPrintLocker_Click();
    void MnuPrintComplete_Click();
    void MnuLockerMap_Click();
    void MnuYearAhead_Click();
    void MnuHelpGuide_Click();

    QWidget *aboutWindow() const { return m_about; }
    QWidget *centerWindow() const { return m_center; }
    QWidget *lockerMapWindow() const { return m_lockerMap; }
    QWidget *yearAheadWindow() const { return m_yearAhead; }
    QWidget *backupWindow() const { return m_backup; }
    customers::frmInformation *informationWindow() const;
    // The one filter window of the run, created when first needed.
    filter::frmFindWindow *findWindow();

private:
    void createMenus();
    // On a server database: tells the operator why, and true (what asked
    // works on the database file only).
    bool refusedOnServer(const QString &why);
    void createControls();
    void showDateDialog();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption, void (frmMainMenu::*handler)());
    // Shows a window that lives beside the main menu: an open one comes to
    // the front unchanged, a closed one starts afresh.
    template<typename Window, typename Factory>
    Window *showSingle(QPointer<Window> &slot, Factory make);

    ClickableImage *Image1 = nullptr;
    QPushButton *Command1 = nullptr;
    QAction *MnuPrintMail = nullptr;
    QAction *MnuPrintLocker = nullptr;
    reports::CrystalReport *CrystalReport1 = nullptr;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_center;
    QPointer<QWidget> m_backup;
    bool m_openingBackup = false;
    QPointer<customers::frmInformation> m_information;
    QPointer<QWidget> m_lockerMap;
    QPointer<QWidget> m_yearAhead;
    std::unique_ptr<filter::frmFindWindow> m_find;
    ExitHandler m_exit;
};

} // namespace app
