#pragma once

#include <QStringList>

class QWidget;

namespace testing_support {

// The inputs of a window (edits, lists, boxes, buttons, tables) that a
// screen reader would announce without a name: "objectName (class)" of
// each one shown in the window whose accessibility interface gives an
// empty name; and each label shown whose fixed accessible name differs from
// its text, so that a screen reader never hears what it shows.
QStringList inputsWithoutAccessibleName(QWidget *window);

// The name a screen reader reads for a control.
QString accessibleNameOf(QWidget *control);

} // namespace testing_support
