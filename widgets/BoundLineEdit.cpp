#include "widgets/BoundLineEdit.h"

#include <QDate>

namespace widgets {

BoundLineEdit::BoundLineEdit(const QString &dataField, QWidget *parent)
    : QLineEdit(parent), m_dataField(dataField)
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
    if (value.metaType().id() == QMetaType::QDate)
        setText(value.toDate().toString(QStringLiteral("MM/dd/yyyy")));
    else
        setText(value.isNull() ? QString() : value.toString());
    setCursorPosition(0);
}

} // namespace widgets
