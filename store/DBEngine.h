#pragma once

#include "store/Database.h"
#include "store/EngineError.h"
#include "store/salvage/WholeFile.h"

#include <memory>

namespace store {

// The engine object: opening, compacting and repairing database files.
namespace DBEngine {

std::shared_ptr<Database> OpenDatabase(const QString &name, EngineError *error);

} // namespace DBEngine
} // namespace store
