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

// Copies the rows into the fresh file, one insert per table and record
// length (a row written before a column was added is shorter: the column's
// default fills it). A row id already taken keeps the row that came first.
class RowWriter
{
public:
    RowWriter(sqlite3 *fresh, const FileSalvage &salvage) : m_db(fresh), m_salvage(salvage)
    {
        m_ids.resize(salvage.tables().size());
    }

    bool write(int table, const pages::TableCell &row, EngineError *error)
    {
        const SalvageTable &t = m_salvage.tables().at(table);
        const int length = int(std::min<std::size_t>(row.values.size(), std::size_t(t.columns.size())));
        Statement &insert = statementFor(table, length);
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
            if (i != t.rowidColumn)
                bindValue(st, parameter++, row.values[std::size_t(i)], m_salvage.textEncoding());
        }
        insert.step();
        if (insert.error().isError()) {
            if (error)
                *error = insert.error();
            return false;
        }
        if (sqlite3_changes(m_db) > 0)
            m_ids[std::size_t(table)].push_back(row.rowid);
        return true;
    }

    const std::vector<qint64> &ids(int table) const { return m_ids[std::size_t(table)]; }

private:
    Statement &statementFor(int table, int length)
    {
        const quint64 key = (quint64(table) << 32) | quint64(length);
        auto it = m_inserts.find(key);
        if (it != m_inserts.end())
            return it->second;
        const SalvageTable &t = m_salvage.tables().at(table);
        QStringList names{QStringLiteral("rowid")};
        for (int i = 0; i < length; ++i) {
            if (i != t.rowidColumn)
                names << quoteIdentifier(t.columns.at(i));
        }
        const QString sql =
            QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                .arg(quoteIdentifier(t.name), names.join(QStringLiteral(", ")),
                     QStringList(QList<QString>(names.size(), QStringLiteral("?"))).join(QStringLiteral(", ")));
        return m_inserts.emplace(key, Statement(m_db, sql)).first->second;
    }

    sqlite3 *m_db;
    const FileSalvage &m_salvage;
    std::unordered_map<quint64, Statement> m_inserts;
    std::vector<std::vector<qint64>> m_ids;
};

bool copyAllRows(sqlite3 *fresh, const FileSalvage &salvage, RepairReport *report, QList<TableSummary> *summaries,
                 EngineError *error);

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
    if (!copyAllRows(fresh.handle(), salvage, report, &expected->tables, error))
        return false;
    for (const QString &sql : salvage.laterStatements()) {
        if (!execSql(fresh.handle(), sql, error))
            return false;
    }
    // The schema as the writer left it is what the file must show when read anew.
    return fresh.exec(QStringLiteral("COMMIT"), error) && summarizeSchema(fresh.handle(), expected, error)
        && fresh.close(error);
}

bool copyAllRows(sqlite3 *fresh, const FileSalvage &salvage, RepairReport *report, QList<TableSummary> *summaries,
                 EngineError *error)
{
    RowWriter writer(fresh, salvage);
    const FileSalvage::RowSink sink = [&writer](int table, const pages::TableCell &row, EngineError *e) {
        return writer.write(table, row, e);
    };
    if (!salvage.copyRows(sink, error))
        return false;

    for (int t = 0; t < salvage.tables().size(); ++t) {
        const SalvageTable &table = salvage.tables().at(t);
        const std::vector<qint64> &ids = writer.ids(t);
        TableRepair repaired{table.name, qint64(ids.size()), 0};
        const std::unordered_set<qint64> recovered(ids.cbegin(), ids.cend());
        for (qint64 id : table.namedRowids) {
            if (!recovered.count(id))
                ++repaired.lost;
        }
        TableSummary summary{table.name, qint64(ids.size()), 0, 0};
        if (!ids.empty()) {
            summary.firstRowid = *std::min_element(ids.cbegin(), ids.cend());
            summary.lastRowid = *std::max_element(ids.cbegin(), ids.cend());
        }
        // The program needs the one row of the center's settings.
        if (ids.empty() && table.name.compare(Schema::centerInformation().name, Qt::CaseInsensitive) == 0) {
            Statement add(fresh, QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(table.name)));
            add.step();
            if (add.error().isError()) {
                if (error)
                    *error = add.error();
                return false;
            }
            const qint64 id = sqlite3_last_insert_rowid(fresh);
            summary = {table.name, 1, id, id};
            report->centerRowAdded = true;
        }
        report->tables << repaired;
        report->rowsRecovered += repaired.recovered;
        report->rowsLost += repaired.lost;
        summaries->append(summary);
    }
    report->rowsUnmatched = salvage.unmatchedRows();
    return true;
}

// The name the damaged file is kept under: "VANTREL-DAMAGED-2026-12-07.MDB",
// with a number added when a file of that name is there already.
QString damagedNameFor(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = info.completeBaseName().toUpper() + QStringLiteral("-DAMAGED-")
        + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix().toUpper();
    QDir folder = info.absoluteDir();
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? stem + suffix : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
        const QFileInfo candidate(folder.filePath(name));
        if (!candidate.exists() && !candidate.isSymLink())
            return candidate.filePath();
    }
}

// Gives the damaged file a second name, which stays when the repaired file
// takes the first: at no moment is the database without its name.
bool keepDamagedFile(const QString &path, QString *kept, EngineError *error)
{
    *kept = damagedNameFor(path);
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(*kept);
    if (::link(from.constData(), to.constData()) != 0) {
        // A file system without hard links: a copy, on the disk before the swap.
        if (!createOwnerOnlyFile(*kept, error))
            return false;
        QFile::remove(*kept);
        if (!QFile::copy(path, *kept)) {
            QFile::remove(*kept);
            return fail(error, Err::CannotOpen,
                        QStringLiteral("Could not keep a copy of the damaged file as '%1'.").arg(*kept));
        }
        if (!syncFile(*kept, error)) {
            QFile::remove(*kept);
            return false;
        }
    }
    ::chmod(to.constData(), 0600);
    return true;
}

} // namespace

namespace DBEngine {

bool RepairDatabase(const QString &name, EngineError *error, RepairReport *report)
{
    RepairReport local;
    RepairReport &result = report ? *report : local;
    result = RepairReport();
    // A linked database is repaired where it lies; the link stays as it is.
    const QFileInfo info(name);
    const QString path = info.isSymLink() ? info.canonicalFilePath() : name;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return fail(error, Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(name));
    if (isWhole(path))
        return true;
    result.wasDamaged = true;

    EngineError e;
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
    if (!checkCopy(partial, expected, ReadBack::Always, &e) || !syncFile(partial, &e)
        || !keepDamagedFile(path, &kept, &e) || !syncFolder(QFileInfo(path).absolutePath(), &e)
        || !renameReplacing(partial, path, &e))
        return failAndClean(e);
    result.damagedCopy = kept;
    // The repaired file has its name now. Should the folder fail to sync, a
    // power cut could at worst bring back the damaged file, never lose both.
    syncFolder(QFileInfo(path).absolutePath(), nullptr);
    return true;
}

} // namespace DBEngine
} // namespace store
