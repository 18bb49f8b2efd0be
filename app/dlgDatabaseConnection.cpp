#include "app/dlgDatabaseConnection.h"

#include "app/ServerChoice.h"
#include "platform/Services.h"
#include "store/DatabaseChoice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace app {

dlgDatabaseConnection::dlgDatabaseConnection(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgDatabaseConnection"));
    setWindowTitle(QStringLiteral("Database Connection"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("Several desks share one PostgreSQL database: give its connection URL. "
                                            "Leave it empty to work on the database file of the program folder."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *urlLabel = new QLabel(QStringLiteral("Connection &URL:"), this);
    txtUrl = new QLineEdit(store::DatabaseChoice::serverUrl(), this);
    txtUrl->setObjectName(QStringLiteral("txtUrl"));
    txtUrl->setPlaceholderText(QStringLiteral("postgresql://desk1@db.example:5432/vantrel?sslmode=verify-full"));
    txtUrl->setAccessibleName(QStringLiteral("Connection URL"));
    txtUrl->setMinimumWidth(440);
    urlLabel->setBuddy(txtUrl);

    auto *passwordLabel = new QLabel(QStringLiteral("&Password (kept in the desktop's keyring):"), this);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setAccessibleName(QStringLiteral("Password (kept in the desktop's keyring)"));
    passwordLabel->setBuddy(txtPassword);
    for (QWidget *w : {static_cast<QWidget *>(urlLabel), static_cast<QWidget *>(txtUrl),
                       static_cast<QWidget *>(passwordLabel), static_cast<QWidget *>(txtPassword)})
        layout->addWidget(w);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &dlgDatabaseConnection::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &dlgDatabaseConnection::reject);
    layout->addWidget(buttons);
}

void dlgDatabaseConnection::accept()
{
    store::EngineError error;
    bool inKeyring = false;
    bool connected = false;
    {
        const platform::Hourglass busy;
        connected = ServerChoice::connect(txtUrl->text(), txtPassword->text(), &inKeyring, &error);
    }
    // The dialog stays open with what was typed, for a corrected try.
    if (!connected) {
        platform::msgBox(error.text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return;
    }
    if (!inKeyring)
        platform::msgBox(QStringLiteral("No keyring is available on this computer, so the password is kept only "
                                        "until the program ends."),
                         platform::Buttons::OKOnly, platform::Icon::Information);
    QDialog::accept();
}

} // namespace app
