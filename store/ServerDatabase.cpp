#include "store/ServerDatabase.h"

#include "store/DatabaseChoice.h"
#include "store/ServerChanges.h"
#include "store/WriteNotifier.h"
#include "store/server/ServerConnection.h"
#include "store/sql/PostgresEmitter.h"

#include <QRegularExpression>
#include <QSocketNotifier>

namespace store {

namespace {
QString rowId()
{
    return quoteIdentifier(postgres::rowIdColumn());
}

QString rowVersion()
{
    return quoteIdentifier(postgres::rowVersionColumn());
}

bool isText(const FieldDef &field)
{
    return field.kind == FieldKind::Text || field.kind == FieldKind::Memo;
}

// Adds a row with `fields` set by $n values, the others at their defaults.
QString insertSql(const TableDef &table, const QList<int> &fields)
{
    QStringList names;
    QStringList places;
    for (int i = 0; i < fields.size(); ++i) {
        names << quoteIdentifier(table.fields.at(fields.at(i)).name);
        places << QStringLiteral("$%1").arg(i + 1);
    }
    if (names.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(table.name));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoteIdentifier(table.name), names.join(QStringLiteral(", ")), places.join(QStringLiteral(", ")));
}
} // namespace

bool ServerDatabase::isServerUrl(const QString &name)
{
    // libpq's key=value form starts with one of its keywords; a file's path
    // never does (the program's are absolute).
    static const QRegularExpression keywords(QStringLiteral("^\\s*(host|hostaddr|port|dbname|user|service)\\s*="));
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive) || keywords.match(name).hasMatch();
}

std::shared_ptr<ServerDatabase> ServerDatabase::open(const QString &url, EngineError *error)
{
    auto connection = ServerConnection::open(url, error, DatabaseChoice::serverPassword());
    if (!connection)
        return nullptr;
    std::shared_ptr<ServerDatabase> db(new ServerDatabase(std::move(connection)));
    db->m_url = url;
    db->listen();
    for (const TableDef *table : {&Schema::information(), &Schema::centerInformation()}) {
        ServerResult found;
        if (!db->exec(QStringLiteral("SELECT to_regclass($1) IS NOT NULL"), {quoteIdentifier(table->name)}, &found,
                      error))
            return nullptr;
        if (found.value(0, 0).toBool())
            continue;
        fail(error, Err::ItemNotFound,
             QStringLiteral("The database %1 on the server holds no table %2: it is not a database of this "
                            "program. Create the tables with: vantrel --database URL --create-server-schema")
                 .arg(db->name(), table->name));
        return nullptr;
    }
    return db;
}

ServerDatabase::ServerDatabase(std::unique_ptr<ServerConnection> connection) : m_connection(std::move(connection))
{
}

ServerDatabase::~ServerDatabase() = default;

void ServerDatabase::listen()
{
    const int socket = m_connection->socket();
    if (socket == m_watchedSocket)
        return;
    m_noticeWatch.reset();
    m_watchedSocket = socket;
    // Without notices the windows still follow at every move; a failure
    // here costs only the immediacy.
    EngineError e;
    if (socket < 0
        || !m_connection->exec(QStringLiteral("LISTEN ") + quoteIdentifier(postgres::changeChannel()), {}, nullptr,
                               &e)) {
        if (e.isError())
            qWarning("Other desks' changes will not be heard: %s", qPrintable(e.text));
        return;
    }
    // Notices are read on the thread that opened the database, where its
    // windows are; without an event loop (the command line) nobody waits.
    m_noticeWatch = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    QObject::connect(m_noticeWatch.get(), &QSocketNotifier::activated, m_noticeWatch.get(),
                     [this] { passOnNotices(); });
}

void ServerDatabase::passOnNotices()
{
    ServerChanges::instance()->note(m_connection->takeNotices(postgres::changeChannel()));
    // A lost connection's socket reads as ready for ever: it is watched
    // again only once a statement has made the connection anew.
    if (m_noticeWatch && !m_connection->isOpen()) {
        m_noticeWatch->setEnabled(false);
        m_noticeWatch.release()->deleteLater();
        m_watchedSocket = -1;
    }
}

