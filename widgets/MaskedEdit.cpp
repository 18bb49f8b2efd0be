#include "widgets/MaskedEdit.h"

#include "widgets/FocusMoves.h"

#include <QFocusEvent>
#include <QKeyEvent>

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
    startNewValue();
    setText(text);
    m_modified = true;
    m_filled = false;
}

void MaskedEdit::setFilledText(const QString &text)
{
    startNewValue();
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
    startNewValue();
    const QString stored = value.isNull() ? QString() : value.toString();
    setText(stored);
    setCursorPosition(0);
    // The mask cuts what it cannot show ("-50" shows "50"): such a value is
    // shown whole instead, so that the operator never reads or keeps a cut one.
    if (!value.isNull() && m_pattern.storedValue(displayText()).toString() != stored) {
        m_stored = value;
        m_mark.show(this, stored, [this] { setInputMask(QString()); });
    }
}

void MaskedEdit::startNewValue()
{
    if (!m_mark.isMarked())
        return;
    m_mark.clear(this);
    m_stored = QVariant();
    setInputMask(m_pattern.qtInputMask());
    setText(QString());
}

void MaskedEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly() && m_mark.startsNewValue(event)) {
        startNewValue();
        setCursorPosition(0);
        m_modified = true;
    }
    QLineEdit::keyPressEvent(event);
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
