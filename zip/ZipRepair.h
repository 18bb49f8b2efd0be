#pragma once

#include <QString>
#include <functional>

namespace backup {

struct RepairOutcome {
    quint16 code = 0;
    int recovered = 0;
};

// Rebuilds an archive from its local headers into target, keeping every
// entry whose data is whole (CRC checked where the entry is not encrypted).
// The normal mode stops at the first damaged place; the aggressive mode
// searches past it for further entries. onEntry is told each entry kept and
// returns false to abort. Nothing is written when no entry is kept (110).
RepairOutcome repairArchive(const QString &source, const QString &target, bool aggressive,
                            const std::function<bool(const QString &)> &onEntry);

// The same over bytes in memory (the fuzz target): the rebuilt archive.
RepairOutcome repairBytes(const QByteArray &damaged, bool aggressive, QByteArray &rebuilt,
                          const std::function<bool(const QString &)> &onEntry = {});

} // namespace backup