QString ServerDatabase::name() const
{
    return m_connection->where();
}

const TableDef *ServerDatabase::tableDef(const QString &name) const
{
    // The server's tables are made from the program's own definitions.
    return Schema::table(name);
}

bool ServerDatabase::exec(const QString &sql, const QVariantList &params, ServerResult *result, EngineError *error)
{
    // Outside a transaction a lost connection may be made again; inside
    // one, what it read or wrote is gone with it and the statement fails.
    if (!m_readOpen && !m_connection->inTransaction()) {
        if (!m_connection->reconnectIfLost(error))
            return false;
        listen();
    }
    const bool done = m_connection->exec(sql, params, result, error);
    // Notices that came in with the answer wait in the connection.
    passOnNotices();
    return done;
}

bool ServerDatabase::deleteTranslated(const TranslatedStatement &translated, EngineError *error, int *rowsAffected,
                                      const QString &)
{
    ServerResult deleted;
    // One statement is one transaction on the server.
    if (!exec(translated.sql + QStringLiteral(" RETURNING 1"), translated.params, &deleted, error))
        return false;
    if (rowsAffected)
        *rowsAffected = deleted.rowCount();
    WriteNotifier::instance()->noteCommit();
    return true;
}

bool ServerDatabase::beginRead(bool *own, EngineError *error)
{
    *own = false;
    if (m_connection->inTransaction())
        return true;
    if (!exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), {}, nullptr, error))
        return false;
    *own = true;
    m_readOpen = true;
    return true;
}

bool ServerDatabase::endRead(EngineError *error)
{
    // A read whose connection was lost meanwhile read nothing after that:
    // its statements failed, and it ends here.
    m_readOpen = false;
    if (!m_connection->inTransaction())
        return true;
    return m_connection->exec(QStringLiteral("COMMIT"), {}, nullptr, error);
}

bool ServerDatabase::readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error)
{
    ServerResult rows;
    if (!exec(sql, params, &rows, error))
        return false;
    ids->reserve(ids->size() + rows.rowCount());
    for (int r = 0; r < rows.rowCount(); ++r)
        ids->append(rows.text(r, 0).toLongLong());
    return true;
}

bool ServerDatabase::readTableIds(const TableDef &table, int keyField, QVector<qint64> *ids, EngineError *error)
{
    QString order = rowId();
    if (keyField >= 0) {
        const FieldDef &key = table.fields.at(keyField);
        const QString column = quoteIdentifier(key.name);
        order = (isText(key) ? postgres::textKey(column) : column) + QStringLiteral(" ASC NULLS FIRST, ") + order;
    }
    return readIds(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(rowId(), quoteIdentifier(table.name), order), {},
                   ids, error);
}

QString ServerDatabase::makeRowReadSql(const TableDef &table) const
{
    return QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = $1")
        .arg(rowVersion(), quotedColumns(table), quoteIdentifier(table.name), rowId());
}

bool ServerDatabase::readRow(const TableDef &table, qint64 id, QVariantList *row, qint64 *version, EngineError *error)
{
    row->clear();
    if (version)
        *version = 0;
    ServerResult read;
    EngineError e;
    if (!exec(rowReadSql(table), {QVariant(id)}, &read, &e))
        return fail(error, e.number, QStringLiteral("The record could not be read: ") + e.text);
    if (read.rowCount() == 0)
        return true;
    if (version)
        *version = read.value(0, 0).toLongLong();
    row->reserve(table.fields.size());
    for (int i = 0; i < table.fields.size(); ++i)
        row->append(read.value(0, i + 1));
    return true;
}

