// Why a summary suffices for a copy that VACUUM INTO wrote.
//
// VACUUM INTO builds the copy with the engine's own b-tree code: it creates
// every table and index from the source's schema text and fills them from
// the source's trees, page after page written whole from memory. What can
// go wrong with such a copy is the file as a whole, and every such fault
// shows in a summary:
// - a copy cut short (a killed run, a full disk, a file shortened after the
//   engine let go of it): its size is not the pages its header counts, or
//   a tree points past the end; counting visits every page of every table
//   and index tree, so a page there that is zeros or no tree page at all
//   is found too (the overflow pages of long values are not visited);
// - not the copy of this database (a file left by another run, one put
//   under the name meanwhile, one written in write-ahead-log mode): header,
//   schema and counts differ;
// - rows the copy did not get (the source changed meanwhile, a copy of
//   another moment, rows renumbered): the count or the ends of the row ids
//   differ;
// - an index short of entries: the engine copies an index entry by entry
//   from the source's index, so a source index that lost entries hands the
//   loss on; the entry count then differs from its table's rows. A partial
//   index holds the rows its condition selects: they are counted through a
//   full index that holds every column the condition reads (its entries are
//   the table's rows, as its own count shows), so neither the table nor the
//   partial index is taken at its word. Only where no full index covers the
//   condition is the table read back by the engine.
// What the summary does not see is a page whose header and cells hold
// together but whose values are wrong. VACUUM INTO cannot write one short
// of the memory or the disk failing silently, and reading the copy back
// with the engine's structural check would mostly not find that either: it
// checks how pages hang together, not the values, and it reads them from the
// system's cache, which holds what was written, not what the disk keeps. So that
// check runs only when the summary disagrees (to tell a damaged copy from a
// different one), and always for files made in other ways.
#include "store/salvage/CopyCheck.h"

#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/salvage/PageReader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <span>

