#include "filter/CustomerWindowLink.h"

#include "store/DataControl.h"

#include <QAction>
#include <QMenu>

namespace filter {

CustomerWindowLink::CustomerWindowLink(QWidget *customerWindow) : m_window(customerWindow)
{
}

store::DataControl *CustomerWindowLink::data() const
{
    return m_window ? m_window->findChild<store::DataControl *>(QStringLiteral("Data1")) : nullptr;
}

bool CustomerWindowLink::filterLabelShown() const
{
    QWidget *label = m_window ? m_window->findChild<QWidget *>(QStringLiteral("FilterLabel")) : nullptr;
    // Shown as far as the label goes, whether or not its window is on screen.
    return label && !label->isHidden();
}

void CustomerWindowLink::setFilterLabelShown(bool shown)
{
    if (QWidget *label = m_window ? m_window->findChild<QWidget *>(QStringLiteral("FilterLabel")) : nullptr)
        label->setVisible(shown);
}

void CustomerWindowLink::setMenuEnabled(const QString &name, bool enabled)
{
    if (!m_window)
        return;
    if (QMenu *menu = m_window->findChild<QMenu *>(name)) {
        menu->setEnabled(enabled);
        menu->menuAction()->setEnabled(enabled);
        return;
    }
    if (QAction *action = m_window->findChild<QAction *>(name))
        action->setEnabled(enabled);
}

void CustomerWindowLink::setPrintEnabled(bool enabled)
{
    setMenuEnabled(QStringLiteral("MnuPrint"), enabled);
}

void CustomerWindowLink::setSortEnabled(bool enabled)
{
    setMenuEnabled(QStringLiteral("MnuSort"), enabled);
}

} // namespace filter
