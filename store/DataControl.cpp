#include "store/DataControl.h"

#include "store/DBEngine.h"
#include "store/ServerChanges.h"

#include <algorithm>

namespace store {

namespace {
QList<DataControl *> &liveControls()
{
    static QList<DataControl *> controls;
    return controls;
}
} // namespace

DataControl::DataControl(QObject *parent) : QObject(parent)
{
    liveControls().append(this);
    connect(ServerChanges::instance(), &ServerChanges::changedElsewhere, this, &DataControl::followOtherDesks);
}

DataControl::~DataControl()
{
    liveControls().removeAll(this);
    for (BoundField *field : std::as_const(m_bound))
        field->m_dataSource = nullptr;
    m_bound.clear();
    detach();
}

BoundField::~BoundField()
{
    if (m_dataSource)
        m_dataSource->unbind(this);
}

QList<DataControl *> DataControl::instances()
{
    return liveControls();
}

void DataControl::setDatabaseName(const QString &name)
{
    if (name == m_databaseName)
        return;
    m_databaseName = name;
    // The file is opened at the next refresh.
    detach();
    m_database.reset();
}

bool DataControl::report(const EngineError &e)
{
    m_lastError = e;
    if (!m_silenced)
        emit error(e);
    return false;
}

void DataControl::followOtherDesks(const QSet<QString> &tables)
{
    // The control that shares another's rows leaves them to their owner.
    if (!m_recordset || !m_recordset->isOpen() || m_hold != RecordsetHold::Owner
        || !tables.contains(m_recordset->table().name))
        return;
    if (m_writing || m_adding || hasPendingEdits() || m_recordset->editMode() != Recordset::EditNone) {
        m_followPending = true;
        return;
    }
    follow();
}

void DataControl::follow()
{
    m_followPending = false;
    if (!m_recordset || !m_recordset->isOpen())
        return;
    const qint64 mark = m_recordset->Bookmark();
    const int position = m_recordset->AbsolutePosition();
    EngineError e;
    if (!m_recordset->Requery(&e)) {
        report(e);
        return;
    }
    // Their customer if it is still there, else the one now at their place.
    if (m_recordset->RecordCount() > 0 && (mark < 0 || !m_recordset->setBookmark(mark)))
        m_recordset->moveTo(std::clamp(position, 0, m_recordset->RecordCount() - 1));
    showCurrent();
    emit currentChanged();
}

void DataControl::attach(const std::shared_ptr<store::Recordset> &recordset, RecordsetHold hold)
{
    detach();
    m_recordset = recordset;
    m_toldUnreadable = -1;
    if (!m_recordset)
        return;
    m_hold = hold;
    m_recordset->addGuard(this);
    connect(m_recordset.get(), &Recordset::currentChanged, this, [this] {
        if (!m_writing)
            showCurrent();
        emit currentChanged();
    });
    connect(m_recordset.get(), &Recordset::closed, this, [this] { showCurrent(); });
}

void DataControl::detach()
{
    if (!m_recordset)
        return;
    m_recordset->removeGuard(this);
    disconnect(m_recordset.get(), nullptr, this, nullptr);
    m_recordset.reset();
    m_hold = RecordsetHold::None;
    m_adding = false;
}

bool DataControl::Refresh()
{
    m_lastError.clear();
    if (!writePendingEdits())
        return false;
    bool opened = false;
    if (!m_database) {
        EngineError e;
        m_database = DBEngine::OpenDatabase(m_databaseName, &e);
        if (!m_database) {
            detach();
            showCurrent();
            emit recordsetChanged();
            return report(e);
        }
        opened = true;
    }
    EngineError e;
    std::shared_ptr<store::Recordset> fresh = m_database->OpenRecordset(m_recordSource, m_recordsetType, &e);
    if (!fresh) {
        detach();
        showCurrent();
        emit recordsetChanged();
        return report(e);
    }
    attach(fresh, RecordsetHold::Owner);
    showCurrent();
    emit recordsetChanged();
    emit currentChanged();
    if (opened && m_database->isReadOnly() && !m_silenced)
        emit error({Err::ReadOnly, readOnlyText()});
    return true;
}

bool DataControl::isReadOnly() const
{
    return m_database && m_database->isReadOnly();
}

void DataControl::setRecordset(const std::shared_ptr<store::Recordset> &recordset)
{
    if (recordset == m_recordset)
        return;
    attach(recordset, RecordsetHold::Sharer);
    if (recordset)
        m_database = recordset->database();
    showCurrent();
    emit recordsetChanged();
    emit currentChanged();
}

void DataControl::closeRecordset()
{
    if (m_recordset && m_hold == RecordsetHold::Owner)
        m_recordset->Close();
    detach();
    showCurrent();
    emit recordsetChanged();
}

bool DataControl::release()
{
    if (!writePendingEdits())
        return false;
    closeRecordset();
    m_database.reset();
    return true;
}

void DataControl::bind(BoundField *field)
{
    if (!field || field->m_dataSource == this)
        return;
    if (field->m_dataSource)
        field->m_dataSource->unbind(field);
    field->m_dataSource = this;
    m_bound.append(field);
}

void DataControl::unbind(BoundField *field)
{
    if (!field || field->m_dataSource != this)
        return;
    field->m_dataSource = nullptr;
    m_bound.removeAll(field);
}

// Filling or clearing a control may run a window's handler that closes
// controls; the walk passes over any that went meanwhile.
template<typename Fn>
void DataControl::forEachBound(Fn fn)
{
    const QList<BoundField *> fields = m_bound;
    for (BoundField *field : fields) {
        if (m_bound.contains(field))
            fn(field);
    }
}

bool DataControl::hasPendingEdits() const
{
    for (BoundField *f : m_bound) {
        if (f->isBoundModified())
            return true;
    }
    return false;
}

bool DataControl::writePendingEdits()
{
    if (m_writing)
        return true;
    if (m_adding && !holdsOperatorEntry()) {
        discardNewRow();
        return true;
    }
    if (!hasPendingEdits())
        return true;
    if (!m_recordset || !m_recordset->isOpen()) {
        return report({Err::NoCurrentRecord, QStringLiteral("No current record: the edits have nowhere to go.")});
    }
    if (!m_adding && !m_recordset->hasCurrent()) {
        return report({Err::NoCurrentRecord, QStringLiteral("No current record.")});
    }
    if (isReadOnly())
        return report({Err::ReadOnly, readOnlyText()});

    m_writing = true;
    EngineError e;
    bool ok = m_adding ? m_recordset->AddNew(&e) : m_recordset->Edit(m_shownVersion, &e);
    for (BoundField *f : std::as_const(m_bound)) {
        if (ok && f->isBoundModified())
            ok = m_recordset->setValue(f->dataField(), f->boundValue(), &e);
    }
    if (ok)
        ok = m_recordset->Update(&e);
    if (!ok && e.number == Err::WriteConflict)
        ok = resolveConflict(&e);
    m_writing = false;

    if (!ok) {
        // The controls keep what was typed; the operator corrects it and
        // leaves the row again.
        m_recordset->CancelUpdate();
        return e.isError() ? report(e) : false;
    }
    m_adding = false;
    forEachBound([](BoundField *f) { f->setBoundModified(false); });
    showCurrent();
    // Other desks' changes that came while the operator typed, once the
    // move or save under way has finished.
    if (m_followPending)
        QMetaObject::invokeMethod(this, &DataControl::follow, Qt::QueuedConnection);
    return true;
}

bool DataControl::resolveConflict(EngineError *e)
{
    while (m_resolveConflict) {
        QVariantList theirs;
        if (!m_recordset->otherDesksRow(&theirs, e))
            return false;
        if (theirs.isEmpty())
            return fail(e, Err::RecordDeleted,
                        QStringLiteral("Record is deleted: another desk removed this customer before the changes "
                                       "could be saved."));
        QStringList fields;
        for (const FieldDef &f : m_recordset->table().fields)
            fields << f.name;
        QVariantList mine;
        m_recordset->readCurrent(&mine, nullptr);
        switch (m_resolveConflict(fields, mine, theirs)) {
        case ConflictChoice::KeepMine:
            if (m_recordset->UpdateKeepingMine(e))
                return true;
            if (e->number != Err::WriteConflict)
                return false;
            continue; // saved again at the other desk meanwhile: asked again
        case ConflictChoice::TakeTheirs: m_recordset->takeOtherDesksRow(); return true;
        case ConflictChoice::GoBack:
            e->clear(); // the operator knows; the typing stays on screen
            return false;
        }
    }
    return false;
}

bool DataControl::holdsOperatorEntry() const
{
    for (BoundField *f : m_bound) {
        if (f->holdsOperatorEntry())
            return true;
    }
    return false;
}

void DataControl::discardNewRow()
{
    // A new row that holds only what the window filled in by itself (the
    // zeros of the deposit and ID number, unticked boxes) is nobody's
    // record: it is dropped, whichever way it is left, and the controls
    // show the current row again.
    m_adding = false;
    showCurrent();
    emit currentChanged();
}

bool DataControl::UpdateRecord()
{
    return writePendingEdits();
}

void DataControl::showCurrent()
{
    const bool current = m_recordset && m_recordset->isOpen() && m_recordset->hasCurrent() && !m_adding;
    QVariantList row;
    EngineError e;
    // A row that cannot be read shows empty, and the operator hears why: an
    // edit typed over it would otherwise meet a row that seems deleted. A
    // control without bound controls reads nothing, and a failure is told
    // once for the row, not at every refill while on it.
    m_shownVersion = 0;
    const bool read = !current || m_bound.isEmpty() || m_recordset->readCurrent(&row, &e, &m_shownVersion);
    // A row deleted elsewhere since the keyset was read shows empty, and
    // the operator hears so, once for the row.
    const bool gone = current && read && !m_bound.isEmpty() && row.isEmpty();
    if (gone) {
        e = {Err::RecordDeleted,
             QStringLiteral("This customer was deleted at another desk or by another program "
                            "since the list was read.")};
    }
    const qint64 unreadable = read && !gone ? -1 : m_recordset->Bookmark();
    const bool tell = (!read || gone) && unreadable != m_toldUnreadable;
    m_toldUnreadable = unreadable;
    const std::shared_ptr<Recordset> shown = m_recordset;
    forEachBound([&](BoundField *f) {
        f->setBoundValue(row.isEmpty() ? QVariant() : row.value(shown->fieldIndex(f->dataField())));
        f->setBoundModified(false);
    });
    if (tell)
        report(e);
}

bool DataControl::moveToEnd(bool last)
{
    if (!writePendingEdits())
        return false;
    m_adding = false;
    if (!m_recordset)
        return report({Err::NoCurrentRecord, QStringLiteral("No current record.")});
    EngineError e;
    const bool moved = last ? m_recordset->MoveLast(&e) : m_recordset->MoveFirst(&e);
    // An empty set has no row to move to; that is no failure to report.
    if (!moved)
        return e.number == Err::NoCurrentRecord ? false : report(e);
    showCurrent();
    return true;
}

bool DataControl::moveFirst()
{
    return moveToEnd(false);
}

bool DataControl::moveLast()
{
    return moveToEnd(true);
}

bool DataControl::moveNext()
{
    if (!writePendingEdits())
        return false;
    m_adding = false;
    if (!m_recordset || m_recordset->RecordCount() == 0)
        return false;
    // The navigator stays on the last row rather than moving past it.
    if (m_recordset->AbsolutePosition() >= m_recordset->RecordCount() - 1)
        return false;
    EngineError e;
    if (!m_recordset->MoveNext(&e))
        return false;
    showCurrent();
    return true;
}

bool DataControl::movePrevious()
{
    if (!writePendingEdits())
        return false;
    m_adding = false;
    if (!m_recordset || m_recordset->AbsolutePosition() <= 0)
        return false;
    EngineError e;
    if (!m_recordset->MovePrevious(&e))
        return false;
    showCurrent();
    return true;
}

bool DataControl::moveTo(int position)
{
    if (!writePendingEdits())
        return false;
    m_adding = false;
    EngineError e;
    if (!m_recordset || !m_recordset->moveTo(position, &e))
        return false;
    showCurrent();
    return true;
}

bool DataControl::addNew()
{
    if (!writePendingEdits())
        return false;
    if (isReadOnly())
        return report({Err::ReadOnly, readOnlyText()});
    if (!m_recordset || !m_recordset->isOpen())
        return report({Err::InvalidOperation, QStringLiteral("The data control has no open record set.")});
    m_adding = true;
    showCurrent();
    emit currentChanged();
    return true;
}

bool DataControl::deleteCurrent()
{
    if (m_adding) {
        // A row that was never written: dropping it deletes nothing.
        m_adding = false;
        showCurrent();
        return true;
    }
    if (!m_recordset)
        return report({Err::NoCurrentRecord, QStringLiteral("No current record.")});
    EngineError e;
    m_writing = true;
    const bool ok = m_recordset->Delete(&e);
    m_writing = false;
    if (!ok)
        return report(e);
    showCurrent();
    return true;
}

} // namespace store
