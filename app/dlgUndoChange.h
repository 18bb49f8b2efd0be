#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;

namespace app {

// The one question before the newest kept change is undone, with every kept
// change listed newest first; and, afterwards, the customers that an undone
// import left in place because they were edited since.
class dlgUndoChange : public QDialog
{
    Q_OBJECT
public:
    // Asks whether to undo the first of `changes` (newest first).
    static dlgUndoChange *question(const QStringList &changes, QWidget *parent);
    // Tells what was done, with the customers left in place.
    static dlgUndoChange *report(const QString &text, const QStringList &keptRows, QWidget *parent);

    QLabel *message() const { return m_message; }
    QListWidget *list() const { return m_list; }

private:
    dlgUndoChange(const QString &text, const QString &listName, const QStringList &items, bool asking, QWidget *parent);

    QLabel *m_message = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace app
