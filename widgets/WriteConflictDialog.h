#pragma once

#include "store/DataControl.h"

#include <QDialog>

class QTableWidget;

namespace widgets {

// "This customer was changed at another desk since you started editing it.":
// both versions side by side, the fields that differ marked, and the choice
// of which one is kept.
class WriteConflictDialog : public QDialog
{
    Q_OBJECT
public:
    WriteConflictDialog(const QStringList &fields, const QVariantList &mine, const QVariantList &theirs,
                        QWidget *parent = nullptr);

    store::DataControl::ConflictChoice choice() const { return m_choice; }
    QTableWidget *table() const { return m_table; }

    // Asks the operator; the data control's conflict resolver.
    static store::DataControl::ConflictChoice ask(const QStringList &fields, const QVariantList &mine,
                                                  const QVariantList &theirs);

private:
    QTableWidget *m_table = nullptr;
    store::DataControl::ConflictChoice m_choice = store::DataControl::ConflictChoice::GoBack;
};

} // namespace widgets
