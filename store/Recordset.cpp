#include "store/Recordset.h"

#include "store/AccessSql.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/sql/TextCompare.h"

#include <QDate>
#include <QDir>
#include <QMetaObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace store {

namespace {
constexpr int kRowCacheLimit = 4096;
// Ids read when a whole table opens: more than a screen of the grid.
constexpr int kFirstChunk = 128;
// Later chunks grow with what has been read, up to this many ids at a time.
constexpr int kMaxChunk = 65536;

QVariant fromStored(FieldKind kind, const QVariant &stored)
{
    if (stored.isNull())
        return QVariant();
    switch (kind) {
    case FieldKind::YesNo: return QVariant(stored.toLongLong() != 0);
    case FieldKind::Long: return QVariant(stored.toLongLong());
    case FieldKind::Date: {
        const QDate d = QDate::fromString(stored.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : stored;
    }
    case FieldKind::Text:
    case FieldKind::Memo: return QVariant(stored.toString());
    }
    return stored;
}

QVariant toStored(FieldKind kind, const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (kind) {
    case FieldKind::YesNo: return QVariant(qint64(value.toBool() ? 1 : 0));
    case FieldKind::Long: return QVariant(value.toLongLong());
    case FieldKind::Date: return QVariant(value.toDate().toString(Qt::ISODate));
    default: return QVariant(value.toString());
    }
}

// A read of the file from its first statement to its end, unless one is
// already open; statements within it share one lock of the file and see
// the same rows.
class ReadTransaction
{
public:
    explicit ReadTransaction(Database &db)
        : m_db(db), m_own(sqlite3_get_autocommit(db.handle()) != 0 && db.run(QStringLiteral("BEGIN"), nullptr))
    {
    }
    ~ReadTransaction()
    {
        // A failure the engine rolled back on its own has ended it already.
        if (m_own && sqlite3_get_autocommit(m_db.handle()) == 0)
            m_db.run(QStringLiteral("COMMIT"), nullptr);
    }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;

private:
    Database &m_db;
    bool m_own;
};

QString orderTerm(const FieldDef &field)
{
    const bool text = field.kind == FieldKind::Text || field.kind == FieldKind::Memo;
    return quoteIdentifier(field.name) + (text ? QStringLiteral(" COLLATE NOCASE") : QString());
}
} // namespace

std::shared_ptr<Recordset> Recordset::open(const std::shared_ptr<Database> &db, const QString &source, Type type,
                                           EngineError *error)
{
    if (!db) {
        fail(error, Err::InvalidOperation, QStringLiteral("The database is not open."));
        return nullptr;
    }
    if (type != Table && type != Dynaset && type != Snapshot) {
        fail(error, Err::InvalidOperation, QStringLiteral("Invalid record set type %1.").arg(int(type)));
        return nullptr;
    }
    // The look at the schema, the probes and the first ids: one read.
    ReadTransaction reading(*db);
    const QString trimmed = source.trimmed();
    QString keysetSql;
    QVariantList params;
    TranslatedStatement translated;
    const TableDef *table = db->tableDef(trimmed);
    static const QRegularExpression bareName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (table) {
        // Read in chunks, in row-id order (see startChunks).
    } else if (Schema::table(trimmed)) {
        // A file without one of the program's tables is some other file.
        fail(error, Err::ItemNotFound, Schema::notOurDatabaseText(db->name(), Schema::table(trimmed)->name));
        return nullptr;
    } else if (type == Table || bareName.match(trimmed).hasMatch()) {
        fail(error, Err::ItemNotFound, QStringLiteral("The table '%1' does not exist in this database.").arg(trimmed));
        return nullptr;
    } else {
        if (!db->translate(trimmed, &translated, error))
            return nullptr;
        if (translated.kind != TranslatedStatement::Kind::Select) {
            fail(error, Err::InvalidOperation,
                 QStringLiteral("A record set needs a select statement, not '%1'.").arg(trimmed));
            return nullptr;
        }
        table = db->tableDef(translated.table);
        if (!table) {
            fail(error, Err::ItemNotFound,
                 QStringLiteral("The table '%1' does not exist in this database.").arg(translated.table));
            return nullptr;
        }
        keysetSql = translated.sql;
        params = translated.params;
    }

    std::shared_ptr<Recordset> rs(new Recordset(db, *table, type, trimmed));
    rs->m_keysetSql = keysetSql;
    rs->m_keysetParams = params;
    rs->m_quickSql = translated.quickSql;
    rs->m_quickParams = translated.quickParams;
    rs->m_probes = translated.probes;
    rs->m_walkSql = translated.indexWalkSql;
    rs->m_walkRowidsSql = translated.indexWalkRowidsSql;
    rs->m_walkExceptionsSql = translated.indexWalkExceptionsSql;
    const bool wholeTable = keysetSql.isEmpty();
    if (wholeTable ? !rs->startChunks(-1, error) : !rs->loadKeys(error))
        return nullptr;
    rs->m_pos = rs->m_count == 0 ? -1 : 0;
    return rs;
}

Recordset::Recordset(std::shared_ptr<Database> db, TableDef table, Type type, QString source)
    : m_db(std::move(db)), m_table(std::move(table)), m_type(type), m_source(std::move(source))
{
}

Recordset::~Recordset() = default;

QList<FieldInfo> Recordset::Fields() const
{
    QList<FieldInfo> fields;
    for (const FieldDef &f : m_table.fields)
        fields.append({f.name, f.typeCode()});
    return fields;
}

bool Recordset::requireOpen(EngineError *error) const
{
    if (!m_open)
        return fail(error, Err::InvalidOperation,
                    QStringLiteral("Operation is not allowed for an object that is closed."));
    return true;
}

bool Recordset::loadKeys(EngineError *error)
{
    QVector<qint64> ids;
    bool read = false;
    if (!m_walkSql.isEmpty()) {
        const int walked = walkIndex(&ids, error);
        if (walked < 0)
            return false;
        read = walked == 1;
        if (!read)
            ids.clear();
    }
    if (!read) {
        // The probes and the statement read the file in one go, so that no
        // row can slip in between them.
        sqlite3 *db = m_db->handle();
        const bool ownTransaction = !m_quickSql.isEmpty() && sqlite3_get_autocommit(db) != 0;
        if (ownTransaction && !m_db->run(QStringLiteral("BEGIN"), error))
            return false;
        auto finish = [&](bool ok) {
            if (ownTransaction)
                m_db->run(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), nullptr);
            return ok;
        };
        bool quick = false;
        if (!m_quickSql.isEmpty() && !probesFindNothing(&quick, error))
            return finish(false);
        if (!readIds(quick ? m_quickSql : m_keysetSql, quick ? m_quickParams : m_keysetParams, &ids, error))
            return finish(false);
        finish(true);
    }
    m_ids = std::move(ids);
    m_count = int(m_ids.size());
    m_chunks = Chunks();
    m_cache.clear();
    return true;
}

