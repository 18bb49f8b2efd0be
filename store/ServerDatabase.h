#pragma once

#include "store/Database.h"

class QSocketNotifier;

namespace store {

class ServerConnection;

// A database on a PostgreSQL server (see ServerSchema): rows are numbered
// by "RowId", and "RowVersion" tells a row another desk saved since it was
// read. Reads that must agree (a count and its first rows) share one
// REPEATABLE READ snapshot.
class ServerDatabase final : public Database
{
public:
    // url: a connection URL (postgresql://user@host:port/dbname?sslmode=...).
    // Refuses a server database without the program's tables.
    static std::shared_ptr<ServerDatabase> open(const QString &url, EngineError *error);
    ~ServerDatabase() override;

    // Whether a database name is a server's connection URL rather than a file.
    static bool isServerUrl(const QString &name);

    QString name() const override;
    QString openedAs() const override { return m_url; }
    bool isOpenedBy(const QString &name) const override { return name == m_url; }
    const TableDef *tableDef(const QString &name) const override;

    bool beginRead(bool *own, EngineError *error) override;
    bool endRead(EngineError *error) override;
    bool readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error) override;
    bool readTableIds(const TableDef &table, int keyField, QVector<qint64> *ids, EngineError *error) override;
    bool readRow(const TableDef &table, qint64 id, QVariantList *row, qint64 *version, EngineError *error) override;
    // One statement for all the rows: a round trip to the server each would
    // cost more than the rows.
    bool readRows(const TableDef &table, const QVector<qint64> &ids, QList<QVariantList> *rows,
                  EngineError *error) override;
    bool insertRow(const TableDef &table, const QList<int> &fields, const QVariantList &values, qint64 *id,
                   EngineError *error) override;
    bool updateRow(const TableDef &table, qint64 id, qint64 version, const QList<int> &fields,
                   const QVariantList &values, RowWrite *outcome, EngineError *error) override;
    bool deleteRow(const TableDef &table, qint64 id, EngineError *error) override;
    std::unique_ptr<RowBatch> beginBatch(const TableDef &table, const QList<int> &fields, const QString &keepAs,
                                         EngineError *error) override;
    bool scanRows(const TableDef &table, const QList<int> &fields, const RowScan &use, EngineError *error) override;
    bool countInRanges(const TableDef &table, int field, const QList<ValueRange> &ranges, QVector<qint64> *counts,
                       EngineError *error) override;
    bool countNumbers(const TableDef &table, int field, qint64 low, qint64 high, qint64 *distinct, qint64 *highest,
                      EngineError *error) override;

protected:
    bool translateFresh(const QString &statement, TranslatedStatement *out, EngineError *error) override;
    bool countTranslated(const TranslatedStatement &translated, qint64 *result, EngineError *error) override;
    QString makeRowReadSql(const TableDef &table) const override;
    // The server keeps no copy of the deleted rows to undo the delete.
    bool deleteTranslated(const TranslatedStatement &translated, EngineError *error, int *rowsAffected,
                          const QString &keepAs) override;

private:
    friend class ServerRowBatch;
    explicit ServerDatabase(std::unique_ptr<ServerConnection> connection);
    // Every statement goes through here: a connection lost since the last
    // one is tried again once before the statement fails.
    bool exec(const QString &sql, const QVariantList &params, class ServerResult *result, EngineError *error);

    // Listens for other desks' notices on the connection's socket, again
    // after a lost connection was made anew.
    void listen();
    void passOnNotices();

    QString m_url;
    std::unique_ptr<ServerConnection> m_connection;
    std::unique_ptr<QSocketNotifier> m_noticeWatch;
    int m_watchedSocket = -1;
    // A read begun here is open: a lost connection is not made anew under
    // it, whose statements would no longer share its snapshot.
    bool m_readOpen = false;
};

} // namespace store
