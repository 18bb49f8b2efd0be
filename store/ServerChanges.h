#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>

namespace store {

// Tells the windows that another desk committed a change to a table of the
// server they show. Notices that come close together are told once, a
// moment later, with every table they named.
class ServerChanges : public QObject
{
    Q_OBJECT
public:
    static ServerChanges *instance();
    void note(const QStringList &tables);

signals:
    void changedElsewhere(const QSet<QString> &tables);

private:
    ServerChanges();
    QTimer m_settle;
    QSet<QString> m_tables;
};

} // namespace store
