#include "store/Recordset.h"

#include "store/Database.h"
#include "store/FieldValues.h"
#include "store/ReadTransaction.h"
#include "store/Schema.h"
#include "store/sql/AccessSql.h"
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
    if (!reading.begin(error))
        return nullptr;
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
    if (!reading.commit(error))
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
        ReadTransaction reading(*m_db);
        if (!m_quickSql.isEmpty() && !reading.begin(error))
            return false;
        bool quick = false;
        if (!m_quickSql.isEmpty() && !probesFindNothing(&quick, error))
            return false;
        if (!m_db->readIds(quick ? m_quickSql : m_keysetSql, quick ? m_quickParams : m_keysetParams, &ids, error)
            || !reading.commit(error))
            return false;
    }
    m_ids = std::move(ids);
    m_count = int(m_ids.size());
    m_chunks = Chunks();
    m_cache.clear();
    return true;
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
    ReadTransaction reading(*m_db);
    if (!reading.begin(error))
        return -1;
    int walked = 0;
    if (noOrderExceptions()) {
        walked = m_db->readIds(m_walkRowidsSql, {}, ids, error) ? 1 : -1;
    } else if (!m_db->walkKnownUnordered(m_walkSql)) {
        walked = checkedWalk(ids, error);
        if (walked == 0)
            m_db->rememberUnorderedWalk(m_walkSql);
    }
    if (walked < 0 || !reading.commit(error))
        return -1;
    return walked;
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
    // The row moved onto is read afresh: another desk may have changed or
    // deleted it since it was last read.
    if (changed)
        m_cache.remove(idAt(position));
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

bool Recordset::readRow(qint64 id, QVariantList *row, EngineError *error, qint64 *version) const
{
    row->clear();
    auto cached = m_cache.constFind(id);
    if (cached != m_cache.constEnd()) {
        *row = cached->values;
        if (version)
            *version = cached->version;
        return true;
    }
    // A failed read is the engine's failure, not a missing row: nothing is
    // cached, and the next read tries again.
    CachedRow read;
    if (!m_db->readRow(m_table, id, &read.values, &read.version, error))
        return false;
    *row = read.values;
    if (version)
        *version = read.version;
    if (m_cache.size() >= kRowCacheLimit)
        m_cache.clear();
    m_cache.insert(id, std::move(read));
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

bool Recordset::readCurrent(QVariantList *row, EngineError *error, qint64 *version) const
{
    if (m_editMode != EditNone) {
        *row = m_buffer;
        if (version)
            *version = m_editVersion;
        return true;
    }
    row->clear();
    const qint64 id = m_open ? idAt(m_pos) : -1;
    if (version)
        *version = 0;
    return id < 0 || readRow(id, row, error, version);
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

bool Recordset::Edit(qint64 shownVersion, EngineError *error)
{
    if (!Edit(error))
        return false;
    m_editVersion = shownVersion;
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
    const qint64 id = idAt(m_pos);
    if (id >= 0 && !readRow(id, &row, error, &m_editVersion))
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

bool Recordset::Update(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_editMode == EditNone)
        return fail(error, Err::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    return writeBuffer(error);
}

bool Recordset::writeBuffer(EngineError *error)
{
    QList<int> fields;
    QVariantList values;
    for (int i = 0; i < m_table.fields.size(); ++i) {
        if (!m_dirty.value(i))
            continue;
        QVariant v;
        if (!normalizeFieldValue(m_table.fields.at(i), m_buffer.at(i), &v, error))
            return false;
        fields << i;
        values << v;
    }

    if (m_editMode == EditAdd) {
        qint64 id = 0;
        if (!m_db->insertRow(m_table, fields, values, &id, error))
            return false;
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

    if (!fields.isEmpty()) {
        const qint64 id = idAt(m_pos);
        RowWrite outcome = RowWrite::Written;
        if (!m_db->updateRow(m_table, id, m_editVersion, fields, values, &outcome, error))
            return false;
        m_cache.remove(id);
        // Another desk or program may have deleted the row meanwhile: the
        // edit went nowhere, and the operator must hear of it.
        if (outcome == RowWrite::Gone)
            return fail(error, Err::RecordDeleted,
                        QStringLiteral("Record is deleted: another user removed this customer before the changes "
                                       "could be saved."));
        if (outcome == RowWrite::Changed)
            return fail(error, Err::WriteConflict, writeConflictText());
        // The row keeps its place; a changed key must not bring it again
        // from the part of the index not read yet.
        if (!m_chunks.complete && m_chunks.keyField >= 0 && m_dirty.value(m_chunks.keyField))
            m_chunks.skip.insert(id);
    }
    m_editMode = EditNone;
    emit rowChanged(m_pos);
    return true;
}

bool Recordset::otherDesksRow(QVariantList *row, EngineError *error)
{
    const qint64 id = idAt(m_pos);
    m_cache.remove(id);
    return readRow(id, row, error, &m_conflictVersion);
}

bool Recordset::UpdateKeepingMine(EngineError *error)
{
    if (!requireOpen(error))
        return false;
    if (m_editMode != EditInProgress)
        return fail(error, Err::UpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    // What the operator chose is the row as their screen shows it: every
    // field, not only the ones they typed in.
    m_dirty.fill(true);
    m_editVersion = m_conflictVersion;
    return writeBuffer(error);
}

void Recordset::takeOtherDesksRow()
{
    CancelUpdate();
    m_cache.remove(idAt(m_pos));
    emit rowChanged(m_pos);
    emit currentChanged();
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
    if (!m_db->deleteRow(m_table, id, error))
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
