#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QPushButton;

namespace store {
class DataControl;
}
namespace widgets {
class BoundLineEdit;
}

namespace center {

// The center's settings: the one row of CenterInformation, edited in eleven
// text boxes. What is typed is written when the window closes, however it
// closes; while it cannot be written the window stays open. The main menu
// disables itself before showing this window; every way out enables it again.
class frmCenterInformation : public QWidget
{
    Q_OBJECT
public:
    explicit frmCenterInformation(QWidget *mainMenu);
    ~frmCenterInformation() override;

    void Command1_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void Form_Load();
    // Writes the edits; false (the operator has been told why) keeps the window open.
    bool Form_Unload();
    void enableMainMenu();

    QPointer<QWidget> m_mainMenu;
    store::DataControl *Data1 = nullptr;
    QList<widgets::BoundLineEdit *> txtFields;
    QPushButton *Command1 = nullptr;
};

} // namespace center
