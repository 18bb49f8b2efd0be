#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/sql/AccessSql.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QVariant>
#include <QVector>
#include <memory>

struct sqlite3_value;

namespace store {

class Database;

struct FieldInfo {
    QString name;
    int type = 10; // the engine's type code
};

// Something that holds edits of the current row and must write them before
// the row is left (a data control with bound controls). It reports its own
// failures; returning false keeps the record set on the row.
class RowLeaveGuard
{
public:
    virtual ~RowLeaveGuard() = default;
    virtual bool writePendingEdits() = 0;
};

// A keyset cursor over one table: refreshing reads the row ids that the
// source selects, in its order; a row's values are read by id when needed.
// Memory grows with the row ids only.
//
// A whole table (in row-id order, or in an index's order) is not read at
// once: opening counts its rows and reads the first screen's ids, and the
// rest follows in chunks, each continuing after the last row read, as moves
// and the grid reach them. The set stays the rows the table held when it was
// opened (rows others add later are not in it), plus the rows it adds itself,
// which come after every other row. A statement's rows are read at once: its
// sort needs every match before the first one is known anyway.
class Recordset : public QObject
{
    Q_OBJECT
public:
    enum Type { Table = 0, Dynaset = 1, Snapshot = 2 };
    enum EditMode { EditNone = 0, EditInProgress = 1, EditAdd = 2 };

    static std::shared_ptr<Recordset> open(const std::shared_ptr<Database> &db, const QString &source, Type type,
                                           EngineError *error);
    ~Recordset() override;

    Type type() const { return m_type; }
    QString source() const { return m_source; }
    const TableDef &table() const { return m_table; }
    std::shared_ptr<Database> database() const { return m_db; }
    bool isOpen() const { return m_open; }

    // Fields in table order with their type codes.
    QList<FieldInfo> Fields() const;
    int fieldIndex(const QString &name) const { return m_table.fieldIndex(name); }

    // Exact at every moment, also before every row id has been read.
    int RecordCount() const { return m_count; }
    bool atBOF() const { return m_count == 0 || m_pos < 0; }
    bool atEOF() const { return m_count == 0 || m_pos >= m_count; }
    bool hasCurrent() const { return m_pos >= 0 && m_pos < m_count; }
    // How many row ids have been read so far (all of them once complete).
    int idsRead() const { return int(m_ids.size() + m_chunks.tail.size()); }
    bool keysetComplete() const { return m_chunks.complete; }
    // 0-based position of the current row; -1 before the first, count after the last.
    int AbsolutePosition() const { return m_pos; }

    bool MoveFirst(EngineError *error = nullptr);
    bool MoveLast(EngineError *error = nullptr);
    bool MoveNext(EngineError *error = nullptr);
    bool MovePrevious(EngineError *error = nullptr);
    bool moveTo(int position, EngineError *error = nullptr);

    // The current row's id; identifies the row for as long as the set lives.
    qint64 Bookmark() const;
    bool setBookmark(qint64 bookmark, EngineError *error = nullptr);
    int positionOf(qint64 bookmark) const;
    qint64 idAt(int position) const;

    QVariant value(int field) const;
    QVariant value(const QString &field) const;
    // All values of the row at a position (for grids); empty if it is gone
    // or cannot be read.
    QVariantList rowAt(int position) const;
    // The values of the row at a position: true with them, or with none when
    // there is no such row or it was deleted since its id was read; false
    // with the engine's error when the row cannot be read.
    bool readRowAt(int position, QVariantList *row, EngineError *error) const;
    // The current row's values as value() gives them (the edit buffer while
    // editing), with readRowAt's answer.
    // With `version`, the row's version as read (0 where rows have none).
    bool readCurrent(QVariantList *row, EngineError *error, qint64 *version = nullptr) const;

    // Orders a table set by one of its indexes; the first row becomes current.
    bool setIndex(const QString &indexName, EngineError *error = nullptr);
    QString index() const { return m_index; }

    EditMode editMode() const { return m_editMode; }
    bool Edit(EngineError *error = nullptr);
    // An edit of the row as it was when shown: its save is refused as a
    // conflict if another desk saved the row since `shownVersion`.
    bool Edit(qint64 shownVersion, EngineError *error);
    bool AddNew(EngineError *error = nullptr);
    bool setValue(const QString &field, const QVariant &value, EngineError *error = nullptr);
    bool setValue(int field, const QVariant &value, EngineError *error = nullptr);
    // Writes the edit buffer. On failure nothing is written and the buffer,
    // with every value set into it, stays for a corrected try or CancelUpdate.
    bool Update(EngineError *error = nullptr);
    void CancelUpdate();
    // Deletes the current row; the next row (or the new last) becomes current.
    bool Delete(EngineError *error = nullptr);

