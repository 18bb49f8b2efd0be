#pragma once

#include <QObject>

namespace store {

// Tells the windows that show the file's data that a write was committed
// through one of the program's connections. The signal comes once per turn
// of the event loop, after the writing handler has finished, however many
// rows it wrote.
class WriteNotifier : public QObject
{
    Q_OBJECT
public:
    static WriteNotifier *instance();
    // Called on every commit of a write transaction.
    void noteCommit();

signals:
    void committed();

private:
    WriteNotifier() = default;
    bool m_pending = false;
};

} // namespace store
