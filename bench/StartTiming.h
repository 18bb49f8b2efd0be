#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace bench {

// Ends the program as soon as the window is on the screen (its first
// expose), so that a benchmark can time a start from launch to the window
// shown.
inline void quitWhenExposed(QWidget *window)
{
    struct Watch : QObject {
        using QObject::QObject;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Expose)
                QCoreApplication::exit(0);
            return false;
        }
    };
    window->winId(); // creates the native window to watch
    window->windowHandle()->installEventFilter(new Watch(window));
}

} // namespace bench
