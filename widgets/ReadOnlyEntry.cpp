#include "widgets/ReadOnlyEntry.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace widgets {

void setEntryReadOnly(QWidget *area, bool readOnly)
{
    if (!area)
        return;
    for (QLineEdit *edit : area->findChildren<QLineEdit *>())
        edit->setReadOnly(readOnly);
    for (QPlainTextEdit *edit : area->findChildren<QPlainTextEdit *>()) {
        // A note shown in part stays read-only whatever the file allows.
        if (!edit->property("shownInPart").toBool())
            edit->setReadOnly(readOnly);
    }
    for (QAbstractButton *box : area->findChildren<QAbstractButton *>()) {
        if (box->isCheckable())
            box->setEnabled(!readOnly);
    }
}

} // namespace widgets
