#include "store/server/ServerConnection.h"

#include <QDate>
#include <QHash>
#include <libpq-fe.h>
#include <vector>

namespace store {

namespace {
// The server's built-in type numbers, fixed since its first releases.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kDate = 1082;

// libpq's messages end in a newline and often carry a second, indented line
// of advice; the first line says what happened.
QString firstLine(const char *message)
{
    const QString text = QString::fromUtf8(message ? message : "").trimmed();
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

// "connection to server at "h" (1.2.3.4), port 5432 failed: Connection
// refused": the part after the server's name is the reason.
QString connectReason(const char *message)
{
    QString reason = firstLine(message);
    const qsizetype failed = reason.lastIndexOf(QLatin1String(" failed: "));
    if (reason.startsWith(QLatin1String("connection to server")) && failed >= 0)
        reason = reason.mid(failed + 9);
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason.isEmpty() ? QStringLiteral("no reason was given") : reason;
}

bool textParam(const QVariant &value, QByteArray *out, EngineError *error)
{
    switch (value.typeId()) {
    case QMetaType::Bool: *out = value.toBool() ? "t" : "f"; return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short: *out = QByteArray::number(value.toLongLong()); return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong: *out = QByteArray::number(value.toULongLong()); return true;
    case QMetaType::Double:
    case QMetaType::Float: *out = QByteArray::number(value.toDouble(), 'g', 17); return true;
    case QMetaType::QDate: *out = value.toDate().toString(Qt::ISODate).toLatin1(); return true;
    default: break;
    }
    const QString text = value.toString();
    if (text.contains(QChar(0)))
        return fail(error, Err::TypeConversion,
                    QStringLiteral("A text holding a NUL character cannot be sent to the database server."));
    *out = text.toUtf8();
    return true;
}
} // namespace

int ServerResult::rowCount() const
{
    return m_result ? PQntuples(m_result.get()) : 0;
}

int ServerResult::columnCount() const
{
    return m_result ? PQnfields(m_result.get()) : 0;
}

bool ServerResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result.get(), row, column) != 0;
}

QString ServerResult::text(int row, int column) const
{
    const char *v = PQgetvalue(m_result.get(), row, column);
    return QString::fromUtf8(v, PQgetlength(m_result.get(), row, column));
}

QVariant ServerResult::value(int row, int column) const
{
    if (isNull(row, column))
        return {};
    const char *v = PQgetvalue(m_result.get(), row, column);
    switch (PQftype(m_result.get(), column)) {
    case kBool: return QVariant(v[0] == 't');
    case kInt2:
    case kInt4:
    case kInt8: return QVariant(QByteArray(v).toLongLong());
    case kFloat4:
    case kFloat8: return QVariant(QByteArray(v).toDouble());
    case kDate: return QVariant(QDate::fromString(QString::fromLatin1(v), Qt::ISODate));
    default: return QVariant(text(row, column));
    }
}

std::unique_ptr<ServerConnection> ServerConnection::open(const QString &url, EngineError *error,
                                                         const QString &password)
{
    const QByteArray conninfo = url.toUtf8();
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.constData(), &parseError);
    if (!options) {
        fail(error, Err::CannotOpen,
             QStringLiteral("The database URL is not valid: %1.").arg(connectReason(parseError)));
        PQfreemem(parseError);
        return nullptr;
    }
    bool urlHasPassword = false;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (qstrcmp(o->keyword, "password") == 0 && o->val && *o->val)
            urlHasPassword = true;
    }
    PQconninfoFree(options);

    // The URL first; what follows it wins over what it says. Texts travel as
    // UTF-8 whatever the desk's locale, and a server that does not answer
    // is given up after a while rather than waited for forever.
    // A password given apart (the keyring's) serves a URL that holds none.
    const QByteArray secret = urlHasPassword ? QByteArray() : password.toUtf8();
    const char *keys[] = {
        "dbname", "client_encoding", "application_name", "connect_timeout", secret.isEmpty() ? nullptr : "password",
        nullptr};
    const char *values[] = {conninfo.constData(), "UTF8", "Vantrel", "15", secret.constData(), nullptr};
    PGconn *conn = PQconnectdbParams(keys, values, 1);
    if (!conn) {
        fail(error, Err::CannotOpen, QStringLiteral("Could not connect to the database server: out of memory."));
        return nullptr;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        const char *host = PQhost(conn);
        const char *port = PQport(conn);
        QString server = QString::fromUtf8(host && *host ? host : "localhost");
        if (port && *port)
            server += QLatin1Char(':') + QString::fromUtf8(port);
        fail(error, Err::CannotOpen,
             QStringLiteral("Could not connect to the database server at %1: %2.")
                 .arg(server, connectReason(PQerrorMessage(conn))));
        PQfinish(conn);
        return nullptr;
    }
    std::unique_ptr<ServerConnection> connection(new ServerConnection(conn));
    // Dates read and written as ISO text, whatever the server's default.
    if (!connection->exec(QStringLiteral("SET DateStyle = 'ISO, MDY'"), {}, nullptr, error))
        return nullptr;
    return connection;
}

