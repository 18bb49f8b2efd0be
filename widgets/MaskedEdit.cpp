#include "widgets/MaskedEdit.h"

#include "widgets/FocusMoves.h"

#include <QFocusEvent>

namespace widgets {

MaskedEdit::MaskedEdit(const QString &dataField, const QString &mask, QWidget *parent)
    : QLineEdit(parent), m_dataField(dataField), m_pattern(mask)
{
    setInputMask(m_pattern.qtInputMask());
    // textEdited fires for what the operator types or pastes, never for setText.
    connect(this, &QLineEdit::textEdited, this, [this] {
        m_modified = true;
        m_filled = false;
    });
}

void MaskedEdit::setEditedText(const QString &text)
{
    setText(text);
    m_modified = true;
    m_filled = false;
}

void MaskedEdit::setFilledText(const QString &text)
{
    setText(text);
    m_modified = true;
    m_filled = true;
}

void MaskedEdit::setBoundModified(bool modified)
{
    m_modified = modified;
    m_filled = false;
}

void MaskedEdit::setBoundValue(const QVariant &value)
{
    setText(value.isNull() ? QString() : value.toString());
    setCursorPosition(0);
}

void MaskedEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (movesWithinWindow(event->reason()))
        emit entered();
}

void MaskedEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (movesWithinWindow(event->reason()))
        emit left();
}

} // namespace widgets
