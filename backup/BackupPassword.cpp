#include "backup/BackupPassword.h"

#include "platform/Keyring.h"
#include "platform/Services.h"

#include <QFile>
#include <QSettings>
#include <sys/stat.h>
#include <unistd.h>

namespace backup {

namespace {

const QString kService = QStringLiteral("Vantrel backups");
const QString kKey = QStringLiteral("archive password");
const QString kEncryptedSetting = QStringLiteral("Backup/encrypted");

QSettings userSettings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
}

} // namespace

BackupPassword::BackupPassword()
{
    if (const std::optional<QString> stored = readKeyring()) {
        m_password = *stored;
        m_inKeyring = !stored->isEmpty();
    }
}

bool BackupPassword::keyringAvailable()
{
    return platform::Keyring::available();
}

std::optional<QString> BackupPassword::readKeyring()
{
    return platform::Keyring::read(kService, kKey);
}

bool BackupPassword::writeKeyring(const QString &password)
{
    return platform::Keyring::write(kService, kKey, password);
}

bool BackupPassword::choose(QWidget *parent)
{
    platform::TextInputRequest first;
    first.parent = parent;
    first.title = QStringLiteral("Backup password");
    first.prompt = QStringLiteral("Type the password that will protect your backups (leave it empty to stop "
                                  "protecting them):");
    first.secret = true;
    const std::optional<QString> typed = platform::services().textInput(first);
    if (!typed)
        return false;
    if (typed->isEmpty()) {
        writeKeyring(QString());
        rememberEncryption(false);
        m_password.clear();
        m_inKeyring = false;
        platform::msgBox(QStringLiteral("Your backups will no longer be protected with a password."),
                         platform::Buttons::OKOnly, platform::Icon::Information);
        return true;
    }
    platform::TextInputRequest second = first;
    second.prompt = QStringLiteral("Type the same password again:");
    const std::optional<QString> again = platform::services().textInput(second);
    if (!again)
        return false;
    if (*again != *typed) {
        platform::msgBox(QStringLiteral("The two passwords are not the same. The password was not changed."),
                         platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    }
    m_password = *typed;
    m_inKeyring = writeKeyring(m_password);
    rememberEncryption(true);
    platform::msgBox(QStringLiteral("Write this password down and keep it in a safe place: without it the backups "
                                    "you make from now on cannot be restored.")
                         + (m_inKeyring ? QString()
                                        : platform::kParagraphBreak
                                    + QStringLiteral("No keyring is available on this computer, so the "
                                                     "password is kept only while this window stays open.")),
                     platform::Buttons::OKOnly, platform::Icon::Information);
    return true;
}

bool BackupPassword::encryptionRemembered()
{
    return userSettings().value(kEncryptedSetting, false).toBool();
}

void BackupPassword::rememberEncryption(bool encrypted)
{
    QSettings settings = userSettings();
    settings.setValue(kEncryptedSetting, encrypted);
    settings.sync();
}

std::optional<QString> BackupPassword::readPasswordFile(const QString &path, QString *why)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = QStringLiteral("the password file '%1' does not exist or is not a file.").arg(path);
        return std::nullopt;
    }
    if (st.st_uid != ::getuid() || (st.st_mode & 0077) != 0) {
        *why = QStringLiteral("the password file '%1' must belong to you and be readable by you only "
                              "(chmod 600).")
                   .arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("the password file '%1' could not be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QString password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (password.isEmpty()) {
        *why = QStringLiteral("the password file '%1' holds no password.").arg(path);
        return std::nullopt;
    }
    return password;
}

bool BackupPassword::ensureForBackup(QWidget *parent)
{
    if (!m_password.isEmpty() || !encryptionRemembered())
        return true;
    platform::TextInputRequest ask;
    ask.parent = parent;
    ask.title = QStringLiteral("Backup password");
    ask.prompt = QStringLiteral("Your backups are protected with a password, and no keyring holds it on this "
                                "computer. Type the backup password:");
    ask.secret = true;
    const std::optional<QString> typed = platform::services().textInput(ask);
    if (!typed || typed->isEmpty()) {
        platform::msgBox(QStringLiteral("The backup was not made: your backups are protected with a password, and "
                                        "none was typed. To stop protecting them, choose \"Protect backups with a "
                                        "password...\" in the Options menu and leave the password empty."),
                         platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    }
    m_password = *typed;
    return true;
}

std::optional<QString> BackupPassword::askForArchive(QWidget *parent)
{
    platform::TextInputRequest ask;
    ask.parent = parent;
    ask.title = QStringLiteral("Backup password");
    ask.prompt = QStringLiteral("This backup is protected with a password. Type its password:");
    ask.secret = true;
    return platform::services().textInput(ask);
}

} // namespace backup
