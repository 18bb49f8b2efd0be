#include "store/Statement.h"

#include <QDate>
#include <sqlite3.h>

namespace store {

EngineError engineErrorFor(sqlite3 *db, int rc, const QString &context)
{
    EngineError e;
    const int primary = rc & 0xff;
    QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    switch (primary) {
    case SQLITE_CORRUPT: e.number = Err::Corrupt; break;
    case SQLITE_NOTADB: e.number = Err::UnrecognizedFormat; break;
    case SQLITE_FULL: e.number = Err::DiskFull; break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: e.number = Err::Locked; break;
    case SQLITE_CANTOPEN: e.number = Err::CannotOpen; break;
    case SQLITE_READONLY:
        e.number = Err::ReadOnly;
        text = readOnlyText();
        break;
    default: e.number = Err::Unexpected; break;
    }
    e.text = context.isEmpty() ? text : context + QStringLiteral(": ") + text;
    return e;
}

Statement::Statement(sqlite3 *db, const QString &sql) : m_db(db)
{
    // A database on a server has no embedded connection: what asks for one
    // there gets an error, never a crash.
    if (!db) {
        m_error = {Err::InvalidOperation, QStringLiteral("This works on a database file only, not on a server.")};
        return;
    }
    const QByteArray utf8 = sql.toUtf8();
    const int rc =
        sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        setError(rc);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_error(std::move(other.m_error)), m_bindFailed(other.m_bindFailed)
{
    other.m_stmt = nullptr;
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_error = std::move(other.m_error);
        m_bindFailed = other.m_bindFailed;
        other.m_stmt = nullptr;
    }
    return *this;
}

void Statement::setError(int rc)
{
    m_error = engineErrorFor(m_db, rc);
}

bool Statement::bound(int rc)
{
    if (rc == SQLITE_OK)
        return true;
    if (!m_bindFailed)
        setError(rc);
    m_bindFailed = true;
    return false;
}

bool Statement::bind(int index, const QVariant &value)
{
    if (!m_stmt)
        return false;
    if (!value.isValid() || value.isNull())
        return bound(sqlite3_bind_null(m_stmt, index));
    switch (value.metaType().id()) {
    case QMetaType::Bool: return bound(sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short: return bound(sqlite3_bind_int64(m_stmt, index, value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float: return bound(sqlite3_bind_double(m_stmt, index, value.toDouble()));
    case QMetaType::QDate: {
        const QByteArray iso = value.toDate().toString(Qt::ISODate).toUtf8();
        return bound(sqlite3_bind_text(m_stmt, index, iso.constData(), int(iso.size()), SQLITE_TRANSIENT));
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return bound(sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT));
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return bound(sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT));
    }
    }
}

bool Statement::bindAll(const QVariantList &values)
{
    bool ok = true;
    for (int i = 0; i < values.size(); ++i)
        ok = bind(i + 1, values.at(i)) && ok;
    return ok;
}

bool Statement::bindInt64(int index, qint64 value)
{
    return m_stmt && bound(sqlite3_bind_int64(m_stmt, index, value));
}

bool Statement::bindValue(int index, const sqlite3_value *value)
{
    return m_stmt && bound(sqlite3_bind_value(m_stmt, index, value));
}

bool Statement::step()
{
    if (!m_stmt || m_bindFailed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        setError(rc);
    return false;
}

void Statement::reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_error.clear();
    m_bindFailed = false;
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

int Statement::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL: return QVariant();
    case SQLITE_INTEGER: return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                                   sqlite3_column_bytes(m_stmt, column)));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                          sqlite3_column_bytes(m_stmt, column)));
    }
}

bool execSql(sqlite3 *db, const QString &sql, EngineError *error, const QVariantList &params)
{
    Statement st(db, sql);
    if (!st.isValid()) {
        if (error)
            *error = st.error();
        return false;
    }
    st.bindAll(params);
    while (st.step()) {
    }
    if (st.error().isError()) {
        if (error)
            *error = st.error();
        return false;
    }
    return true;
}

} // namespace store
