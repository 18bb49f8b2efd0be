#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QPointer>
#include <QString>

namespace store {
class DataControl;
}

namespace maintenance {

// The data controls of the open windows that hold the database file: before
// the file is replaced they write what was typed and let go of it, and
// afterwards they open it again under its new name, on the same rows.
class DataWindows
{
public:
    explicit DataWindows(const QString &databasePath);

    // Writes the pending edits of every control that holds the file; only
    // when all of them are written do the controls let go of it. On a
    // failed write nothing is released and `error` holds the control's error.
    bool release(store::EngineError *error);

    // Opens the file again in every control that held it, and points every
    // control that names the file at its present name. A control that cannot
    // open it reports that itself.
    void reopen(const QString &databasePath);

private:
    struct Held {
        QPointer<store::DataControl> control;
        const void *recordset = nullptr; // controls that shared a record set share the new one
        bool owner = false;              // the control had opened that record set
        QString index;
        qint64 bookmark = -1;
    };
    static Held leaderOf(const QList<Held> &group);

    QString m_databasePath;
    QList<Held> m_held;
    QList<QPointer<store::DataControl>> m_naming; // name the file, whether open or not
};

} // namespace maintenance
