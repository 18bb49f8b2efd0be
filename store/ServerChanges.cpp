#include "store/ServerChanges.h"

namespace store {

namespace {
// Long enough to gather a desk's burst of saves, short enough to feel
// immediate at the other desks.
constexpr int kSettleMs = 250;
} // namespace

ServerChanges *ServerChanges::instance()
{
    static ServerChanges *changes = new ServerChanges;
    return changes;
}

ServerChanges::ServerChanges()
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        const QSet<QString> tables = std::exchange(m_tables, {});
        if (!tables.isEmpty())
            emit changedElsewhere(tables);
    });
}

void ServerChanges::note(const QStringList &tables)
{
    if (tables.isEmpty())
        return;
    for (const QString &t : tables)
        m_tables.insert(t);
    if (!m_settle.isActive())
        m_settle.start();
}

} // namespace store
