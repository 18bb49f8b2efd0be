#include "backup/BackupPassword.h"

#include "platform/Services.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace backup {

namespace {

const QString kService = QStringLiteral("Vantrel backups");
const QString kKey = QStringLiteral("archive password");

// Runs a keyring job to its end; a keyring that does not answer within a few
// seconds counts as none.
bool runJob(QKeychain::Job &job)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    if (!finished)
        loop.exec();
    return finished && job.error() == QKeychain::NoError;
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
    // Without a session bus no keyring can answer; asking would only wait.
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

std::optional<QString> BackupPassword::readKeyring()
{
    if (!keyringAvailable())
        return std::nullopt;
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(kKey);
    if (!runJob(job))
        return job.error() == QKeychain::EntryNotFound ? std::optional<QString>(QString()) : std::nullopt;
    return job.textData();
}

bool BackupPassword::writeKeyring(const QString &password)
{
    if (!keyringAvailable())
        return false;
    if (password.isEmpty()) {
        QKeychain::DeletePasswordJob job(kService);
        job.setKey(kKey);
        return runJob(job) || job.error() == QKeychain::EntryNotFound;
    }
    QKeychain::WritePasswordJob job(kService);
    job.setKey(kKey);
    job.setTextData(password);
    return runJob(job);
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
    platform::msgBox(QStringLiteral("Write this password down and keep it in a safe place: without it the backups "
                                    "you make from now on cannot be restored.")
                         + (m_inKeyring ? QString()
                                        : platform::kParagraphBreak
                                    + QStringLiteral("No keyring is available on this computer, so the "
                                                     "password is kept only while this window stays open.")),
                     platform::Buttons::OKOnly, platform::Icon::Information);
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
