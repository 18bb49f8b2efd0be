#include "store/FileDatabase.h"

#include "store/FieldValues.h"

#include "store/BulkWriteCache.h"
#include "store/KeptChanges.h"
#include "store/Recordset.h"
#include "store/SafeFiles.h"
#include "store/Statement.h"
#include "store/WriteNotifier.h"
#include "store/sql/SqlFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <atomic>
#include <sqlite3.h>
#include <unistd.h>

namespace store {

namespace {
std::atomic<int> g_connectionSerial{0};

QString uriFor(const QString &path, bool readOnly)
{
    // SQLite's URI form lets us open read-write without ever creating a file.
    QString escaped = QFileInfo(path).absoluteFilePath();
    escaped.replace(QLatin1Char('%'), QLatin1String("%25"));
    escaped.replace(QLatin1Char('?'), QLatin1String("%3f"));
    escaped.replace(QLatin1Char('#'), QLatin1String("%23"));
    return QStringLiteral("file:") + escaped + (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
}
} // namespace

std::shared_ptr<FileDatabase> FileDatabase::open(const QString &path, EngineError *error)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        fail(error, Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
        return nullptr;
    }

    std::shared_ptr<FileDatabase> db(new FileDatabase);
    db->m_path = path;
    db->m_connectionName = QStringLiteral("vantrel-%1").arg(++g_connectionSerial);
    db->m_connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), db->m_connectionName);
    if (!db->m_connection.isValid()) {
        fail(error, Err::CannotOpen,
             QStringLiteral("The database driver for '%1' is not installed (Qt SQL's QSQLITE).").arg(path));
        return nullptr;
    }
    // The engine would open such a file and fail at each write with a text
    // of its own; it is opened for reading, and the windows say so once.
    const QString real = info.canonicalFilePath();
    db->m_readOnly =
        isReadOnlyFile(real) || ::access(QFile::encodeName(QFileInfo(real).absolutePath()).constData(), W_OK) != 0;
    db->m_connection.setDatabaseName(uriFor(path, db->m_readOnly));
    db->m_connection.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db->m_connection.open()) {
        fail(error, Err::CannotOpen,
             QStringLiteral("Could not open '%1': %2").arg(path, db->m_connection.lastError().text()));
        return nullptr;
    }
    const QVariant handle = db->m_connection.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        fail(error, Err::CannotOpen, QStringLiteral("Could not open '%1'.").arg(path));
        return nullptr;
    }
    db->m_handle = *static_cast<sqlite3 *const *>(handle.constData());

    // A file that is not a database shows itself at the first read.
    Statement probe(db->m_handle, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!probe.isValid() || !probe.step()) {
        const EngineError e = probe.isValid() ? probe.error() : probe.error();
        if (e.number == Err::UnrecognizedFormat || e.number == Err::Corrupt || e.number == Err::Unexpected)
            fail(error, Err::UnrecognizedFormat, QStringLiteral("Unrecognized database format '%1'.").arg(path));
        else if (error)
            *error = e;
        return nullptr;
    }
    registerVantrelFunctions(db->m_handle);
    sqlite3_commit_hook(
        db->m_handle,
        [](void *) {
            WriteNotifier::instance()->noteCommit();
            return 0; // never vetoes the commit
        },
        nullptr);
    return db;
}

FileDatabase::~FileDatabase()
{
    // Every statement goes before the connection closes.
    m_prepared.clear();
    m_tables.clear();
    m_tablesAsAsked.clear();
    m_connection.close();
    m_connection = QSqlDatabase();
    if (!m_connectionName.isEmpty())
        QSqlDatabase::removeDatabase(m_connectionName);
}

