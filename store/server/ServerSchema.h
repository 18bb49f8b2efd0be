#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"

namespace store {

class ServerConnection;

// The program's two tables on a PostgreSQL server, made from the same
// TableDefs as the file: the same fields and indexes, kinds mapped to the
// server's types (yes/no boolean, long integer, date date, text text with
// its length as a check, memo text), and besides
//   "RowId"       bigint identity, the row's number (the file's rowid)
//   "RowVersion"  raised by the server on every update of the row
// Text columns carry the case-blind ICU collation vantrel_text, so that a
// person querying the server directly compares names as the program does.
// The program's own statements compare and order texts by postgres::textKey()
// (sql/PostgresEmitter.h): every letter case-folded, trailing blanks dropped,
// code point by code point, exactly the file's order.
namespace ServerSchema {

// The server type of a field, with its constraint.
QString columnType(const FieldDef &field);

// Every statement that creates the schema in an empty database, the one
// CenterInformation row included.
QStringList createStatements();
// The same in two parts, for a copy of many rows: the indexes are built
// faster over the rows all at once than row by row as they arrive.
QStringList tableStatements();
QStringList indexStatements();

// Whether the schema may be created: the database holds no table, view or
// sequence, and keeps its texts as UTF-8.
bool checkCreatable(ServerConnection &connection, EngineError *error);

// Creates the schema in one transaction. Refuses a database that holds a
// table, view or sequence already, or whose texts are not UTF-8.
bool create(ServerConnection &connection, EngineError *error);

// What --create-server-schema says on success.
QString createdText(const ServerConnection &connection);

} // namespace ServerSchema
} // namespace store
