#include "store/CopyCheck.h"

#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QFile>
#include <cstring>
#include <sqlite3.h>

namespace store {

namespace {

constexpr quint64 kRowSeed = 0x9e3779b97f4a7c15ULL;

// The finaliser of splitmix64: every input bit reaches every output bit.
quint64 mix(quint64 x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

quint64 bytesHash(const unsigned char *data, int size, quint64 tag)
{
    quint64 h = 0xcbf29ce484222325ULL ^ tag; // FNV-1a
    for (int i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ULL;
    }
    return mix(h ^ quint64(size));
}

quint64 integerHash(qint64 value)
{
    return mix(quint64(value) ^ 0x1000000000000001ULL);
}

quint64 valueHash(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return integerHash(sqlite3_value_int64(v));
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(v);
        quint64 bits = 0;
        static_assert(sizeof bits == sizeof d);
        std::memcpy(&bits, &d, sizeof bits);
        return mix(bits ^ 0x2000000000000002ULL);
    }
    case SQLITE_TEXT: return bytesHash(sqlite3_value_text(v), sqlite3_value_bytes(v), 3);
    case SQLITE_BLOB:
        return bytesHash(static_cast<const unsigned char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v), 4);
    default: return 0x5555555555555555ULL;
    }
}

quint64 rowHash(int argc, sqlite3_value **argv)
{
    quint64 h = kRowSeed;
    for (int i = 0; i < argc; ++i)
        h = mix(h ^ valueHash(argv[i]));
    return h;
}

void digestStep(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    auto *sum = static_cast<quint64 *>(sqlite3_aggregate_context(context, sizeof(quint64)));
    if (!sum) {
        sqlite3_result_error_nomem(context);
        return;
    }
    *sum += rowHash(argc, argv);
}

void digestFinal(sqlite3_context *context)
{
    auto *sum = static_cast<quint64 *>(sqlite3_aggregate_context(context, 0));
    sqlite3_result_int64(context, sum ? qint64(*sum) : 0);
}

// Registers vt_digest(value, ...): the sum over the rows of a hash of the
// values, the same whatever order the rows are read in.
bool registerDigestFunction(sqlite3 *db)
{
    return sqlite3_create_function_v2(db, "vt_digest", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                      digestStep, digestFinal, nullptr)
           == SQLITE_OK;
}

EngineError copyError(const QString &path, const QString &what)
{
    return {Err::Corrupt, QStringLiteral("The copy '%1' failed its check: %2").arg(path, what)};
}

bool stepOne(Statement &st, EngineError *error)
{
    if (st.isValid() && st.step())
        return true;
    if (error)
        *error = st.error().isError() ? st.error() : EngineError{Err::Unexpected, QStringLiteral("No result.")};
    return false;
}

QStringList ordinaryTables(sqlite3 *db, EngineError *error, bool *ok)
{
    QStringList names;
    Statement st(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                    "AND upper(sql) NOT LIKE 'CREATE VIRTUAL%' ORDER BY name"));
    while (st.step())
        names << st.value(0).toString();
    *ok = st.isValid() && !st.error().isError();
    if (!*ok && error)
        *error = st.error();
    return names;
}

struct IndexColumns {
    QString name;
    QStringList columns;
};

// The plain indexes of a table: those over columns, holding every row.
bool plainIndexes(sqlite3 *db, const QString &table, QList<IndexColumns> *out, EngineError *error)
{
    Statement list(db, QStringLiteral("SELECT name, partial FROM pragma_index_list(?)"));
    list.bind(1, table);
    while (list.step()) {
        if (list.int64(1) != 0)
            continue;
        IndexColumns index{list.value(0).toString(), {}};
        Statement info(db, QStringLiteral("SELECT cid, name FROM pragma_index_info(?) ORDER BY seqno"));
        info.bind(1, index.name);
        bool plain = true;
        while (info.step()) {
            if (info.int64(0) < 0)
                plain = false;
            else
                index.columns << quoteIdentifier(info.value(1).toString());
        }
        if (info.error().isError()) {
            if (error)
                *error = info.error();
            return false;
        }
        if (plain && !index.columns.isEmpty())
            out->append(index);
    }
    if (!list.isValid() || list.error().isError()) {
        if (error)
            *error = list.error();
        return false;
    }
    return true;
}

bool checkHeader(const QString &path, EngineError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = copyError(path, file.errorString());
        return false;
    }
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        if (error)
            *error = copyError(path, QStringLiteral("it is not a database file."));
        return false;
    }
    // Bytes 18 and 19 are 2 for a file in write-ahead-log mode.
    if (header.at(18) != 1 || header.at(19) != 1) {
        if (error)
            *error = copyError(path, QStringLiteral("it is not in rollback-journal mode."));
        return false;
    }
    return true;
}