const TableDef *FileDatabase::tableDef(const QString &name) const
{
    auto asked = m_tablesAsAsked.constFind(name);
    if (asked != m_tablesAsAsked.constEnd())
        return asked->get();

    // A source that is a statement is looked up too, at every open: the
    // look-up is kept prepared, and the name is folded only once found.
    auto find =
        prepared(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    find->bind(1, name);
    const bool found = find->step();
    const QString tableName = found ? find->value(0).toString() : QString();
    find->reset();
    if (!found)
        return nullptr;
    const QString key = name.toLower();
    auto it = m_tables.constFind(key);
    if (it != m_tables.constEnd()) {
        m_tablesAsAsked.insert(name, *it);
        return it->get();
    }
    auto def = std::make_shared<TableDef>();
    def->name = tableName;

    Statement columns(m_handle, QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
    columns.bind(1, def->name);
    while (columns.step()) {
        FieldDef f;
        f.name = columns.value(0).toString();
        const QString declared = columns.value(1).toString();
        f.kind = kindFromDeclaredType(declared);
        if (f.kind == FieldKind::Text) {
            const int open = declared.indexOf(QLatin1Char('('));
            const int close = declared.indexOf(QLatin1Char(')'));
            if (open > 0 && close > open)
                f.maxLength = declared.mid(open + 1, close - open - 1).trimmed().toInt();
        }
        def->fields.append(f);
    }

    Statement indexes(m_handle,
                      QStringLiteral("SELECT il.name, ii.name FROM pragma_index_list(?) AS il, "
                                     "pragma_index_info(il.name) AS ii WHERE ii.seqno = 0 AND il.partial = 0"));
    indexes.bind(1, def->name);
    while (indexes.step())
        def->indexes.append({indexes.value(0).toString(), indexes.value(1).toString()});

    m_tables.insert(key, def);
    m_tablesAsAsked.insert(name, def);
    return def.get();
}

bool FileDatabase::isOpenedBy(const QString &name) const
{
    const QString file = QFileInfo(name).canonicalFilePath();
    return !file.isEmpty() && file == QFileInfo(m_path).canonicalFilePath();
}

bool FileDatabase::deleteTranslated(const TranslatedStatement &translated, EngineError *error, int *rowsAffected,
                                    const QString &keepAs)
{
    const BulkWriteCache cache(m_handle);
    if (!execSql(m_handle, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    KeptChanges kept(m_handle, KeepLimits::fromSettings(), m_path);
    qint64 keptDeleted = 0;
    const bool deleted = keepAs.isEmpty() ? execSql(m_handle, translated.sql, error, translated.params)
                                          : kept.deleteKeeping(translated, keepAs, &keptDeleted, error);
    if (!deleted) {
        execSql(m_handle, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    const int changed = keepAs.isEmpty() ? sqlite3_changes(m_handle) : int(keptDeleted);
    if (!execSql(m_handle, QStringLiteral("COMMIT"), error)) {
        execSql(m_handle, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    if (rowsAffected)
        *rowsAffected = changed;
    if (!keepAs.isEmpty()) {
        // The delete stands whether or not older changes could be let go now;
        // the next change or start tries again.
        EngineError trimError;
        if (!kept.trim(&trimError))
            qWarning("Kept changes were not trimmed: %s", qPrintable(trimError.text));
    }
    return true;
}

bool FileDatabase::countTranslated(const TranslatedStatement &translated, qint64 *result, EngineError *error)
{
    Statement st(m_handle, QStringLiteral("SELECT count(*) FROM (%1)").arg(translated.sql));
    if (!st.isValid()) {
        if (error)
            *error = st.error();
        return false;
    }
    st.bindAll(translated.params);
    if (!st.step()) {
        if (error)
            *error = st.error();
        return false;
    }
    *result = st.int64(0);
    return true;
}

namespace {
// Kept statements: a filter's few statements, not every statement of a long
// day.
constexpr int kKeptStatements = 48;
} // namespace

bool FileDatabase::translateFresh(const QString &statement, TranslatedStatement *out, EngineError *error)
{
    return translateAccessSql(statement, tableLookup(), out, error);
}

std::shared_ptr<Statement> FileDatabase::prepared(const QString &sql) const
{
    auto kept = m_prepared.constFind(sql);
    if (kept != m_prepared.constEnd()) {
        (*kept)->reset();
        sqlite3_clear_bindings((*kept)->handle());
        return *kept;
    }
    auto st = std::make_shared<Statement>(m_handle, sql);
    // A statement that did not prepare is not kept: the next try reports
    // afresh.
    if (!st->isValid())
        return st;
    if (m_prepared.size() >= kKeptStatements)
        m_prepared.clear();
    m_prepared.insert(sql, st);
    return st;
}

bool FileDatabase::run(const QString &sql, EngineError *error)
{
    auto st = prepared(sql);
    const bool ok = st->isValid() && (st->step() || !st->error().isError());
    if (!ok && error)
        *error = st->error();
    if (st->isValid())
        st->reset();
    return ok;
}

QPair<qint64, qint64> FileDatabase::changeStamp()
{
    // data_version moves with every commit of another connection;
    // total_changes with every row this one changes.
    auto version = prepared(QStringLiteral("PRAGMA data_version"));
    const qint64 other = version->isValid() && version->step() ? version->int64(0) : -1;
    if (version->isValid())
        version->reset();
    return {other, qint64(sqlite3_total_changes64(m_handle))};
}

bool FileDatabase::walkKnownUnordered(const QString &walkSql)
{
    auto kept = m_unorderedWalks.constFind(walkSql);
    return kept != m_unorderedWalks.constEnd() && *kept == changeStamp();
}

void FileDatabase::rememberUnorderedWalk(const QString &walkSql)
{
    m_unorderedWalks.insert(walkSql, changeStamp());
}

bool FileDatabase::beginRead(bool *own, EngineError *error)
{
    *own = false;
    if (sqlite3_get_autocommit(m_handle) == 0)
        return true;
    if (!run(QStringLiteral("BEGIN"), error))
        return false;
    *own = true;
    return true;
}

bool FileDatabase::endRead(EngineError *error)
{
    // A failure the engine rolled back on its own has ended it already.
    if (sqlite3_get_autocommit(m_handle) != 0)
        return true;
    if (run(QStringLiteral("COMMIT"), error))
        return true;
    // Nothing was written: ending it either way lets the file go.
    run(QStringLiteral("ROLLBACK"), nullptr);
    return false;
}

bool FileDatabase::readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error)
{
    auto st = prepared(sql);
    if (!st->isValid()) {
        if (error)
            *error = st->error();
        return false;
    }
    st->bindAll(params);
    sqlite3_stmt *raw = st->handle();
    while (st->step())
        ids->append(sqlite3_column_int64(raw, 0));
    const EngineError failed = st->error();
    st->reset();
    if (failed.isError()) {
        if (error)
            *error = failed;
        return false;
    }
    return true;
}

namespace {
// Adds a row with `fields` set by ? values, the others at their defaults.
QString insertSql(const TableDef &table, const QList<int> &fields)
{
    QStringList names;
    for (int f : fields)
        names << quoteIdentifier(table.fields.at(f).name);
    if (names.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(table.name));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoteIdentifier(table.name), names.join(QStringLiteral(", ")),
             QStringList(QList<QString>(names.size(), QStringLiteral("?"))).join(QStringLiteral(", ")));
}

QVariantList storedValues(const TableDef &table, const QList<int> &fields, const QVariantList &values)
{
    QVariantList stored;
    stored.reserve(values.size());
    for (int i = 0; i < fields.size(); ++i)
        stored << toStored(table.fields.at(fields.at(i)).kind, values.at(i));
    return stored;
}
} // namespace

QString FileDatabase::makeRowReadSql(const TableDef &table) const
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quotedColumns(table), quoteIdentifier(table.name));
}

bool FileDatabase::readRow(const TableDef &table, qint64 id, QVariantList *row, qint64 *version, EngineError *error)
{
    row->clear();
    if (version)
        *version = 0;
    auto query = prepared(rowReadSql(table));
    if (!query->isValid())
        return fail(error, query->error().number,
                    QStringLiteral("The record could not be read: ") + query->error().text);
    query->bindInt64(1, id);
    if (query->step()) {
        row->reserve(table.fields.size());
        for (int i = 0; i < table.fields.size(); ++i)
            row->append(fromStored(table.fields.at(i).kind, query->value(i)));
    } else if (query->error().isError()) {
        const EngineError e = query->error();
        query->reset();
        return fail(error, e.number, QStringLiteral("The record could not be read: ") + e.text);
    }
    query->reset();
    return true;
}

bool FileDatabase::insertRow(const TableDef &table, const QList<int> &fields, const QVariantList &values, qint64 *id,
                             EngineError *error)
{
    if (!execSql(m_handle, insertSql(table, fields), error, storedValues(table, fields, values)))
        return false;
    *id = sqlite3_last_insert_rowid(m_handle);
    return true;
}

bool FileDatabase::updateRow(const TableDef &table, qint64 id, qint64, const QList<int> &fields,
                             const QVariantList &values, RowWrite *outcome, EngineError *error)
{
    *outcome = RowWrite::Written;
    if (fields.isEmpty())
        return true;
    QStringList assignments;
    for (int f : fields)
        assignments << quoteIdentifier(table.fields.at(f).name) + QStringLiteral(" = ?");
    QVariantList params = storedValues(table, fields, values);
    params << QVariant(id);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                            .arg(quoteIdentifier(table.name), assignments.join(QStringLiteral(", ")));
    if (!execSql(m_handle, sql, error, params))
        return false;
    if (sqlite3_changes(m_handle) == 0)
        *outcome = RowWrite::Gone;
    return true;
}

bool FileDatabase::deleteRow(const TableDef &table, qint64 id, EngineError *error)
{
    return execSql(m_handle, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteIdentifier(table.name)), error,
                   {QVariant(id)});
}

namespace {

// A batch in one write transaction of the file, its statements prepared
// once for all its rows.
class FileRowBatch final : public RowBatch
{
public:
    FileRowBatch(sqlite3 *db, const TableDef &table, const QList<int> &fields, const QString &keepAs)
        : m_db(db), m_table(table), m_fields(fields), m_kept(db), m_keepAs(keepAs), m_cache(db)
    {
    }
    ~FileRowBatch() override
    {
        if (m_open)
            execSql(m_db, QStringLiteral("ROLLBACK"), nullptr);
    }

    bool begin(EngineError *error)
    {
        if (!execSql(m_db, QStringLiteral("BEGIN IMMEDIATE"), error))
            return false;
        m_open = true;
        return m_keepAs.isEmpty() || m_kept.beginAdding(m_table.name, error);
    }

    bool insert(const QVariantList &values, EngineError *error) override
    {
        if (!m_insert.isValid())
            m_insert = Statement(m_db, insertSql(m_table, m_fields));
        return step(m_insert, values, error);
    }

    bool updateFirst(const QVariantList &values, bool *written, EngineError *error) override
    {
        if (!m_update.isValid()) {
            QStringList assignments;
            for (int f : std::as_const(m_fields))
                assignments << quoteIdentifier(m_table.fields.at(f).name) + QStringLiteral(" = ?");
            m_update = Statement(m_db,
                                 QStringLiteral("UPDATE %1 SET %2 WHERE rowid = (SELECT min(rowid) FROM %1)")
                                     .arg(quoteIdentifier(m_table.name), assignments.join(QStringLiteral(", "))));
        }
        if (!step(m_update, values, error))
            return false;
        *written = sqlite3_changes(m_db) > 0;
        return true;
    }

    bool commit(EngineError *error) override
    {
        m_insert = Statement();
        m_update = Statement();
        qint64 keptRows = 0;
        if (!m_keepAs.isEmpty() && !m_kept.keepAdded(m_keepAs, &keptRows, error))
            return false;
        if (!execSql(m_db, QStringLiteral("COMMIT"), error))
            return false;
        m_open = false;
        return true;
    }

private:
    bool step(Statement &st, const QVariantList &values, EngineError *error)
    {
        if (st.isValid()) {
            st.reset();
            for (int i = 0; i < values.size(); ++i)
                st.bind(i + 1, toStored(m_table.fields.at(m_fields.at(i)).kind, values.at(i)));
            if (st.step() || !st.error().isError())
                return true;
        }
        if (error)
            *error = st.error();
        return false;
    }

    sqlite3 *m_db;
    const TableDef &m_table;
    QList<int> m_fields;
    KeptChanges m_kept;
    QString m_keepAs;
    const BulkWriteCache m_cache;
    Statement m_insert;
    Statement m_update;
    bool m_open = false;
};

} // namespace

std::unique_ptr<RowBatch> FileDatabase::beginBatch(const TableDef &table, const QList<int> &fields,
                                                   const QString &keepAs, EngineError *error)
{
    auto batch = std::make_unique<FileRowBatch>(m_handle, table, fields, keepAs);
    if (!batch->begin(error))
        return nullptr;
    return batch;
}

bool FileDatabase::scanRows(const TableDef &table, const QList<int> &fields, const RowScan &use, EngineError *error)
{
    QStringList columns{QStringLiteral("rowid")};
    for (int f : fields)
        columns << quoteIdentifier(table.fields.at(f).name);
    Statement rows(m_handle,
                   QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                       .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(table.name)));
    QVariantList values;
    while (rows.step()) {
        values.clear();
        for (int i = 0; i < fields.size(); ++i)
            values << fromStored(table.fields.at(fields.at(i)).kind, rows.value(i + 1));
        if (!use(rows.int64(0), values))
            return true;
    }
    if (rows.error().isError()) {
        if (error)
            *error = rows.error();
        return false;
    }
    return true;
}

namespace {
// A range's bound as the file stores the field: a date as its ISO text.
QVariant storedBound(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? QVariant(value.toDate().toString(Qt::ISODate)) : value;
}
} // namespace

bool FileDatabase::countInRanges(const TableDef &table, int field, const QList<ValueRange> &ranges,
                                 QVector<qint64> *counts, EngineError *error)
{
    counts->fill(0, ranges.size());
    if (ranges.isEmpty())
        return true;
    Statement st(m_handle,
                 rangeCountSql(table, field, int(ranges.size()), [](int n) { return QStringLiteral("?%1").arg(n); }));
    QVariantList values;
    for (const ValueRange &range : ranges)
        values << storedBound(range.first) << storedBound(range.second);
    values << storedBound(ranges.first().first) << storedBound(ranges.last().second);
    if (!st.isValid() || !st.bindAll(values) || !st.step()) {
        if (error)
            *error = st.error();
        return false;
    }
    for (qsizetype r = 0; r < ranges.size(); ++r)
        (*counts)[r] = st.int64(int(r));
    return true;
}

bool FileDatabase::countNumbers(const TableDef &table, int field, qint64 low, qint64 high, qint64 *distinct,
                                qint64 *highest, EngineError *error)
{
    // The file may hold a fraction or a text in a number column: not a locker.
    Statement st(m_handle,
                 numberCountSql(
                     table, field, [](int n) { return QStringLiteral("?%1").arg(n); },
                     QStringLiteral("typeof(%1) = 'integer'")));
    if (!st.isValid() || !st.bindAll({low, high}) || !st.step()) {
        if (error)
            *error = st.error();
        return false;
    }
    *distinct = st.int64(0);
    *highest = st.int64(1);
    return true;
}

} // namespace store
