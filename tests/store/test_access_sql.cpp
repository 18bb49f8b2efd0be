#include "BackendDatabase.h"
#include "store/DBEngine.h"
#include "store/FilterFixture.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "store/sql/AccessSql.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>
#include <sqlite3.h>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.left(200).toStdString() << '"';
}

using namespace store;
using testing_support::filterCases;
using testing_support::lockersExcept;

namespace {

QString selectStatement(const QString &where, const QString &orderBy = {}, const QString &header = {})
{
    QString s = header.isEmpty() ? QStringLiteral("Select Information.* From Information") : header;
    if (!where.isEmpty())
        s += QStringLiteral(" Where ") + where;
    if (!orderBy.isEmpty())
        s += QStringLiteral(" ORDER BY ") + orderBy;
    return s;
}

QString quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

// The text as a pattern that matches exactly itself.
QString literalPattern(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[')
            out += QLatin1Char('[') + c + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

// Every row of the table as text, and the schema: what a statement must
// never change.
QStringList snapshot(sqlite3 *db)
{
    QStringList rows;
    Statement st(db,
                 QStringLiteral("SELECT quote(rowid), quote(LockerNumber), quote(LastName), quote(City), "
                                "quote(KeyDeposit), quote(DateRented), quote(Adult), quote(Notes) "
                                "FROM Information ORDER BY rowid"));
    while (st.step()) {
        QStringList cells;
        for (int c = 0; c < st.columnCount(); ++c)
            cells << st.value(c).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    Statement schema(db, QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name"));
    while (schema.step())
        rows << schema.value(0).toString() + schema.value(1).toString() + schema.value(2).toString();
    return rows;
}

// Records every statement the connection runs and every action SQLite
// asks to authorise while one is prepared.
class StatementWatch
{
public:
    explicit StatementWatch(sqlite3 *db) : m_db(db)
    {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &StatementWatch::trace, this);
        sqlite3_set_authorizer(db, &StatementWatch::authorize, this);
    }
    ~StatementWatch()
    {
        sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
        sqlite3_set_authorizer(m_db, nullptr, nullptr);
    }

    QStringList statements;
    QList<int> actions;
    QStringList tablesWritten;

private:
    static int trace(unsigned, void *self, void *, void *sql)
    {
        static_cast<StatementWatch *>(self)->statements << QString::fromUtf8(static_cast<const char *>(sql));
        return 0;
    }
    static int authorize(void *self, int action, const char *a, const char *, const char *, const char *)
    {
        auto *watch = static_cast<StatementWatch *>(self);
        watch->actions << action;
        if (action == SQLITE_DELETE || action == SQLITE_INSERT || action == SQLITE_UPDATE)
            watch->tablesWritten << QString::fromUtf8(a);
        return SQLITE_OK;
    }

    sqlite3 *m_db;
};

template<typename OnBackend>
class AccessSqlOn : public OnBackend
{
protected:
    void SetUp() override
    {
        db = this->database.open();
        ASSERT_TRUE(db);
        this->database.insert(testing_support::filterFixtureRows());
    }

    QList<int> lockers(const QString &statement, EngineError *error = nullptr)
    {
        EngineError e;
        auto rs = db->OpenRecordset(statement, Recordset::Dynaset, &e);
        if (error)
            *error = e;
        if (!rs) {
            ADD_FAILURE() << statement.toStdString() << ": " << e.text.toStdString();
            return {};
        }
        QList<int> result;
        for (int i = 0; i < rs->RecordCount(); ++i)
            result << rs->rowAt(i).value(0).toInt();
        return result;
    }

    QList<int> remainingLockers() { return lockers(QStringLiteral("Select Information.* From Information")); }

    EngineError refusal(const QString &statement)
    {
        TranslatedStatement t;
        EngineError e;
        EXPECT_FALSE(translateAccessSql(statement, db->tableLookup(), &t, &e)) << statement.toStdString();
        EXPECT_TRUE(e.isError());
        return e;
    }

    std::shared_ptr<Database> db;
};

using AccessSqlOnBackends = AccessSqlOn<testing_support::BackendTest>;
// What the file's own connection shows: the statements it runs and what it
// authorises, its locks, its query plans.
using AccessSqlTest = AccessSqlOn<testing_support::FileTest>;

TEST_P(AccessSqlOnBackends, EachStatementFormSelectsCountsAndDeletesExactlyItsRows)
{
    for (const auto &c : filterCases()) {
        SCOPED_TRACE(std::string("Where ") + c.where + " ORDER BY " + c.orderBy);
        const QString where = QString::fromUtf8(c.where);
        EXPECT_EQ(lockers(selectStatement(where, QString::fromUtf8(c.orderBy))), c.lockers);

        qint64 counted = -1;
        EngineError e;
        ASSERT_TRUE(db->count(selectStatement(where), &counted, &e)) << e.text.toStdString();
        EXPECT_EQ(counted, c.lockers.size());

        int removed = -1;
        const QString deletion = QStringLiteral("Delete * From Information")
            + (where.isEmpty() ? QString() : QStringLiteral(" Where ") + where);
        ASSERT_TRUE(db->Execute(deletion, &e, &removed)) << e.text.toStdString();
        EXPECT_EQ(removed, c.lockers.size());
        EXPECT_EQ(remainingLockers(), lockersExcept(c.lockers));

        // Put the table back for the next case.
        database.removeAll();
        database.insert(testing_support::filterFixtureRows());
        ASSERT_EQ(database.storedCount(), testing_support::kFixtureRows);
    }
}

TEST_P(AccessSqlOnBackends, HeadersMayBracketTheTableAndIgnoreCase)
{
    const QList<int> smiths = {1, 2, 3, 21, 36};
    const QString where = QStringLiteral(" Where [LastName] = 'SMITH'");
    EXPECT_EQ(lockers(QStringLiteral("Select [Information].* From Information") + where), smiths);
    EXPECT_EQ(lockers(QStringLiteral("Select [Information].* From [Information]") + where), smiths);
    EXPECT_EQ(lockers(QStringLiteral("select information.* from INFORMATION where lastname = 'smith'")), smiths);
    EXPECT_EQ(lockers(QStringLiteral("Select Information.* From Information Where Information.[LastName] = 'SMITH'")),
              smiths);
    // The expiry date as the list and the reports spell it.
    EXPECT_EQ(lockers(QStringLiteral("Select Information.* From Information Where [DatetoRenew] < #1/1/2100# "
                                     "OR [Adult] = YES"))
                  .size(),
              19);
}

TEST_P(AccessSqlOnBackends, NullIsNeverEqualToAnythingOutsideText)
{
    EXPECT_TRUE(lockers(QStringLiteral("Select Information.* From Information Where [KeyDeposit] = NULL")).isEmpty());
    EXPECT_TRUE(lockers(QStringLiteral("Select Information.* From Information Where [LastName] <> NULL")).isEmpty());
    EXPECT_TRUE(lockers(QStringLiteral("Select Information.* From Information Where [DateRented] = NULL")).isEmpty());
}

VANTREL_ON_BOTH_BACKENDS(AccessSqlOnBackends);

TEST_F(AccessSqlTest, RefusalsNameTheOffendingPiece)
{
    struct Refusal {
        const char *statement;
        int number;
        const char *piece;
    };
    const Refusal refusals[] = {
        {"", Err::SyntaxError, "SELECT or DELETE"},
        {"Select * Information", Err::SyntaxError, "'Information'"},
        {"Select Foo.* From Information", Err::SyntaxError, "'Foo'"},
        {"Select Nowhere.* From Nowhere", Err::ItemNotFound, "'Nowhere'"},
        {"Select Information.* From Nowhere", Err::SyntaxError, "'Nowhere'"},
        {"Update Information Set LastName = 'x'", Err::SyntaxError, "'Update'"},
        {"Select Information.* From Information; DROP TABLE Information", Err::SyntaxError, "';'"},
        {"Select Information.* From Information Where [Nope] = 'x'", Err::ItemNotFound, "'Nope'"},
        {"Select Information.* From Information Where Other.[LastName] = 'x'", Err::ItemNotFound, "'Other'"},
        {"Select Information.* From Information Where [LastName] = 12", Err::TypeMismatch, "'[LastName] = 12'"},
        {"Select Information.* From Information Where [KeyDeposit] = 'ten'", Err::TypeMismatch, "KeyDeposit"},
        {"Select Information.* From Information Where [DateRented] = 'today'", Err::TypeMismatch, "DateRented"},
        {"Select Information.* From Information Where [Adult] = 1", Err::TypeMismatch, "'[Adult] = 1'"},
        {"Select Information.* From Information Where [Adult] > NO", Err::TypeMismatch, "= or <>"},
        {"Select Information.* From Information Where [KeyDeposit] LIKE '1*'", Err::TypeMismatch, "LIKE"},
        {"Select Information.* From Information Where [DateRented] = #02/30/99#", Err::SyntaxError, "'#02/30/99#'"},
        {"Select Information.* From Information Where [DateRented] = #13/01/99#", Err::SyntaxError, "'#13/01/99#'"},
        {"Select Information.* From Information Where [DateRented] = #next tuesday#", Err::SyntaxError,
         "'#next tuesday#'"},
        {"Select Information.* From Information Where [DateRented] = #12/01/93", Err::SyntaxError, "'#12/01/93'"},
        {"Select Information.* From Information Where [LastName] = 'abc", Err::SyntaxError, "'abc"},
        {"Select Information.* From Information Where [LastName = 'x'", Err::SyntaxError, "no closing bracket"},
        {"Select Information.* From Information Where [LastName] LIKE 'x' ESCAPE '!'", Err::SyntaxError, "'ESCAPE'"},
        {"Select Information.* From Information Where [LastName] LIKE '[z-a]'", Err::SyntaxError, "'z-a'"},
        {"Select Information.* From Information Where [LastName] IN ('a', 'b')", Err::SyntaxError, "'IN'"},
        {"Select Information.* From Information Where [LastName] = 'x' -- comment", Err::SyntaxError, "'-'"},
        {"Select Information.* From Information Where [LastName] = 'x' /* c */", Err::SyntaxError, "'/'"},
        {"Select Information.* From Information Where [LastName] = 'x' UNION Select Information.* From Information",
         Err::SyntaxError, "'UNION'"},
        {"Select Information.* From Information Where [LastName] = [FirstName]", Err::SyntaxError, "'[FirstName]'"},
        {"Select Information.* From Information Where 1 = 1", Err::SyntaxError, "'1'"},
        {"Select Information.* From Information Where [KeyDeposit] = 1e999", Err::SyntaxError, "'1e999'"},
        {"Select Information.* From Information Where [KeyDeposit] = 12abc", Err::SyntaxError, "'12abc'"},
        {"Select Information.* From Information Where DatePart(\"q\",[DateRented]) = 1", Err::SyntaxError, "'\"q\"'"},
        {"Select Information.* From Information Where DatePart(\"m\",[LastName]) = 1", Err::TypeMismatch,
         "no date parts"},
        {"Select Information.* From Information Where DatePart(\"m\",[DateRented]) = 'May'", Err::TypeMismatch,
         "a text"},
        {"Delete * From Information ORDER BY [LastName]", Err::SyntaxError, "'ORDER'"},
        {"Delete Information.* From Information", Err::SyntaxError, "'Information'"},
        {"Select Information.* From Information ORDER BY [LastName] ASC DESC", Err::SyntaxError, "'DESC'"},
        {"Select Information.* From Information ORDER BY [Nope]", Err::ItemNotFound, "'Nope'"},
    };
    for (const Refusal &r : refusals) {
        const EngineError e = refusal(QString::fromUtf8(r.statement));
        EXPECT_EQ(e.number, r.number) << r.statement << " -> " << e.text.toStdString();
        EXPECT_TRUE(e.text.contains(QString::fromUtf8(r.piece))) << r.statement << " -> " << e.text.toStdString();
    }

    // Nesting and length are bounded, not left to the stack or to SQLite.
    EXPECT_TRUE(
        refusal(selectStatement(QString(100, u'(') + "[LastName] = 'x'" + QString(100, u')'))).text.contains("nested"));
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("[KeyDeposit] = %1").arg(i);
    EXPECT_TRUE(refusal(selectStatement(many.join(" OR "))).text.contains("more than 200 conditions"));
}

TEST_F(AccessSqlTest, EntryPointsRefuseTheWrongKindOfStatement)
{
    EngineError e;
    EXPECT_FALSE(db->Execute(QStringLiteral("Select Information.* From Information"), &e));
    EXPECT_EQ(e.number, Err::InvalidOperation);
    EXPECT_FALSE(db->OpenRecordset(QStringLiteral("Delete * From Information"), Recordset::Dynaset, &e));
    EXPECT_EQ(e.number, Err::InvalidOperation);
    qint64 n = 0;
    EXPECT_FALSE(db->count(QStringLiteral("Delete * From Information"), &n, &e));
    EXPECT_EQ(remainingLockers().size(), testing_support::kFixtureRows);
}

TEST_F(AccessSqlTest, FailedDeleteLeavesEveryRow)
{
    // Another connection holds the write lock: the delete fails as a whole.
    EngineError e;
    auto other = DBEngine::OpenDatabase(database.name(), &e);
    ASSERT_TRUE(other);
    sqlite3_busy_timeout(db->handle(), 0);
    ASSERT_TRUE(execSql(other->handle(), QStringLiteral("BEGIN IMMEDIATE"), &e));
    EXPECT_FALSE(db->Execute(QStringLiteral("Delete * From Information Where [Adult] = YES"), &e));
    EXPECT_EQ(e.number, Err::Locked);
    ASSERT_TRUE(execSql(other->handle(), QStringLiteral("ROLLBACK"), &e));
    EXPECT_EQ(remainingLockers().size(), testing_support::kFixtureRows);
}

// The statements the engine runs on its own while opening a record set:
// the read transaction around the open, the schema lookup of a name and the
// read of one row by its id. All have fixed text with bound values.
bool isEngineStatement(const QString &sql)
{
    return sql == QLatin1String("BEGIN") || sql == QLatin1String("COMMIT")
        || sql.startsWith(QLatin1String("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?"))
        || (sql.startsWith(QLatin1String("SELECT ")) && sql.endsWith(QLatin1String("WHERE rowid = ?")));
}

TEST_F(AccessSqlTest, HostileCriteriaMatchAsLiteralTextAndRunNothingElse)
{
    const QStringList texts = testing_support::hostileTexts();
    ASSERT_GE(texts.size(), 30);
    EngineError e;
    db->tableDef(QStringLiteral("Information")); // read the schema now, not inside the watch
    for (const QString &text : texts) {
        SCOPED_TRACE(text.left(40).toStdString());
        ASSERT_TRUE(execSql(db->handle(), QStringLiteral("DELETE FROM Information"), &e));
        ASSERT_TRUE(execSql(db->handle(),
                            QStringLiteral("INSERT INTO Information (LockerNumber, LastName) "
                                           "VALUES (1, 'Smith'), (2, NULL), (3, ''), (99, ?)"),
                            &e, {text}));
        const QStringList before = snapshot(db->handle());

        const QStringList statements = {
            selectStatement(QStringLiteral("[LastName] = ") + quoted(text)),
            selectStatement(QStringLiteral("[LastName] LIKE ") + quoted(literalPattern(text))),
            selectStatement(QStringLiteral("[LastName] LIKE ")
                            + quoted(QStringLiteral("*") + literalPattern(text) + QStringLiteral("*"))),
        };
        for (const QString &statement : statements) {
            TranslatedStatement translated;
            ASSERT_TRUE(translateAccessSql(statement, db->tableLookup(), &translated, &e)) << e.text.toStdString();
            EXPECT_TRUE(translated.params.contains(QVariant(text)) || translated.sql.contains("vt_like"));
            // The statement runs in its full form or, where the probes for
            // letters from outside ASCII find nothing, in its quick form, in
            // one read of the file.
            QStringList translatedForms = {translated.sql};
            if (!translated.quickSql.isEmpty())
                translatedForms << translated.quickSql;
            for (const TranslatedStatement::Probe &probe : translated.probes)
                translatedForms << probe.sql;
            StatementWatch watch(db->handle());
            EXPECT_EQ(lockers(statement), QList<int>({99}));
            EXPECT_EQ(watch.statements.count(translated.sql) + watch.statements.count(translated.quickSql), 1);
            for (const QString &sql : watch.statements)
                EXPECT_TRUE(translatedForms.contains(sql) || isEngineStatement(sql)) << sql.toStdString();
            EXPECT_TRUE(watch.tablesWritten.isEmpty());
            for (int action : watch.actions)
                EXPECT_TRUE(action == SQLITE_SELECT || action == SQLITE_READ || action == SQLITE_FUNCTION
                            || action == SQLITE_TRANSACTION)
                    << "action " << action;
            EXPECT_EQ(snapshot(db->handle()), before);
        }

        // A delete of the same condition removes that one row in one transaction.
        const QString deletion = QStringLiteral("Delete * From Information Where [LastName] = ") + quoted(text);
        TranslatedStatement translated;
        ASSERT_TRUE(translateAccessSql(deletion, db->tableLookup(), &translated, &e));
        {
            StatementWatch watch(db->handle());
            int removed = 0;
            ASSERT_TRUE(db->Execute(deletion, &e, &removed)) << e.text.toStdString();
            EXPECT_EQ(removed, 1);
            // The engine's own page cache, widened for the delete and narrowed after it.
            const QStringList ran =
                watch.statements.filter(QRegularExpression(QStringLiteral("^(?!PRAGMA cache_size)")));
            EXPECT_EQ(ran, QStringList({QStringLiteral("BEGIN IMMEDIATE"), translated.sql, QStringLiteral("COMMIT")}));
            EXPECT_EQ(watch.tablesWritten, QStringList({QStringLiteral("Information")}));
        }
        EXPECT_EQ(lockers(QStringLiteral("Select Information.* From Information")), QList<int>({1, 2, 3}));
    }
}

TEST_F(AccessSqlTest, HostileStatementsAreRefusedWhole)
{
    const QStringList statements = {
        "Select Information.* From Information; DROP TABLE Information",
        "Select Information.* From Information Where [LastName] = 'x'; DELETE FROM Information",
        "Select Information.* From Information Where [LastName] = 'x' OR 1=1",
        "Select Information.* From Information Where [LastName] = '' OR ''1''=''1'",
        "Delete * From Information Where [LastName] = 'x' OR [LastName] <> 'x' --'",
        "Select Information.* From sqlite_master",
        "Select Information.* From Information Where [LastName] = \x01'x'",
        QStringLiteral("Select Information.* From Information Where [LastName] = 'x'") + QChar(0),
        "Select Information.* From Information Where [LastName] = vt_fold('x')",
        "Select Information.* From Information Where [LastName] = ?1",
        "Select Information.* From Information Where [LastName] = :name",
        "Select Information.* From Information Where [LastName] COLLATE BINARY = 'x'",
    };
    const QStringList before = snapshot(db->handle());
    for (const QString &statement : statements) {
        StatementWatch watch(db->handle());
        const EngineError e = refusal(statement);
        EXPECT_FALSE(e.text.isEmpty());
        EngineError ignored;
        EXPECT_FALSE(db->OpenRecordset(statement, Recordset::Dynaset, &ignored));
        EXPECT_FALSE(db->Execute(statement, &ignored));
        // Only the engine's own lookup of the text as a table name may run.
        for (const QString &sql : watch.statements)
            EXPECT_TRUE(isEngineStatement(sql)) << statement.toStdString() << " ran " << sql.toStdString();
        EXPECT_TRUE(watch.tablesWritten.isEmpty());
    }
    EXPECT_EQ(snapshot(db->handle()), before);
}

TEST_F(AccessSqlTest, TextEqualityOnAnIndexedFieldUsesTheIndex)
{
    TranslatedStatement t;
    EngineError e;
    ASSERT_TRUE(translateAccessSql(selectStatement("[LastName] = 'SMITH' AND [KeyDeposit] > 5", "[LastName] ASC"),
                                   db->tableLookup(), &t, &e));
    Statement plan(db->handle(), QStringLiteral("EXPLAIN QUERY PLAN ") + t.sql);
    plan.bindAll(t.params);
    QStringList steps;
    while (plan.step())
        steps << plan.value(3).toString();
    EXPECT_TRUE(steps.join('\n').contains("INDEX LastName")) << steps.join('\n').toStdString();
    EXPECT_FALSE(steps.join('\n').contains("SCAN Information")) << steps.join('\n').toStdString();
}

TEST_F(AccessSqlTest, ValuesAreBoundAndNamesComeFromTheSchema)
{
    TranslatedStatement t;
    EngineError e;
    ASSERT_TRUE(translateAccessSql(QStringLiteral("select INFORMATION.* from information where [lastname] = 'A''B' "
                                                  "and [keydeposit] >= -2.5 and [DATERENTED] < #1/2/03# "
                                                  "and DatePart(\"WW\",[DateRented]) = 3 order by [city] desc"),
                                   db->tableLookup(), &t, &e))
        << e.text.toStdString();
    EXPECT_EQ(t.kind, TranslatedStatement::Kind::Select);
    EXPECT_EQ(t.table, "Information");
    EXPECT_TRUE(t.sql.startsWith("SELECT rowid FROM \"Information\" WHERE ")) << t.sql.toStdString();
    EXPECT_TRUE(t.sql.endsWith("ORDER BY \"City\" COLLATE vt_text DESC, rowid")) << t.sql.toStdString();
    EXPECT_TRUE(t.sql.contains("\"LastName\"") && t.sql.contains("\"DateRented\"")) << t.sql.toStdString();
    EXPECT_TRUE(t.params.contains(QVariant(QStringLiteral("A'B"))));
    EXPECT_TRUE(t.params.contains(QVariant(-2.5)));
    EXPECT_TRUE(t.params.contains(QVariant(QStringLiteral("2003-01-02"))));
    EXPECT_TRUE(t.params.contains(QVariant(QStringLiteral("ww"))));
    EXPECT_FALSE(t.sql.contains("A'B") || t.sql.contains("2.5") || t.sql.contains("2003"));

    ASSERT_TRUE(translateAccessSql(QStringLiteral("Delete * From Information"), db->tableLookup(), &t, &e));
    EXPECT_EQ(t.kind, TranslatedStatement::Kind::Delete);
    EXPECT_EQ(t.sql, "DELETE FROM \"Information\"");
}

} // namespace