bool Recordset::readIds(const QString &sql, const QVariantList &params, QVector<qint64> *ids, EngineError *error)
{
    auto st = m_db->prepared(sql);
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

Recordset::KeyValue::KeyValue(const sqlite3_value *v) : m_value(v ? sqlite3_value_dup(v) : nullptr)
{
}

Recordset::KeyValue::KeyValue(const KeyValue &other) : KeyValue(other.m_value)
{
}

Recordset::KeyValue &Recordset::KeyValue::operator=(const KeyValue &other)
{
    if (this != &other) {
        sqlite3_value_free(m_value);
        m_value = other.m_value ? sqlite3_value_dup(other.m_value) : nullptr;
    }
    return *this;
}

Recordset::KeyValue::~KeyValue()
{
    sqlite3_value_free(m_value);
}

bool Recordset::probesFindNothing(bool *nothing, EngineError *error)
{
    *nothing = true;
    for (const TranslatedStatement::Probe &probe : std::as_const(m_probes)) {
        auto st = m_db->prepared(probe.sql);
        if (!st->isValid()) {
            if (error)
                *error = st->error();
            return false;
        }
        st->bindAll(probe.params);
        const bool found = st->step();
        const EngineError failed = st->error();
        st->reset();
        if (failed.isError()) {
            if (error)
                *error = failed;
            return false;
        }
        if (found) {
            *nothing = false;
            return true;
        }
    }
    return true;
}

// Walks the index of the one text field the statement orders by. SQLite's
// NOCASE folds ASCII letters only and counts trailing blanks, so the walk
// is the statement's order only for some texts. While the field's partial
// index of such texts is empty, it is that order; otherwise (or in a file
// without that index) it is taken only when every row follows the one
// before in the statement's order (by the same comparison as the
// statement's collation, ties by row id), which also makes the whole walk
// that order. 1: the ids in the statement's order; 0: not known to be.
int Recordset::walkIndex(QVector<qint64> *ids, EngineError *error)
{
    // The look at the exceptions and the walk read the file in one go, so
    // that no row can slip in between them.
    sqlite3 *db = m_db->handle();
    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    if (ownTransaction && !m_db->run(QStringLiteral("BEGIN"), error))
        return -1;
    auto finish = [&](int result) {
        if (ownTransaction)
            m_db->run(result >= 0 ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), nullptr);
        return result;
    };
    if (noOrderExceptions())
        return finish(readIds(m_walkRowidsSql, {}, ids, error) ? 1 : -1);
    if (m_db->walkKnownUnordered(m_walkSql))
        return finish(0);
    const int walked = checkedWalk(ids, error);
    if (walked == 0)
        m_db->rememberUnorderedWalk(m_walkSql);
    return finish(walked);
}

