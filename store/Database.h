#pragma once

#include "store/EngineError.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/sql/AccessSql.h"

#include <QHash>
#include <QVector>
#include <functional>
#include <memory>

struct sqlite3;

namespace store {

class Statement;

// What a write of one row found.
enum class RowWrite {
    Written,
    Gone,    // the row is no longer there
    Changed, // another desk changed the row since it was read
};

// Rows of one table written as one transaction: all of them or none. What
// was not committed when the batch goes is rolled back.
class RowBatch
{
public:
    virtual ~RowBatch() = default;
    // Adds a row with the batch's fields set to `values` (typed as readRow
    // gives them).
    virtual bool insert(const QVariantList &values, EngineError *error) = 0;
    // Writes `values` over the table's first row; *written is false when the
    // table has no row.
    virtual bool updateFirst(const QVariantList &values, bool *written, EngineError *error) = 0;
    virtual bool commit(EngineError *error) = 0;
};

// One open database: a file of the embedded engine (FileDatabase), or a
// PostgreSQL server (ServerDatabase). Windows and record sets use this
// interface only; what differs between the two is behind it.
class Database : public std::enable_shared_from_this<Database>
{
public:
    // Opens a database file (opening never creates one), or a server's
    // database when `name` is a connection URL.
    static std::shared_ptr<Database> open(const QString &name, EngineError *error);
    virtual ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The file's path, or where the server's database is.
    virtual QString name() const = 0;
    // The file's path or the connection URL it was opened by (which may hold
    // a password: not for messages).
    virtual QString openedAs() const = 0;
    // Whether `name` (a file's path or a connection URL) opens this database.
    virtual bool isOpenedBy(const QString &name) const = 0;
    // The data may not be changed (a file opened for reading only).
    virtual bool isReadOnly() const { return false; }
    // The embedded engine's connection; null on a server.
    virtual sqlite3 *handle() const { return nullptr; }

    // The table as the database holds it: its fields in table order, with
    // their kinds, and its indexes.
    virtual const TableDef *tableDef(const QString &name) const = 0;
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

    // The translation of a statement of the dialect for this database;
    // kept, so that the same statement opened again is not parsed again.
    bool translate(const QString &statement, TranslatedStatement *out, EngineError *error);

    // A read from its first statement to its end: the statements within it
    // see the same rows. `own` tells whether this call began it (a read or
    // write already open holds instead).
    virtual bool beginRead(bool *own, EngineError *error) = 0;
    virtual bool endRead(EngineError *error) = 0;

    // The row ids a translated select gives, in its order.
    virtual bool readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error) = 0;
    // A whole table's row ids in row-id order, or ordered by one field
    // (NULLs first, then by row id). Only for a database that does not read
    // tables in chunks itself.
    virtual bool readTableIds(const TableDef &table, int keyField, QVector<qint64> *ids, EngineError *error);
    // Whether record sets read whole tables in chunks through the embedded
    // engine (only the file does).
    virtual bool readsTablesInChunks() const { return false; }

    // A row's values by id, typed as the fields' kinds give them, with its
    // version (0 where rows have none). An empty row when it is not there.
    virtual bool readRow(const TableDef &table, qint64 id, QVariantList *row, qint64 *version, EngineError *error) = 0;
    // Rows by id as readRow gives them, in the order of `ids`: an empty row
    // for one that is not there. For reading many rows at once.
    virtual bool readRows(const TableDef &table, const QVector<qint64> &ids, QList<QVariantList> *rows,
                          EngineError *error);
    // Adds a row with the given fields set; the others take their defaults.
    virtual bool insertRow(const TableDef &table, const QList<int> &fields, const QVariantList &values, qint64 *id,
                           EngineError *error) = 0;
    // Writes the given fields of a row, if its version is still `version`
    // (0: whatever it is).
    virtual bool updateRow(const TableDef &table, qint64 id, qint64 version, const QList<int> &fields,
                           const QVariantList &values, RowWrite *outcome, EngineError *error) = 0;
    virtual bool deleteRow(const TableDef &table, qint64 id, EngineError *error) = 0;
    // Begins a batch of writes of `fields` of the table. With `keepAs` (the
    // command's name), the rows it adds are kept with it where the database
    // keeps changes (see KeptChanges), so that the addition can be undone.
    virtual std::unique_ptr<RowBatch> beginBatch(const TableDef &table, const QList<int> &fields, const QString &keepAs,
                                                 EngineError *error) = 0;

    // Every row of a table in row-id order, one at a time: its id and the
    // values of `fields`, typed as readRow gives them. `use` returning false
    // stops the read.
    using RowScan = std::function<bool(qint64 id, const QVariantList &values)>;
    virtual bool scanRows(const TableDef &table, const QList<int> &fields, const RowScan &use, EngineError *error) = 0;

    // How many rows hold in `field` a value within each closed range
    // [first, second], compared as the dialect's statements compare the
    // field (a date field by its date): counts[i] for ranges[i], all of them
    // from one read of the table.
    using ValueRange = std::pair<QVariant, QVariant>;
    virtual bool countInRanges(const TableDef &table, int field, const QList<ValueRange> &ranges,
                               QVector<qint64> *counts, EngineError *error) = 0;
    // How many different whole numbers a number field holds within [low,
    // high], and the highest of them (0 with none).
    virtual bool countNumbers(const TableDef &table, int field, qint64 low, qint64 high, qint64 *distinct,
                              qint64 *highest, EngineError *error) = 0;

    // The embedded engine's prepared statements: see FileDatabase.
    virtual std::shared_ptr<Statement> prepared(const QString &sql) const;
    virtual bool run(const QString &sql, EngineError *error);

    // Whether an index walk was found out of its statement's order since the
    // rows last changed (by this connection or another), and remembering so.
    virtual bool walkKnownUnordered(const QString &) { return false; }
    virtual void rememberUnorderedWalk(const QString &) {}

protected:
    Database() = default;
    virtual bool translateFresh(const QString &statement, TranslatedStatement *out, EngineError *error) = 0;
    virtual bool countTranslated(const TranslatedStatement &translated, qint64 *result, EngineError *error) = 0;
    // Runs a translated delete in one transaction (see Execute).
    virtual bool deleteTranslated(const TranslatedStatement &translated, EngineError *error, int *rowsAffected,
                                  const QString &keepAs) = 0;

    // The statements of countInRanges and countNumbers, with the backend's
    // placeholder for the n-th value (from 1) and its way of giving a
    // range's bound the field's kind.
    static QString rangeCountSql(const TableDef &table, int field, int ranges,
                                 const std::function<QString(int)> &placeholder);
    // `whole` is the backend's test that a value of the column is a whole
    // number (empty where the column holds nothing else).
    static QString numberCountSql(const TableDef &table, int field, const std::function<QString(int)> &placeholder,
                                  const QString &whole = QString());

    // The statement that reads a row of the table by its id, made once per
    // table: a row is read at every move and for every line of a grid.
    const QString &rowReadSql(const TableDef &table) const;
    virtual QString makeRowReadSql(const TableDef &table) const = 0;

private:
    QHash<QString, TranslatedStatement> m_translations;
    mutable QHash<QString, QString> m_rowReads;
};

} // namespace store
