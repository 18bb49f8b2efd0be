#include "app/ServerChoice.h"

#include "app/DataFolder.h"
#include "platform/Keyring.h"
#include "store/DatabaseChoice.h"
#include "store/ServerDatabase.h"
#include "store/server/ServerConnection.h"

#include <QSettings>

namespace app::ServerChoice {

namespace {
const QString kUrlSetting = QStringLiteral("Database/url");
const QString kKeyringService = QStringLiteral("Vantrel database server");

QString keyringKey(const QString &url)
{
    return store::ServerConnection::userOf(url) + QLatin1Char('@') + store::ServerConnection::describe(url);
}
} // namespace

QString savedUrl()
{
    const QSettings user(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    if (user.contains(kUrlSetting))
        return user.value(kUrlSetting).toString().trimmed();
    const QSettings site(runningLayout().siteSettingsFile, QSettings::IniFormat);
    return site.value(kUrlSetting).toString().trimmed();
}

void applyAtStart(const QString &commandLineUrl)
{
    const QString url = commandLineUrl.isEmpty() ? savedUrl() : commandLineUrl;
    store::DatabaseChoice::setServerUrl(url);
    store::DatabaseChoice::setServerPassword(
        url.isEmpty() ? QString() : platform::Keyring::read(kKeyringService, keyringKey(url)).value_or(QString()));
}

bool connect(const QString &url, const QString &password, bool *keptInKeyring, store::EngineError *error)
{
    *keptInKeyring = false;
    QSettings user(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty()) {
        // An empty entry in the user's settings wins over the site's.
        user.setValue(kUrlSetting, QString());
        store::DatabaseChoice::setServerUrl(QString());
        store::DatabaseChoice::setServerPassword(QString());
        return true;
    }
    if (!store::ServerDatabase::isServerUrl(trimmed))
        return store::fail(error, store::Err::CannotOpen,
                           QStringLiteral("The database URL is not valid: it starts with postgresql:// "
                                          "(for example postgresql://desk1@db.example:5432/vantrel)."));
    const QString previousPassword = store::DatabaseChoice::serverPassword();
    store::DatabaseChoice::setServerPassword(password);
    // Opening checks the server answers and holds the program's tables.
    if (!store::ServerDatabase::open(trimmed, error)) {
        store::DatabaseChoice::setServerPassword(previousPassword);
        return false;
    }
    store::DatabaseChoice::setServerUrl(trimmed);
    user.setValue(kUrlSetting, trimmed);
    *keptInKeyring = password.isEmpty() || platform::Keyring::write(kKeyringService, keyringKey(trimmed), password);
    return true;
}

QString mainMenuCaption()
{
    if (!store::DatabaseChoice::onServer())
        return QStringLiteral("Main Menu");
    return QStringLiteral("Main Menu - database server %1")
        .arg(store::ServerConnection::describe(store::DatabaseChoice::serverUrl()));
}

} // namespace app::ServerChoice
