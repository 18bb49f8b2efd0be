#pragma once

#include "store/Database.h"

#include <QHash>
#include <QPair>
#include <QSqlDatabase>

namespace store {

// One open connection to a database file of the embedded engine. Opening
// never creates a file.
class FileDatabase final : public Database
{
public:
    static std::shared_ptr<FileDatabase> open(const QString &path, EngineError *error);
    ~FileDatabase() override;

    QString name() const override { return m_path; }
    QString openedAs() const override { return m_path; }
    bool isOpenedBy(const QString &name) const override;
    // The file or its folder may not be changed: the file is opened for reading only.
    bool isReadOnly() const override { return m_readOnly; }
    sqlite3 *handle() const override { return m_handle; }
    const TableDef *tableDef(const QString &name) const override;

    bool beginRead(bool *own, EngineError *error) override;
    bool endRead(EngineError *error) override;
    bool readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error) override;
    bool readsTablesInChunks() const override { return true; }
    bool readRow(const TableDef &table, qint64 id, QVariantList *row, qint64 *version, EngineError *error) override;
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

    // A prepared statement for this SQL, reset and without values, kept for
    // the next run of the same SQL. Check isValid() before use, and reset it
    // when done so that it holds no read of the file open.
    std::shared_ptr<Statement> prepared(const QString &sql) const override;
    // Runs a statement without results and without values through prepared().
    bool run(const QString &sql, EngineError *error) override;

    bool walkKnownUnordered(const QString &walkSql) override;
    void rememberUnorderedWalk(const QString &walkSql) override;

protected:
    bool translateFresh(const QString &statement, TranslatedStatement *out, EngineError *error) override;
    bool countTranslated(const TranslatedStatement &translated, qint64 *result, EngineError *error) override;
    QString makeRowReadSql(const TableDef &table) const override;
    bool deleteTranslated(const TranslatedStatement &translated, EngineError *error, int *rowsAffected,
                          const QString &keepAs) override;

private:
    FileDatabase() = default;
    QPair<qint64, qint64> changeStamp();

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_connection;
    sqlite3 *m_handle = nullptr;
    bool m_readOnly = false;
    mutable QHash<QString, std::shared_ptr<TableDef>> m_tables; // by the name folded
    mutable QHash<QString, std::shared_ptr<TableDef>> m_tablesAsAsked;
    mutable QHash<QString, std::shared_ptr<Statement>> m_prepared;
    QHash<QString, QPair<qint64, qint64>> m_unorderedWalks;
};

} // namespace store
