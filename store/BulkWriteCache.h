#pragma once

#include "store/Statement.h"

namespace store {

// A larger page cache for the length of one write of many rows, then the
// one before: the rows change more pages than the engine's small default
// cache holds, and every spill of it syncs the journal once more.
class BulkWriteCache
{
public:
    explicit BulkWriteCache(sqlite3 *db) : m_db(db)
    {
        Statement size(db, QStringLiteral("PRAGMA cache_size"));
        m_before = size.step() ? size.int64(0) : 0;
        execSql(db, QStringLiteral("PRAGMA cache_size = -65536"), nullptr); // 64 MB at most, taken as used
    }
    ~BulkWriteCache()
    {
        if (m_before != 0)
            execSql(m_db, QStringLiteral("PRAGMA cache_size = %1").arg(m_before), nullptr);
    }
    BulkWriteCache(const BulkWriteCache &) = delete;
    BulkWriteCache &operator=(const BulkWriteCache &) = delete;

private:
    sqlite3 *m_db;
    qint64 m_before = 0;
};

} // namespace store
