#pragma once

#include "store/EngineError.h"

#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;

namespace store {

// The rows one statement gave back.
class ServerResult
{
public:
    int rowCount() const;
    int columnCount() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    // The value typed by its column: bool, qint64 for the integers, QDate,
    // double, QString for the rest; an invalid QVariant for NULL.
    QVariant value(int row, int column) const;

private:
    friend class ServerConnection;
    std::shared_ptr<pg_result> m_result;
};

// One connection to a PostgreSQL server. Every value travels as a bound
// parameter ($1, $2, ...), never inside the statement's text; each call runs
// exactly one statement.
class ServerConnection
{
public:
    // url: a connection URL (postgresql://user@host:port/dbname?sslmode=...)
    // or libpq's key=value form; TLS settings pass through. A failure names
    // the server and the reason, never the URL (it may hold a password).
    // `password` serves a URL that holds none.
    static std::unique_ptr<ServerConnection> open(const QString &url, EngineError *error,
                                                  const QString &password = QString());
    ~ServerConnection();

    // Where a URL points, for captions and the keyring: "host:port/database"
    // (the socket folder for a local server); never its password. Empty when
    // the URL is not valid.
    static QString describe(const QString &url);
    // The user the URL connects as, empty when it names none.
    static QString userOf(const QString &url);

    // The same connection settings with another database, in libpq's
    // key=value form; empty when the URL is not valid.
    static QString withDatabase(const QString &url, const QString &database);
    ServerConnection(const ServerConnection &) = delete;
    ServerConnection &operator=(const ServerConnection &) = delete;

    // Where the data is, for messages and captions: "host:port/database",
    // or the socket folder for a local server.
    QString where() const;
    QString databaseName() const;

    // Values: a null QVariant is NULL; bool, the integers, double, QDate and
    // texts are sent as themselves. A text holding a NUL character is
    // refused (the server's texts cannot hold one, and it would cut the
    // text short).
    bool exec(const QString &sql, const QVariantList &params = {}, ServerResult *result = nullptr,
              EngineError *error = nullptr);
    // The statements in one transaction: all of them or none.
    bool execInTransaction(const QStringList &statements, EngineError *error);

    // COPY ... FROM STDIN: each call of next() fills `data` with whole lines
    // of the text format and returns true, or returns false at the end;
    // a failure it sets in *error stops the copy, which the server then
    // throws away.
    bool copyIn(const QString &sql, const std::function<bool(QByteArray *data, EngineError *error)> &next,
                EngineError *error);
    // COPY ... TO STDOUT: line() is called with each line (its newline
    // included) and may stop the copy by returning false with *error set.
    bool copyOut(const QString &sql, const std::function<bool(QByteArrayView line, EngineError *error)> &line,
                 EngineError *error);

    // After the connection was lost (the server restarted, the network came
    // back): connects again with the same settings. False with the reason
    // when the server still cannot be reached.
    bool reconnectIfLost(EngineError *error);
    // Whether a transaction (or a failed one) is open on the connection.
    bool inTransaction() const;

    // Whether the connection stands (false once the server went away).
    bool isOpen() const;
    // The connection's socket, to wait on for notices (-1 when lost).
    int socket() const;
    // The payloads of the notices on `channel` that arrived so far from
    // other connections (a connection's own commits are left out).
    QStringList takeNotices(const QString &channel);

    pg_conn *handle() const { return m_conn; }

private:
    explicit ServerConnection(pg_conn *conn);
    bool failed(EngineError *error, pg_result *result) const;

    pg_conn *m_conn;
};

} // namespace store
