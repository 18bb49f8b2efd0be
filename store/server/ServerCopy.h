#pragma once

#include "store/EngineError.h"

#include <QString>
#include <functional>

namespace store {

class ServerConnection;

// A database file's rows moved to a server and back, for a center that
// moves to several desks (or away from them). Each direction is all or
// nothing, keeps every customer's row number, and compares after the copy
// every field of every row, as the receiving side holds it, with what was
// sent (the row count and a BLAKE2b digest of all rows in row order).
namespace ServerCopy {

struct Summary {
    qint64 customers = 0;
    qint64 centerRows = 0;
};

// Copies the file's two tables into a server database in one transaction:
// an empty database gets the schema first; one that has the schema must
// hold no customers (its delivered settings row is replaced).
bool toServer(const QString &databasePath, ServerConnection &server, Summary *summary, EngineError *error);

// Replaces every row of the server's two tables by the file's, in one
// transaction that also compares them: a failure leaves the server's rows
// as they were. Rows keep their numbers and get a version no desk holds;
// new rows are numbered after every number given before. Other desks'
// saves wait meanwhile, and then find their row changed or gone.
// `whileLocked`, when given, runs once no desk can write any more and before
// a row is replaced (other connections can still read): what it reads is
// exactly what the replace takes away. Its failure stops the replace.
bool replaceOnServer(const QString &databasePath, ServerConnection &server, Summary *summary, EngineError *error,
                     const std::function<bool(EngineError *error)> &whileLocked = {});

// Writes the server's two tables, read in one snapshot, into a new
// database file, which must not exist; nothing is left under its name
// unless the whole copy passed its comparison.
bool fromServer(ServerConnection &server, const QString &databasePath, Summary *summary, EngineError *error);

// What the commands say when the copy is done.
QString copiedToText(const Summary &summary, const ServerConnection &server);
QString copiedFromText(const Summary &summary, const QString &databasePath);

} // namespace ServerCopy
} // namespace store
