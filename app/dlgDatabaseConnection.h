#pragma once

#include <QDialog>

class QLineEdit;

namespace app {

// "Database Connection": which database this desk works on. A PostgreSQL
// connection URL and its password, checked before they are kept; an empty
// URL goes back to the program folder's database file.
class dlgDatabaseConnection : public QDialog
{
    Q_OBJECT
public:
    explicit dlgDatabaseConnection(QWidget *parent = nullptr);

    QLineEdit *urlEdit() const { return txtUrl; }
    QLineEdit *passwordEdit() const { return txtPassword; }
    void accept() override;

private:
    QLineEdit *txtUrl = nullptr;
    QLineEdit *txtPassword = nullptr;
};

} // namespace app
