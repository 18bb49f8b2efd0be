#include "support/Customers.h"

#include "store/Schema.h"
#include "store/Statement.h"

#include <QDate>
#include <QStringList>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

namespace {
struct Connection {
    explicit Connection(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~Connection() { sqlite3_close(db); }
    sqlite3 *db = nullptr;
};

QVariantMap readOne(const QString &path, const QString &where, const QVariant &value)
{
    Connection c(path);
    store::Statement st(c.db, QStringLiteral("SELECT * FROM Information WHERE %1 = ?").arg(where));
    st.bind(1, value);
    QVariantMap out;
    if (!st.step())
        return out;
    const auto &fields = store::Schema::information().fields;
    for (int i = 0; i < st.columnCount() && i < fields.size(); ++i)
        out.insert(fields.at(i).name, st.value(i));
    return out;
}

bool insertRow(sqlite3 *db, const CustomerRow &row)
{
    QStringList names, marks;
    QVariantList params;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        names << store::quoteIdentifier(it.key());
        marks << QStringLiteral("?");
        params << (it.value().metaType().id() == QMetaType::QDate ? QVariant(it.value().toDate().toString(Qt::ISODate))
                                                                  : it.value());
    }
    const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO Information DEFAULT VALUES")
                                        : QStringLiteral("INSERT INTO Information (%1) VALUES (%2)")
                                              .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    store::EngineError e;
    const bool written = store::execSql(db, sql, &e, params);
    EXPECT_TRUE(written) << e.text.toStdString();
    return written;
}
} // namespace

void insertCustomers(sqlite3 *db, const QList<CustomerRow> &rows)
{
    const bool own = sqlite3_get_autocommit(db) != 0;
    store::EngineError e;
    if (own) {
        ASSERT_TRUE(store::execSql(db, QStringLiteral("BEGIN"), &e)) << e.text.toStdString();
    }
    for (const CustomerRow &row : rows) {
        if (!insertRow(db, row)) {
            if (own)
                store::execSql(db, QStringLiteral("ROLLBACK"), nullptr);
            return;
        }
    }
    if (own) {
        ASSERT_TRUE(store::execSql(db, QStringLiteral("COMMIT"), &e)) << e.text.toStdString();
    }
}

void insertCustomers(const QString &databasePath, const QList<CustomerRow> &rows)
{
    Connection c(databasePath);
    ASSERT_TRUE(c.db);
    insertCustomers(c.db, rows);
}

qint64 insertCustomer(const QString &databasePath, const CustomerRow &values)
{
    Connection c(databasePath);
    EXPECT_TRUE(c.db);
    return c.db && insertRow(c.db, values) ? sqlite3_last_insert_rowid(c.db) : 0;
}

void insertNumberedCustomers(sqlite3 *db, int count)
{
    store::EngineError e;
    ASSERT_TRUE(store::execSql(db,
                               QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                              "WHERE i < ?1) INSERT INTO Information (LockerNumber, LastName) "
                                              "SELECT i, 'Name' || i FROM n"),
                               &e, {count}))
        << e.text.toStdString();
}

void insertNumberedCustomers(const QString &databasePath, int count)
{
    Connection c(databasePath);
    ASSERT_TRUE(c.db);
    insertNumberedCustomers(c.db, count);
}

void insertVariedCustomers(const QString &databasePath, int count, int deleteEvery)
{
    Connection c(databasePath);
    ASSERT_TRUE(c.db);
    store::EngineError e;
    ASSERT_TRUE(store::execSql(c.db, QStringLiteral("BEGIN"), &e)) << e.text.toStdString();
    const QString fill = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) "
        "INSERT INTO Information (LockerNumber, KeyNumber, KeyDeposit, Combo1, DateRented, DateToRenew, FirstName, "
        "LastName, Address1, City, State, Zip, Phone1, EMail, Notes, SSNumber, VIBNumber, Adult, Junior, Senior, "
        "MixedLeague, Winter) "
        "SELECT i, i * 7 % 100000, (i % 5) * 5, printf('%02d-%02d-%02d', i % 40, i % 39, i % 38), "
        "date('2015-01-01', '+' || (i % 4000) || ' days'), date('2016-01-01', '+' || (i % 4000) || ' days'), "
        "char(65 + i % 26) || 'irst' || (i % 997), char(65 + (i * 7) % 26) || 'ast' || (i % 9973), "
        "i || ' Main Street', 'Springfield', 'IL', printf('%05d-0000', i % 99999), "
        "printf('(555)%03d-%04d', i % 1000, i % 10000), 'bowler' || i || '@example.com', "
        "CASE WHEN i % 10 = 0 THEN 'Prefers the end locker near lane ' || (i % 40) END, "
        "printf('%03d-%02d-%04d', i % 1000, i % 100, i % 10000), i, i % 2, (i + 1) % 2, 0, i % 3 = 0, 1 FROM n");
    ASSERT_TRUE(store::execSql(c.db, fill, &e, {count})) << e.text.toStdString();
    if (deleteEvery > 0) {
        ASSERT_TRUE(store::execSql(c.db, QStringLiteral("DELETE FROM Information WHERE LockerNumber % ?1 = 0"), &e,
                                   {deleteEvery}));
    }
    ASSERT_TRUE(store::execSql(c.db, QStringLiteral("COMMIT"), &e)) << e.text.toStdString();
}

QVariantMap storedCustomer(const QString &databasePath, qint64 lockerNumber)
{
    return readOne(databasePath, QStringLiteral("LockerNumber"), lockerNumber);
}

QVariantMap storedCustomerWhere(const QString &databasePath, const QString &field, const QVariant &value)
{
    return readOne(databasePath, store::quoteIdentifier(field), value);
}

int storedCustomerCount(const QString &databasePath)
{
    Connection c(databasePath);
    store::Statement st(c.db, QStringLiteral("SELECT count(*) FROM Information"));
    return st.step() ? int(st.int64(0)) : -1;
}

} // namespace testing_support
