#include "app/SingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace app {

SingleInstance::SingleInstance(const QString &programFolder, QObject *parent) : QObject(parent)
{
    // Two copies of the program on two databases may run at once; two on one
    // database may not. The name is kept short: a socket path has ~100 bytes.
    QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath());
    const QByteArray key = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        m_base = QDir(runtime).filePath(QStringLiteral("vantrel-") + QString::fromLatin1(key));
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
        QLocalServer::removeServer(socketPath());
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::tryLock()
{
    if (m_base.isEmpty()) {
        m_message = QStringLiteral("The runtime folder of this account cannot be used (XDG_RUNTIME_DIR).");
        return false;
    }
    const QByteArray path = QFile::encodeName(lockPath());
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_message =
            QStringLiteral("%1 cannot be opened: %2").arg(lockPath(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    // The holder's process number, for the messages of those who wait.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, pid.constData(), size_t(pid.size()), 0) != pid.size())
        qWarning("The process number cannot be written to %s", path.constData());
    return true;
}

int SingleInstance::lockHolder() const
{
    QFile file(lockPath());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toInt();
}

SingleInstance::Outcome SingleInstance::claim()
{
    m_message.clear();
    if (tryLock())
        return Outcome::First;
    if (!m_message.isEmpty())
        return Outcome::Failed;
    m_message =
        QStringLiteral("Vantrel is already working on the database of this folder (process %1).").arg(lockHolder());
    return Outcome::Busy;
}

SingleInstance::Outcome SingleInstance::claimOrRaise()
{
    const Outcome outcome = claim();
    if (outcome != Outcome::Busy)
        return outcome;
    // The holder may be starting and not listen yet; a command that holds
    // the file never listens.
    if (askToRaise(5000)) {
        m_message = QStringLiteral("Vantrel is already running: its main menu was brought forward.");
        return Outcome::Raised;
    }
    m_message = QStringLiteral("Vantrel is already working on the database of this folder (process %1) and "
                               "does not answer. Try again when it has finished.")
                    .arg(lockHolder());
    return Outcome::Busy;
}

bool SingleInstance::askToRaise(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500)) {
            socket.write(kRaiseRequest);
            socket.waitForBytesWritten(1000);
            while (socket.bytesAvailable() < qint64(sizeof kRaisedAnswer - 1)
                   && socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            }
            return socket.readAll() == kRaisedAnswer;
        }
        QThread::msleep(100);
    }
    return false;
}

bool SingleInstance::listen(QWidget *mainMenu)
{
    m_window = mainMenu;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed run is ours to remove: we hold the lock.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        m_message = QStringLiteral("%1 cannot be opened: %2").arg(socketPath(), m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
    return true;
}

void SingleInstance::answer()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto request = [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() != kRaiseRequest || !m_window) {
                socket->disconnectFromServer();
                return;
            }
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
            m_window->show();
            m_window->raise();
            m_window->activateWindow();
            // A modal dialog open over the main menu stays on top of it.
            if (QWidget *modal = QApplication::activeModalWidget()) {
                modal->raise();
                modal->activateWindow();
            }
            socket->write(kRaisedAnswer);
            socket->flush();
        };
        connect(socket, &QLocalSocket::readyRead, socket, request);
        // The request may have come with the connection.
        request();
    }
}

} // namespace app
