#include "CustomerRows.h"

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
} // namespace

void insertCustomer(const QString &databasePath, const QVariantMap &values)
{
    Connection c(databasePath);
    QStringList names, marks;
    QVariantList params;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        names << store::quoteIdentifier(it.key());
        marks << QStringLiteral("?");
        params << (it.value().metaType().id() == QMetaType::QDate ? QVariant(it.value().toDate().toString(Qt::ISODate))
                                                                  : it.value());
    }
    store::EngineError e;
    const bool ok = store::execSql(
        c.db, QStringLiteral("INSERT INTO Information (%1) VALUES (%2)").arg(names.join(','), marks.join(',')), &e,
        params);
    ASSERT_TRUE(ok) << e.text.toStdString();
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
