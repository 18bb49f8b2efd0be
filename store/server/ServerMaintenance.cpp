#include "store/server/ServerMaintenance.h"

#include "store/Schema.h"
#include "store/server/ServerConnection.h"

namespace store::ServerMaintenance {

namespace {

QList<const TableDef *> tables()
{
    return {&Schema::information(), &Schema::centerInformation()};
}

// The table as to_regclass() reads it, bound as a value.
QString regclass(const QString &name)
{
    return QStringLiteral("public.") + quoteIdentifier(name);
}

QString tableNames()
{
    return QStringLiteral("%1 and %2").arg(Schema::information().name, Schema::centerInformation().name);
}

// Both tables exist and the role may work on them: VACUUM needs the owner
// of the table or of the database, REINDEX the table's (a superuser may do
// either). VACUUM would otherwise skip a table with a mere warning, and the
// compress would look done.
bool checkTables(ServerConnection &connection, bool compress, EngineError *error)
{
    const QString doing = compress ? QStringLiteral("compress") : QStringLiteral("repair");
    for (const TableDef *t : tables()) {
        ServerResult result;
        if (!connection.exec(QStringLiteral("SELECT pg_has_role(c.relowner, 'USAGE') OR ($2 AND pg_has_role(d.datdba, "
                                            "'USAGE')), current_user FROM pg_class c, pg_database d "
                                            "WHERE c.oid = to_regclass($1) AND d.datname = current_database()"),
                             {regclass(t->name), compress}, &result, error))
            return false;
        if (result.rowCount() == 0)
            return fail(error, Err::ItemNotFound,
                        QStringLiteral("The database %1 holds no table %2: it has no Vantrel tables to %3.")
                            .arg(connection.where(), t->name, doing));
        if (!result.value(0, 0).toBool())
            return fail(error, Err::ReadOnly,
                        QStringLiteral("Only the owner of the Vantrel tables%1 may %2 them; the role %3 is not.")
                            .arg(compress ? QStringLiteral(" or of the database ") + connection.where() : QString(),
                                 doing, result.text(0, 1)));
    }
    return true;
}

// The schema amcheck's functions are in, or why they cannot be used. An
// amcheck missing is created, which only a superuser may do.
bool amcheckSchema(ServerConnection &connection, QString *schema, RepairReport *report, EngineError *error)
{
    const QString find = QStringLiteral("SELECT n.nspname, has_function_privilege(format('%I.bt_index_check(regclass, "
                                        "boolean)', n.nspname), 'EXECUTE') AND has_function_privilege("
                                        "format('%I.verify_heapam(regclass, boolean, boolean, text, bigint, bigint)', "
                                        "n.nspname), 'EXECUTE') FROM pg_extension e JOIN pg_namespace n "
                                        "ON n.oid = e.extnamespace WHERE e.extname = 'amcheck'");
    ServerResult result;
    if (!connection.exec(find, {}, &result, error))
        return false;
    if (result.rowCount() == 0) {
        EngineError refused;
        if (!connection.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"), {}, nullptr, &refused)) {
            if (refused.number == Err::CannotOpen)
                return fail(error, refused.number, refused.text);
            QString reason = refused.text;
            if (reason.endsWith(QLatin1Char('.')))
                reason.chop(1);
            report->uncheckedWhy =
                QStringLiteral("the extension amcheck is not in the database and could not be added (%1); the "
                               "server's administrator can add it with CREATE EXTENSION amcheck")
                    .arg(reason);
            return true;
        }
        report->amcheckAdded = true;
        if (!connection.exec(find, {}, &result, error))
            return false;
    }
    if (!result.value(0, 1).toBool()) {
        report->uncheckedWhy =
            QStringLiteral("the role may not run the functions of amcheck; the server's administrator can allow "
                           "it with GRANT EXECUTE on bt_index_check and verify_heapam");
        return true;
    }
    *schema = result.text(0, 0);
    return true;
}

// Every B-tree index of the table, with every row of the table found in
// it, and the table's own pages and rows.
bool checkTable(ServerConnection &connection, const QString &schema, const TableDef &t, EngineError *error)
{
    ServerResult indexes;
    if (!connection.exec(QStringLiteral("SELECT c.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                                        "JOIN pg_am a ON a.oid = c.relam WHERE i.indrelid = to_regclass($1) "
                                        "AND a.amname = 'btree' ORDER BY c.relname"),
                         {regclass(t.name)}, &indexes, error))
        return false;
    for (int i = 0; i < indexes.rowCount(); ++i) {
        EngineError damage;
        if (!connection.exec(
                QStringLiteral("SELECT %1.bt_index_check(to_regclass($1), true)").arg(quoteIdentifier(schema)),
                {regclass(indexes.text(i, 0))}, nullptr, &damage))
            return fail(error, damage.number == Err::CannotOpen ? damage.number : Err::Corrupt,
                        damage.number == Err::CannotOpen
                            ? damage.text
                            : QStringLiteral("The index %1 of the table %2 is damaged: %3.")
                                  .arg(indexes.text(i, 0), t.name, damage.text));
    }
    ServerResult faults;
    if (!connection.exec(QStringLiteral("SELECT blkno, offnum, msg FROM %1.verify_heapam(to_regclass($1))")
                             .arg(quoteIdentifier(schema)),
                         {regclass(t.name)}, &faults, error))
        return false;
    if (faults.rowCount() > 0)
        return fail(error, Err::Corrupt,
                    QStringLiteral("The table %1 is damaged in %2 places, the first in block %3, item %4: %5. "
                                   "Rebuilding its indexes cannot mend its rows.")
                        .arg(t.name)
                        .arg(faults.rowCount())
                        .arg(faults.text(0, 0), faults.text(0, 1), faults.text(0, 2)));
    return true;
}

} // namespace

bool compact(ServerConnection &connection, EngineError *error)
{
    return checkTables(connection, true, error)
        && connection.exec(
            QStringLiteral("VACUUM (ANALYZE) %1, %2")
                .arg(quoteIdentifier(Schema::information().name), quoteIdentifier(Schema::centerInformation().name)),
            {}, nullptr, error);
}

bool repair(ServerConnection &connection, RepairReport *report, EngineError *error)
{
    if (!checkTables(connection, false, error))
        return false;
    RepairReport done;
    for (const TableDef *t : tables()) {
        ServerResult count;
        if (!connection.exec(QStringLiteral("REINDEX TABLE %1").arg(quoteIdentifier(t->name)), {}, nullptr, error)
            || !connection.exec(QStringLiteral("SELECT count(*) FROM pg_index WHERE indrelid = to_regclass($1)"),
                                {regclass(t->name)}, &count, error))
            return false;
        done.indexesRebuilt += count.value(0, 0).toInt();
    }
    QString schema;
    if (!amcheckSchema(connection, &schema, &done, error))
        return false;
    if (!schema.isEmpty()) {
        for (const TableDef *t : tables()) {
            if (!checkTable(connection, schema, *t, error))
                return false;
        }
        done.checked = true;
    }
    if (report)
        *report = done;
    return true;
}

QString compactedText(const ServerConnection &connection)
{
    return QStringLiteral("Your database has been successfully compressed.\nThe server ran VACUUM (ANALYZE) on the "
                          "tables %1 of the database %2: the room of deleted and replaced rows is free for new "
                          "ones, and the statistics the server plans its searches by are new.")
        .arg(tableNames(), connection.where());
}

QString repairedText(const RepairReport &report, const ServerConnection &connection)
{
    QString text = QStringLiteral("Your database has been successfully repaired.\nThe server rebuilt the %1 indexes "
                                  "of the tables %2 of the database %3 (REINDEX)")
                       .arg(report.indexesRebuilt)
                       .arg(tableNames(), connection.where());
    if (report.checked)
        return text
            + QStringLiteral(", then checked every index against every row, and the tables' pages and "
                             "rows, with amcheck (bt_index_check, verify_heapam): no damage found.")
            + (report.amcheckAdded ? QStringLiteral(" The extension amcheck was added to the database for the checks.")
                                   : QString());
    return text + QStringLiteral(". The server's checks did not run: %1.").arg(report.uncheckedWhy);
}

QString notCompactedText(const EngineError &error)
{
    return QStringLiteral("Your database has not been compressed; it is as it was.\n") + error.text;
}

QString notRepairedText(const EngineError &error)
{
    return QStringLiteral("Your database has not been repaired.\n") + error.text;
}

} // namespace store::ServerMaintenance