namespace store {

namespace {

EngineError copyError(const QString &path, const QString &what)
{
    return {Err::Corrupt, QStringLiteral("The copy '%1' failed its check: %2").arg(path, what)};
}

quint32 be16(const QByteArray &bytes, int at)
{
    return (quint32(quint8(bytes.at(at))) << 8) | quint8(bytes.at(at + 1));
}

quint32 be32(const QByteArray &bytes, int at)
{
    return (be16(bytes, at) << 16) | be16(bytes, at + 2);
}

bool stepOne(Statement &st, EngineError *error)
{
    if (st.isValid() && st.step())
        return true;
    if (error)
        *error = st.error().isError() ? st.error() : EngineError{Err::Unexpected, QStringLiteral("No result.")};
    return false;
}

bool stepAll(Statement &st, EngineError *error)
{
    if (st.isValid() && !st.error().isError())
        return true;
    if (error)
        *error = st.error();
    return false;
}

// The header's word on the file: what the engine itself relies on when it
// opens it. Returns an empty text when it is what the copy should be.
QString headerDisagreement(const QString &path, const DatabaseSummary &expected, qint64 *fileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    *fileSize = file.size();
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return QStringLiteral("it is not a database file.");
    // Bytes 18 and 19 are 2 for a file in write-ahead-log mode.
    if (header.at(18) != 1 || header.at(19) != 1)
        return QStringLiteral("it is not in rollback-journal mode.");
    const quint32 pageSize = be16(header, 16) == 1 ? 65536 : be16(header, 16);
    if (expected.pageSize > 0 && pageSize != quint32(expected.pageSize))
        return QStringLiteral("its pages are %1 bytes instead of %2.").arg(pageSize).arg(expected.pageSize);
    if (expected.textEncoding > 0 && be32(header, 56) != quint32(expected.textEncoding))
        return QStringLiteral("its text is not encoded as the database's.");
    // The page count is the file's own only when the header was written by
    // the same transaction (the two change counters agree).
    const quint32 pages = be32(header, 28);
    if (be32(header, 92) != be32(header, 24) || pages == 0)
        return QStringLiteral("its header does not give its number of pages.");
    if (qint64(pages) * pageSize != *fileSize)
        return QStringLiteral("it is %1 bytes long instead of the %2 its %3 pages take.")
            .arg(*fileSize)
            .arg(qint64(pages) * pageSize)
            .arg(pages);
    return {};
}

bool readBackProblems(sqlite3 *db, const QString &pragma, QStringList *problems, EngineError *error)
{
    Statement st(db, pragma);
    problems->clear();
    while (st.step())
        problems->append(st.value(0).toString());
    if (!stepAll(st, error))
        return false;
    if (*problems == QStringList{QStringLiteral("ok")})
        problems->clear();
    return true;
}

// Whole-file read-back: the empty text when the engine finds the pages sound.
QString damage(sqlite3 *db)
{
    QStringList problems;
    EngineError e;
    if (!readBackProblems(db, QStringLiteral("PRAGMA quick_check"), &problems, &e))
        return e.text;
    return problems.mid(0, 3).join(QStringLiteral("; "));
}

struct TableKind {
    QString name;
    bool withoutRowid = false;
};

bool rowTables(sqlite3 *db, QList<TableKind> *tables, EngineError *error)
{
    Statement st(db,
                 QStringLiteral("SELECT name, wr FROM pragma_table_list WHERE schema = 'main' AND type = 'table' "
                                "AND name NOT IN ('sqlite_schema', 'sqlite_master') ORDER BY name"));
    tables->clear();
    while (st.step())
        tables->append({st.value(0).toString(), st.int64(1) != 0});
    return stepAll(st, error);
}

// The name under which the table's row id can be read: a column may have
// taken one of the three.
QString rowidName(sqlite3 *db, const QString &table, EngineError *error)
{
    Statement st(db, QStringLiteral("SELECT lower(name) FROM pragma_table_info(?)"));
    st.bind(1, table);
    QSet<QString> columns;
    while (st.step())
        columns.insert(st.value(0).toString());
    if (!stepAll(st, error))
        return {};
    for (const QString &name : {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
        if (!columns.contains(name))
            return name;
    }
    return {};
}

// Counted and searched in the table's own tree (NOT INDEXED): the engine
// would otherwise count the smallest index instead.
bool summarizeTable(sqlite3 *db, const TableKind &kind, TableSummary *summary, EngineError *error)
{
    const QString table = quoteIdentifier(kind.name);
    EngineError e;
    const QString rowid = kind.withoutRowid ? QString() : rowidName(db, kind.name, &e);
    if (e.isError()) {
        if (error)
            *error = e;
        return false;
    }
    const bool ends = !rowid.isEmpty();
    const QString sql = ends
        ? QStringLiteral("SELECT (SELECT count(*) FROM %1 NOT INDEXED), "
                         "(SELECT min(%2) FROM %1 NOT INDEXED), (SELECT max(%2) FROM %1 NOT INDEXED)")
              .arg(table, rowid)
        : QStringLiteral("SELECT count(*), 0, 0 FROM %1 NOT INDEXED").arg(table);
    Statement st(db, sql);
    if (!stepOne(st, error))
        return false;
    *summary = {kind.name, st.int64(0), st.int64(1), st.int64(2), !ends};
    return true;
}

QStringList namesOf(const QList<SchemaEntry> &schema, const QString &type)
{
    QStringList names;
    for (const SchemaEntry &entry : schema) {
        if (entry.type == type)
            names << entry.name;
    }
    return names;
}

QString schemaDisagreement(const QList<SchemaEntry> &expected, const QList<SchemaEntry> &actual)
{
    if (expected == actual)
        return {};
    const QList<QPair<QString, QString>> kinds{{QStringLiteral("table"), QStringLiteral("tables")},
                                               {QStringLiteral("index"), QStringLiteral("indexes")},
                                               {QStringLiteral("view"), QStringLiteral("views")},
                                               {QStringLiteral("trigger"), QStringLiteral("triggers")}};
    for (const auto &[type, plural] : kinds) {
        const QStringList want = namesOf(expected, type);
        const QStringList have = namesOf(actual, type);
        if (want != have)
            return QStringLiteral("it holds the %1 %2 instead of %3.")
                .arg(plural, have.join(QStringLiteral(", ")), want.join(QStringLiteral(", ")));
    }
    for (const SchemaEntry &entry : actual) {
        if (!expected.contains(entry))
            return QStringLiteral("the %1 '%2' is not defined as in the database.").arg(entry.type, entry.name);
    }
    return QStringLiteral("its schema is not the database's.");
}

struct IndexTree {
    QString name;
    QString table;
    quint32 root = 0;
    bool partial = false;
    QString sql;
};

bool indexTrees(sqlite3 *db, QList<IndexTree> *indexes, EngineError *error)
{
    Statement st(db,
                 QStringLiteral("SELECT m.name, m.tbl_name, m.rootpage, "
                                "(SELECT il.partial FROM pragma_index_list(m.tbl_name) AS il WHERE il.name = m.name), "
                                "m.sql FROM sqlite_master AS m WHERE m.type = 'index' ORDER BY m.name"));
    indexes->clear();
    while (st.step())
        indexes->append({st.value(0).toString(), st.value(1).toString(), quint32(st.int64(2)), st.int64(3) != 0,
                         st.value(4).toString()});
    return stepAll(st, error);
}

// The condition of a partial index: what follows its column list in its
// definition. Quoted names and texts are stepped over whole, so that a
// bracket inside one is not taken for the statement's own.
QString partialCondition(const QString &sql)
{
    int depth = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            i = sql.indexOf(c == u'[' ? QChar(u']') : c, i + 1);
            if (i < 0)
                return {};
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth == 0) {
            const QString rest = sql.mid(i + 1).trimmed();
            if (!rest.startsWith(QLatin1String("WHERE"), Qt::CaseInsensitive) || rest.size() < 6
                || !rest.at(5).isSpace())
                return {};
            return rest.mid(6).trimmed();
        }
    }
    return {};
}

// Counts the rows the condition of a partial index selects through a full
// index of its table whose entries hold every column the condition reads.
// `covered` is false when no full index does.
bool countPartialRows(sqlite3 *db, const IndexTree &index, qint64 *rows, bool *covered, EngineError *error)
{
    *covered = false;
    const QString condition = partialCondition(index.sql);
    if (condition.isEmpty())
        return true;
    Statement full(db, QStringLiteral("SELECT name FROM pragma_index_list(?) WHERE partial = 0 ORDER BY name"));
    full.bind(1, index.table);
    QStringList candidates;
    while (full.step())
        candidates << full.value(0).toString();
    if (!stepAll(full, error))
        return false;
    for (const QString &candidate : candidates) {
        const QString count = QStringLiteral("SELECT count(*) FROM %1 INDEXED BY %2 WHERE (%3)")
                                  .arg(quoteIdentifier(index.table), quoteIdentifier(candidate), condition);
        // The planner says whether the index alone answers; one it cannot use
        // for the statement is no candidate.
        Statement plan(db, QStringLiteral("EXPLAIN QUERY PLAN ") + count);
        bool coveringOnly = plan.isValid();
        bool any = false;
        while (coveringOnly && plan.step()) {
            any = true;
            coveringOnly = plan.value(3).toString().contains(QLatin1String("USING COVERING INDEX"));
        }
        if (!coveringOnly || !any || plan.error().isError())
            continue;
        Statement st(db, count);
        if (!stepOne(st, error))
            return false;
        *rows = st.int64(0);
        *covered = true;
        return true;
    }
    return true;
}

// Compares the open copy with what is expected. Returns false only when the
// comparison itself could not run; `disagreement` tells what differs, and
// `readBackTables` the tables whose indexes or rows a count cannot vouch for.
bool compare(sqlite3 *db, std::span<const std::uint8_t> file, const DatabaseSummary &expected, QString *disagreement,
             QStringList *readBackTables, EngineError *error)
{
    DatabaseSummary actual;
    if (!summarizeSchema(db, &actual, error))
        return false;
    *disagreement = schemaDisagreement(expected.schema, actual.schema);
    if (!disagreement->isEmpty())
        return true;

    QHash<QString, qint64> rows;
    QList<TableKind> tables;
    if (!rowTables(db, &tables, error))
        return false;
    for (const TableKind &kind : tables) {
        const auto wanted = std::find_if(expected.tables.cbegin(), expected.tables.cend(),
                                         [&kind](const TableSummary &s) { return s.table == kind.name; });
        TableSummary summary;
        if (!summarizeTable(db, kind, &summary, error))
            return false;
        rows.insert(kind.name, summary.rows);
        if (summary.withoutRowid)
            readBackTables->append(kind.name);
        if (wanted == expected.tables.cend())
            continue;
        if (summary.rows != wanted->rows) {
            *disagreement = QStringLiteral("the table '%1' holds %2 rows instead of %3.")
                                .arg(kind.name)
                                .arg(summary.rows)
                                .arg(wanted->rows);
            return true;
        }
        if (summary != *wanted) {
            *disagreement = QStringLiteral("the rows of the table '%1' have other row ids.").arg(kind.name);
            return true;
        }
    }
    for (const TableSummary &wanted : expected.tables) {
        if (!rows.contains(wanted.table)) {
            *disagreement = QStringLiteral("it has no table '%1'.").arg(wanted.table);
            return true;
        }
    }

    // The entries are counted from the index's own pages, without the engine,
    // which has no way to count one index of its choosing.
    const pages::PageReader reader(file);
    QList<IndexTree> indexes;
    if (!indexTrees(db, &indexes, error))
        return false;
    for (const IndexTree &index : indexes) {
        qint64 wanted = rows.value(index.table, -1);
        if (index.partial) {
            const auto counted = std::find_if(expected.partialIndexes.cbegin(), expected.partialIndexes.cend(),
                                              [&index](const PartialIndexSummary &s) { return s.index == index.name; });
            bool covered = counted != expected.partialIndexes.cend();
            if (covered)
                wanted = counted->rows;
            else if (!countPartialRows(db, index, &wanted, &covered, error))
                return false;
            // No full index holds what the condition reads: which rows it
            // selects is the engine's to say, by reading the table back.
            if (!covered) {
                if (!readBackTables->contains(index.table))
                    readBackTables->append(index.table);
                continue;
            }
        }
        std::uint64_t entries = 0;
        if (!reader.indexEntryCount(index.root, &entries)) {
            *disagreement = QStringLiteral("the pages of the index '%1' do not form an index.").arg(index.name);
            return true;
        }
        if (qint64(entries) != wanted) {
            *disagreement =
                (index.partial ? QStringLiteral("the index '%1' holds %2 entries for the %3 rows of the table '%4' its "
                                                "condition selects.")
                               : QStringLiteral("the index '%1' holds %2 entries for the %3 rows of the table '%4'."))
                    .arg(index.name)
                    .arg(entries)
                    .arg(wanted)
                    .arg(index.table);
            return true;
        }
    }
    return true;
}

} // namespace

