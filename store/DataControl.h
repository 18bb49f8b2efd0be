#pragma once

#include "store/BoundField.h"
#include "store/Database.h"
#include "store/EngineError.h"
#include "store/Recordset.h"

#include <QList>
#include <QObject>
#include <memory>

namespace store {

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
    int RecordsetType() const { return m_recordsetType; }
    void setRecordsetType(int type) { m_recordsetType = type; }

    // Opens the file if needed and rebuilds the record set from the source;
    // the bound controls show its first row. On failure the control has no
    // record set and error() has been emitted.
    bool Refresh();

    std::shared_ptr<store::Database> database() const { return m_database; }
    std::shared_ptr<store::Recordset> recordset() const { return m_recordset; }
    // Takes over a record set of another data control: both show the same rows.
    void setRecordset(const std::shared_ptr<store::Recordset> &recordset);
    // Releases the record set (its rows stay with other holders).
    void closeRecordset();
    // Writes pending edits, then lets go of the record set and the file.
    bool release();

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
    bool moveToEnd(bool last);
    void discardNewRow();
    void attach(const std::shared_ptr<store::Recordset> &recordset);
    void detach();

    QString m_databaseName;
    QString m_connect = QStringLiteral("Access");
    QString m_recordSource;
    int m_recordsetType = store::Recordset::Dynaset;
    std::shared_ptr<store::Database> m_database;
    std::shared_ptr<store::Recordset> m_recordset;
    QList<BoundField *> m_bound;
    bool m_adding = false;
    bool m_writing = false;
    bool m_silenced = false;
    EngineError m_lastError;
};

} // namespace store
