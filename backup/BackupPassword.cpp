#include "backup/BackupPassword.h"

#include "platform/Keyring.h"
#include "platform/Services.h"
#include "store/ProgramFolder.h"
#include "store/RawDatabase.h"
#include "store/Statement.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <sys/stat.h>
#include <unistd.h>

namespace backup {

namespace {

const QString kService = QStringLiteral("Vantrel backups");
const QString kKey = QStringLiteral("archive password");
const QString kEncryptedSetting = QStringLiteral("Backup/encrypted");
// The table of the database that keeps the same setting under the same name.
const QString kSettingsTable = QStringLiteral("VantrelSettings");

QSettings userSettings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
}

// What one record says of the protection.
enum class Said { Nothing, Yes, No, Unreadable };
struct Remembered {
    Said said = Said::Nothing;
    QString why;
};

Remembered fromSettings()
{
    QSettings settings = userSettings();
    const QFileInfo file(settings.fileName());
    // A settings file that is there but cannot be read reads as empty.
    if ((file.exists() || file.isSymLink()) && (!file.isFile() || !file.isReadable()))
        return {Said::Unreadable, QStringLiteral("the settings file %1 cannot be read").arg(settings.fileName())};
    if (settings.status() != QSettings::NoError)
        return {Said::Unreadable, QStringLiteral("the settings file %1 is damaged").arg(settings.fileName())};
    if (!settings.contains(kEncryptedSetting))
        return {};
    return {settings.value(kEncryptedSetting).toBool() ? Said::Yes : Said::No, QString()};
}

Remembered fromDatabase(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    const auto unreadable = [&](const QString &why) {
        return Remembered{Said::Unreadable, QStringLiteral("the database %1 cannot be read: %2").arg(path, why)};
    };
    store::RawDatabase db;
    store::EngineError e;
    if (!db.open(path, store::RawDatabase::ReadOnly, &e))
        return unreadable(e.text);
    store::Statement table(db.handle(),
                           QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    table.bind(1, kSettingsTable);
    if (!table.step())
        return unreadable(table.error().text);
    if (table.int64(0) == 0)
        return {};
    store::Statement value(db.handle(),
                           QStringLiteral("SELECT \"Value\" FROM \"%1\" WHERE \"Name\" = ?1").arg(kSettingsTable));
    value.bind(1, kEncryptedSetting);
    if (!value.step())
        return value.error().isError() ? unreadable(value.error().text) : Remembered{};
    return {value.value(0).toString() == QLatin1String("Yes") ? Said::Yes : Said::No, QString()};
}

bool writeToDatabase(const QString &path, bool encrypted, store::EngineError *error)
{
    store::RawDatabase db;
    if (!db.open(path, store::RawDatabase::ReadWrite, error))
        return false;
    return db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" (\"Name\" VARCHAR(64) PRIMARY KEY, "
                                  "\"Value\" VARCHAR(255))")
                       .arg(kSettingsTable),
                   error)
        && store::execSql(db.handle(),
                          QStringLiteral("INSERT OR REPLACE INTO \"%1\" (\"Name\", \"Value\") VALUES (?1, ?2)")
                              .arg(kSettingsTable),
                          error, {kEncryptedSetting, encrypted ? QStringLiteral("Yes") : QStringLiteral("No")})
        && db.close(error);
}

QString notKnownText(const QString &why)
{
    return QStringLiteral("The backup was not made: whether your backups are to be protected with a password is "
                          "not known, since %1. Make it readable again, or choose \"Protect backups with a "
                          "password...\" in the Options menu of the backup window to say it anew.")
        .arg(why);
}

QString notRecordedText()
{
    return QStringLiteral("This choice could not be recorded both in your settings and in the database; choose it "
                          "again once both can be written.");
}

} // namespace

QString BackupPassword::protectionNotKnownText(const QString &why)
{
    return notKnownText(why);
}

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
        const bool recorded = rememberEncryption(false);
        m_password.clear();
        m_inKeyring = false;
        platform::msgBox(QStringLiteral("Your backups will no longer be protected with a password.")
                             + (recorded ? QString() : platform::kParagraphBreak + notRecordedText()),
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
    const bool recorded = rememberEncryption(true);
    platform::msgBox(QStringLiteral("Write this password down and keep it in a safe place: without it the backups "
                                    "you make from now on cannot be restored.")
                         + (m_inKeyring ? QString()
                                        : platform::kParagraphBreak
                                    + QStringLiteral("No keyring is available on this computer, so the "
                                                     "password is kept only while this window stays open."))
                         + (recorded ? QString() : platform::kParagraphBreak + notRecordedText()),
                     platform::Buttons::OKOnly, platform::Icon::Information);
    return true;
}

BackupPassword::ProtectionState BackupPassword::protection()
{
    const Remembered settings = fromSettings();
    const Remembered database = fromDatabase(store::programPath(QStringLiteral("\\Vantrel.mdb")));
    if (settings.said == Said::Yes || database.said == Said::Yes) {
        // Kept by the settings alone (as before the database kept it too):
        // the database learns it now.
        if (settings.said == Said::Yes && database.said == Said::Nothing)
            writeToDatabase(store::programPath(QStringLiteral("\\Vantrel.mdb")), true, nullptr);
        return {Protection::On, QString()};
    }
    for (const Remembered &record : {settings, database})
        if (record.said == Said::Unreadable)
            return {Protection::Unknown, record.why};
    return {Protection::Off, QString()};
}

bool BackupPassword::rememberEncryption(bool encrypted)
{
    QSettings settings = userSettings();
    settings.setValue(kEncryptedSetting, encrypted);
    settings.sync();
    const QString database = store::programPath(QStringLiteral("\\Vantrel.mdb"));
    const bool inDatabase = !QFileInfo::exists(database) || writeToDatabase(database, encrypted, nullptr);
    return settings.status() == QSettings::NoError && inDatabase;
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
    if (!m_password.isEmpty())
        return true;
    const ProtectionState state = protection();
    if (state.protection == Protection::Unknown) {
        platform::msgBox(notKnownText(state.why), platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    }
    if (state.protection == Protection::Off)
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
