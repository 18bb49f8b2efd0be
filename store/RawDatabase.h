#pragma once

#include "store/EngineError.h"

#include <QString>

struct sqlite3;

namespace store {

// A bare SQLite connection for work on whole files (compaction, repair).
// It registers none of the program's functions, so what it writes is what
// the stock sqlite3 shell reads. Opening never creates a file.
class RawDatabase
{
public:
    enum Mode { ReadOnly, ReadWrite };

    RawDatabase() = default;
    ~RawDatabase();
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;

    bool open(const QString &path, Mode mode, EngineError *error);
    // Closes the connection; false when SQLite could not let go of it.
    bool close(EngineError *error = nullptr);

    sqlite3 *handle() const { return m_db; }
    QString path() const { return m_path; }

    // Runs statements without results (several, separated by semicolons).
    bool exec(const QString &sql, EngineError *error);

private:
    sqlite3 *m_db = nullptr;
    QString m_path;
};

} // namespace store
