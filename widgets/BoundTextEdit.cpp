#include "widgets/BoundTextEdit.h"

namespace widgets {

BoundTextEdit::BoundTextEdit(const QString &dataField, QWidget *parent)
    : QPlainTextEdit(parent), m_dataField(dataField)
{
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling)
            m_modified = true;
    });
}

QVariant BoundTextEdit::boundValue() const
{
    const QString text = toPlainText();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void BoundTextEdit::setBoundValue(const QVariant &value)
{
    m_filling = true;
    setPlainText(value.isNull() ? QString() : value.toString());
    m_filling = false;
}

} // namespace widgets
