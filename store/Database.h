#pragma once

#include "store/AccessSql.h"
#include "store/EngineError.h"
#include "store/Schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <memory>

struct sqlite3;

namespace store {

class Recordset;

// One open connection to a database file. Opening never creates a file.
class Database : public std::enable_shared_from_this<Database>
{
public:
    static std::shared_ptr<Database> open(const QString &path, EngineError *error);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QString name() const { return m_path; }
    // The file or its folder may not be changed: the file is opened for reading only.
    bool isReadOnly() const { return m_readOnly; }
    sqlite3 *handle() const { return m_handle; }

    // The table as the file holds it: its fields in table order, with the
    // kind read from each column's declared type, and its indexes.
    const TableDef *tableDef(const QString &name) const;
    TableLookup tableLookup() const;

    // type 0: a table name; 1: a table name or a select statement of the
    // dialect; 2: a read-only snapshot of the same.
    std::shared_ptr<Recordset> OpenRecordset(const QString &source, int type, EngineError *error);

    // Runs a delete statement of the dialect in one transaction.
    bool Execute(const QString &statement, EngineError *error, int *rowsAffected = nullptr);

    // Counts the rows a select statement would return.
    bool count(const QString &statement, qint64 *result, EngineError *error);

private:
    Database() = default;

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_connection;
    sqlite3 *m_handle = nullptr;
    bool m_readOnly = false;
    mutable QHash<QString, std::shared_ptr<TableDef>> m_tables;
};

} // namespace store
