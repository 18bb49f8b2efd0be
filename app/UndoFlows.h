#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace app {

// What undoing the newest kept change did, in the words the operator reads
// in the window and on the command line.
struct UndoOutcome {
    bool succeeded = false;
    bool nothingKept = false;
    QString text;
    QStringList keptRows; // customers an undone import left in place: edited since
};

// The kept changes of the database, newest first, one line each.
QStringList keptChangeLines(const QString &databasePath, QString *error);

// Undoes the newest kept change: the open windows write what was typed
// first and read their rows again afterwards.
UndoOutcome undoNewestChange(const QString &databasePath);

// "&Undo Last Change...": names the change, asks once, undoes it and tells
// what was done.
void undoLastChange(QWidget *parent);

} // namespace app
