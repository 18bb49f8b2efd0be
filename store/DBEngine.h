#pragma once

#include "store/Database.h"
#include "store/EngineError.h"
#include "store/salvage/WholeFile.h"

#include <memory>

namespace store {

// The engine object: opening, compacting and repairing database files.
namespace DBEngine {

// Opens a database file, or a server's database when `name` is a connection
// URL (postgresql://...).

std::shared_ptr<Database> OpenDatabase(const QString &name, EngineError *error);

} // namespace DBEngine
} // namespace store
