#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace about {

// The About window: title, version and a description, and a button that
// starts the system information tool. The main menu is disabled while it is
// open; every way of closing it enables the main menu again.
class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *mainMenu);

    void cmdOK_Click();
    void cmdSysInfo_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();

    QPointer<QWidget> m_mainMenu;
    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblFolder = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
};

QString versionText();

} // namespace about
