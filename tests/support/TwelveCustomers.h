#pragma once

#include "support/Customers.h"

// Twelve customers with known lockers, names, cities and rental dates.
QList<testing_support::CustomerRow> twelveCustomers();
// The same, written into the database file of a test program folder.
void insertTwelveCustomers(const QString &databasePath);
