#include "store/ReadTransaction.h"

#include "store/Database.h"

#include <sqlite3.h>

namespace store {

ReadTransaction::ReadTransaction(Database &db) : m_db(db)
{
}

ReadTransaction::~ReadTransaction()
{
    // Reached only after a failure, whose error the caller has reported; a
    // failure the engine rolled back on its own has ended it already. Nothing
    // was written, so either end lets the file go.
    if (m_own && sqlite3_get_autocommit(m_db.handle()) == 0 && !m_db.run(QStringLiteral("COMMIT"), nullptr))
        m_db.run(QStringLiteral("ROLLBACK"), nullptr);
}

bool ReadTransaction::begin(EngineError *error)
{
    if (m_own || sqlite3_get_autocommit(m_db.handle()) == 0)
        return true;
    if (!m_db.run(QStringLiteral("BEGIN"), error))
        return false;
    m_own = true;
    return true;
}

bool ReadTransaction::commit(EngineError *error)
{
    if (!m_own)
        return true;
    if (!m_db.run(QStringLiteral("COMMIT"), error))
        return false;
    m_own = false;
    return true;
}

} // namespace store
