#include "csv/OpenDataWindows.h"

#include "store/DataControl.h"
#include "store/SilencedErrors.h"

#include <QSet>

namespace csv {

namespace {

QList<store::DataControl *> controlsOf(const QString &databasePath)
{
    QList<store::DataControl *> controls;
    for (store::DataControl *control : store::DataControl::instances()) {
        const auto db = control->database();
        if (control->hasOpenFile() && db && db->isOpenedBy(databasePath))
            controls << control;
    }
    return controls;
}

} // namespace

bool writeOpenEdits(const QString &databasePath, QString *error)
{
    for (store::DataControl *control : controlsOf(databasePath)) {
        bool written = false;
        {
            const store::SilencedErrors quiet(control);
            written = control->UpdateRecord();
        }
        if (!written) {
            *error = control->lastError().text;
            return false;
        }
    }
    return true;
}

void showNewRows(const QString &databasePath)
{
    QSet<const store::Recordset *> done;
    for (store::DataControl *control : controlsOf(databasePath)) {
        const auto rs = control->recordset();
        if (!rs || !rs->isOpen() || done.contains(rs.get()))
            continue;
        done.insert(rs.get());
        const qint64 bookmark = rs->Bookmark();
        // A failure to read the rows again leaves the window on the rows it had.
        if (!rs->Requery())
            continue;
        if (bookmark >= 0)
            rs->setBookmark(bookmark);
    }
}

} // namespace csv
