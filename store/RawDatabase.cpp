#include "store/RawDatabase.h"

#include "store/Statement.h"

#include <QFile>
#include <sqlite3.h>

namespace store {

RawDatabase::~RawDatabase()
{
    close();
}

bool RawDatabase::open(const QString &path, Mode mode, EngineError *error)
{
    close();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    const int flags = (mode == ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = engineErrorFor(m_db, rc, QStringLiteral("Could not open '%1'").arg(path));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
    return true;
}

bool RawDatabase::close(EngineError *error)
{
    if (!m_db)
        return true;
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK) {
        if (error)
            *error = engineErrorFor(m_db, rc, QStringLiteral("Could not close '%1'").arg(m_path));
        // Statements still open: let SQLite close the connection after them.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    m_db = nullptr;
    return true;
}

bool RawDatabase::exec(const QString &sql, EngineError *error)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) {
        if (error)
            *error = engineErrorFor(m_db, rc);
        return false;
    }
    return true;
}

} // namespace store