bool ServerDatabase::readRows(const TableDef &table, const QVector<qint64> &ids, QList<QVariantList> *rows,
                              EngineError *error)
{
    rows->clear();
    QStringList list;
    list.reserve(ids.size());
    for (qint64 id : ids)
        list << QString::number(id);
    ServerResult read;
    EngineError e;
    if (!exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 = ANY($1::bigint[])")
                  .arg(rowId(), quotedColumns(table), quoteIdentifier(table.name)),
              {QVariant(QLatin1Char('{') + list.join(QLatin1Char(',')) + QLatin1Char('}'))}, &read, &e))
        return fail(error, e.number, QStringLiteral("The records could not be read: ") + e.text);
    QHash<qint64, int> found;
    found.reserve(read.rowCount());
    for (int r = 0; r < read.rowCount(); ++r)
        found.insert(read.text(r, 0).toLongLong(), r);
    rows->reserve(ids.size());
    for (qint64 id : ids) {
        QVariantList row;
        if (const auto at = found.constFind(id); at != found.constEnd()) {
            row.reserve(table.fields.size());
            for (int i = 0; i < table.fields.size(); ++i)
                row.append(read.value(*at, i + 1));
        }
        rows->append(std::move(row));
    }
    return true;
}

bool ServerDatabase::insertRow(const TableDef &table, const QList<int> &fields, const QVariantList &values, qint64 *id,
                               EngineError *error)
{
    ServerResult added;
    if (!exec(insertSql(table, fields) + QStringLiteral(" RETURNING ") + rowId(), values, &added, error))
        return false;
    *id = added.text(0, 0).toLongLong();
    WriteNotifier::instance()->noteCommit();
    return true;
}

bool ServerDatabase::updateRow(const TableDef &table, qint64 id, qint64 version, const QList<int> &fields,
                               const QVariantList &values, RowWrite *outcome, EngineError *error)
{
    *outcome = RowWrite::Written;
    if (fields.isEmpty())
        return true;
    QStringList assignments;
    for (int i = 0; i < fields.size(); ++i)
        assignments << QStringLiteral("%1 = $%2").arg(quoteIdentifier(table.fields.at(fields.at(i)).name)).arg(i + 1);
    QVariantList params = values;
    params << QVariant(id);
    QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = $%4")
                      .arg(quoteIdentifier(table.name), assignments.join(QStringLiteral(", ")), rowId())
                      .arg(params.size());
    // The row is written only as it was read: another desk's save since
    // then leaves it untouched, and the operator is told.
    if (version > 0) {
        params << QVariant(version);
        sql += QStringLiteral(" AND %1 = $%2").arg(rowVersion()).arg(params.size());
    }
    ServerResult written;
    if (!exec(sql + QStringLiteral(" RETURNING 1"), params, &written, error))
        return false;
    if (written.rowCount() > 0) {
        WriteNotifier::instance()->noteCommit();
        return true;
    }
    ServerResult still;
    if (!exec(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = $1").arg(quoteIdentifier(table.name), rowId()),
              {QVariant(id)}, &still, error))
        return false;
    *outcome = still.rowCount() > 0 ? RowWrite::Changed : RowWrite::Gone;
    return true;
}

bool ServerDatabase::deleteRow(const TableDef &table, qint64 id, EngineError *error)
{
    if (!exec(QStringLiteral("DELETE FROM %1 WHERE %2 = $1").arg(quoteIdentifier(table.name), rowId()), {QVariant(id)},
              nullptr, error))
        return false;
    WriteNotifier::instance()->noteCommit();
    return true;
}

// A batch in one transaction of the server's; a lost connection fails it
// (exec makes no new connection inside a transaction).
class ServerRowBatch final : public RowBatch
{
public:
    ServerRowBatch(ServerDatabase &db, const TableDef &table, const QList<int> &fields) : m_db(db)
    {
        QStringList assignments;
        for (int i = 0; i < fields.size(); ++i)
            assignments
                << QStringLiteral("%1 = $%2").arg(quoteIdentifier(table.fields.at(fields.at(i)).name)).arg(i + 1);
        m_insert = insertSql(table, fields);
        m_update = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = (SELECT min(%3) FROM %1) RETURNING 1")
                       .arg(quoteIdentifier(table.name), assignments.join(QStringLiteral(", ")), rowId());
    }
    ~ServerRowBatch() override
    {
        if (m_open)
            m_db.m_connection->exec(QStringLiteral("ROLLBACK"));
    }

