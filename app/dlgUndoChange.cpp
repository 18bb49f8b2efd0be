#include "app/dlgUndoChange.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {
const QString kTitle = QStringLiteral("Undo Last Change");
} // namespace

dlgUndoChange::dlgUndoChange(const QString &text, const QString &listName, const QStringList &items, bool asking,
                             QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgUndoChange"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);

    // Its text is what a screen reader reads: it names the change.
    m_message = new QLabel(text, this);
    m_message->setObjectName(QStringLiteral("Message"));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAccessibleDescription(asking ? QStringLiteral("The question") : QStringLiteral("What was done"));

    auto *listLabel = new QLabel(listName + QLatin1Char(':'), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List"));
    m_list->setAccessibleName(listName);
    m_list->addItems(items);
    listLabel->setBuddy(m_list);
    if (asking && m_list->count() > 0) {
        // Only the newest can be undone: the others are shown, not chosen.
        for (int i = 1; i < m_list->count(); ++i)
            m_list->item(i)->setFlags(Qt::ItemIsEnabled);
        m_list->setCurrentRow(0);
    }

    auto *buttons = new QDialogButtonBox(this);
    if (asking) {
        QPushButton *undo = buttons->addButton(QStringLiteral("&Undo"), QDialogButtonBox::AcceptRole);
        undo->setObjectName(QStringLiteral("UndoButton"));
        QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
        cancel->setObjectName(QStringLiteral("CancelButton"));
        // Undoing is itself a change to many customers: the safe answer is the default.
        cancel->setDefault(true);
        cancel->setFocus();
    } else {
        QPushButton *ok = buttons->addButton(QDialogButtonBox::Ok);
        ok->setObjectName(QStringLiteral("OKButton"));
        ok->setDefault(true);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(520, 320);
}

dlgUndoChange *dlgUndoChange::question(const QStringList &changes, QWidget *parent)
{
    const QString text = QStringLiteral("Undo this change?\n\n%1\n\nWhat it removed comes back and what it added goes.")
                             .arg(changes.value(0));
    return new dlgUndoChange(text, QStringLiteral("Kept changes, newest first"), changes, true, parent);
}

dlgUndoChange *dlgUndoChange::report(const QString &text, const QStringList &keptRows, QWidget *parent)
{
    return new dlgUndoChange(text, QStringLiteral("Customers edited since, left in place"), keptRows, false, parent);
}

} // namespace app
