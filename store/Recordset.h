#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariant>
#include <QVector>
#include <memory>

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
class Recordset : public QObject
{
    Q_OBJECT
public:
    enum Type { Table = 0, Dynaset = 1, Snapshot = 2 };
    enum EditMode { EditNone = 0, EditInProgress = 1, EditAdd = 2 };

    static std::shared_ptr<Recordset> open(const std::shared_ptr<Database> &db, const QString &source, int type,
                                           EngineError *error);
    ~Recordset() override;

    int type() const { return m_type; }
    QString source() const { return m_source; }
    const TableDef &table() const { return m_table; }
    std::shared_ptr<Database> database() const { return m_db; }
    bool isOpen() const { return m_open; }

    // Fields in table order with their type codes.
    QList<FieldInfo> Fields() const;
    int fieldIndex(const QString &name) const { return m_table.fieldIndex(name); }

    int RecordCount() const { return int(m_ids.size()); }
    bool atBOF() const { return m_ids.isEmpty() || m_pos < 0; }
    bool atEOF() const { return m_ids.isEmpty() || m_pos >= m_ids.size(); }
    bool hasCurrent() const { return m_pos >= 0 && m_pos < m_ids.size(); }
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
    // All values of the row at a position (for grids); empty if it is gone.
    QVariantList rowAt(int position) const;

    // Orders a table set by one of its indexes; the first row becomes current.
    bool setIndex(const QString &indexName, EngineError *error = nullptr);
    QString index() const { return m_index; }

    EditMode editMode() const { return m_editMode; }
    bool Edit(EngineError *error = nullptr);
    bool AddNew(EngineError *error = nullptr);
    bool setValue(const QString &field, const QVariant &value, EngineError *error = nullptr);
    bool setValue(int field, const QVariant &value, EngineError *error = nullptr);
    // Writes the edit buffer. On failure nothing is written and the buffer,
    // with every value set into it, stays for a corrected try or CancelUpdate.
    bool Update(EngineError *error = nullptr);
    void CancelUpdate();
    // Deletes the current row; the next row (or the new last) becomes current.
    bool Delete(EngineError *error = nullptr);

    // Rebuilds the keyset from the source.
    bool Requery(EngineError *error = nullptr);
    // A read-only copy of the keyset with a position of its own.
    std::shared_ptr<Recordset> OpenSnapshot() const;
    void Close();

    void addGuard(RowLeaveGuard *guard);
    void removeGuard(RowLeaveGuard *guard);

    // The value a field would store, checked against its kind: long integers
    // must fit 32 bits, texts their length, dates must be real dates.
    static bool normalize(const FieldDef &field, const QVariant &in, QVariant *out, EngineError *error);

signals:
    void currentChanged();
    void rowsReset();
    void rowInserted(int position);
    void rowRemoved(int position);
    void rowChanged(int position);
    void closed();

private:
    Recordset(std::shared_ptr<Database> db, TableDef table, int type, QString source);
    bool loadKeys(EngineError *error);
    bool leaveRow(EngineError *error);
    bool setPosition(int position);
    QVariantList readRow(qint64 id) const;
    bool requireOpen(EngineError *error) const;

    std::shared_ptr<Database> m_db;
    TableDef m_table;
    int m_type = Dynaset;
    QString m_source;
    QString m_keysetSql;
    QVariantList m_keysetParams;
    QString m_index;
    bool m_open = true;

    QVector<qint64> m_ids;
    int m_pos = -1;

    EditMode m_editMode = EditNone;
    QVariantList m_buffer;
    QVector<bool> m_dirty;

    QList<RowLeaveGuard *> m_guards;
    mutable std::unique_ptr<Statement> m_rowQuery;
    mutable QHash<qint64, QVariantList> m_cache;
};

} // namespace store
