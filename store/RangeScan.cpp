#include "store/RangeScan.h"

#include "store/Statement.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <vector>

namespace store {

namespace {

constexpr qint64 kLowest = std::numeric_limits<qint32>::min();
constexpr qint64 kHighest = std::numeric_limits<qint32>::max();
// Numbers within this many of `low` are marked in a bitmap (8 MB at most);
// the rare ones beyond are kept and sorted at the end.
constexpr qint64 kBitmapSpan = qint64(1) << 26;

// What the aggregate keeps while the engine reads the table.
struct Pass {
    QList<QByteArray> bounds; // first, last, first, last... as the file stores the values
    QVector<qint64> counts;
    qint64 low = 0;
    qint64 high = 0;
    std::vector<quint64> bitmap;
    std::vector<qint64> beyond;
    qint64 highest = 0;

    // SQLite's order of two texts under the binary collation.
    static int compare(const unsigned char *text, int length, const QByteArray &bound)
    {
        const int common = std::min(length, int(bound.size()));
        const int c = std::memcmp(text, bound.constData(), size_t(common));
        return c != 0 ? c : length - int(bound.size());
    }

    void addValue(sqlite3_value *value)
    {
        if (sqlite3_value_type(value) != SQLITE_TEXT || bounds.isEmpty())
            return;
        const auto *text = sqlite3_value_text(value);
        const int length = sqlite3_value_bytes(value);
        if (compare(text, length, bounds.first()) < 0 || compare(text, length, bounds.last()) > 0)
            return;
        // The last range whose first value is not above the text.
        int lo = 0;
        int hi = int(counts.size()) - 1;
        while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (compare(text, length, bounds.at(2 * mid)) >= 0)
                lo = mid;
            else
                hi = mid - 1;
        }
        if (compare(text, length, bounds.at(2 * lo)) >= 0 && compare(text, length, bounds.at(2 * lo + 1)) <= 0)
            ++counts[lo];
    }

    void addNumber(sqlite3_value *value)
    {
        if (sqlite3_value_type(value) != SQLITE_INTEGER)
            return;
        const qint64 n = sqlite3_value_int64(value);
        if (n < kLowest || n > kHighest)
            return;
        highest = std::max(highest, n);
        if (n < low || n > high)
            return;
        const qint64 at = n - low;
        if (at >= kBitmapSpan) {
            beyond.push_back(n);
            return;
        }
        const size_t word = size_t(at / 64);
        if (word >= bitmap.size())
            bitmap.resize(std::max(word + 1, bitmap.size() * 2), 0);
        bitmap[word] |= quint64(1) << (at % 64);
    }

    qint64 distinct()
    {
        qint64 n = 0;
        for (quint64 word : bitmap)
            n += __builtin_popcountll(word);
        std::sort(beyond.begin(), beyond.end());
        return n + qint64(std::unique(beyond.begin(), beyond.end()) - beyond.begin());
    }
};

void step(sqlite3_context *context, int, sqlite3_value **values)
{
    auto *pass = static_cast<Pass *>(sqlite3_user_data(context));
    pass->addValue(values[0]);
    pass->addNumber(values[1]);
}

void final(sqlite3_context *context)
{
    sqlite3_result_int(context, 0);
}

QByteArray storedBound(const QVariant &value)
{
    return value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate).toUtf8()
                                              : value.toString().toUtf8();
}

} // namespace

bool countRangesAndNumbers(Database &db, const TableDef &table, int rangeField,
                           const QList<Database::ValueRange> &ranges, int numberField, qint64 low, qint64 high,
                           RangeAndNumberCounts *out, EngineError *error)
{
    sqlite3 *handle = db.handle();
    if (!handle) {
        qint64 none = 0;
        // A range open to the highest long integer that holds a number has
        // the highest of all; otherwise that is asked for on its own.
        return db.countInRanges(table, rangeField, ranges, &out->inRanges, error)
            && (low > high || db.countNumbers(table, numberField, low, high, &out->distinct, &out->highest, error))
            && ((out->distinct > 0 && high == kHighest)
                || db.countNumbers(table, numberField, kLowest, kHighest, &none, &out->highest, error));
    }
    // Bounds compared as texts: what the file holds of a date is its ISO
    // text, and the dialect's statements compare it so. The engine owns
    // the aggregate's state and deletes it with the function.
    auto *pass = new Pass;
    for (const Database::ValueRange &range : ranges)
        pass->bounds << storedBound(range.first) << storedBound(range.second);
    pass->counts.fill(0, ranges.size());
    pass->low = low;
    pass->high = high;
    const QByteArray name = QByteArrayLiteral("vt_range_pass");
    const auto destroy = [](void *state) { delete static_cast<Pass *>(state); };
    if (sqlite3_create_function_v2(handle, name.constData(), 2, SQLITE_UTF8, pass, nullptr, step, final, destroy)
        != SQLITE_OK) {
        if (error)
            *error = engineErrorFor(handle, sqlite3_errcode(handle), db.name());
        return false;
    }
    bool done = false;
    {
        Statement st(handle,
                     QStringLiteral("SELECT vt_range_pass(%1, %2) FROM %3")
                         .arg(quoteIdentifier(table.fields.at(rangeField).name),
                              quoteIdentifier(table.fields.at(numberField).name), quoteIdentifier(table.name)));
        done = st.isValid() && st.step();
        if (!done && error)
            *error = st.error();
    }
    if (done) {
        out->inRanges = pass->counts;
        out->distinct = low <= high ? pass->distinct() : 0;
        out->highest = std::max<qint64>(pass->highest, 0);
    }
    sqlite3_create_function_v2(handle, name.constData(), 2, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    return done;
}

} // namespace store
