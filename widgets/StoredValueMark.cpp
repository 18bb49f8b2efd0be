#include "widgets/StoredValueMark.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>

namespace widgets {

bool StoredValueMark::startsNewValue(const QKeyEvent *event) const
{
    if (!m_marked)
        return false;
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        return true;
    const QString typed = event->text();
    return !typed.isEmpty() && typed.at(0).isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

void StoredValueMark::setMarked(QLineEdit *edit, bool marked)
{
    if (marked == m_marked)
        return;
    m_marked = marked;
    if (marked) {
        m_tooltip = edit->toolTip();
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, QColor(0xFF, 0xE4, 0xB5));
        edit->setPalette(palette);
        edit->setToolTip(text());
    } else {
        edit->setPalette(QPalette());
        edit->setToolTip(m_tooltip);
    }
}

void StoredValueMark::setShown(QLineEdit *edit, const QString &value)
{
    edit->setText(value);
    edit->setCursorPosition(0);
}

} // namespace widgets
