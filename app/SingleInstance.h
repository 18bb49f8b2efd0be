#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

namespace app {

// One main menu per database: a second start brings the running main menu
// forward instead of opening the file twice, which is how edits are lost.
// The claim is a lock on a file in the account's runtime folder, named after
// the program folder; the kernel drops it when its process ends, so a
// crashed run never blocks the next start. The main menu's process also
// listens on a local socket beside it for the request to come forward.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        First,  // this process holds the claim
        Raised, // another process's main menu came forward
        Busy,   // another process holds the claim and did not answer
        Failed, // the runtime folder cannot be used
    };

    explicit SingleInstance(const QString &programFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the claim, or asks its holder to bring its main menu forward.
    // message() says what happened for Raised, Busy and Failed.
    Outcome claimOrRaise();
    // Takes the claim without asking anyone: for a command that must run
    // alone on the file.
    Outcome claim();
    QString message() const { return m_message; }

    // While this process holds the claim, requests to come forward raise
    // this window. Call after claimOrRaise() returned First.
    bool listen(QWidget *mainMenu);

    QString lockPath() const { return m_base + QStringLiteral(".lock"); }
    QString socketPath() const { return m_base + QStringLiteral(".socket"); }

private:
    bool tryLock();
    int lockHolder() const;
    bool askToRaise(int waitMs);
    void answer();

    QString m_base;
    int m_fd = -1;
    QString m_message;
    QLocalServer *m_server = nullptr;
    QPointer<QWidget> m_window;
};

// The request and the answer on the socket.
inline constexpr char kRaiseRequest[] = "raise\n";
inline constexpr char kRaisedAnswer[] = "raised\n";

} // namespace app