    bool begin(EngineError *error)
    {
        m_open = m_db.exec(QStringLiteral("BEGIN"), {}, nullptr, error);
        return m_open;
    }
    bool insert(const QVariantList &values, EngineError *error) override
    {
        return m_db.exec(m_insert, values, nullptr, error);
    }
    bool updateFirst(const QVariantList &values, bool *written, EngineError *error) override
    {
        ServerResult updated;
        if (!m_db.exec(m_update, values, &updated, error))
            return false;
        *written = updated.rowCount() > 0;
        return true;
    }
    bool commit(EngineError *error) override
    {
        if (!m_db.exec(QStringLiteral("COMMIT"), {}, nullptr, error))
            return false;
        m_open = false;
        WriteNotifier::instance()->noteCommit();
        return true;
    }

private:
    ServerDatabase &m_db;
    QString m_insert;
    QString m_update;
    bool m_open = false;
};

// The server keeps no copy of the added rows to undo the addition.
std::unique_ptr<RowBatch> ServerDatabase::beginBatch(const TableDef &table, const QList<int> &fields, const QString &,
                                                     EngineError *error)
{
    auto batch = std::make_unique<ServerRowBatch>(*this, table, fields);
    if (!batch->begin(error))
        return nullptr;
    return batch;
}

bool ServerDatabase::translateFresh(const QString &statement, TranslatedStatement *out, EngineError *error)
{
    return translateAccessSql(statement, tableLookup(), out, error, SqlDialect::Postgres);
}

bool ServerDatabase::countTranslated(const TranslatedStatement &translated, qint64 *result, EngineError *error)
{
    ServerResult counted;
    if (!exec(QStringLiteral("SELECT count(*) FROM (%1) AS counted").arg(translated.sql), translated.params, &counted,
              error))
        return false;
    *result = counted.text(0, 0).toLongLong();
    return true;
}

bool ServerDatabase::scanRows(const TableDef &table, const QList<int> &fields, const RowScan &use, EngineError *error)
{
    QStringList columns{rowId()};
    for (int f : fields)
        columns << quoteIdentifier(table.fields.at(f).name);
    ServerResult rows;
    if (!exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                  .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(table.name), rowId()),
              {}, &rows, error))
        return false;
    QVariantList values;
    for (int r = 0; r < rows.rowCount(); ++r) {
        values.clear();
        for (int i = 0; i < fields.size(); ++i)
            values << rows.value(r, i + 1);
        if (!use(rows.text(r, 0).toLongLong(), values))
            return true;
    }
    return true;
}

bool ServerDatabase::countInRanges(const TableDef &table, int field, const QList<ValueRange> &ranges,
                                   QVector<qint64> *counts, EngineError *error)
{
    counts->fill(0, ranges.size());
    if (ranges.isEmpty())
        return true;
    QVariantList values;
    for (const ValueRange &range : ranges)
        values << range.first << range.second;
    values << ranges.first().first << ranges.last().second;
    ServerResult counted;
    if (!exec(rangeCountSql(table, field, int(ranges.size()), [](int n) { return QStringLiteral("$%1").arg(n); }),
              values, &counted, error))
        return false;
    for (qsizetype r = 0; r < ranges.size(); ++r)
        (*counts)[r] = counted.text(0, int(r)).toLongLong();
    return true;
}

bool ServerDatabase::countNumbers(const TableDef &table, int field, qint64 low, qint64 high, qint64 *distinct,
                                  qint64 *highest, EngineError *error)
{
    ServerResult counted;
    if (!exec(numberCountSql(table, field, [](int n) { return QStringLiteral("$%1").arg(n); }), {low, high}, &counted,
              error))
        return false;
    *distinct = counted.text(0, 0).toLongLong();
    *highest = counted.text(0, 1).toLongLong();
    return true;
}

} // namespace store
