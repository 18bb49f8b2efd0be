#pragma once

#include <QtGlobal>

class QAccessibleInterface;

namespace lockermap {

class LockerGrid;

// The map's cells as accessible children of the grid, each with its spoken
// name, its place on the screen and whether it is the current one. Cell
// interfaces are made when a client asks for them, never for the whole map.
void installGridAccessibility();
// Forgets the cell interfaces of a grid whose map was replaced.
void resetGridAccessibility(LockerGrid *grid);
QAccessibleInterface *gridCellInterface(LockerGrid *grid, qint64 number);

} // namespace lockermap