bool Recordset::noOrderExceptions()
{
    if (m_walkExceptionsSql.isEmpty() || m_walkRowidsSql.isEmpty())
        return false;
    // A file without the index does not prepare the statement: it is
    // walked with the check.
    auto st = m_db->prepared(m_walkExceptionsSql);
    if (!st->isValid())
        return false;
    const bool found = st->step();
    const bool failed = st->error().isError();
    st->reset();
    return !found && !failed;
}

int Recordset::checkedWalk(QVector<qint64> *ids, EngineError *error)
{
    auto st = m_db->prepared(m_walkSql);
    if (!st->isValid()) {
        if (error)
            *error = st->error();
        return -1;
    }
    sqlite3_stmt *raw = st->handle();
    QByteArray previous;
    bool havePrevious = false;
    bool previousNull = false;
    qint64 previousId = 0;
    bool ordered = true;
    while (ordered && st->step()) {
        const qint64 id = sqlite3_column_int64(raw, 0);
        const int type = sqlite3_column_type(raw, 1);
        if (type == SQLITE_NULL) {
            // Nulls come first, in row-id order, in both.
            ordered = !havePrevious || (previousNull && previousId < id);
            previousNull = true;
        } else if (type != SQLITE_TEXT) {
            ordered = false; // numbers and blobs: left to the statement
        } else {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, 1));
            const int length = sqlite3_column_bytes(raw, 1);
            if (havePrevious && !previousNull) {
                const int c = text::compareUtf8(previous.constData(), previous.size(), text, length);
                ordered = c < 0 || (c == 0 && previousId < id);
            }
            // Kept in one buffer that grows to the longest key.
            previous.resize(length);
            if (length > 0)
                memcpy(previous.data(), text, size_t(length));
            previousNull = false;
        }
        havePrevious = true;
        previousId = id;
        ids->append(id);
    }
    const EngineError failed = st->error();
    st->reset();
    if (failed.isError()) {
        if (error)
            *error = failed;
        return -1;
    }
    return ordered ? 1 : 0;
}

bool Recordset::singleNumber(const QString &sql, qint64 *result, EngineError *error) const
{
    auto st = m_db->prepared(sql);
    const bool ok = st->isValid() && st->step();
    if (ok)
        *result = st->int64(0);
    else if (error)
        *error = st->error().isError()
            ? st->error()
            : EngineError{Err::Unexpected, QStringLiteral("The table could not be counted.")};
    if (st->isValid())
        st->reset();
    return ok;
}

bool Recordset::startChunks(int keyField, EngineError *error)
{
    sqlite3 *db = m_db->handle();
    const QString table = quoteIdentifier(m_table.name);
    // The count, the last row id and the first chunk come from one read of
    // the file, so that they agree with each other.
    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    if (ownTransaction && !m_db->run(QStringLiteral("BEGIN"), error))
        return false;
    auto finish = [&](bool ok) {
        if (ownTransaction)
            m_db->run(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), nullptr);
        return ok;
    };
    // Two statements, not one: alone, count(*) counts the entries of the
    // pages of the smallest index and max(rowid) looks at the table's last
    // page, where together they would visit every row.
    qint64 count = 0;
    qint64 maxId = 0;
    if (!singleNumber(QStringLiteral("SELECT count(*) FROM %1").arg(table), &count, error)
        || !singleNumber(QStringLiteral("SELECT max(rowid) FROM %1").arg(table), &maxId, error))
        return finish(false);

    m_ids.clear();
    m_cache.clear();
    m_count = int(count);
    m_chunks = Chunks();
    m_chunks.complete = count == 0;
    m_chunks.keyField = keyField;
    m_chunks.maxId = maxId;
    m_chunks.inNulls = keyField >= 0;
    if (!readMore(kFirstChunk, error))
        return finish(false);
    return finish(true);
}

