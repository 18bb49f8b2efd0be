#include "maintenance/DataWindows.h"

#include "store/DataControl.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SilencedErrors.h"

#include <QFileInfo>

namespace maintenance {

namespace {

// Two names of one file compare equal; a name of no file matches nothing.
QString identity(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

} // namespace

DataWindows::Held DataWindows::leaderOf(const QList<Held> &group)
{
    for (const Held &held : group) {
        if (held.owner)
            return held;
    }
    for (const Held &held : group) {
        if (!held.control->RecordSource().isEmpty())
            return held;
    }
    return group.first();
}

DataWindows::DataWindows(const QString &databasePath) : m_databasePath(databasePath)
{
}

bool DataWindows::release(store::EngineError *error)
{
    const QString file = identity(m_databasePath);
    if (file.isEmpty())
        return true;

    QList<store::DataControl *> holding;
    QList<QPointer<store::DataControl>> naming;
    for (store::DataControl *control : store::DataControl::instances()) {
        if (identity(control->DatabaseName()) == file)
            naming << control;
        if (control->hasOpenFile() && control->database() && identity(control->database()->name()) == file)
            holding << control;
    }

    // Every edit is written before any control lets go, so that a control
    // sharing its rows with another never finds them closed under its edits.
    // A failure is told once, by the command, not also by the window.
    for (store::DataControl *control : std::as_const(holding)) {
        bool written = false;
        {
            const store::SilencedErrors quiet(control);
            written = control->UpdateRecord();
        }
        if (!written) {
            if (error)
                *error = control->lastError();
            return false;
        }
    }
    for (store::DataControl *control : std::as_const(holding)) {
        Held held;
        held.control = control;
        if (const auto recordset = control->recordset()) {
            held.recordset = recordset.get();
            held.owner = control->recordsetHold() == store::RecordsetHold::Owner;
            held.index = recordset->index();
            held.bookmark = recordset->Bookmark();
        }
        m_held << held;
    }
    for (const Held &held : std::as_const(m_held))
        held.control->release();
    m_naming = naming;
    return true;
}

void DataWindows::reopen(const QString &databasePath)
{
    for (const QPointer<store::DataControl> &control : std::as_const(m_naming)) {
        if (control)
            control->setDatabaseName(databasePath);
    }

    QList<const void *> reopened;
    for (const Held &held : std::as_const(m_held)) {
        if (!held.control || (held.recordset && reopened.contains(held.recordset)))
            continue;
        QList<Held> group;
        for (const Held &other : std::as_const(m_held)) {
            if (other.control
                && (other.control == held.control || (held.recordset && other.recordset == held.recordset)))
                group << other;
        }
        reopened << held.recordset;

        // The control that owned the rows builds them again and the others
        // share them; without their owner, one with a source of its own.
        const Held leader = leaderOf(group);
        if (leader.control->DatabaseName().isEmpty() || identity(leader.control->DatabaseName()).isEmpty())
            leader.control->setDatabaseName(databasePath);
        if (!leader.control->Refresh())
            continue;
        const auto recordset = leader.control->recordset();
        if (!leader.index.isEmpty())
            recordset->setIndex(leader.index);
        if (leader.bookmark >= 0) {
            const int position = recordset->positionOf(leader.bookmark);
            if (position >= 0)
                leader.control->moveTo(position);
        }
        for (const Held &member : std::as_const(group)) {
            if (member.control != leader.control)
                member.control->setRecordset(recordset);
        }
    }
    m_held.clear();
    m_naming.clear();
}

} // namespace maintenance
