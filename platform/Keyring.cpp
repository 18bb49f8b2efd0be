#include "platform/Keyring.h"

#include "platform/LongOperation.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace platform::Keyring {

namespace {
// Runs a keyring job to its end.
bool runJob(QKeychain::Job &job)
{
    const LongOperation waiting(QStringLiteral("the wait for the keyring"));
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

bool available()
{
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

std::optional<QString> read(const QString &service, const QString &key)
{
    if (!available())
        return std::nullopt;
    QKeychain::ReadPasswordJob job(service);
    job.setKey(key);
    if (!runJob(job))
        return job.error() == QKeychain::EntryNotFound ? std::optional<QString>(QString()) : std::nullopt;
    return job.textData();
}

bool write(const QString &service, const QString &key, const QString &secret)
{
    if (!available())
        return false;
    if (secret.isEmpty()) {
        QKeychain::DeletePasswordJob job(service);
        job.setKey(key);
        return runJob(job) || job.error() == QKeychain::EntryNotFound;
    }
    QKeychain::WritePasswordJob job(service);
    job.setKey(key);
    job.setTextData(secret);
    return runJob(job);
}

} // namespace platform::Keyring