bool Recordset::readMore(int wanted, EngineError *error) const
{
    while (!m_chunks.complete && (wanted < 0 || m_ids.size() < wanted)) {
        int limit = -1;
        if (wanted >= 0) {
            const int grown = std::clamp(int(m_ids.size()), kFirstChunk, kMaxChunk);
            limit = std::max(wanted - int(m_ids.size()), grown);
        }
        if (readChunk(limit, error) < 0)
            return false;
    }
    return true;
}

// Reads the next ids of a whole table, at most `limit` (-1: all the rest),
// continuing after the last row read. Returns how many rows the file gave,
// or -1 on a failure.
int Recordset::readChunk(int limit, EngineError *error) const
{
    const QString table = quoteIdentifier(m_table.name);
    QString sql;
    const FieldDef *key = m_chunks.keyField >= 0 ? &m_table.fields.at(m_chunks.keyField) : nullptr;
    // The rest of a whole table in row-id order is read from the entries of
    // a narrow index (a number's, where there is one) and sorted: every row
    // id is there, in a small part of the table's pages.
    const IndexDef *narrow = nullptr;
    if (!key && limit < 0) {
        for (const IndexDef &index : m_table.indexes) {
            const FieldDef *field = m_table.field(index.field);
            const bool number = field && (field->kind == FieldKind::Long || field->kind == FieldKind::YesNo);
            if (!narrow || number)
                narrow = &index;
            if (number)
                break;
        }
    }
    if (narrow) {
        sql = QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2 WHERE rowid > ?1 AND rowid <= ?2 LIMIT ?3")
                  .arg(table, quoteIdentifier(narrow->name));
        if (!m_db->prepared(sql)->isValid())
            narrow = nullptr; // not in this file: the table's own order instead
    }
    if (!key && !narrow) {
        sql =
            QStringLiteral("SELECT rowid FROM %1 WHERE rowid > ?1 AND rowid <= ?2 ORDER BY rowid LIMIT ?3").arg(table);
    } else if (key) {
        const QString col = quoteIdentifier(key->name);
        const QString ordered = orderTerm(*key);
        if (m_chunks.inNulls)
            sql = QStringLiteral("SELECT rowid FROM %1 WHERE %2 IS NULL AND rowid > ?1 AND rowid <= ?2 "
                                 "ORDER BY rowid LIMIT ?3")
                      .arg(table, col);
        else if (!m_chunks.started)
            sql = QStringLiteral("SELECT rowid, %2 FROM %1 WHERE %2 IS NOT NULL AND rowid <= ?2 "
                                 "ORDER BY %3, rowid LIMIT ?3")
                      .arg(table, col, ordered);
        else
            // Rows that tie with the last key read continue after its row id.
            sql = QStringLiteral("SELECT rowid, %2 FROM %1 WHERE %3 >= ?4 AND (%3 > ?4 OR rowid > ?1) AND rowid <= ?2 "
                                 "ORDER BY %3, rowid LIMIT ?3")
                      .arg(table, col, ordered);
    }
    auto st = m_db->prepared(sql);
    if (!st->isValid()) {
        if (error)
            *error = st->error();
        return -1;
    }
    st->reset();
    sqlite3_stmt *raw = st->handle();
    sqlite3_clear_bindings(raw);
    sqlite3_bind_int64(raw, 1, m_chunks.started ? m_chunks.lastId : std::numeric_limits<qint64>::min());
    sqlite3_bind_int64(raw, 2, m_chunks.maxId);
    sqlite3_bind_int64(raw, 3, limit);
    if (key && !m_chunks.inNulls && m_chunks.started)
        sqlite3_bind_value(raw, 4, m_chunks.lastKey.get());

    int rows = 0;
    const bool keyed = key && !m_chunks.inNulls;
    const qsizetype before = m_ids.size();
    while (st->step()) {
        const qint64 id = sqlite3_column_int64(raw, 0);
        ++rows;
        m_chunks.lastId = id;
        m_chunks.started = true;
        if (keyed && (limit < 0 ? false : rows == limit))
            m_chunks.lastKey = KeyValue(sqlite3_column_value(raw, 1));
        if (!m_chunks.skip.contains(id))
            m_ids.append(id);
    }
    const EngineError failed = st->error();
    st->reset();
    if (failed.isError()) {
        if (error)
            *error = failed;
        return -1;
    }
    if (narrow && !std::is_sorted(m_ids.begin() + before, m_ids.end()))
        std::sort(m_ids.begin() + before, m_ids.end());
    if (limit < 0 || rows < limit) {
        // This section is read to its end.
        if (key && m_chunks.inNulls) {
            m_chunks.inNulls = false;
            m_chunks.started = false;
        } else {
            finishChunks();
        }
    }
    return rows;
}

