#pragma once

#include "store/EngineError.h"

namespace store {

class Database;

// A read of the data from its first statement to its end, unless a
// transaction is open already (then that one holds): the statements within
// it share one lock of the file and see the same rows. Left without
// commit(), it is ended all the same.
class ReadTransaction
{
public:
    explicit ReadTransaction(Database &db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

    // Begins it; false with the engine's error when the file cannot be read.
    bool begin(EngineError *error);
    // Ends it; false with the engine's error when the engine would not.
    bool commit(EngineError *error);

private:
    Database &m_db;
    bool m_own = false;
};

} // namespace store
