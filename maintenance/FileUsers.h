#pragma once

#include <QList>
#include <QString>

namespace maintenance {

// The processes that hold a file open, this one included, as far as the
// system lets us see (on Linux: every process of the same user). Replacing a
// database under a process that holds it would send that process's next
// writes into a file no one will read again.
QList<qint64> processesHoldingOpen(const QString &path);

} // namespace maintenance