void Recordset::finishChunks() const
{
    m_ids += m_chunks.tail;
    const int read = int(m_ids.size());
    m_chunks = Chunks();
    if (read == m_count)
        return;
    // Another program deleted rows of the table while the set was being
    // read: the set is what could still be read.
    auto *self = const_cast<Recordset *>(this);
    if (self->m_pos >= read)
        self->m_pos = self->m_pos >= m_count ? read : read - 1;
    m_count = read;
    QMetaObject::invokeMethod(
        self,
        [self] {
            emit self->rowsReset();
            emit self->currentChanged();
        },
        Qt::QueuedConnection);
}

bool Recordset::leaveRow(EngineError *error)
{
    for (RowLeaveGuard *guard : std::as_const(m_guards)) {
        if (!guard->writePendingEdits())
            return fail(error, Err::InvalidOperation,
                        QStringLiteral("The edits of the current row could not be written."));
    }
    return true;
}

bool Recordset::setPosition(int position)
{
    const bool changed = position != m_pos;
    m_pos = position;
    m_editMode = EditNone;
    if (changed)
        emit currentChanged();
    return true;
}

bool Recordset::MoveFirst(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_count == 0)
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    return leaveRow(error) && setPosition(0);
}

bool Recordset::MoveLast(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (!leaveRow(error))
        return false;
    // The rest of the keyset is read, so that the count after it is exact
    // even when another program deleted rows meanwhile.
    if (!readMore(-1, error))
        return false;
    if (m_count == 0)
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    return setPosition(m_count - 1);
}

bool Recordset::MoveNext(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (atEOF())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    return leaveRow(error) && setPosition(m_pos + 1);
}

bool Recordset::MovePrevious(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (atBOF())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    return leaveRow(error) && setPosition(m_pos - 1);
}

bool Recordset::moveTo(int position, EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (position < 0 || position >= m_count)
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    if (position == m_pos)
        return true;
    return leaveRow(error) && setPosition(position);
}

qint64 Recordset::Bookmark() const
{
    return hasCurrent() ? idAt(m_pos) : -1;
}

int Recordset::positionOf(qint64 bookmark) const
{
    qsizetype searched = 0;
    for (;;) {
        const qsizetype found = m_ids.indexOf(bookmark, searched);
        if (found >= 0)
            return int(found);
        searched = m_ids.size();
        if (m_chunks.complete)
            return -1;
        const qsizetype inTail = m_chunks.tail.indexOf(bookmark);
        if (inTail >= 0)
            return tailStart() + int(inTail);
        if (!readMore(int(m_ids.size()) + 1))
            return -1;
    }
}

qint64 Recordset::idAt(int position) const
{
    if (position < 0 || position >= m_count)
        return -1;
    if (!m_chunks.complete && position >= tailStart())
        return m_chunks.tail.at(position - tailStart());
    if (position >= m_ids.size())
        readMore(position + 1);
    return position < m_ids.size() ? m_ids.at(position) : -1;
}

bool Recordset::setBookmark(qint64 bookmark, EngineError *error)
{
    const int position = positionOf(bookmark);
    if (position < 0)
        return fail(error, Err::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
    return moveTo(position, error);
}

bool Recordset::readRow(qint64 id, QVariantList *row, EngineError *error) const
{
    row->clear();
    auto cached = m_cache.constFind(id);
    if (cached != m_cache.constEnd()) {
        *row = *cached;
        return true;
    }
    if (!m_rowQuery) {
        QStringList columns;
        for (const FieldDef &f : m_table.fields)
            columns << quoteIdentifier(f.name);
        m_rowQuery =
            std::make_unique<Statement>(m_db->handle(),
                                        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                            .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(m_table.name)));
    }
    // A failed read is the engine's failure, not a missing row: nothing is
    // cached, and the next read tries again.
    auto readFailed = [this, error] {
        const EngineError e = m_rowQuery->error();
        m_rowQuery.reset();
        return fail(error, e.number, QStringLiteral("The record could not be read: ") + e.text);
    };
    if (!m_rowQuery->isValid())
        return readFailed();
    m_rowQuery->reset();
    m_rowQuery->bindInt64(1, id);
    if (m_rowQuery->step()) {
        row->reserve(m_table.fields.size());
        for (int i = 0; i < m_table.fields.size(); ++i)
            row->append(fromStored(m_table.fields.at(i).kind, m_rowQuery->value(i)));
    } else if (m_rowQuery->error().isError()) {
        return readFailed();
    }
    m_rowQuery->reset();
    if (m_cache.size() >= kRowCacheLimit)
        m_cache.clear();
    m_cache.insert(id, *row);
    return true;
}

