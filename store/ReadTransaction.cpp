#include "store/ReadTransaction.h"

#include "store/Database.h"

namespace store {

ReadTransaction::ReadTransaction(Database &db) : m_db(db)
{
}

ReadTransaction::~ReadTransaction()
{
    // Reached only after a failure, whose error the caller has reported.
    // Nothing was written, so ending it lets the data go either way.
    if (m_own)
        m_db.endRead(nullptr);
}

bool ReadTransaction::begin(EngineError *error)
{
    if (m_own)
        return true;
    return m_db.beginRead(&m_own, error);
}

bool ReadTransaction::commit(EngineError *error)
{
    if (!m_own)
        return true;
    m_own = false;
    return m_db.endRead(error);
}

} // namespace store
