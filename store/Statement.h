#pragma once

#include "store/EngineError.h"

#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace store {

// One prepared SQLite statement. Values go in as bound parameters only.
class Statement
{
public:
    Statement() = default;
    Statement(sqlite3 *db, const QString &sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    const EngineError &error() const { return m_error; }

    // Index from 1. A value SQLite refuses sets error() and fails the next
    // step(), so a caller that checks the step sees it.
    bool bind(int index, const QVariant &value);
    bool bindAll(const QVariantList &values);
    bool bindInt64(int index, qint64 value);
    bool bindValue(int index, const sqlite3_value *value);

    // SQLITE_ROW: true; SQLITE_DONE: false with no error; anything else (or a
    // refused value): false with error() set.
    bool step();
    void reset();

    qint64 int64(int column) const;
    QVariant value(int column) const;
    int columnCount() const;

    sqlite3_stmt *handle() const { return m_stmt; }

private:
    void setError(int rc);
    bool bound(int rc);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    EngineError m_error;
    bool m_bindFailed = false;
};

// The engine error for a SQLite result code, with SQLite's own message.
EngineError engineErrorFor(sqlite3 *db, int rc, const QString &context = QString());

// Runs one statement without results.
bool execSql(sqlite3 *db, const QString &sql, EngineError *error, const QVariantList &params = {});

} // namespace store