bool Recordset::readRowAt(int position, QVariantList *row, EngineError *error) const
{
    row->clear();
    if (!m_open)
        return true;
    const qint64 id = idAt(position);
    return id < 0 || readRow(id, row, error);
}

QVariantList Recordset::rowAt(int position) const
{
    QVariantList row;
    readRowAt(position, &row, nullptr);
    return row;
}

bool Recordset::readCurrent(QVariantList *row, EngineError *error) const
{
    if (m_editMode != EditNone) {
        *row = m_buffer;
        return true;
    }
    return readRowAt(m_pos, row, error);
}

QVariant Recordset::value(int field) const
{
    if (field < 0 || field >= m_table.fields.size())
        return QVariant();
    if (m_editMode != EditNone)
        return m_buffer.value(field);
    const QVariantList row = rowAt(m_pos);
    return row.value(field);
}

QVariant Recordset::value(const QString &field) const
{
    return value(fieldIndex(field));
}

bool Recordset::setIndex(const QString &indexName, EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_type != Table)
        return fail(
            error, Err::InvalidOperation,
            QStringLiteral("Operation is not supported for this type of object (an index needs a table record set)."));
    const IndexDef *ix = m_table.index(indexName);
    if (!ix)
        return fail(error, Err::ItemNotFound, QStringLiteral("'%1' isn't an index in this table.").arg(indexName));
    const FieldDef *field = m_table.field(ix->field);
    if (!field)
        return fail(error, Err::ItemNotFound, QStringLiteral("Item not found in this collection."));
    if (!leaveRow(error))
        return false;
    if (!startChunks(m_table.fieldIndex(field->name), error))
        return false;
    m_index = ix->name;
    m_pos = m_count == 0 ? -1 : 0;
    m_editMode = EditNone;
    emit rowsReset();
    emit currentChanged();
    return true;
}

bool Recordset::Edit(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_type == Snapshot)
        return fail(error, Err::InvalidOperation, QStringLiteral("Cannot update. Database or object is read-only."));
    if (!hasCurrent())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    QVariantList row;
    if (!readRowAt(m_pos, &row, error))
        return false;
    if (row.isEmpty())
        return fail(error, Err::RecordDeleted, QStringLiteral("Record is deleted."));
    m_buffer = row;
    m_dirty = QVector<bool>(m_table.fields.size(), false);
    m_editMode = EditInProgress;
    return true;
}

bool Recordset::AddNew(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_type == Snapshot)
        return fail(error, Err::InvalidOperation, QStringLiteral("Cannot update. Database or object is read-only."));
    m_buffer = QVariantList();
    for (int i = 0; i < m_table.fields.size(); ++i)
        m_buffer.append(QVariant());
    m_dirty = QVector<bool>(m_table.fields.size(), false);
    m_editMode = EditAdd;
    return true;
}

bool Recordset::setValue(const QString &field, const QVariant &value, EngineError *error)
{
    const int i = fieldIndex(field);
    if (i < 0)
        return fail(error, Err::ItemNotFound,
                    QStringLiteral("Item not found in this collection: field '%1'.").arg(field));
    return setValue(i, value, error);
}

