// The keyset of a whole table, read in chunks as moves and the grid reach
// its rows (see Recordset).
#include "store/Database.h"
#include "store/ReadTransaction.h"
#include "store/Recordset.h"

#include <QMetaObject>
#include <algorithm>
#include <bit>
#include <limits>
#include <sqlite3.h>
#include <vector>

namespace store {

namespace {
// Ids read when a whole table opens: more than a screen of the grid.
constexpr int kFirstChunk = 128;
// Later chunks grow with what has been read, up to this many ids at a time.
constexpr int kMaxChunk = 65536;

QString orderTerm(const FieldDef &field)
{
    const bool text = field.kind == FieldKind::Text || field.kind == FieldKind::Memo;
    return quoteIdentifier(field.name) + (text ? QStringLiteral(" COLLATE NOCASE") : QString());
}

// Puts ids[from..] in ascending order. A table's row ids mostly lie close
// together, so where their span is not much wider than their number, a
// bitmap over the span orders them in one pass each way: for a million ids
// several times quicker than comparing them. Row ids are unique, so none is
// lost; widely spread ids are sorted by comparison.
void sortRowIds(QList<qint64> &ids, qsizetype from)
{
    const auto first = ids.begin() + from;
    const auto last = ids.end();
    if (std::is_sorted(first, last))
        return;
    const auto [lowest, highest] = std::minmax_element(first, last);
    const qint64 low = *lowest;
    const quint64 width = quint64(*highest) - quint64(low); // the span less one, which cannot overflow
    if (width / 16 > quint64(last - first)) {
        std::sort(first, last);
        return;
    }
    std::vector<quint64> bits(size_t(width / 64 + 1));
    for (auto it = first; it != last; ++it) {
        const quint64 offset = quint64(*it) - quint64(low);
        bits[size_t(offset / 64)] |= quint64(1) << (offset % 64);
    }
    auto out = first;
    for (size_t word = 0; word < bits.size(); ++word) {
        for (quint64 set = bits[word]; set != 0; set &= set - 1)
            *out++ = qint64(quint64(low) + word * 64 + quint64(std::countr_zero(set)));
    }
}
} // namespace

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
    if (!m_db->readsTablesInChunks()) {
        // A server gives the whole keyset in one ordered read.
        QVector<qint64> ids;
        if (!m_db->readTableIds(m_table, keyField, &ids, error))
            return false;
        m_ids = std::move(ids);
        m_cache.clear();
        m_count = int(m_ids.size());
        m_chunks = Chunks();
        return true;
    }
    const QString table = quoteIdentifier(m_table.name);
    // The count, the last row id and the first chunk come from one read of
    // the file, so that they agree with each other.
    ReadTransaction reading(*m_db);
    if (!reading.begin(error))
        return false;
    // Two statements, not one: alone, count(*) counts the entries of the
    // pages of the smallest index and max(rowid) looks at the table's last
    // page, where together they would visit every row.
    qint64 count = 0;
    qint64 maxId = 0;
    if (!singleNumber(QStringLiteral("SELECT count(*) FROM %1").arg(table), &count, error)
        || !singleNumber(QStringLiteral("SELECT max(rowid) FROM %1").arg(table), &maxId, error))
        return false;

    m_ids.clear();
    m_cache.clear();
    m_count = int(count);
    m_chunks = Chunks();
    m_chunks.complete = count == 0;
    m_chunks.keyField = keyField;
    m_chunks.maxId = maxId;
    m_chunks.inNulls = keyField >= 0;
    return readMore(kFirstChunk, error) && reading.commit(error);
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
    // id is there, in a small part of the table's pages. The index is read
    // whole and the ids outside the rest are passed over here, which costs
    // less than the engine testing each entry.
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
        sql = QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2").arg(table, quoteIdentifier(narrow->name));
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
    const qint64 after = m_chunks.started ? m_chunks.lastId : std::numeric_limits<qint64>::min();
    const qint64 upTo = m_chunks.maxId;
    if (!narrow) {
        // A value SQLite refuses fails the first step below.
        st->bindInt64(1, after);
        st->bindInt64(2, upTo);
        st->bindInt64(3, limit);
        if (key && !m_chunks.inNulls && m_chunks.started)
            st->bindValue(4, m_chunks.lastKey.get());
    }
    sqlite3_stmt *raw = st->handle();

    int rows = 0;
    const bool keyed = key && !m_chunks.inNulls;
    const qsizetype before = m_ids.size();
    while (st->step()) {
        const qint64 id = sqlite3_column_int64(raw, 0);
        if (narrow && (id <= after || id > upTo))
            continue;
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
    if (narrow)
        sortRowIds(m_ids, before);
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

} // namespace store
