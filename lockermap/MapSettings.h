#pragma once

#include "lockermap/LockerMap.h"

namespace lockermap {

// What the operator set in the map window, kept in the user's settings
// (never in the database file, which belongs to the center's data).
struct MapSettings {
    MapRange range;
    int perRow = 10;
    bool highContrast = false;

    static constexpr int kMaxPerRow = 500;
    static constexpr int kMaxExpiringDays = 3650;

    // Values out of bounds (a hand-edited settings file) fall back to the
    // defaults; high contrast is the given default until the operator chooses.
    static MapSettings load(bool highContrastByDefault = false);
    void save() const;
    // Forgets what the operator set: the defaults apply again.
    static void clear();
};

} // namespace lockermap