bool Recordset::setValue(int field, const QVariant &value, EngineError *error)
{
    if (m_editMode == EditNone)
        return fail(error, Err::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (field < 0 || field >= m_buffer.size())
        return fail(error, Err::ItemNotFound, QStringLiteral("Item not found in this collection."));
    m_buffer[field] = value;
    m_dirty[field] = true;
    return true;
}

bool Recordset::normalize(const FieldDef &field, const QVariant &in, QVariant *out, EngineError *error)
{
    if (!in.isValid() || in.isNull() || (in.metaType().id() == QMetaType::QString && in.toString().isEmpty())) {
        *out = field.kind == FieldKind::YesNo ? QVariant(false) : QVariant();
        return true;
    }
    switch (field.kind) {
    case FieldKind::Long: {
        bool ok = false;
        qint64 v = 0;
        const int id = in.metaType().id();
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = in.toDouble();
            ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e18;
            v = ok ? qint64(d) : 0;
        } else if (id == QMetaType::Bool) {
            ok = true;
            v = in.toBool() ? -1 : 0;
        } else {
            const QString text = in.toString().trimmed();
            v = text.toLongLong(&ok);
            if (!ok) {
                // Ten or more digits that do not even fit 64 bits still overflow the field.
                bool digits = !text.isEmpty();
                for (int i = 0; i < text.size(); ++i)
                    digits = digits
                        && (text.at(i).isDigit()
                            || (i == 0 && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))));
                if (digits && text.size() > 1)
                    return fail(error, Err::NumericOverflow,
                                QStringLiteral("Numeric field overflow: %1 does not fit in the field '%2', which holds "
                                               "whole numbers from -2147483648 to 2147483647.")
                                    .arg(text, field.name));
            }
        }
        if (!ok)
            return fail(error, Err::TypeConversion,
                        QStringLiteral("Data type conversion error: '%1' is not a whole number for the field '%2'.")
                            .arg(in.toString(), field.name));
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return fail(error, Err::NumericOverflow,
                        QStringLiteral("Numeric field overflow: %1 does not fit in the field '%2', which holds whole "
                                       "numbers from -2147483648 to 2147483647.")
                            .arg(v)
                            .arg(field.name));
        *out = QVariant(v);
        return true;
    }
    case FieldKind::YesNo: {
        const int id = in.metaType().id();
        if (id == QMetaType::Bool) {
            *out = in;
            return true;
        }
        if (id == QMetaType::QString) {
            const QString t = in.toString().trimmed().toLower();
            if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("on")) {
                *out = true;
                return true;
            }
            if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("off")) {
                *out = false;
                return true;
            }
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok)
                return fail(error, Err::TypeConversion,
                            QStringLiteral("Data type conversion error: '%1' is not yes or no for the field '%2'.")
                                .arg(in.toString(), field.name));
            *out = d != 0;
            return true;
        }
        *out = QVariant(in.toDouble() != 0);
        return true;
    }
    case FieldKind::Date: {
        QDate d;
        if (in.metaType().id() == QMetaType::QDate)
            d = in.toDate();
        else if (in.metaType().id() == QMetaType::QDateTime)
            d = in.toDateTime().date();
        else {
            const QString t = in.toString().trimmed();
            d = QDate::fromString(t, Qt::ISODate);
            if (!d.isValid())
                d = QDate::fromString(t, QStringLiteral("MM/dd/yyyy"));
        }
        if (!d.isValid())
            return fail(error, Err::TypeConversion,
                        QStringLiteral("Data type conversion error: '%1' is not a date for the field '%2'.")
                            .arg(in.toString(), field.name));
        *out = d;
        return true;
    }
    case FieldKind::Text:
    case FieldKind::Memo: {
        const QString t = in.toString();
        if (field.kind == FieldKind::Text && field.maxLength > 0 && t.size() > field.maxLength)
            return fail(error, Err::FieldTooSmall,
                        QStringLiteral("The field '%1' is too small to accept the amount of data you attempted to "
                                       "add: %2 characters, and it holds %3.")
                            .arg(field.name)
                            .arg(t.size())
                            .arg(field.maxLength));
        *out = t;
        return true;
    }
    }
    *out = in;
    return true;
}

