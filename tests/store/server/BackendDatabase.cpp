#include "BackendDatabase.h"

#include "store/DBEngine.h"
#include "store/DatabaseChoice.h"
#include "store/Statement.h"
#include "store/server/ServerSchema.h"

#include <QStringList>
#include <sqlite3.h>

namespace testing_support {

namespace {
std::shared_ptr<ServerTestDatabase> &sharedServer()
{
    static std::shared_ptr<ServerTestDatabase> server;
    return server;
}

QStringList informationFields()
{
    QStringList names;
    for (const store::FieldDef &field : store::Schema::information().fields)
        names << field.name;
    return names;
}
} // namespace

BackendDatabase::BackendDatabase(Backend backend, bool ownServerDatabase)
    : m_backend(backend), m_folder(backend == Backend::File)
{
    if (backend == Backend::File)
        return;
    store::EngineError e;
    const bool fresh = ownServerDatabase || !sharedServer();
    m_server = ownServerDatabase ? std::make_shared<ServerTestDatabase>() : sharedServer();
    if (!m_server)
        m_server = sharedServer() = std::make_shared<ServerTestDatabase>();
    m_connection = m_server->connect();
    if (!m_connection)
        return;
    // A connection the previous test left in a transaction would hold the
    // truncate up for ever: better a failure that says so.
    const bool ready = fresh ? store::ServerSchema::create(*m_connection, &e)
                             : (m_connection->exec("SET lock_timeout = '10s'", {}, nullptr, &e)
                                && m_connection->exec("TRUNCATE \"Information\" RESTART IDENTITY", {}, nullptr, &e));
    if (!ready)
        ADD_FAILURE() << e.text.toStdString();
    store::DatabaseChoice::setServerUrl(m_server->url());
}

BackendDatabase::~BackendDatabase()
{
    if (onServer())
        store::DatabaseChoice::setServerUrl(QString());
}

void BackendDatabase::dropShared()
{
    sharedServer().reset();
}

QString BackendDatabase::name() const
{
    return onServer() ? m_server->url() : m_folder.databasePath();
}

std::shared_ptr<store::Database> BackendDatabase::open() const
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(name(), &e);
    EXPECT_TRUE(db) << e.text.toStdString();
    return db;
}

void BackendDatabase::insert(const QList<CustomerRow> &rows) const
{
    if (!onServer()) {
        insertCustomers(m_folder.databasePath(), rows);
        return;
    }
    ASSERT_TRUE(m_connection);
    store::EngineError e;
    ASSERT_TRUE(m_connection->exec("BEGIN", {}, nullptr, &e)) << e.text.toStdString();
    for (const CustomerRow &row : rows) {
        QStringList names, marks;
        for (const QString &name : row.keys()) {
            names << store::quoteIdentifier(name);
            marks << QStringLiteral("$%1").arg(marks.size() + 1);
        }
        const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO \"Information\" DEFAULT VALUES")
                                            : QStringLiteral("INSERT INTO \"Information\" (%1) VALUES (%2)")
                                                  .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        if (!m_connection->exec(sql, row.values(), nullptr, &e)) {
            m_connection->exec("ROLLBACK");
            FAIL() << e.text.toStdString();
        }
    }
    ASSERT_TRUE(m_connection->exec("COMMIT", {}, nullptr, &e)) << e.text.toStdString();
}

QVariantMap BackendDatabase::stored(const QString &field, const QVariant &value) const
{
    if (!onServer())
        return storedCustomerWhere(m_folder.databasePath(), field, value);
    return readRows(QStringLiteral("WHERE %1 = $1").arg(store::quoteIdentifier(field)), {value}).value(0);
}

QList<QVariantMap> BackendDatabase::storedRows() const
{
    if (onServer())
        return readRows(QString(), {});
    QList<QVariantMap> rows;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(m_folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    {
        store::Statement st(db,
                            QStringLiteral("SELECT %1 FROM Information ORDER BY rowid")
                                .arg(informationFields().join(QLatin1Char(','))));
        while (st.step()) {
            QVariantMap &row = rows.emplaceBack();
            for (int i = 0; i < st.columnCount(); ++i)
                row.insert(informationFields().at(i), st.value(i));
        }
        EXPECT_FALSE(st.error().isError()) << st.error().text.toStdString();
    }
    sqlite3_close(db);
    return rows;
}

QList<QVariantMap> BackendDatabase::readRows(const QString &where, const QVariantList &params) const
{
    QList<QVariantMap> rows;
    const QStringList fields = informationFields();
    QStringList columns;
    for (const QString &name : fields)
        columns << store::quoteIdentifier(name);
    store::ServerResult result;
    store::EngineError e;
    const QString sql = QStringLiteral("SELECT %1 FROM \"Information\" %2 ORDER BY \"RowId\"")
                            .arg(columns.join(QLatin1Char(',')), where);
    if (!m_connection || !m_connection->exec(sql, params, &result, &e)) {
        ADD_FAILURE() << e.text.toStdString();
        return rows;
    }
    for (int r = 0; r < result.rowCount(); ++r) {
        QVariantMap &row = rows.emplaceBack();
        for (int i = 0; i < fields.size(); ++i)
            row.insert(fields.at(i), result.value(r, i));
    }
    return rows;
}

int BackendDatabase::storedCount() const
{
    if (!onServer())
        return storedCustomerCount(m_folder.databasePath());
    store::ServerResult result;
    store::EngineError e;
    if (!m_connection || !m_connection->exec("SELECT count(*) FROM \"Information\"", {}, &result, &e)) {
        ADD_FAILURE() << e.text.toStdString();
        return -1;
    }
    return int(result.value(0, 0).toLongLong());
}

void BackendDatabase::removeAll() const
{
    store::EngineError e;
    if (!onServer()) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(m_folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const bool removed = store::execSql(db, QStringLiteral("DELETE FROM Information"), &e);
        sqlite3_close(db);
        ASSERT_TRUE(removed) << e.text.toStdString();
        return;
    }
    ASSERT_TRUE(m_connection && m_connection->exec("DELETE FROM \"Information\"", {}, nullptr, &e))
        << e.text.toStdString();
}

std::string backendName(const ::testing::TestParamInfo<Backend> &info)
{
    return info.param == Backend::File ? "File" : "Server";
}

} // namespace testing_support
