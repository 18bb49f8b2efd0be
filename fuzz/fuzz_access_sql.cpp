// Any bytes as a statement of the dialect. The translator must refuse with
// an error text or give SQL that SQLite prepares and runs without error on
// a database of the delivered schema, whose tables it never changes.
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/sql/AccessSql.h"
#include "store/sql/SqlFunctions.h"

#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace {

sqlite3 *fixtureDatabase()
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK || !store::registerVantrelFunctions(db))
        std::abort();
    for (const QString &sql : store::Schema::createStatements()) {
        if (!store::execSql(db, sql, nullptr))
            std::abort();
    }
    const char *names[] = {"Smith",
                           "SMITH  ",
                           "\xC5\xBFmith",
                           "\xE2\x84\xAA"
                           "elvin",
                           "M\xC3\xBCller",
                           "",
                           "a*b",
                           "O'Neil",
                           nullptr};
    int locker = 1;
    for (const char *name : names) {
        const QVariant last = name ? QVariant(QString::fromUtf8(name)) : QVariant();
        if (!store::execSql(db,
                            QStringLiteral("INSERT INTO Information (LockerNumber, LastName, City, Notes, KeyDeposit, "
                                           "DateRented, Adult) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                            nullptr,
                            {locker, last, last, last, locker * 3 - 10,
                             QStringLiteral("20%1-0%2-2%3")
                                 .arg(locker, 2, 10, QLatin1Char('0'))
                                 .arg(locker % 9 + 1)
                                 .arg(locker % 9),
                             locker % 2}))
            std::abort();
        ++locker;
    }
    // Texts written by other tools may hold bytes that are not UTF-8.
    if (!store::execSql(db,
                        QStringLiteral("INSERT INTO Information (LockerNumber, LastName, City, Notes, Adult) VALUES "
                                       "(50, CAST(X'41FF5A' AS TEXT), CAST(X'C3' AS TEXT), CAST(X'E284' AS TEXT), 0)"),
                        nullptr))
        std::abort();
    return db;
}

int rowCount(sqlite3 *db)
{
    store::Statement st(db, QStringLiteral("SELECT count(*) FROM Information"));
    return st.step() ? int(st.int64(0)) : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static sqlite3 *db = fixtureDatabase();
    static const int rows = rowCount(db);
    static const store::TableLookup lookup = [](const QString &name) { return store::Schema::table(name); };

    const QString statement = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    store::TranslatedStatement translated;
    store::EngineError error;
    if (!store::translateAccessSql(statement, lookup, &translated, &error)) {
        if (error.text.isEmpty() || error.number == 0)
            std::abort(); // a refusal must say why
        return 0;
    }

    const bool deletion = translated.kind == store::TranslatedStatement::Kind::Delete;
    if (deletion)
        store::execSql(db, QStringLiteral("SAVEPOINT fuzz"), nullptr);
    store::Statement st(db, translated.sql);
    if (!st.isValid()) {
        std::fprintf(stderr, "SQLite refused the translation: %s\n%s\n", qPrintable(st.error().text),
                     qPrintable(translated.sql));
        std::abort();
    }
    st.bindAll(translated.params);
    while (st.step()) {
    }
    if (st.error().isError()) {
        std::fprintf(stderr, "The translation failed to run: %s\n%s\n", qPrintable(st.error().text),
                     qPrintable(translated.sql));
        std::abort();
    }
    if (deletion) {
        store::execSql(db, QStringLiteral("ROLLBACK TO fuzz"), nullptr);
        store::execSql(db, QStringLiteral("RELEASE fuzz"), nullptr);
    }
    if (rowCount(db) != rows)
        std::abort();
    return 0;
}