bool summarizeSchema(sqlite3 *db, DatabaseSummary *summary, EngineError *error)
{
    Statement size(db, QStringLiteral("PRAGMA page_size"));
    if (!stepOne(size, error))
        return false;
    summary->pageSize = int(size.int64(0));
    Statement encoding(db, QStringLiteral("PRAGMA encoding"));
    if (!stepOne(encoding, error))
        return false;
    const QString name = encoding.value(0).toString();
    summary->textEncoding = name == QLatin1String("UTF-16le") ? 2 : name == QLatin1String("UTF-16be") ? 3 : 1;

    Statement st(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name"));
    summary->schema.clear();
    while (st.step())
        summary->schema.append(
            {st.value(0).toString(), st.value(1).toString(), st.value(2).toString(), st.value(3).toString()});
    return stepAll(st, error);
}

bool summarizeTables(sqlite3 *db, QList<TableSummary> *summaries, EngineError *error)
{
    QList<TableKind> tables;
    if (!rowTables(db, &tables, error))
        return false;
    summaries->clear();
    for (const TableKind &kind : tables) {
        TableSummary summary;
        if (!summarizeTable(db, kind, &summary, error))
            return false;
        summaries->append(summary);
    }
    return true;
}

bool summarizeDatabase(sqlite3 *db, DatabaseSummary *summary, EngineError *error)
{
    return summarizeSchema(db, summary, error) && summarizeTables(db, &summary->tables, error);
}

bool summarizePartialIndexes(sqlite3 *db, QList<PartialIndexSummary> *summaries, EngineError *error)
{
    QList<IndexTree> indexes;
    if (!indexTrees(db, &indexes, error))
        return false;
    summaries->clear();
    for (const IndexTree &index : indexes) {
        qint64 rows = 0;
        bool covered = false;
        if (!index.partial)
            continue;
        if (!countPartialRows(db, index, &rows, &covered, error))
            return false;
        if (covered)
            summaries->append({index.name, rows});
    }
    return true;
}

bool checkCopy(const QString &path, const DatabaseSummary &expected, ReadBack readBack, EngineError *error)
{
    qint64 fileSize = 0;
    const QString header = headerDisagreement(path, expected, &fileSize);
    if (!header.isEmpty()) {
        if (error)
            *error = copyError(path, header);
        return false;
    }
    QFile file(path);
    const uchar *bytes = file.open(QIODevice::ReadOnly) ? file.map(0, fileSize) : nullptr;
    if (!bytes) {
        if (error)
            *error = copyError(path, file.errorString());
        return false;
    }
    RawDatabase copy;
    EngineError e;
    if (!copy.open(path, RawDatabase::ReadOnly, &e)) {
        if (error)
            *error = copyError(path, e.text);
        return false;
    }
    // Mapping the file spares a copy of every page the engine reads.
    copy.exec(QStringLiteral("PRAGMA mmap_size = 2147418112"), nullptr);

    if (readBack == ReadBack::Always) {
        const QString found = damage(copy.handle());
        if (!found.isEmpty()) {
            if (error)
                *error = copyError(path, found);
            return false;
        }
    }

    QString disagreement;
    QStringList readBackTables;
    if (!compare(copy.handle(), {bytes, std::size_t(fileSize)}, expected, &disagreement, &readBackTables, &e))
        disagreement = e.text; // a tree the engine cannot read through is a disagreement too
    for (int i = 0; disagreement.isEmpty() && i < readBackTables.size(); ++i) {
        QStringList problems;
        if (!readBackProblems(copy.handle(),
                              QStringLiteral("PRAGMA integrity_check(%1)").arg(quoteIdentifier(readBackTables.at(i))),
                              &problems, &e))
            disagreement = e.text;
        else if (!problems.isEmpty())
            disagreement = problems.mid(0, 3).join(QStringLiteral("; "));
    }
    if (disagreement.isEmpty())
        return true;

    if (readBack == ReadBack::WhenInDoubt) {
        const QString found = damage(copy.handle());
        if (!found.isEmpty() && found != disagreement)
            disagreement += QStringLiteral(" Its pages are damaged: %1").arg(found);
    }
    if (error)
        *error = copyError(path, disagreement);
    return false;
}

} // namespace store
