#include "store/DBEngine.h"

#include "store/KeptChanges.h"
#include "store/ServerDatabase.h"

#include <QFileInfo>
#include <QSet>

namespace store::DBEngine {

std::shared_ptr<Database> OpenDatabase(const QString &name, EngineError *error)
{
    if (ServerDatabase::isServerUrl(name))
        return Database::open(name, error);
    auto db = Database::open(name, error);
    // Kept changes beyond their limits go when the program first opens the
    // file, not before: until then nothing touches it.
    static QSet<QString> trimmed;
    const QString file = QFileInfo(name).canonicalFilePath();
    if (db && !db->isReadOnly() && !trimmed.contains(file)) {
        trimmed.insert(file);
        EngineError trimError;
        if (!KeptChanges(db->handle(), KeepLimits::fromSettings(), name).trim(&trimError))
            qWarning("Kept changes were not trimmed: %s", qPrintable(trimError.text));
    }
    return db;
}

} // namespace store::DBEngine
