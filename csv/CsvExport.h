#pragma once

#include "csv/CsvImport.h"

#include <QString>
#include <QVector>

struct sqlite3;

namespace store {
class Database;
class Recordset;
struct TableDef;
} // namespace store

namespace csv {

struct ExportResult {
    bool succeeded = false;
    bool cancelled = false;
    qint64 rows = 0;
    QString error;
};

// Writes customers to a CSV file (RFC 4180, UTF-8 with a byte order mark so
// that spreadsheets read its letters right): a first line of the field
// names, then one line per customer; dates as mm/dd/yyyy, yes/no as Yes/No,
// values in quotes where they hold a comma, a quote, a line break or blanks
// at either end. Nothing is left under the file's name unless it was
// written whole.
class CustomerExport
{
public:
    // Every customer of the database (a file, or a server's URL), in table order.
    static ExportResult allCustomers(const QString &databasePath, const QString &csvPath,
                                     const Progress &progress = {});
    // The rows of a record set (a filter's, a sort's), in its order.
    static ExportResult recordset(const store::Recordset &rows, const QString &csvPath, const Progress &progress = {});

    // The rows of `table` with these row ids, or all of them in table order
    // when `ids` is null, through an open connection.
    static ExportResult rows(sqlite3 *db, const store::TableDef &table, const QVector<qint64> *ids,
                             const QString &csvPath, const Progress &progress = {});
    // The same through the engine's interface, for a database on a server.
    static ExportResult throughEngine(store::Database &db, const store::TableDef &table, const QVector<qint64> *ids,
                                      const QString &csvPath, const Progress &progress = {});
};

} // namespace csv
