#include "store/TableSalvage.h"

#include "store/Schema.h"

#include <algorithm>
#include <limits>
#include <sqlite3.h>

namespace store {

namespace {

// Row ids span the whole 64-bit range: distances are taken unsigned.
quint64 distance(qint64 low, qint64 high)
{
    return quint64(high) - quint64(low);
}

qint64 midpoint(qint64 low, qint64 high)
{
    return qint64(quint64(low) + distance(low, high) / 2);
}

constexpr qint64 kMinRowid = std::numeric_limits<qint64>::min();
constexpr qint64 kMaxRowid = std::numeric_limits<qint64>::max();

} // namespace

TableSalvage::TableSalvage(sqlite3 *damaged, QString table, QStringList columns)
    : m_db(damaged), m_table(std::move(table)), m_columns(std::move(columns))
{
}

bool TableSalvage::run(const RowSink &sink, EngineError *error)
{
    QStringList selected{QStringLiteral("rowid")};
    for (const QString &c : std::as_const(m_columns))
        selected << quoteIdentifier(c);
    const QString table = quoteIdentifier(m_table);
    m_scan = Statement(m_db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid")
                                 .arg(selected.join(QStringLiteral(", ")), table));
    m_probe = Statement(m_db, QStringLiteral("SELECT rowid FROM %1 WHERE rowid >= ?1 ORDER BY rowid LIMIT 1").arg(table));
    m_point = Statement(m_db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(selected.join(QStringLiteral(", ")), table));
    for (const Statement *st : {&m_scan, &m_probe, &m_point}) {
        if (!st->isValid()) {
            if (error)
                *error = st->error();
            return false;
        }
    }
    const QVector<qint64> named = rowidsNamedByIndexes();
    m_sink = &sink;
    const bool ok = salvageRange(kMinRowid, kMaxRowid) && readNamedRows(named);
    m_sink = nullptr;
    m_scan = Statement();
    m_probe = Statement();
    m_point = Statement();
    if (!ok && error)
        *error = m_sinkError;
    return ok;
}

TableSalvage::Probe TableSalvage::probe(qint64 key)
{
    m_probe.reset();
    m_probe.bindInt64(1, key);
    if (m_probe.step())
        return {ProbeResult::Row, m_probe.int64(0)};
    return {m_probe.error().isError() ? ProbeResult::Damaged : ProbeResult::End, 0};
}

TableSalvage::Scan TableSalvage::scan(qint64 from, qint64 to)
{
    Scan result;
    m_scan.reset();
    m_scan.bindInt64(1, from);
    m_scan.bindInt64(2, to);
    while (m_scan.step()) {
        if (!(*m_sink)(m_scan.handle(), &m_sinkError)) {
            m_sinkFailed = true;
            return result;
        }
        result.readAny = true;
        result.last = m_scan.int64(0);
        m_recovered.append(result.last);
    }
    result.complete = !m_scan.error().isError();
    m_scan.reset();
    return result;
}

bool TableSalvage::spendProbe()
{
    return m_probesLeft-- > 0;
}

bool TableSalvage::salvageRange(qint64 lo, qint64 hi)
{
    qint64 next = lo;
    for (;;) {
        const Scan s = scan(next, hi);
        if (m_sinkFailed)
            return false;
        if (s.complete)
            return true;
        if (s.readAny) {
            if (s.last >= hi)
                return true;
            next = s.last + 1;
            continue;
        }
        // Nothing could be read from `next` on. Either the next row's id is
        // readable and its values are not, or its page cannot be read at all.
        const Probe p = probe(next);
        if (p.result == ProbeResult::End || (p.result == ProbeResult::Row && p.rowid > hi))
            return true;
        if (p.result == ProbeResult::Row) {
            m_unreadable.append(p.rowid);
            if (p.rowid >= hi)
                return true;
            next = p.rowid + 1;
            continue;
        }
        const std::optional<qint64> readable = firstReadableKey(next, hi);
        searchGap(next, readable ? *readable - 1 : hi);
        if (m_sinkFailed)
            return false;
        if (!readable)
            return true;
        next = *readable;
    }
}

std::optional<qint64> TableSalvage::firstReadableKey(qint64 failing, qint64 hi)
{
    // Forward in growing steps until a key lands on a readable page...
    qint64 lastFailing = failing;
    quint64 step = 1;
    qint64 readable = 0;
    for (;;) {
        if (lastFailing == hi)
            return std::nullopt;
        const qint64 key = distance(lastFailing, hi) <= step ? hi : qint64(quint64(lastFailing) + step);
        if (probe(key).result != ProbeResult::Damaged) {
            readable = key;
            break;
        }
        lastFailing = key;
        if (step < (quint64(1) << 62))
            step *= 2;
    }
    // ...then back to the first such key.
    return bisectFirstReadable(lastFailing, readable);
}

qint64 TableSalvage::bisectFirstReadable(qint64 failing, qint64 readable)
{
    while (distance(failing, readable) > 1) {
        const qint64 mid = midpoint(failing, readable);
        if (probe(mid).result == ProbeResult::Damaged)
            failing = mid;
        else
            readable = mid;
    }
    return readable;
}

void TableSalvage::searchGap(qint64 failingLow, qint64 failingHigh)
{
    // Keys strictly between two keys whose pages cannot be read: a readable
    // page may lie between two damaged ones.
    if (failingHigh <= failingLow || distance(failingLow, failingHigh) < 2 || m_sinkFailed || !spendProbe())
        return;
    const qint64 mid = midpoint(failingLow, failingHigh);
    if (probe(mid).result == ProbeResult::Damaged) {
        searchGap(failingLow, mid);
        searchGap(mid, failingHigh);
        return;
    }
    const qint64 start = bisectFirstReadable(failingLow, mid);
    if (!salvageRange(start, failingHigh - 1))
        return;
    searchGap(failingLow, start - 1);
}

QVector<qint64> TableSalvage::rowidsNamedByIndexes()
{
    // Every row has an entry in each index of its table, and the entries of
    // an index live on pages of their own.
    QVector<qint64> named;
    Statement indexes(m_db, QStringLiteral("SELECT name FROM pragma_index_list(?) WHERE partial = 0"));
    indexes.bind(1, m_table);
    while (indexes.step()) {
        Statement ids(m_db, QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2")
                                .arg(quoteIdentifier(m_table), quoteIdentifier(indexes.value(0).toString())));
        while (ids.step())
            named.append(ids.int64(0));
    }
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    return named;
}

bool TableSalvage::readNamedRows(const QVector<qint64> &named)
{
    QVector<qint64> read = m_recovered;
    std::sort(read.begin(), read.end());
    QVector<qint64> missing;
    std::set_difference(named.cbegin(), named.cend(), read.cbegin(), read.cend(), std::back_inserter(missing));
    // Ids seen on readable pages whose values were not are named too.
    for (qint64 id : std::as_const(m_unreadable)) {
        if (!std::binary_search(named.cbegin(), named.cend(), id))
            missing.append(id);
    }

    for (qint64 id : std::as_const(missing)) {
        m_point.reset();
        m_point.bindInt64(1, id);
        if (m_point.step()) {
            if (!(*m_sink)(m_point.handle(), &m_sinkError)) {
                m_sinkFailed = true;
                return false;
            }
            m_recovered.append(id);
        } else if (m_point.error().isError()) {
            ++m_lostRows;
        }
        // No row and no error: an index entry without its row; nothing to lose.
    }
    m_point.reset();
    return true;
}

} // namespace store
