#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace testing_support {

// Rows of the customer table written and read straight through the file,
// beside the windows under test.
void insertCustomer(const QString &databasePath, const QVariantMap &values);
// The stored values of the row with this locker number (the raw column
// values as the file holds them); empty if there is none.
QVariantMap storedCustomer(const QString &databasePath, qint64 lockerNumber);
QVariantMap storedCustomerWhere(const QString &databasePath, const QString &field, const QVariant &value);
int storedCustomerCount(const QString &databasePath);

} // namespace testing_support
