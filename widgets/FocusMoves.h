#pragma once

#include <Qt>

namespace widgets {

// Whether a focus change moves the focus between controls of the window
// (a click, Tab, a shortcut, the program), as opposed to the whole window
// losing or regaining the focus or a menu opening. Entering and leaving a
// field run their steps only for the former.
inline bool movesWithinWindow(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason: return true;
    default: return false;
    }
}

} // namespace widgets
