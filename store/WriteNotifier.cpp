#include "store/WriteNotifier.h"

#include <QCoreApplication>

namespace store {

WriteNotifier *WriteNotifier::instance()
{
    static WriteNotifier *notifier = new WriteNotifier;
    return notifier;
}

void WriteNotifier::noteCommit()
{
    if (m_pending || !QCoreApplication::instance())
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pending = false;
            emit committed();
        },
        Qt::QueuedConnection);
}

} // namespace store
