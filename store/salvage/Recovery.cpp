// Repair: a file that cannot be opened or fails the integrity check is
// rebuilt from every row its pages still hold, into a fresh file with every
// table of the damaged one. The fresh file takes the database's name only once
// it has passed its own check; the damaged file is kept under a name of its
// own for the operator to remove.
#include "store/salvage/WholeFile.h"

#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/salvage/CopyCheck.h"
#include "store/salvage/FileSalvage.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace store {

const TableRepair *RepairReport::table(const QString &name) const
{
    for (const TableRepair &t : tables) {
        if (t.table.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

namespace {

EngineError repairError(const QString &path, const EngineError &e)
{
    return {e.number, QStringLiteral("Could not repair '%1': %2").arg(path, e.text)};
}

// A write that stopped half way leaves a journal (or a log) beside the file;
// the engine rolls it back, or plays the log in, on the first read-write
// open. A read-only look would take the half-written pages for damage, and
// a salvage would bring back part of the write. Damage that stops the read
// is left for the check after this.
bool settleInterruptedWrite(const QString &path, EngineError *error)
{
    const bool pending =
        QFileInfo::exists(path + QStringLiteral("-journal")) || QFileInfo::exists(path + QStringLiteral("-wal"));
    if (!pending)
        return true;
    RawDatabase db;
    EngineError e;
    if (db.open(path, RawDatabase::ReadWrite, &e)) {
        Statement st(db.handle(), QStringLiteral("SELECT count(*) FROM sqlite_master"));
        st.step();
        e = st.error();
    }
    if (!e.isError() || e.number == Err::Corrupt || e.number == Err::UnrecognizedFormat)
        return true;
    return fail(error, e.number,
                QStringLiteral("a write that was interrupted could not be rolled back (%1); it has not been "
                               "changed.")
                    .arg(e.text));
}

// Whether the engine opens the file and finds it whole. A check that cannot
// even run (a page it needs is unreadable) counts as damage.
bool isWhole(const QString &path)
{
    RawDatabase db;
    if (!db.open(path, RawDatabase::ReadOnly, nullptr))
        return false;
    Statement st(db.handle(), QStringLiteral("PRAGMA integrity_check"));
    QStringList results;
    while (st.step())
        results << st.value(0).toString();
    return st.isValid() && !st.error().isError() && results == QStringList{QStringLiteral("ok")};
}

void bindValue(sqlite3_stmt *st, int index, const pages::Value &v, int encoding)
{
    using Kind = pages::Value::Kind;
    switch (v.kind) {
    case Kind::Null: sqlite3_bind_null(st, index); break;
    case Kind::Integer: sqlite3_bind_int64(st, index, v.integer); break;
    case Kind::Real: sqlite3_bind_double(st, index, v.real); break;
    case Kind::Text: {
        const unsigned char enc = encoding == 2 ? SQLITE_UTF16LE : encoding == 3 ? SQLITE_UTF16BE : SQLITE_UTF8;
        sqlite3_bind_text64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT, enc);
        break;
    }
    case Kind::Blob: sqlite3_bind_blob64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT); break;
    }
}

QString quotedColumns(const QStringList &columns)
{
    QStringList quoted;
    for (const QString &c : columns)
        quoted << quoteIdentifier(c);
    return quoted.join(QStringLiteral(", "));
}

// Copies the rows into the fresh file, one insert per table and record
// length (a row written before a column was added is shorter: the column's
// default fills it). A row id already taken keeps the row that came first;
// a row that breaks another rule of its table (a unique index) is kept in a
// table of its own.
class RowWriter
{
public:
    RowWriter(sqlite3 *fresh, const FileSalvage &salvage) : m_db(fresh), m_salvage(salvage)
    {
        for (const SalvageTable &t : salvage.tables()) {
            Target target{t.name, t.columns, t.rowidColumn, TableRepair::Kind::Table, -1, {}, {}, 0};
            if (t.outsideOf >= 0) {
                target.kind = TableRepair::Kind::FoundOutside;
                target.rowsOf = t.outsideOf;
            }
            m_targets.push_back(std::move(target));
        }
    }

    bool write(int table, const pages::TableCell &row, EngineError *error)
    {
        const Target &target = m_targets.at(std::size_t(table));
        // An old copy of a row the table still holds says nothing new.
        if (target.kind == TableRepair::Kind::FoundOutside
            && m_targets.at(std::size_t(target.rowsOf)).idSet.count(row.rowid))
            return true;
        bool added = false;
        if (!insert(table, row, &added, error))
            return false;
        if (added || holds(table, row.rowid))
            return true;
        // Not there and not added: the row broke a rule of the table.
        return insert(keptApartTable(table, error), row, &added, error);
    }

    // Runs a statement that builds on the rows (an index, a view, a
    // trigger). Rows that would keep a unique index from being built move to
    // the table's kept-apart table first, and the index is built on the rest.
    bool createLater(const QString &sql, EngineError *error)
    {
        // The file has no journal to take back a statement that fails half
        // way: the rows in the way move before the index is built.
        const int table = uniqueIndexTable(sql);
        if (table >= 0 && !moveDuplicates(table, error))
            return false;
        return execSql(m_db, sql, error);
    }

    // What each table got, and what the check of the fresh file must find.
    bool finish(RepairReport *report, QList<TableSummary> *summaries, EngineError *error)
    {
        for (std::size_t t = 0; t < m_targets.size(); ++t) {
            Target &target = m_targets[t];
            // Old pages that held only copies of rows still there leave nothing to look over.
            if (target.kind == TableRepair::Kind::FoundOutside && target.idSet.empty()) {
                target.inserts.clear();
                if (!execSql(m_db, QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(target.name)), error))
                    return false;
                continue;
            }
            TableRepair repaired{target.name,
                                 qint64(target.idSet.size()),
                                 0,
                                 false,
                                 target.textsCut,
                                 target.kind,
                                 target.rowsOf >= 0 ? m_targets.at(std::size_t(target.rowsOf)).name : QString()};
            if (t < std::size_t(m_salvage.tables().size()) && target.kind == TableRepair::Kind::Table) {
                // Rows kept apart are not lost.
                std::unordered_set<qint64> kept = target.idSet;
                for (const Target &other : m_targets) {
                    if (other.kind == TableRepair::Kind::KeptApart && other.rowsOf == int(t))
                        kept.insert(other.idSet.cbegin(), other.idSet.cend());
                }
                countLost(m_salvage.tables().at(qsizetype(t)), kept, &repaired);
            }
            TableSummary summary{target.name, qint64(target.idSet.size()), 0, 0};
            if (!target.idSet.empty()) {
                const auto [low, high] = std::minmax_element(target.idSet.cbegin(), target.idSet.cend());
                summary.firstRowid = *low;
                summary.lastRowid = *high;
            }
            // The program needs the one row of the center's settings.
            if (target.idSet.empty() && target.kind == TableRepair::Kind::Table
                && target.name.compare(Schema::centerInformation().name, Qt::CaseInsensitive) == 0) {
                Statement add(m_db, QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(target.name)));
                add.step();
                if (add.error().isError()) {
                    if (error)
                        *error = add.error();
                    return false;
                }
                const qint64 id = sqlite3_last_insert_rowid(m_db);
                summary = {target.name, 1, id, id};
                report->centerRowAdded = true;
            }
            report->tables << repaired;
            report->rowsRecovered += repaired.recovered;
            report->rowsLost += repaired.lost;
            summaries->append(summary);
        }
        report->rowsUnmatched = m_salvage.unmatchedRows();
        return true;
    }

private:
    struct Target {
        QString name;
        QStringList columns;
        int rowidColumn = -1;
        TableRepair::Kind kind = TableRepair::Kind::Table;
        int rowsOf = -1;
        std::unordered_set<qint64> idSet;
        std::unordered_map<int, Statement> inserts; // by record length
        qint64 textsCut = 0;
    };

    // The rows known to have been there and not brought back: every id a
    // page or an index names, and one for each unread part of the tree no
    // such id falls in.
    static void countLost(const SalvageTable &table, const std::unordered_set<qint64> &recovered, TableRepair *out)
    {
        std::vector<qint64> lostIds;
        for (qint64 id : table.namedRowids) {
            if (!recovered.count(id))
                lostIds.push_back(id);
        }
        out->lost = qint64(lostIds.size());
        for (const auto &part : table.unreadParts) {
            const bool named = std::any_of(lostIds.cbegin(), lostIds.cend(),
                                           [&part](qint64 id) { return id > part.first && id <= part.second; });
            if (!named)
                ++out->lost;
        }
        out->lostAtLeast = !table.everyRowKnown;
    }

    bool holds(int table, qint64 rowid)
    {
        Statement st(m_db,
                     QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?")
                         .arg(quoteIdentifier(m_targets.at(std::size_t(table)).name)));
        st.bind(1, rowid);
        return st.step();
    }

    bool insert(int table, const pages::TableCell &row, bool *added, EngineError *error)
    {
        *added = false;
        if (table < 0)
            return false;
        Target &target = m_targets[std::size_t(table)];
        const int length = int(std::min<std::size_t>(row.values.size(), std::size_t(target.columns.size())));
        Statement &insert = statementFor(target, length);
        if (!insert.isValid()) {
            if (error)
                *error = insert.error();
            return false;
        }
        insert.reset();
        sqlite3_stmt *st = insert.handle();
        sqlite3_bind_int64(st, 1, row.rowid);
        int parameter = 2;
        for (int i = 0; i < length; ++i) {
            if (i == target.rowidColumn)
                continue;
            const pages::Value &v = row.values[std::size_t(i)];
            if (i == row.cutColumn && v.kind == pages::Value::Kind::Text) {
                const QByteArray text = (FileSalvage::text(v, m_salvage.textEncoding()) + cutTextMark()).toUtf8();
                sqlite3_bind_text64(st, parameter++, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT,
                                    SQLITE_UTF8);
            } else {
                bindValue(st, parameter++, v, m_salvage.textEncoding());
            }
        }
        insert.step();
        if (insert.error().isError()) {
            if (error)
                *error = insert.error();
            return false;
        }
        if (sqlite3_changes(m_db) > 0) {
            *added = true;
            target.idSet.insert(row.rowid);
            if (row.cutColumn >= 0)
                ++target.textsCut;
        }
        return true;
    }

    Statement &statementFor(Target &target, int length)
    {
        auto it = target.inserts.find(length);
        if (it != target.inserts.end())
            return it->second;
        QStringList names{QStringLiteral("rowid")};
        for (int i = 0; i < length; ++i) {
            if (i != target.rowidColumn)
                names << quoteIdentifier(target.columns.at(i));
        }
        const QString sql =
            QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                .arg(quoteIdentifier(target.name), names.join(QStringLiteral(", ")),
                     QStringList(QList<QString>(names.size(), QStringLiteral("?"))).join(QStringLiteral(", ")));
        return target.inserts.emplace(length, Statement(m_db, sql)).first->second;
    }

    // The table for the rows of `table` that broke one of its rules; made
    // when first needed. -1 when it cannot be made.
    int keptApartTable(int table, EngineError *error)
    {
        for (std::size_t t = 0; t < m_targets.size(); ++t) {
            if (m_targets[t].kind == TableRepair::Kind::KeptApart && m_targets[t].rowsOf == table)
                return int(t);
        }
        const Target &source = m_targets.at(std::size_t(table));
        Target target{source.name + QStringLiteral(" (kept apart)"),
                      source.columns,
                      source.rowidColumn,
                      TableRepair::Kind::KeptApart,
                      table,
                      {},
                      {},
                      0};
        for (int n = 2;
             std::any_of(m_targets.cbegin(), m_targets.cend(),
                         [&](const Target &t) { return t.name.compare(target.name, Qt::CaseInsensitive) == 0; });
             ++n)
            target.name = QStringLiteral("%1 (kept apart %2)").arg(source.name).arg(n);
        QStringList columns;
        for (int i = 0; i < target.columns.size(); ++i)
            columns << quoteIdentifier(target.columns.at(i))
                    + (i == target.rowidColumn ? QStringLiteral(" INTEGER PRIMARY KEY") : QString());
        if (!execSql(m_db,
                     QStringLiteral("CREATE TABLE %1 (%2)")
                         .arg(quoteIdentifier(target.name), columns.join(QStringLiteral(", "))),
                     error))
            return -1;
        m_targets.push_back(std::move(target));
        return int(m_targets.size() - 1);
    }

    // The table a CREATE UNIQUE INDEX statement is on, when its keys are
    // plain columns and it covers every row; -1 otherwise.
    int uniqueIndexTable(const QString &sql)
    {
        m_indexKeys.clear();
        m_indexCollations.clear();
        sqlite3 *scratch = nullptr;
        if (sqlite3_open_v2(":memory:", &scratch, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(scratch);
            return -1;
        }
        int found = -1;
        bool ok = true;
        for (const QString &create : m_salvage.tableStatements())
            ok = ok && execSql(scratch, create, nullptr);
        if (ok && execSql(scratch, sql, nullptr)) {
            Statement index(scratch, QStringLiteral("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index'"));
            if (index.step()) {
                const QString name = index.value(0).toString();
                const QString table = index.value(1).toString();
                Statement list(scratch,
                               QStringLiteral("SELECT \"unique\", partial FROM pragma_index_list(?) WHERE name = ?"));
                list.bind(1, table);
                list.bind(2, name);
                bool plain = list.step() && list.int64(0) != 0 && list.int64(1) == 0;
                Statement keys(scratch,
                               QStringLiteral("SELECT cid, name, coll FROM pragma_index_xinfo(?) WHERE key = 1 "
                                              "ORDER BY seqno"));
                keys.bind(1, name);
                while (plain && keys.step()) {
                    if (keys.int64(0) < 0)
                        plain = false;
                    m_indexKeys << keys.value(1).toString();
                    m_indexCollations << keys.value(2).toString();
                }
                for (std::size_t t = 0; plain && t < m_targets.size(); ++t) {
                    if (m_targets[t].kind == TableRepair::Kind::Table
                        && m_targets[t].name.compare(table, Qt::CaseInsensitive) == 0)
                        found = int(t);
                }
            }
        }
        sqlite3_close_v2(scratch);
        return m_indexKeys.isEmpty() ? -1 : found;
    }

    // Moves every row but the first of each group the index would hold twice.
    bool moveDuplicates(int table, EngineError *error)
    {
        QStringList notNull;
        QStringList groups;
        for (int i = 0; i < m_indexKeys.size(); ++i) {
            notNull << quoteIdentifier(m_indexKeys.at(i)) + QStringLiteral(" IS NOT NULL");
            groups << quoteIdentifier(m_indexKeys.at(i)) + QStringLiteral(" COLLATE ")
                    + quoteIdentifier(m_indexCollations.at(i));
        }
        const QString name = quoteIdentifier(m_targets.at(std::size_t(table)).name);
        const QString where = notNull.join(QStringLiteral(" AND "));
        Statement duplicates(m_db,
                             QStringLiteral("SELECT rowid FROM %1 WHERE %2 AND rowid NOT IN (SELECT min(rowid) "
                                            "FROM %1 WHERE %2 GROUP BY %3)")
                                 .arg(name, where, groups.join(QStringLiteral(", "))));
        std::vector<qint64> ids;
        while (duplicates.step())
            ids.push_back(duplicates.int64(0));
        if (duplicates.error().isError()) {
            if (error)
                *error = duplicates.error();
            return false;
        }
        if (ids.empty())
            return true;
        const int apart = keptApartTable(table, error);
        if (apart < 0)
            return false;
        const QString columns = quotedColumns(m_targets.at(std::size_t(table)).columns);
        Statement copy(m_db,
                       QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT rowid, %2 FROM %3 WHERE rowid = ?")
                           .arg(quoteIdentifier(m_targets.at(std::size_t(apart)).name), columns, name));
        Statement remove(m_db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(name));
        for (qint64 id : ids) {
            copy.reset();
            copy.bind(1, id);
            copy.step();
            remove.reset();
            remove.bind(1, id);
            remove.step();
            if (copy.error().isError() || remove.error().isError()) {
                if (error)
                    *error = copy.error().isError() ? copy.error() : remove.error();
                return false;
            }
            m_targets[std::size_t(table)].idSet.erase(id);
            m_targets[std::size_t(apart)].idSet.insert(id);
        }
        return true;
    }

    sqlite3 *m_db;
    const FileSalvage &m_salvage;
    std::vector<Target> m_targets;
    QStringList m_indexKeys;
    QStringList m_indexCollations;
};

bool writeRecoveredCopy(const FileSalvage &salvage, const QString &partial, RepairReport *report,
                        DatabaseSummary *expected, EngineError *error)
{
    RawDatabase fresh;
    if (!fresh.open(partial, RawDatabase::ReadWrite, error))
        return false;
    // A file no one else sees yet needs no journal; it is synced once, after its check.
    if (!fresh.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN"), error))
        return false;
    for (const QString &sql : salvage.tableStatements()) {
        if (!execSql(fresh.handle(), sql, error))
            return false;
    }
    // The writer's statements end before the file is closed.
    {
        RowWriter writer(fresh.handle(), salvage);
        const FileSalvage::RowSink sink = [&writer](int table, const pages::TableCell &row, EngineError *e) {
            return writer.write(table, row, e);
        };
        if (!salvage.copyRows(sink, error))
            return false;
        for (const QString &sql : salvage.laterStatements()) {
            if (!writer.createLater(sql, error))
                return false;
        }
        if (!writer.finish(report, &expected->tables, error))
            return false;
    }
    // The schema as the writer left it is what the file must show when read anew.
    return fresh.exec(QStringLiteral("COMMIT"), error) && summarizeSchema(fresh.handle(), expected, error)
        && fresh.close(error);
}

// Gives the damaged file a second name, which stays when the repaired file
// takes the first: at no moment is the database without its name.
bool keepDamagedFile(const QString &path, const QString &kept, EngineError *error)
{
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(kept);
    if (::link(from.constData(), to.constData()) != 0) {
        // A file system without hard links: a copy, on the disk before the swap.
        if (!createOwnerOnlyFile(kept, error))
            return false;
        QFile::remove(kept);
        if (!QFile::copy(path, kept)) {
            QFile::remove(kept);
            return fail(error, Err::CannotOpen,
                        QStringLiteral("Could not keep a copy of the damaged file as '%1'.").arg(kept));
        }
        if (!syncFile(kept, error)) {
            QFile::remove(kept);
            return false;
        }
    }
    ::chmod(to.constData(), 0600);
    return true;
}

} // namespace

namespace DBEngine {

bool RepairDatabase(const QString &name, EngineError *error, RepairReport *report, const DamagedFileKeeper &keeper)
{
    RepairReport local;
    RepairReport &result = report ? *report : local;
    result = RepairReport();
    // A linked database is repaired where it lies; the link stays as it is.
    const QFileInfo info(name);
    const QString path = info.isSymLink() ? info.canonicalFilePath() : name;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return fail(error, Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(name));
    EngineError e;
    if (!settleInterruptedWrite(path, &e)) {
        if (error)
            *error = repairError(path, e);
        return false;
    }
    if (isWhole(path))
        return true;
    result.wasDamaged = true;

    FileSalvage salvage;
    if (!salvage.open(path, &e)) {
        if (error)
            *error = repairError(path, e);
        return false;
    }

    // The fresh file is written without a journal; a journal of that name
    // left by anything else must not be taken for its own.
    const QString partial = partialNameFor(path);
    QFile::remove(partial + QStringLiteral("-journal"));
    QFile::remove(partial);
    QString kept;
    auto failAndClean = [&](const EngineError &reason) {
        QFile::remove(partial);
        if (!kept.isEmpty())
            QFile::remove(kept);
        const RepairReport none;
        result = none;
        result.wasDamaged = true;
        if (error)
            *error = repairError(path, reason);
        return false;
    };
    DatabaseSummary expected;
    if (!createOwnerOnlyFile(partial, &e) || !writeRecoveredCopy(salvage, partial, &result, &expected, &e))
        return failAndClean(e);
    if (result.rowsRecovered == 0 && !salvage.schemaReadable())
        return failAndClean({Err::UnrecognizedFormat,
                             QStringLiteral("nothing in it can be read as a database; it "
                                            "has not been changed.")});

    startWriteback(partial);
    // Rows salvaged from damaged pages may carry damage of their own: the
    // fresh file is always read back whole.
    if (!checkCopy(partial, expected, ReadBack::Always, &e))
        return failAndClean(e);
    // The keeper writes into the checked copy before it is synced.
    const QString keptByKeeper = keeper ? keeper(path, partial) : QString();
    const QString aside = keptByKeeper.isEmpty() ? asideNameFor(path, QStringLiteral("DAMAGED")) : keptByKeeper;
    if (!syncFile(partial, &e) || !keepDamagedFile(path, aside, &e))
        return failAndClean(e);
    kept = aside;
    if (!syncFolder(QFileInfo(path).absolutePath(), &e) || !syncFolder(QFileInfo(kept).absolutePath(), &e)
        || !renameReplacing(partial, path, &e))
        return failAndClean(e);
    result.damagedCopy = kept;
    result.damagedCopyIsChange = !keptByKeeper.isEmpty();
    // The repaired file has its name now. Should the folder fail to sync, a
    // power cut could at worst bring back the damaged file, never lose both.
    syncFolder(QFileInfo(path).absolutePath(), nullptr);
    return true;
}

} // namespace DBEngine
} // namespace store
