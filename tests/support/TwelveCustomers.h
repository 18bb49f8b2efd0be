#pragma once

#include <QString>

// Twelve customers with known lockers, names, cities and rental dates,
// written into the database file of a test program folder.
void insertTwelveCustomers(const QString &databasePath);
