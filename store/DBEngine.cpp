#include "store/DBEngine.h"

namespace store::DBEngine {

std::shared_ptr<Database> OpenDatabase(const QString &name, EngineError *error)
{
    return Database::open(name, error);
}

} // namespace store::DBEngine
