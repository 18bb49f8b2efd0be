#include "widgets/BoundLineEdit.h"

#include <QDate>
#include <QKeyEvent>

namespace widgets {

BoundLineEdit::BoundLineEdit(const QString &dataField, QWidget *parent) : QLineEdit(parent), m_dataField(dataField)
{
    // textEdited fires for what the operator types or pastes, never for setText.
    connect(this, &QLineEdit::textEdited, this, [this] { m_modified = true; });
}

QVariant BoundLineEdit::boundValue() const
{
    return text().isEmpty() ? QVariant() : QVariant(text());
}

void BoundLineEdit::setBoundValue(const QVariant &value)
{
    startNewValue();
    const QString shown = value.metaType().id() == QMetaType::QDate
        ? value.toDate().toString(QStringLiteral("MM/dd/yyyy"))
        : value.isNull() ? QString()
                         : value.toString();
    // A longer stored value than the limit lets the operator type is shown
    // whole, never cut to the limit.
    if (shown.size() > m_limit)
        m_mark.show(this, shown, [this, &shown] { setMaxLength(int(shown.size())); });
    else
        setText(shown);
    setCursorPosition(0);
}

void BoundLineEdit::setEntryLimit(int characters)
{
    m_limit = characters;
    if (!m_mark.isMarked())
        setMaxLength(characters);
}

void BoundLineEdit::startNewValue()
{
    if (!m_mark.isMarked())
        return;
    m_mark.clear(this);
    setText(QString());
    setMaxLength(m_limit);
}

void BoundLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly() && m_mark.startsNewValue(event)) {
        startNewValue();
        m_modified = true;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace widgets
