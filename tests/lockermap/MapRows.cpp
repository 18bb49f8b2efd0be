#include "MapRows.h"

#include "store/Statement.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

RawRows::RawRows(const QString &databasePath)
{
    EXPECT_EQ(sqlite3_open_v2(databasePath.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
}

RawRows::~RawRows()
{
    sqlite3_close(m_db);
}

qint64 RawRows::customer(const QVariant &locker, const QVariant &expiry, const QVariant &lastName)
{
    store::EngineError e;
    EXPECT_TRUE(store::execSql(m_db,
                               QStringLiteral("INSERT INTO Information (LockerNumber, DateToRenew, LastName) "
                                              "VALUES (?, ?, ?)"),
                               &e, {locker, expiry, lastName}))
        << e.text.toStdString();
    return sqlite3_last_insert_rowid(m_db);
}

void RawRows::setRate(const QString &rate, const QString &period)
{
    store::EngineError e;
    EXPECT_TRUE(store::execSql(m_db, QStringLiteral("UPDATE CenterInformation SET YearlyRate = ?, Period = ?"), &e,
                               {rate, period}))
        << e.text.toStdString();
}

void RawRows::clear()
{
    EXPECT_TRUE(store::execSql(m_db, QStringLiteral("DELETE FROM Information"), nullptr));
}

void RawRows::begin()
{
    EXPECT_TRUE(store::execSql(m_db, QStringLiteral("BEGIN"), nullptr));
}

void RawRows::commit()
{
    EXPECT_TRUE(store::execSql(m_db, QStringLiteral("COMMIT"), nullptr));
}

} // namespace testing_support
