#include "support/TwelveCustomers.h"

QList<testing_support::CustomerRow> twelveCustomers()
{
    const char *rows[][5] = {
        {"1", "SMITH", "ANN", "SPRINGFIELD", "2024-01-15"}, {"2", "Smith", "Bob", "Shelbyville", "2023-03-01"},
        {"3", "O'NEIL", "Cy", "Springfield", "1999-01-15"}, {"4", "Adams", "Di", "Ogdenville", "2005-01-15"},
        {"5", "Baker", "Ed", "Springfield", nullptr},       {"6", nullptr, "Fay", "Shelbyville", "2024-02-29"},
        {"7", "Cole", "Gus", "Springfield", "2010-06-01"},  {"8", "Dunn", "Hal", "Ogdenville", "2011-07-04"},
        {"9", "Evans", "Ida", "Springfield", "2012-12-24"}, {"10", "Ford", "Jo", "Shelbyville", "2013-05-05"},
        {"11", "Gray", "Kim", "Springfield", "2014-08-08"}, {"12", "Hill", "Lou", "Ogdenville", "2015-09-09"},
    };
    QList<testing_support::CustomerRow> customers;
    for (auto &r : rows) {
        const int locker = QString(r[0]).toInt();
        customers.append({{"LockerNumber", locker},
                          {"LastName", r[1] ? QVariant(QString(r[1])) : QVariant()},
                          {"FirstName", QString(r[2])},
                          {"City", QString(r[3])},
                          {"DateRented", r[4] ? QVariant(QString(r[4])) : QVariant()},
                          {"KeyDeposit", locker * 5},
                          {"Adult", locker % 2}});
    }
    return customers;
}

void insertTwelveCustomers(const QString &databasePath)
{
    testing_support::insertCustomers(databasePath, twelveCustomers());
}
