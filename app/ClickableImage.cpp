#include "app/ClickableImage.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace app {

ClickableImage::ClickableImage(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    // Reachable by keyboard too: Tab to it, then Space or Enter.
    setFocusPolicy(Qt::StrongFocus);
}

void ClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableImage::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace app
