#pragma once

#include "store/DataControl.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace widgets {

// The record navigator (SSDBData1): first, previous, next and last row,
// add a row, and delete the current row after the operator confirms it.
// Moves go through the data control, so the row that is left is written
// first. The buttons are named First, Previous, Next, Last, Add, Delete;
// the label Position tells where the data control stands.
class RecordNavigator : public QWidget
{
    Q_OBJECT
public:
    explicit RecordNavigator(QWidget *parent = nullptr);

    void setDataControl(store::DataControl *data);

    // Without editing, the navigator only moves (Add and Delete are hidden).
    void setEditingEnabled(bool enabled);

    static QString deleteQuestion();

    // Asks, then deletes the current row (or drops the new row being typed).
    void deleteCurrent();

signals:
    // A new, empty row is ready for typing.
    void rowAdded();

private:
    QToolButton *addButton(const QString &name, const QString &text, const QString &tip);
    void refresh();

    QPointer<store::DataControl> m_data;
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QToolButton *m_add = nullptr;
    QToolButton *m_delete = nullptr;
    QLabel *m_position = nullptr;
    bool m_editing = true;
};

} // namespace widgets