bool structureIsSound(sqlite3 *db, const QString &path, EngineError *error)
{
    Statement st(db, QStringLiteral("PRAGMA quick_check"));
    QStringList problems;
    while (st.step())
        problems << st.value(0).toString();
    if (st.error().isError() || !st.isValid()) {
        if (error)
            *error = copyError(path, st.error().text);
        return false;
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        if (error)
            *error = copyError(path, problems.mid(0, 3).join(QStringLiteral("; ")));
        return false;
    }
    return true;
}

bool summarizeTable(sqlite3 *db, const QString &name, TableSummary *summary, EngineError *error)
{
    const QString table = quoteIdentifier(name);
    Statement st(db, QStringLiteral("SELECT (SELECT count(*) FROM %1), (SELECT min(rowid) FROM %1), "
                                    "(SELECT max(rowid) FROM %1)")
                         .arg(table));
    if (!stepOne(st, error))
        return false;
    *summary = {name, st.int64(0), st.int64(1), st.int64(2)};
    return true;
}

bool tableMatches(sqlite3 *db, const QString &path, const TableSummary &expected, EngineError *error)
{
    QList<IndexColumns> indexes;
    if (!plainIndexes(db, expected.table, &indexes, error))
        return false;

    TableSummary actual;
    if (!summarizeTable(db, expected.table, &actual, error))
        return false;
    if (actual.rows != expected.rows) {
        if (error)
            *error = copyError(path, QStringLiteral("the table '%1' holds %2 rows instead of %3.")
                                         .arg(expected.table)
                                         .arg(actual.rows)
                                         .arg(expected.rows));
        return false;
    }
    if (actual != expected) {
        if (error)
            *error = copyError(path, QStringLiteral("the rows of the table '%1' have other row ids.").arg(expected.table));
        return false;
    }
    if (indexes.isEmpty())
        return true;

    // One pass over the table gives what each index should hold; one pass
    // over each index gives what it does hold. Sequential reads instead of a
    // search in every index for every row.
    const QString table = quoteIdentifier(expected.table);
    QStringList terms;
    for (const IndexColumns &index : indexes)
        terms << QStringLiteral("vt_digest(%1, rowid)").arg(index.columns.join(QStringLiteral(", ")));
    Statement scan(db, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED").arg(terms.join(QStringLiteral(", ")), table));
    if (!stepOne(scan, error))
        return false;
    for (int i = 0; i < indexes.size(); ++i) {
        const IndexColumns &index = indexes.at(i);
        Statement keys(db, QStringLiteral("SELECT vt_digest(%1, rowid) FROM %2 INDEXED BY %3")
                               .arg(index.columns.join(QStringLiteral(", ")), table, quoteIdentifier(index.name)));
        if (!stepOne(keys, error))
            return false;
        if (keys.int64(0) != scan.int64(i)) {
            if (error)
                *error = copyError(path, QStringLiteral("the index '%1' does not match the rows of the table '%2'.")
                                             .arg(index.name, expected.table));
            return false;
        }
    }
    return true;
}

} // namespace

bool summarizeTables(sqlite3 *db, QList<TableSummary> *summaries, EngineError *error)
{
    bool ok = false;
    const QStringList tables = ordinaryTables(db, error, &ok);
    if (!ok)
        return false;
    summaries->clear();
    for (const QString &name : tables) {
        TableSummary summary;
        if (!summarizeTable(db, name, &summary, error))
            return false;
        summaries->append(summary);
    }
    return true;
}

bool checkCopy(const QString &path, const QList<TableSummary> &expected, EngineError *error)
{
    if (!checkHeader(path, error))
        return false;
    RawDatabase copy;
    EngineError e;
    if (!copy.open(path, RawDatabase::ReadOnly, &e)) {
        if (error)
            *error = copyError(path, e.text);
        return false;
    }
    // Mapping the file spares a copy of every page it reads.
    copy.exec(QStringLiteral("PRAGMA mmap_size = 2147418112"), nullptr);
    if (!registerDigestFunction(copy.handle()))
        return fail(error, Err::Unexpected, QStringLiteral("Could not register the digest function."));
    if (!structureIsSound(copy.handle(), path, error))
        return false;

    bool ok = false;
    const QStringList tables = ordinaryTables(copy.handle(), &e, &ok);
    if (!ok) {
        if (error)
            *error = copyError(path, e.text);
        return false;
    }
    QStringList expectedTables;
    for (const TableSummary &s : expected)
        expectedTables << s.table;
    expectedTables.sort();
    if (tables != expectedTables) {
        if (error)
            *error = copyError(path, QStringLiteral("it holds the tables %1 instead of %2.")
                                         .arg(tables.join(QStringLiteral(", ")),
                                              expectedTables.join(QStringLiteral(", "))));
        return false;
    }
    for (const TableSummary &s : expected) {
        if (!tableMatches(copy.handle(), path, s, &e)) {
            if (error)
                *error = e.number == Err::Corrupt ? e : copyError(path, e.text);
            return false;
        }
    }
    return true;
}

} // namespace store
