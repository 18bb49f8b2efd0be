// Repair: a file that fails the integrity check is rebuilt from every row it
// still gives up, into a fresh file with the delivered tables, which takes
// the damaged file's place only once it has passed its own check.
#include "store/DBEngine.h"

#include "store/CopyCheck.h"
#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/TableSalvage.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

namespace store {

namespace {

EngineError repairError(const QString &path, const EngineError &e)
{
    return {e.number, QStringLiteral("Could not repair '%1': %2").arg(path, e.text)};
}

// Whether the engine finds the file whole. A check that cannot even run
// (a page it needs is unreadable) counts as damage.
bool passesIntegrityCheck(sqlite3 *db)
{
    Statement st(db, QStringLiteral("PRAGMA integrity_check"));
    QStringList results;
    while (st.step())
        results << st.value(0).toString();
    return st.isValid() && !st.error().isError() && results == QStringList{QStringLiteral("ok")};
}

// The delivered columns that the damaged table still has, in delivered order.
// An empty list with no error: the table is not in the file.
bool readableColumns(sqlite3 *db, const TableDef &table, QStringList *columns, EngineError *error)
{
    Statement info(db, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    info.bind(1, table.name);
    QStringList present;
    while (info.step())
        present << info.value(0).toString();
    if (!info.isValid() || info.error().isError()) {
        if (error)
            *error = info.error();
        return false;
    }
    columns->clear();
    for (const FieldDef &f : table.fields) {
        for (const QString &name : std::as_const(present)) {
            if (name.compare(f.name, Qt::CaseInsensitive) == 0) {
                *columns << f.name;
                break;
            }
        }
    }
    return true;
}

bool createDeliveredTables(RawDatabase &fresh, EngineError *error)
{
    for (const QString &sql : Schema::createStatements()) {
        if (sql.startsWith(QLatin1String("CREATE"), Qt::CaseInsensitive) && !fresh.exec(sql, error))
            return false;
    }
    return true;
}

// Copies what can be read of one table; adds to the report and the summary.
bool salvageTable(sqlite3 *damaged, RawDatabase &fresh, const TableDef &table, RepairReport *report,
                  TableSummary *summary, EngineError *error)
{
    summary->table = table.name;
    QStringList columns;
    if (!readableColumns(damaged, table, &columns, error))
        return false;
    if (columns.isEmpty())
        return true;

    QStringList names{QStringLiteral("rowid")};
    for (const QString &c : std::as_const(columns))
        names << quoteIdentifier(c);
    Statement insert(fresh.handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(quoteIdentifier(table.name), names.join(QStringLiteral(", ")),
                                              QStringList(QList<QString>(names.size(), QStringLiteral("?")))
                                                  .join(QStringLiteral(", "))));
    if (!insert.isValid()) {
        if (error)
            *error = insert.error();
        return false;
    }
    const int valueCount = int(names.size());
    const TableSalvage::RowSink copyRow = [&insert, valueCount](sqlite3_stmt *row, EngineError *e) {
        insert.reset();
        for (int i = 0; i < valueCount; ++i)
            sqlite3_bind_value(insert.handle(), i + 1, sqlite3_column_value(row, i));
        insert.step();
        if (insert.error().isError()) {
            if (e)
                *e = insert.error();
            return false;
        }
        return true;
    };

    TableSalvage salvage(damaged, table.name, columns);
    if (!salvage.run(copyRow, error))
        return false;
    const QVector<qint64> &ids = salvage.recovered();
    summary->rows = ids.size();
    if (!ids.isEmpty()) {
        summary->firstRowid = *std::min_element(ids.cbegin(), ids.cend());
        summary->lastRowid = *std::max_element(ids.cbegin(), ids.cend());
    }
    report->rowsRecovered += summary->rows;
    report->rowsLost += salvage.lostRows();
    return true;
}

bool writeRecoveredCopy(sqlite3 *damaged, const QString &partial, RepairReport *report,
                        QList<TableSummary> *summaries, EngineError *error)
{
    RawDatabase fresh;
    if (!fresh.open(partial, RawDatabase::ReadWrite, error))
        return false;
    // A file no one else sees yet needs no journal; it is synced once, after its check.
    if (!fresh.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN"), error)
        || !createDeliveredTables(fresh, error))
        return false;
    for (const TableDef *table : {&Schema::information(), &Schema::centerInformation()}) {
        TableSummary summary;
        if (!salvageTable(damaged, fresh, *table, report, &summary, error))
            return false;
        summaries->append(summary);
    }
    return fresh.exec(QStringLiteral("COMMIT"), error) && fresh.close(error);
}

} // namespace

namespace DBEngine {

bool RepairDatabase(const QString &path, EngineError *error, RepairReport *report)
{
    RepairReport local;
    RepairReport &result = report ? *report : local;
    result = RepairReport();
    if (!QFileInfo(path).isFile())
        return fail(error, Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));

    EngineError e;
    RawDatabase damaged;
    // Read-write, so that the engine first rolls back a transaction that a
    // crash left unfinished; nothing else is written to this file.
    if (!damaged.open(path, RawDatabase::ReadWrite, &e)
        || !damaged.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"), &e)) {
        if (error)
            *error = repairError(path, e.number == Err::Corrupt || e.number == Err::UnrecognizedFormat
                                           ? EngineError{e.number, QStringLiteral("the file's list of tables cannot "
                                                                                  "be read (%1).")
                                                                       .arg(e.text)}
                                           : e);
        return false;
    }
    if (passesIntegrityCheck(damaged.handle()))
        return true;
    result.wasDamaged = true;

    // The fresh file is written without a journal; a journal of that name
    // left by anything else must not be taken for its own.
    const QString partial = partialNameFor(path);
    QFile::remove(partial + QStringLiteral("-journal"));
    QFile::remove(partial);
    auto failAndClean = [&](const EngineError &reason) {
        QFile::remove(partial);
        result.rowsRecovered = 0;
        result.rowsLost = 0;
        if (error)
            *error = repairError(path, reason);
        return false;
    };
    QList<TableSummary> summaries;
    if (!createOwnerOnlyFile(partial, &e) || !writeRecoveredCopy(damaged.handle(), partial, &result, &summaries, &e))
        return failAndClean(e);
    damaged.close();

    startWriteback(partial);
    if (!checkCopy(partial, summaries, &e) || !syncFile(partial, &e) || !renameReplacing(partial, path, &e))
        return failAndClean(e);
    // The repaired file has its name now. Should the folder fail to sync, a
    // power cut could at worst bring back the damaged file, never lose both.
    syncFolder(QFileInfo(path).absolutePath(), nullptr);
    return true;
}

} // namespace DBEngine
} // namespace store
