#include "support/TwelveCustomers.h"

#include "store/Statement.h"

#include <QVariant>
#include <gtest/gtest.h>
#include <sqlite3.h>

void insertTwelveCustomers(const QString &databasePath)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(databasePath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const char *rows[][5] = {
        {"1", "SMITH", "ANN", "SPRINGFIELD", "2024-01-15"}, {"2", "Smith", "Bob", "Shelbyville", "2023-03-01"},
        {"3", "O'NEIL", "Cy", "Springfield", "1999-01-15"}, {"4", "Adams", "Di", "Ogdenville", "2005-01-15"},
        {"5", "Baker", "Ed", "Springfield", nullptr},       {"6", nullptr, "Fay", "Shelbyville", "2024-02-29"},
        {"7", "Cole", "Gus", "Springfield", "2010-06-01"},  {"8", "Dunn", "Hal", "Ogdenville", "2011-07-04"},
        {"9", "Evans", "Ida", "Springfield", "2012-12-24"}, {"10", "Ford", "Jo", "Shelbyville", "2013-05-05"},
        {"11", "Gray", "Kim", "Springfield", "2014-08-08"}, {"12", "Hill", "Lou", "Ogdenville", "2015-09-09"},
    };
    for (auto &r : rows)
        store::execSql(db,
                       "INSERT INTO Information (LockerNumber, LastName, FirstName, City, DateRented, KeyDeposit, "
                       "Adult) VALUES (?, ?, ?, ?, ?, ?, ?)",
                       nullptr,
                       {QString(r[0]).toInt(), r[1] ? QVariant(QString(r[1])) : QVariant(), QString(r[2]),
                        QString(r[3]), r[4] ? QVariant(QString(r[4])) : QVariant(), QString(r[0]).toInt() * 5,
                        QString(r[0]).toInt() % 2});
    sqlite3_close(db);
}
