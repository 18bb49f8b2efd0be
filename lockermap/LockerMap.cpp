#include "lockermap/LockerMap.h"

#include "store/Schema.h"
#include "store/ServerDatabase.h"
#include "store/Statement.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <memory>
#include <sqlite3.h>

namespace lockermap {

namespace {
constexpr qint32 kNoDay = std::numeric_limits<qint32>::min();
// Longer than any name a cell or a spoken name can use.
constexpr int kNameBytes = 200;

// The length of a UTF-8 text cut to at most `limit` bytes without splitting a character.
int cutUtf8(const char *text, int length, int limit)
{
    if (length <= limit)
        return length;
    int cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}
} // namespace

bool LockerMap::compute(const QString &databasePath, const MapRange &range, const QDate &today, LockerMap *out,
                        store::EngineError *error)
{
    if (store::ServerDatabase::isServerUrl(databasePath)) {
        auto db = store::Database::open(databasePath, error);
        return db && computeFrom(*db, range, today, out, error);
    }
    // A connection of its own, read-only (it never creates a file) and
    // without locking for other threads, reading the file through a memory
    // map: the table is read from end to end.
    if (!QFileInfo(databasePath).isFile())
        return store::fail(error, store::Err::FileNotFound,
                           QStringLiteral("Could not find file '%1'.").arg(databasePath));
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(handle, &sqlite3_close);
    if (rc != SQLITE_OK) {
        if (error)
            *error = store::engineErrorFor(handle, rc, databasePath);
        return false;
    }
    sqlite3_busy_timeout(handle, 5000);
    store::execSql(handle, QStringLiteral("PRAGMA mmap_size = 1073741824"), nullptr);
    // The one read of the table: every locker's state comes from these rows.
    store::Statement rows(handle, QStringLiteral("SELECT rowid, LockerNumber, DateToRenew, LastName FROM Information"));
    if (!rows.isValid()) {
        if (error)
            *error = rows.error();
        return false;
    }

    LockerMap map;
    // The highest row id bounds the row count in a table that is only added
    // to; the file's size keeps a stray huge row id from reserving too much.
    {
        store::Statement top(handle, QStringLiteral("SELECT max(rowid) FROM Information"));
        if (top.step()) {
            const qint64 bound = std::min(top.int64(0), qint64(QFileInfo(databasePath).size() / 64));
            map.m_held.reserve(qsizetype(std::max<qint64>(bound, 0)));
            map.m_names.reserve(qsizetype(std::max<qint64>(bound, 0)) * 10);
        }
    }
    map.m_today = today;
    map.m_expiringDays = range.expiringDays;
    sqlite3_stmt *st = rows.handle();
    while (rows.step()) {
        if (sqlite3_column_type(st, 1) != SQLITE_INTEGER)
            continue; // no locker: an empty number or one that is not whole
        qint32 expiry = kNoDay;
        if (sqlite3_column_type(st, 2) == SQLITE_TEXT) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, 2));
            if (const auto day = parseStoredDate(text, sqlite3_column_bytes(st, 2)))
                expiry = qint32(*day);
        }
        map.add(range, sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1), expiry,
                reinterpret_cast<const char *>(sqlite3_column_text(st, 3)), sqlite3_column_bytes(st, 3));
    }
    if (rows.error().isError()) {
        if (error)
            *error = rows.error();
        return false;
    }
    map.finish(range);
    *out = std::move(map);
    return true;
}

bool LockerMap::computeFrom(store::Database &db, const MapRange &range, const QDate &today, LockerMap *out,
                            store::EngineError *error)
{
    const store::TableDef &table = store::Schema::information();
    LockerMap map;
    map.m_today = today;
    map.m_expiringDays = range.expiringDays;
    const bool read = db.scanRows(
        table,
        {table.fieldIndex(QStringLiteral("LockerNumber")), table.fieldIndex(QStringLiteral("DateToRenew")),
         table.fieldIndex(QStringLiteral("LastName"))},
        [&](qint64 id, const QVariantList &values) {
            if (values.at(0).isNull())
                return true; // no locker
            const QDate expiry = values.at(1).toDate();
            const QByteArray name = values.at(2).toString().toUtf8();
            map.add(range, id, values.at(0).toLongLong(), expiry.isValid() ? qint32(expiry.toJulianDay()) : kNoDay,
                    name.constData(), int(name.size()));
            return true;
        },
        error);
    if (!read)
        return false;
    map.finish(range);
    *out = std::move(map);
    return true;
}

