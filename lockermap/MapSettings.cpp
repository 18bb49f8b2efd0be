#include "lockermap/MapSettings.h"

#include <QSettings>
#include <limits>

namespace lockermap {

namespace {
const QString kGroup = QStringLiteral("LockerMap");
// Kept in the user's own settings file of the program, "Vantrel/Vantrel.conf"
// in the user's configuration folder.

qint64 readNumber(const QSettings &s, const QString &key, qint64 fallback, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 v = s.value(key).toLongLong(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}
} // namespace

MapSettings MapSettings::load(bool highContrastByDefault)
{
    QSettings s(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    s.beginGroup(kGroup);
    MapSettings m;
    constexpr qint64 top = std::numeric_limits<qint32>::max();
    m.range.first = readNumber(s, QStringLiteral("first"), 1, 1, top);
    m.range.last = readNumber(s, QStringLiteral("last"), 0, 0, top);
    m.range.expiringDays = int(readNumber(s, QStringLiteral("expiringDays"), 30, 0, kMaxExpiringDays));
    m.perRow = int(readNumber(s, QStringLiteral("perRow"), MapSettings().perRow, 1, kMaxPerRow));
    m.highContrast = s.value(QStringLiteral("highContrast"), highContrastByDefault).toBool();
    return m;
}

void MapSettings::save() const
{
    QSettings s(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    s.beginGroup(kGroup);
    s.setValue(QStringLiteral("first"), range.first);
    s.setValue(QStringLiteral("last"), range.last);
    s.setValue(QStringLiteral("expiringDays"), range.expiringDays);
    s.setValue(QStringLiteral("perRow"), perRow);
    s.setValue(QStringLiteral("highContrast"), highContrast);
}

void MapSettings::clear()
{
    QSettings s(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    s.remove(kGroup);
}

} // namespace lockermap