namespace {
QHash<QString, QString> urlOptions(const QString &url)
{
    QHash<QString, QString> found;
    PQconninfoOption *options = PQconninfoParse(url.toUtf8().constData(), nullptr);
    if (!options)
        return found;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val)
            found.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    found.insert(QStringLiteral("valid"), QStringLiteral("yes"));
    return found;
}
} // namespace

QString ServerConnection::describe(const QString &url)
{
    const QHash<QString, QString> o = urlOptions(url);
    if (o.isEmpty())
        return {};
    QString server = o.value(QStringLiteral("host"), QStringLiteral("localhost"));
    if (o.contains(QStringLiteral("port")) && !server.startsWith(QLatin1Char('/')))
        server += QLatin1Char(':') + o.value(QStringLiteral("port"));
    return server + QLatin1Char('/') + o.value(QStringLiteral("dbname"), o.value(QStringLiteral("user")));
}

QString ServerConnection::userOf(const QString &url)
{
    return urlOptions(url).value(QStringLiteral("user"));
}

QString ServerConnection::withDatabase(const QString &url, const QString &database)
{
    PQconninfoOption *options = PQconninfoParse(url.toUtf8().constData(), nullptr);
    if (!options)
        return {};
    auto quoted = [](QString v) {
        v.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
        return QLatin1Char('\'') + v + QLatin1Char('\'');
    };
    QStringList pairs{QStringLiteral("dbname=") + quoted(database)};
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val && qstrcmp(o->keyword, "dbname") != 0)
            pairs << QString::fromUtf8(o->keyword) + QLatin1Char('=') + quoted(QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    return pairs.join(QLatin1Char(' '));
}

ServerConnection::ServerConnection(pg_conn *conn) : m_conn(conn)
{
}

ServerConnection::~ServerConnection()
{
    PQfinish(m_conn);
}

QString ServerConnection::where() const
{
    QString server = QString::fromUtf8(PQhost(m_conn));
    const QString port = QString::fromUtf8(PQport(m_conn));
    if (!port.isEmpty() && !server.startsWith(QLatin1Char('/')))
        server += QLatin1Char(':') + port;
    return server + QLatin1Char('/') + databaseName();
}

bool ServerConnection::reconnectIfLost(EngineError *error)
{
    if (PQstatus(m_conn) == CONNECTION_OK)
        return true;
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        return fail(error, Err::CannotOpen,
                    QStringLiteral("The database server at %1 cannot be reached: %2.")
                        .arg(where(), connectReason(PQerrorMessage(m_conn))));
    return exec(QStringLiteral("SET DateStyle = 'ISO, MDY'"), {}, nullptr, error);
}

bool ServerConnection::inTransaction() const
{
    // A lost connection's status is unknown: what it held is gone with it.
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status != PQTRANS_IDLE && status != PQTRANS_UNKNOWN;
}

bool ServerConnection::isOpen() const
{
    return PQstatus(m_conn) == CONNECTION_OK;
}

int ServerConnection::socket() const
{
    return PQsocket(m_conn);
}

QStringList ServerConnection::takeNotices(const QString &channel)
{
    QStringList payloads;
    PQconsumeInput(m_conn);
    const QByteArray wanted = channel.toUtf8();
    const int own = PQbackendPID(m_conn);
    while (PGnotify *notice = PQnotifies(m_conn)) {
        if (notice->be_pid != own && wanted == notice->relname)
            payloads << QString::fromUtf8(notice->extra);
        PQfreemem(notice);
    }
    return payloads;
}

QString ServerConnection::databaseName() const
{
    return QString::fromUtf8(PQdb(m_conn));
}

