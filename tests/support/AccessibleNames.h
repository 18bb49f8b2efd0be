#pragma once

#include <QStringList>

class QWidget;

namespace testing_support {

// The inputs of a window (edits, lists, boxes, buttons, tables) that a
// screen reader would announce without a name: "objectName (class)" of
// each one shown in the window whose accessibility interface gives an
// empty name.
QStringList inputsWithoutAccessibleName(QWidget *window);

// The name a screen reader reads for a control.
QString accessibleNameOf(QWidget *control);

} // namespace testing_support