bool Recordset::Update(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_editMode == EditNone)
        return fail(error, Err::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));

    QStringList names;
    QVariantList values;
    QVariantList normalized = m_buffer;
    for (int i = 0; i < m_table.fields.size(); ++i) {
        if (!m_dirty.value(i))
            continue;
        const FieldDef &f = m_table.fields.at(i);
        QVariant v;
        if (!normalize(f, m_buffer.at(i), &v, error))
            return false;
        normalized[i] = v;
        names << quoteIdentifier(f.name);
        values << toStored(f.kind, v);
    }

    sqlite3 *db = m_db->handle();
    if (m_editMode == EditAdd) {
        const QString sql = names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(m_table.name))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoteIdentifier(m_table.name), names.join(QStringLiteral(", ")),
                       QStringList(QList<QString>(names.size(), QStringLiteral("?"))).join(QStringLiteral(", ")));
        if (!execSql(db, sql, error, values))
            return false;
        const qint64 id = sqlite3_last_insert_rowid(db);
        if (m_chunks.complete) {
            m_ids.append(id);
        } else {
            // After every row not read yet; a later chunk must not bring it again.
            m_chunks.tail.append(id);
            m_chunks.skip.insert(id);
        }
        ++m_count;
        m_cache.remove(id);
        const int position = m_count - 1;
        m_editMode = EditNone;
        emit rowInserted(position);
        m_pos = position;
        emit currentChanged();
        return true;
    }

    if (!names.isEmpty()) {
        QStringList assignments;
        for (const QString &n : names)
            assignments << n + QStringLiteral(" = ?");
        const qint64 id = idAt(m_pos);
        values << QVariant(id);
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                .arg(quoteIdentifier(m_table.name), assignments.join(QStringLiteral(", ")));
        if (!execSql(db, sql, error, values))
            return false;
        m_cache.remove(id);
        // The row keeps its place; a changed key must not bring it again
        // from the part of the index not read yet.
        if (!m_chunks.complete && m_chunks.keyField >= 0 && m_dirty.value(m_chunks.keyField))
            m_chunks.skip.insert(id);
        // Another connection may have deleted the row meanwhile: the edit
        // went nowhere, and the operator must hear of it.
        if (sqlite3_changes(db) == 0)
            return fail(error, Err::RecordDeleted,
                        QStringLiteral("Record is deleted: another user removed this customer before the changes "
                                       "could be saved."));
    }
    m_editMode = EditNone;
    emit rowChanged(m_pos);
    return true;
}

void Recordset::CancelUpdate()
{
    m_editMode = EditNone;
    m_buffer.clear();
    m_dirty.clear();
}

bool Recordset::Delete(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_type == Snapshot)
        return fail(error, Err::InvalidOperation, QStringLiteral("Cannot update. Database or object is read-only."));
    if (!hasCurrent())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    const qint64 id = idAt(m_pos);
    if (id < 0)
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No current record."));
    if (!execSql(m_db->handle(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteIdentifier(m_table.name)),
                 error, {QVariant(id)}))
        return false;
    m_cache.remove(id);
    const int removed = m_pos;
    if (!m_chunks.complete && removed >= tailStart())
        m_chunks.tail.remove(removed - tailStart());
    else
        m_ids.remove(removed);
    --m_count;
    m_editMode = EditNone;
    emit rowRemoved(removed);
    if (m_count == 0)
        m_pos = -1;
    else if (m_pos >= m_count)
        m_pos = m_count - 1;
    emit currentChanged();
    return true;
}

bool Recordset::Requery(EngineError *error)
{
    if (!requireOpen(error) || !leaveRow(error))
        return false;
    const IndexDef *ix = m_index.isEmpty() ? nullptr : m_table.index(m_index);
    const bool loaded =
        m_keysetSql.isEmpty() ? startChunks(ix ? m_table.fieldIndex(ix->field) : -1, error) : loadKeys(error);
    if (!loaded)
        return false;
    m_pos = m_count == 0 ? -1 : 0;
    m_editMode = EditNone;
    emit rowsReset();
    emit currentChanged();
    return true;
}

std::shared_ptr<Recordset> Recordset::OpenSnapshot() const
{
    std::shared_ptr<Recordset> copy(new Recordset(m_db, m_table, Snapshot, m_source));
    copy->m_keysetSql = m_keysetSql;
    copy->m_keysetParams = m_keysetParams;
    copy->m_quickSql = m_quickSql;
    copy->m_quickParams = m_quickParams;
    copy->m_probes = m_probes;
    copy->m_walkSql = m_walkSql;
    copy->m_walkRowidsSql = m_walkRowidsSql;
    copy->m_walkExceptionsSql = m_walkExceptionsSql;
    copy->m_index = m_index;
    copy->m_ids = m_ids;
    copy->m_chunks = m_chunks;
    copy->m_count = m_count;
    copy->m_pos = m_count == 0 ? -1 : 0;
    copy->m_open = m_open;
    return copy;
}

void Recordset::Close()
{
    if (!m_open)
        return;
    m_open = false;
    m_ids.clear();
    m_chunks = Chunks();
    m_count = 0;
    m_pos = -1;
    m_cache.clear();
    m_rowQuery.reset();
    m_editMode = EditNone;
    emit closed();
}

void Recordset::addGuard(RowLeaveGuard *guard)
{
    if (!m_guards.contains(guard))
        m_guards.append(guard);
}

void Recordset::removeGuard(RowLeaveGuard *guard)
{
    m_guards.removeAll(guard);
}

} // namespace store