bool ServerConnection::failed(EngineError *error, pg_result *result) const
{
    if (PQstatus(m_conn) != CONNECTION_OK)
        return fail(error, Err::CannotOpen,
                    QStringLiteral("The connection to the database server at %1 was lost: %2.")
                        .arg(where(), connectReason(PQerrorMessage(m_conn))));
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = primary ? QString::fromUtf8(primary) : firstLine(PQerrorMessage(m_conn));
    // Where in a COPY the refused value stands.
    const char *context = result ? PQresultErrorField(result, PG_DIAG_CONTEXT) : nullptr;
    if (context && qstrncmp(context, "COPY ", 5) == 0)
        text += QStringLiteral(" (%1)").arg(firstLine(context));
    int number = Err::Unexpected;
    if (state && qstrcmp(state, "23514") == 0) // a check: a text longer than its field
        number = Err::FieldTooSmall;
    else if (state && qstrcmp(state, "22003") == 0)
        number = Err::NumericOverflow;
    return fail(error, number, QStringLiteral("The database server refused the statement: %1.").arg(text));
}

bool ServerConnection::exec(const QString &sql, const QVariantList &params, ServerResult *result, EngineError *error)
{
    std::vector<QByteArray> texts(size_t(params.size()));
    std::vector<const char *> pointers(size_t(params.size()), nullptr);
    for (qsizetype i = 0; i < params.size(); ++i) {
        if (params.at(i).isNull())
            continue;
        if (!textParam(params.at(i), &texts[size_t(i)], error))
            return false;
        pointers[size_t(i)] = texts[size_t(i)].constData();
    }
    const QByteArray statement = sql.toUtf8();
    std::shared_ptr<pg_result> res(
        PQexecParams(m_conn, statement.constData(), int(params.size()), nullptr, pointers.data(), nullptr, nullptr, 0),
        PQclear);
    const ExecStatusType status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return failed(error, res.get());
    if (result)
        result->m_result = std::move(res);
    return true;
}

bool ServerConnection::copyIn(const QString &sql, const std::function<bool(QByteArray *data, EngineError *error)> &next,
                              EngineError *error)
{
    std::shared_ptr<pg_result> start(PQexec(m_conn, sql.toUtf8().constData()), PQclear);
    if (!start || PQresultStatus(start.get()) != PGRES_COPY_IN)
        return failed(error, start.get());
    QByteArray data;
    EngineError stop;
    bool sent = true;
    while (sent && next(&data, &stop)) {
        sent = PQputCopyData(m_conn, data.constData(), int(data.size())) == 1;
        data.clear();
    }
    // Ending with a message makes the server refuse the whole copy.
    const QByteArray reason = stop.text.toUtf8();
    const bool ended = PQputCopyEnd(m_conn, stop.isError() ? reason.constData() : nullptr) == 1;
    bool ok = sent && ended && !stop.isError();
    while (pg_result *r = PQgetResult(m_conn)) {
        std::shared_ptr<pg_result> result(r, PQclear);
        if (ok && PQresultStatus(r) != PGRES_COMMAND_OK) {
            failed(error, r);
            ok = false;
            stop.clear();
        }
    }
    if (stop.isError())
        return fail(error, stop.number, stop.text);
    if (!sent || !ended)
        return failed(error, nullptr);
    return ok;
}

bool ServerConnection::copyOut(const QString &sql,
                               const std::function<bool(QByteArrayView line, EngineError *error)> &line,
                               EngineError *error)
{
    std::shared_ptr<pg_result> start(PQexec(m_conn, sql.toUtf8().constData()), PQclear);
    if (!start || PQresultStatus(start.get()) != PGRES_COPY_OUT)
        return failed(error, start.get());
    EngineError stop;
    bool wanted = true;
    char *buffer = nullptr;
    int length = 0;
    // Every line is read, also after a stop, so that the connection is ready
    // for the next statement.
    while ((length = PQgetCopyData(m_conn, &buffer, 0)) >= 0) {
        if (wanted)
            wanted = line(QByteArrayView(buffer, length), &stop);
        PQfreemem(buffer);
    }
    bool ok = length == -1;
    while (pg_result *r = PQgetResult(m_conn)) {
        std::shared_ptr<pg_result> result(r, PQclear);
        if (ok && PQresultStatus(r) != PGRES_COMMAND_OK) {
            failed(error, r);
            return false;
        }
    }
    if (!ok)
        return failed(error, nullptr);
    if (!wanted)
        return fail(error, stop.number, stop.text);
    return true;
}

bool ServerConnection::execInTransaction(const QStringList &statements, EngineError *error)
{
    if (!exec(QStringLiteral("BEGIN"), {}, nullptr, error))
        return false;
    for (const QString &sql : statements) {
        if (!exec(sql, {}, nullptr, error)) {
            exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    return exec(QStringLiteral("COMMIT"), {}, nullptr, error);
}

} // namespace store