void LockerMap::add(const MapRange &range, qint64 rowId, qint64 number, qint32 expiry, const char *name, int nameBytes)
{
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        return;
    m_highestInUse = std::max(m_highestInUse, number);
    if (number < range.first || (range.last != 0 && number > range.last))
        return;
    Held held{};
    held.rowId = rowId;
    held.number = qint32(number);
    held.expiry = expiry;
    const int nameLength = name ? cutUtf8(name, nameBytes, kNameBytes) : 0;
    held.nameOffset = quint32(m_names.size());
    held.nameLength = quint16(nameLength);
    m_names.append(name, nameLength);
    held.customers = 1;
    m_held.append(held);
}

void LockerMap::finish(const MapRange &range)
{
    LockerMap &map = *this;
    const qint64 todayDay = m_today.toJulianDay();
    map.m_first = range.first;
    // With nothing in use the automatic range is empty.
    map.m_last = range.last != 0 ? range.last : map.m_highestInUse;

    // Rows come in row order, which is usually locker order already.
    const auto byNumber = [](const Held &a, const Held &b) { return a.number < b.number; };
    if (!std::is_sorted(map.m_held.begin(), map.m_held.end(), byNumber))
        std::stable_sort(map.m_held.begin(), map.m_held.end(), byNumber);

    // One entry per locker number; the customers who share one make a double.
    qsizetype kept = 0;
    for (qsizetype i = 0; i < map.m_held.size();) {
        qsizetype end = i + 1;
        while (end < map.m_held.size() && map.m_held.at(end).number == map.m_held.at(i).number)
            ++end;
        Held merged = map.m_held.at(i);
        if (end - i > 1) {
            QByteArray names;
            for (qsizetype k = i; k < end; ++k) {
                const Held &h = map.m_held.at(k);
                if (!names.isEmpty())
                    names.append(", ");
                names.append(map.m_names.constData() + h.nameOffset, h.nameLength);
            }
            const int length = cutUtf8(names.constData(), int(names.size()), kNameBytes);
            merged.nameOffset = quint32(map.m_names.size());
            merged.nameLength = quint16(length);
            map.m_names.append(names.constData(), length);
            merged.customers = quint8(std::min<qsizetype>(end - i, 255));
            merged.state = quint8(LockerState::Double);
        } else {
            merged.state = quint8(
                singleCustomerState(merged.expiry == kNoDay ? std::nullopt : std::optional<qint64>(merged.expiry),
                                    todayDay, range.expiringDays));
        }
        map.m_held[kept++] = merged;
        ++map.m_counts[merged.state];
        i = end;
    }
    map.m_held.resize(kept);
    map.m_held.squeeze();
    map.m_counts[size_t(LockerState::Vacant)] = map.size() - kept;
}

int LockerMap::find(qint64 number) const
{
    const auto it =
        std::lower_bound(m_held.cbegin(), m_held.cend(), number, [](const Held &h, qint64 n) { return h.number < n; });
    if (it == m_held.cend() || it->number != number)
        return -1;
    return int(it - m_held.cbegin());
}

QString LockerMap::nameAt(const Held &held) const
{
    return QString::fromUtf8(m_names.constData() + held.nameOffset, held.nameLength).trimmed();
}

LockerState LockerMap::stateOf(qint64 number) const
{
    const int i = find(number);
    return i < 0 ? LockerState::Vacant : LockerState(m_held.at(i).state);
}

LockerCell LockerMap::cell(qint64 number) const
{
    LockerCell cell;
    cell.number = number;
    const int i = find(number);
    if (i < 0)
        return cell;
    const Held &held = m_held.at(i);
    cell.state = LockerState(held.state);
    cell.customers = held.customers;
    cell.rowId = held.rowId;
    if (held.expiry != kNoDay)
        cell.expiry = QDate::fromJulianDay(held.expiry);
    cell.name = nameAt(held);
    return cell;
}

qint64 LockerMap::lettingCount() const
{
    return count(LockerState::Rented) + count(LockerState::Expiring) + count(LockerState::NoDate)
        + count(LockerState::Double);
}

} // namespace lockermap
