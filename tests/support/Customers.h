#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

struct sqlite3;

namespace testing_support {

// Customers written and read straight through the file, beside the code
// under test. A row names its fields; a QDate goes in as the ISO text the
// engine stores, a field left out keeps the table's default.
using CustomerRow = QVariantMap;

// Adds the rows in one transaction (or in the caller's, when one is open);
// a failure fails the calling test.
void insertCustomers(sqlite3 *db, const QList<CustomerRow> &rows);
void insertCustomers(const QString &databasePath, const QList<CustomerRow> &rows);
// One row, written at once; returns its row id (0 when it failed the test).
qint64 insertCustomer(const QString &databasePath, const CustomerRow &values);
// `count` customers numbered from 1: locker number i, last name "Name<i>",
// in one statement, so that a million go in within a second.
void insertNumberedCustomers(sqlite3 *db, int count);
void insertNumberedCustomers(const QString &databasePath, int count);
// `count` customers numbered from 1 with every field filled and varied, in
// one statement, then every `deleteEvery`-th of them deleted (0: none) to
// leave free pages.
void insertVariedCustomers(const QString &databasePath, int count, int deleteEvery = 0);

// The stored values of the row with this locker number (the raw column
// values as the file holds them); empty if there is none.
QVariantMap storedCustomer(const QString &databasePath, qint64 lockerNumber);
QVariantMap storedCustomerWhere(const QString &databasePath, const QString &field, const QVariant &value);
int storedCustomerCount(const QString &databasePath);

} // namespace testing_support
