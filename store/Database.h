#pragma once

#include "store/EngineError.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/sql/AccessSql.h"

#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <memory>

struct sqlite3;

namespace store {

class Statement;

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

    // Table: a table name; Dynaset: a table name or a select statement of
    // the dialect; Snapshot: a read-only set of the same.
    std::shared_ptr<Recordset> OpenRecordset(const QString &source, Recordset::Type type, EngineError *error);

    // Runs a delete statement of the dialect in one transaction. With
    // `keepAs` (the command's name), the deleted rows are kept in the same
    // transaction so that the delete can be undone (see KeptChanges).
    bool Execute(const QString &statement, EngineError *error, int *rowsAffected = nullptr,
                 const QString &keepAs = QString());

    // Counts the rows a select statement would return.
    bool count(const QString &statement, qint64 *result, EngineError *error);

    // The translation of a statement of the dialect; kept, so that the same
    // statement opened again is not parsed again.
    bool translate(const QString &statement, TranslatedStatement *out, EngineError *error);
    // A prepared statement for this SQL, reset and without values, kept for
    // the next run of the same SQL. Check isValid() before use, and reset it
    // when done so that it holds no read of the file open.
    std::shared_ptr<Statement> prepared(const QString &sql) const;
    // Runs a statement without results and without values through prepared().
    bool run(const QString &sql, EngineError *error);

    // Whether an index walk was found out of its statement's order since the
    // rows last changed (by this connection or another), and remembering so.
    bool walkKnownUnordered(const QString &walkSql);
    void rememberUnorderedWalk(const QString &walkSql);

private:
    Database() = default;

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_connection;
    sqlite3 *m_handle = nullptr;
    QPair<qint64, qint64> changeStamp();

    bool m_readOnly = false;
    mutable QHash<QString, std::shared_ptr<TableDef>> m_tables; // by the name folded
    mutable QHash<QString, std::shared_ptr<TableDef>> m_tablesAsAsked;
    QHash<QString, TranslatedStatement> m_translations;
    mutable QHash<QString, std::shared_ptr<Statement>> m_prepared;
    QHash<QString, QPair<qint64, qint64>> m_unorderedWalks;
};

} // namespace store
