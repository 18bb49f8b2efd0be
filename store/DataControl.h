#pragma once

#include "store/BoundField.h"
#include "store/Database.h"
#include "store/EngineError.h"
#include "store/Recordset.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

namespace store {

// How a data control holds its record set. The control that opened the set
// owns it: closing it closes the rows for every control that shows them. A
// control handed the set of another (the list window showing the record
// window's rows) shares it: closing lets go and leaves the rows to the owner.
enum class RecordsetHold { None, Owner, Sharer };

// The data control of a data window (Data1): which file, which source, which
// kind of record set, and the controls bound to its current row. It writes
// the bound controls' edits when the row is left, and reports every failure
// through error() with the engine's number and text.
class DataControl : public QObject, public RowLeaveGuard
{
    Q_OBJECT
public:
    explicit DataControl(QObject *parent = nullptr);
    ~DataControl() override;

    QString DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &name);
    QString Connect() const { return m_connect; }
    void setConnect(const QString &connect) { m_connect = connect; }
    QString RecordSource() const { return m_recordSource; }
    void setRecordSource(const QString &source) { m_recordSource = source; }
    Recordset::Type RecordsetType() const { return m_recordsetType; }
    void setRecordsetType(Recordset::Type type) { m_recordsetType = type; }

    // Opens the file if needed and rebuilds the record set from the source;
    // the bound controls show its first row and the control owns the set. On
    // failure the control has no record set and error() has been emitted.
    bool Refresh();

    std::shared_ptr<store::Database> database() const { return m_database; }
    std::shared_ptr<store::Recordset> recordset() const { return m_recordset; }
    RecordsetHold recordsetHold() const { return m_hold; }
    // Shares the record set of another data control: both show the same rows,
    // and the other keeps owning them.
    void setRecordset(const std::shared_ptr<store::Recordset> &recordset);
    // The owner closes the record set, for every control that shares it; a
    // sharer only lets go of it.
    void closeRecordset();
    // Writes pending edits, then lets go of the record set and the file.
    bool release();

    // What the operator chose when another desk saved the row first.
    enum class ConflictChoice { KeepMine, TakeTheirs, GoBack };
    // Asked with the row as the operator's screen shows it and as the other
    // desk left it (values in field order, `fields` their names). Without
    // one, a conflict is reported like any failure and the typing stays.
    using ConflictResolver =
        std::function<ConflictChoice(const QStringList &fields, const QVariantList &mine, const QVariantList &theirs)>;
    void setConflictResolver(ConflictResolver resolver) { m_resolveConflict = std::move(resolver); }

    const EngineError &lastError() const { return m_lastError; }
    // While silenced, failures are only kept in lastError(): the caller tells
    // the operator in its own words.
    void setErrorsSilenced(bool silenced) { m_silenced = silenced; }
    bool errorsSilenced() const { return m_silenced; }

    // Whether this control holds the database file open.
    bool hasOpenFile() const { return m_database != nullptr; }
    // The open file may only be read: edits, new rows and deletes are refused.
    bool isReadOnly() const;
    // Every data control alive in the program (for commands that must know
    // who holds the file, such as compaction).
    static QList<DataControl *> instances();

    // A control bound here leaves any other data control; either of the two
    // may go first (see BoundField).
    void bind(BoundField *field);
    void unbind(BoundField *field);
    const QList<BoundField *> &boundFields() const { return m_bound; }

    // Writes the bound controls' edits to the current (or new) row now.
    bool UpdateRecord();
    // Whether a bound control holds an edit not yet written.
    bool hasPendingEdits() const;
    // Whether a bound control holds something the operator entered (see
    // BoundField::holdsOperatorEntry); a new row without it is not added.
    bool holdsOperatorEntry() const;

    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool moveTo(int position);
    // Starts a new row: the bound controls are emptied, and the row is added
    // when it is left holding something the operator entered; otherwise it
    // is dropped.
    bool addNew();
    bool isAdding() const { return m_adding; }
    bool deleteCurrent();

    // Fills the bound controls from the current row (empty without one).
    void showCurrent();

    // RowLeaveGuard
    bool writePendingEdits() override;

signals:
    void error(const store::EngineError &error);
    void currentChanged();
    void recordsetChanged();

private:
    bool report(const EngineError &e);
    // Settles a save refused because another desk saved first.
    bool resolveConflict(EngineError *e);
    bool moveToEnd(bool last);
    // Another desk changed the table this control shows: the rows are read
    // again and the operator stays on their customer. Never under typing:
    // then it waits until the edit is written.
    void followOtherDesks(const QSet<QString> &tables);
    void follow();
    void discardNewRow();
    void attach(const std::shared_ptr<store::Recordset> &recordset, RecordsetHold hold);
    void detach();
    template<typename Fn>
    void forEachBound(Fn fn);

    QString m_databaseName;
    QString m_connect = QStringLiteral("Access");
    QString m_recordSource;
    Recordset::Type m_recordsetType = Recordset::Dynaset;
    std::shared_ptr<store::Database> m_database;
    std::shared_ptr<store::Recordset> m_recordset;
    RecordsetHold m_hold = RecordsetHold::None;
    QList<BoundField *> m_bound;
    bool m_adding = false;
    bool m_writing = false;
    bool m_silenced = false;
    qint64 m_toldUnreadable = -1; // the row whose failed read the operator was told of
    EngineError m_lastError;
    ConflictResolver m_resolveConflict;
    qint64 m_shownVersion = 0; // of the row the bound controls show
    bool m_followPending = false;
};

} // namespace store
