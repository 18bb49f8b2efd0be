#pragma once

#include <QString>

namespace store {

// Which database the windows work on: the program folder's Vantrel.mdb, or
// a PostgreSQL database that several desks share. The program chooses at
// start (--database, the user's or the site's settings) and when the
// operator connects elsewhere; windows ask databaseName() when they open.
namespace DatabaseChoice {

// A server's connection URL, or the program folder's database file.
QString databaseName();
bool onServer();
// Empty: the program folder's file.
void setServerUrl(const QString &url);
QString serverUrl();
// The server password to connect with when the URL holds none (from the
// keyring, or asked); empty: libpq finds one itself (~/.pgpass) or none.
void setServerPassword(const QString &password);
QString serverPassword();

} // namespace DatabaseChoice
} // namespace store
