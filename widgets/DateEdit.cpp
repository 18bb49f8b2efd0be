#include "widgets/DateEdit.h"

#include "platform/Services.h"
#include "widgets/FocusMoves.h"

#include <QFocusEvent>

namespace widgets {

DateEdit::DateEdit(const QString &dataField, Storage storage, QWidget *parent)
    : QLineEdit(parent), m_dataField(dataField), m_storage(storage)
{
    setInputMask(QStringLiteral("99/99/9999;_"));
    connect(this, &QLineEdit::textEdited, this, [this] { m_modified = true; });
}

QDate DateEdit::parse(const QString &text)
{
    const QString t = text.trimmed();
    for (const QString &format : {displayFormat(), QStringLiteral("M/d/yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = QDate::fromString(t, format);
        if (d.isValid())
            return d;
    }
    return QDate();
}

bool DateEdit::isBlank() const
{
    for (QChar c : displayText()) {
        if (c.isDigit())
            return false;
    }
    return true;
}

QDate DateEdit::date() const
{
    return isBlank() ? QDate() : QDate::fromString(displayText(), displayFormat());
}

void DateEdit::showDate(const QDate &date)
{
    setText(date.isValid() ? date.toString(displayFormat()) : QString());
    setCursorPosition(0);
}

void DateEdit::remember()
{
    m_acceptedText = isBlank() ? QString() : displayText();
    m_acceptedModified = m_modified;
}

void DateEdit::setEditedDate(const QDate &date)
{
    showDate(date);
    m_modified = true;
    remember();
}

QVariant DateEdit::boundValue() const
{
    if (isBlank())
        return QVariant();
    const QDate d = date();
    if (!d.isValid())
        return displayText(); // not a date: the engine refuses it
    return m_storage == Storage::Text ? QVariant(d.toString(displayFormat())) : QVariant(d);
}

void DateEdit::setBoundValue(const QVariant &value)
{
    if (value.isNull())
        showDate(QDate());
    else if (value.metaType().id() == QMetaType::QDate)
        showDate(value.toDate());
    else
        showDate(parse(value.toString()));
    remember();
}

void DateEdit::setBoundModified(bool modified)
{
    m_modified = modified;
    if (isAcceptable())
        m_acceptedModified = modified;
}

void DateEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // Coming back after a refused entry is not entering the field anew.
    if (m_refusing) {
        m_refusing = false;
        return;
    }
    if (movesWithinWindow(event->reason()))
        emit entered();
}

void DateEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!movesWithinWindow(event->reason()))
        return;
    if (!isAcceptable()) {
        // Told after the focus change has finished, never from inside it.
        QMetaObject::invokeMethod(this, &DateEdit::refuseEntry, Qt::QueuedConnection);
        return;
    }
    remember();
    emit left();
}

void DateEdit::refuseEntry()
{
    if (isAcceptable())
        return;
    const QString shown = displayText();
    platform::msgBox(
        QStringLiteral("%1 is not a date. Type a date as mm/dd/yyyy, or leave the field empty.").arg(shown),
        platform::Buttons::OKOnly, platform::Icon::Exclamation);
    setText(m_acceptedText);
    m_modified = m_acceptedModified;
    // Only a focus that comes back is not a new entry into the field.
    m_refusing = !hasFocus();
    setFocus(Qt::OtherFocusReason);
    if (!hasFocus())
        m_refusing = false;
    selectAll();
}

} // namespace widgets
