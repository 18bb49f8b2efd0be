#include "widgets/RecordNavigator.h"

#include "platform/Services.h"
#include "store/DataControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace widgets {

RecordNavigator::RecordNavigator(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_first = addButton(QStringLiteral("First"), QStringLiteral("|<"), QStringLiteral("First record"));
    m_previous = addButton(QStringLiteral("Previous"), QStringLiteral("<"), QStringLiteral("Previous record"));
    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("Position"));
    m_position->setAlignment(Qt::AlignCenter);
    m_position->setMinimumWidth(
        m_position->fontMetrics().horizontalAdvance(QStringLiteral("Record 0000000 of 0000000")));
    m_position->setFrameShape(QFrame::StyledPanel);
    row->addWidget(m_position);
    m_next = addButton(QStringLiteral("Next"), QStringLiteral(">"), QStringLiteral("Next record"));
    m_last = addButton(QStringLiteral("Last"), QStringLiteral(">|"), QStringLiteral("Last record"));
    m_add = addButton(QStringLiteral("Add"), QStringLiteral("Add"), QStringLiteral("Add a new record"));
    m_delete = addButton(QStringLiteral("Delete"), QStringLiteral("Delete"), QStringLiteral("Delete this record"));

    connect(m_first, &QToolButton::clicked, this, [this] {
        if (m_data)
            m_data->moveFirst();
    });
    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (m_data)
            m_data->movePrevious();
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (m_data)
            m_data->moveNext();
    });
    connect(m_last, &QToolButton::clicked, this, [this] {
        if (m_data)
            m_data->moveLast();
    });
    connect(m_add, &QToolButton::clicked, this, [this] {
        if (m_data && m_data->addNew())
            emit rowAdded();
    });
    connect(m_delete, &QToolButton::clicked, this, &RecordNavigator::deleteCurrent);
    refresh();
}

QToolButton *RecordNavigator::addButton(const QString &name, const QString &text, const QString &tip)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    // Clicking takes the focus, so the field being left runs its leave step first.
    button->setFocusPolicy(Qt::StrongFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout()->addWidget(button);
    return button;
}

void RecordNavigator::setDataControl(store::DataControl *data)
{
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    m_data = data;
    if (m_data) {
        connect(m_data, &store::DataControl::currentChanged, this, &RecordNavigator::refresh);
        connect(m_data, &store::DataControl::recordsetChanged, this, &RecordNavigator::refresh);
    }
    refresh();
}

void RecordNavigator::setEditingEnabled(bool enabled)
{
    m_editing = enabled;
    m_add->setVisible(enabled);
    m_delete->setVisible(enabled);
    refresh();
}

QString RecordNavigator::deleteQuestion()
{
    return QStringLiteral("Do you want to delete this record? A deleted record cannot be brought back.");
}

void RecordNavigator::deleteCurrent()
{
    if (!m_data || !m_editing || m_data->isReadOnly())
        return;
    const auto rs = m_data->recordset();
    if (!m_data->isAdding() && !(rs && rs->hasCurrent()))
        return;
    const platform::Button answer =
        platform::msgBox(deleteQuestion(), platform::Buttons::YesNo, platform::Icon::Question, QString(), 2);
    if (answer == platform::Button::Yes)
        m_data->deleteCurrent();
    refresh();
}

void RecordNavigator::refresh()
{
    const auto rs = m_data ? m_data->recordset() : nullptr;
    const bool open = rs && rs->isOpen();
    const int count = open ? rs->RecordCount() : 0;
    const bool adding = m_data && m_data->isAdding();
    const int position = open ? rs->AbsolutePosition() : -1;

    m_first->setEnabled(count > 0);
    m_last->setEnabled(count > 0);
    m_previous->setEnabled(count > 0 && (adding || position > 0));
    m_next->setEnabled(count > 0 && (adding || position < count - 1));
    // A read-only file was said to be so once, when it was opened; what
    // cannot work there is not offered.
    const bool writable = m_editing && m_data && !m_data->isReadOnly();
    m_add->setEnabled(writable && open);
    m_delete->setEnabled(writable && (adding || (open && rs->hasCurrent())));

    if (!open)
        m_position->setText(QStringLiteral("No records"));
    else if (adding)
        m_position->setText(QStringLiteral("New record"));
    else if (rs->hasCurrent())
        m_position->setText(QStringLiteral("Record %1 of %2").arg(position + 1).arg(count));
    else
        m_position->setText(count == 0 ? QStringLiteral("No records") : QStringLiteral("%1 records").arg(count));
}

} // namespace widgets
