#pragma once

#include "store/Database.h"
#include "store/EngineError.h"

#include <memory>

namespace store {

struct RepairReport {
    qint64 rowsRecovered = 0;  // rows copied into the repaired file
    qint64 rowsLost = 0;       // rows known to exist (from the indexes) that could not be read
    bool wasDamaged = false;   // the integrity check found damage
};

// The engine object: opening, compacting and repairing database files.
namespace DBEngine {

std::shared_ptr<Database> OpenDatabase(const QString &name, EngineError *error);

// Writes a complete, compacted copy of `source` into `destination`, which
// must not exist yet. The copy is checked before this returns true; on
// failure no destination file is left behind.
bool CompactDatabase(const QString &source, const QString &destination, EngineError *error);

// Repairs the file in place: when the integrity check finds damage, every
// row that can still be read is copied into a fresh file that replaces the
// damaged one.
bool RepairDatabase(const QString &path, EngineError *error, RepairReport *report = nullptr);

} // namespace DBEngine
} // namespace store