    // After Update failed with Err::WriteConflict (another desk saved the row
    // since the edit began): the row as the other desk left it, read afresh;
    // empty when it has been deleted since.
    bool otherDesksRow(QVariantList *row, EngineError *error = nullptr);
    // Writes the edit buffer whole over the other desk's row, unless the row
    // changed again since otherDesksRow() read it (a conflict again).
    bool UpdateKeepingMine(EngineError *error = nullptr);
    // Drops the edit and shows the row as the other desk left it.
    void takeOtherDesksRow();

    // Rebuilds the keyset from the source.
    bool Requery(EngineError *error = nullptr);
    // A read-only copy of the keyset with a position of its own.
    std::shared_ptr<Recordset> OpenSnapshot() const;
    void Close();

    void addGuard(RowLeaveGuard *guard);
    void removeGuard(RowLeaveGuard *guard);

signals:
    void currentChanged();
    void rowsReset();
    void rowInserted(int position);
    void rowRemoved(int position);
    void rowChanged(int position);
    void closed();

private:
    // A value as SQLite holds it, kept to continue an index walk after it.
    class KeyValue
    {
    public:
        KeyValue() = default;
        explicit KeyValue(const sqlite3_value *v);
        KeyValue(const KeyValue &other);
        KeyValue &operator=(const KeyValue &other);
        ~KeyValue();
        const sqlite3_value *get() const { return m_value; }

    private:
        sqlite3_value *m_value = nullptr;
    };
    // Where the reading of a whole table's keyset stands.
    struct Chunks {
        bool complete = true;
        int keyField = -1;    // the index's column; -1: row-id order
        qint64 maxId = 0;     // the last row id when the set was opened
        bool inNulls = false; // index order: still reading rows whose key is NULL
        bool started = false; // a row of the current section has been read
        qint64 lastId = 0;
        KeyValue lastKey;
        QSet<qint64> skip;    // in the set already: added by it, or its key changed by it
        QVector<qint64> tail; // rows the set added while some ids were unread
    };

    Recordset(std::shared_ptr<Database> db, TableDef table, Type type, QString source);
    bool loadKeys(EngineError *error);
    bool startChunks(int keyField, EngineError *error);
    // Runs a statement of one number (a count, a row id); NULL reads as 0.
    bool singleNumber(const QString &sql, qint64 *result, EngineError *error) const;
    bool readMore(int wanted, EngineError *error = nullptr) const;
    int readChunk(int limit, EngineError *error) const;
    void finishChunks() const;
    // 1: the ids in the statement's order; 0: not known to be; -1: failed.
    int walkIndex(QVector<qint64> *ids, EngineError *error);
    int checkedWalk(QVector<qint64> *ids, EngineError *error);
    bool noOrderExceptions();
    bool probesFindNothing(bool *nothing, EngineError *error);
    int tailStart() const { return m_count - int(m_chunks.tail.size()); }
    bool leaveRow(EngineError *error);
    bool setPosition(int position);
    bool readRow(qint64 id, QVariantList *row, EngineError *error, qint64 *version = nullptr) const;
    bool writeBuffer(EngineError *error);
    bool requireOpen(EngineError *error) const;

    std::shared_ptr<Database> m_db;
    TableDef m_table;
    Type m_type = Dynaset;
    QString m_source;
    QString m_keysetSql;
    QVariantList m_keysetParams;
    QString m_quickSql; // see TranslatedStatement
    QVariantList m_quickParams;
    QList<TranslatedStatement::Probe> m_probes;
    QString m_walkSql;
    QString m_walkRowidsSql;
    QString m_walkExceptionsSql;
    QString m_index;
    bool m_open = true;

    mutable QVector<qint64> m_ids; // the ids read so far, in the set's order
    mutable Chunks m_chunks;
    mutable int m_count = 0;
    int m_pos = -1;

    EditMode m_editMode = EditNone;
    QVariantList m_buffer;
    QVector<bool> m_dirty;

    qint64 m_editVersion = 0;     // the row's version when the edit began
    qint64 m_conflictVersion = 0; // the other desk's, once read

    QList<RowLeaveGuard *> m_guards;
    struct CachedRow {
        QVariantList values;
        qint64 version = 0;
    };
    mutable QHash<qint64, CachedRow> m_cache;
};

} // namespace store
