// A statement ordered by an indexed name walks the index where that gives
// the same order, and sorts otherwise; an equality on an indexed name leaves
// out the index ranges for letters from outside ASCII while no row needs them.
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QSet>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;

namespace {

const QString kByName = QStringLiteral("Select Information.* From Information ORDER BY [LastName] ASC");

class NameOrder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EngineError e;
        db = DBEngine::OpenDatabase(folder.databasePath(), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
    }
    void add(const QVariant &last) { testing_support::insertCustomers(db->handle(), {{{"LastName", last}}}); }
    QList<qint64> ids(const QString &statement)
    {
        EngineError e;
        auto rs = db->OpenRecordset(statement, Recordset::Dynaset, &e);
        EXPECT_TRUE(rs) << e.text.toStdString();
        QList<qint64> out;
        for (int i = 0; rs && i < rs->RecordCount(); ++i)
            out << rs->idAt(i);
        return out;
    }
    // The statement's own order, sorted by its collation.
    QList<qint64> sorted()
    {
        QList<qint64> out;
        Statement st(db->handle(), "SELECT rowid FROM Information ORDER BY LastName COLLATE vt_text, rowid");
        while (st.step())
            out << st.int64(0);
        return out;
    }
    QString walkSql()
    {
        TranslatedStatement t;
        EXPECT_TRUE(db->translate(kByName, &t, nullptr));
        return t.indexWalkSql;
    }

    testing_support::TempProgramFolder folder;
    std::shared_ptr<Database> db;
};

TEST_F(NameOrder, AsciiNamesWalkTheIndexOthersAreSortedAndBothGiveTheStatementsOrder)
{
    ASSERT_FALSE(walkSql().isEmpty());
    for (const char *name : {"baker", "Adams", "ADAMS", "cole", "adams", "Baker"})
        add(QString::fromUtf8(name));
    add(QVariant());
    EXPECT_EQ(ids(kByName), sorted());
    EXPECT_EQ(ids(kByName), QList<qint64>({7, 2, 3, 5, 1, 6, 4}));
    EXPECT_FALSE(db->walkKnownUnordered(walkSql())) << "the walk was in order";

    // Letters outside ASCII and trailing blanks order differently in the
    // index: the statement sorts, and remembers not to walk again.
    add(QString::fromUtf8("ÉMILF"));
    add(QString::fromUtf8("émile"));
    add("adams ");
    add("Zed");
    const QList<qint64> expected = sorted();
    EXPECT_EQ(ids(kByName), expected);
    EXPECT_TRUE(db->walkKnownUnordered(walkSql()));
    EXPECT_EQ(ids(kByName), expected);

    // Once the rows change the walk is tried again.
    ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information WHERE rowid >= 8", nullptr));
    EXPECT_FALSE(db->walkKnownUnordered(walkSql()));
    EXPECT_EQ(ids(kByName), QList<qint64>({7, 2, 3, 5, 1, 6, 4}));
}

TEST_F(NameOrder, AKeyWithOnlyUpperCaseTiesInTheIndexStillFollowsRowIds)
{
    // NOCASE and the statement agree on these ties; the walk's row-id order
    // within them is the statement's.
    for (int i = 0; i < 50; ++i)
        add(i % 3 == 0 ? "SMITH" : i % 3 == 1 ? "smith" : "Smith");
    EXPECT_EQ(ids(kByName), sorted());
    EXPECT_FALSE(db->walkKnownUnordered(walkSql()));
}

// The rows in the order of SQLite's NOCASE, which the index walk gives.
QList<qint64> nocaseOrder(sqlite3 *db)
{
    QList<qint64> out;
    Statement st(db, "SELECT rowid FROM Information ORDER BY LastName COLLATE NOCASE, rowid");
    while (st.step())
        out << st.int64(0);
    return out;
}

TEST_F(NameOrder, TheIndexOfOddNamesHoldsEveryTextNocaseMayMisorderAndNoOther)
{
    const QList<QVariant> plain = {QStringLiteral("O'Brien"), QStringLiteral("Smith-Jones"),
                                   QStringLiteral("van der Berg"), QStringLiteral("~Zed!"), QVariant()};
    const QList<QVariant> odd = {QString::fromUtf8("émile"),
                                 QStringLiteral("Adams "),
                                 QStringLiteral("A") + QChar(0) + QStringLiteral("b"),
                                 QStringLiteral("A\tb"),
                                 QString::fromUtf8("\u212Aelvin"),
                                 QString::fromUtf8("\u017Fmith")};
    for (const QVariant &v : plain)
        add(v);
    QSet<qint64> expected;
    for (const QVariant &v : odd) {
        add(v);
        expected << sqlite3_last_insert_rowid(db->handle());
    }
    // A name changed by an update moves in and out as well.
    ASSERT_TRUE(execSql(db->handle(), "UPDATE Information SET LastName = 'Jones' WHERE rowid = 6", nullptr));
    ASSERT_TRUE(execSql(db->handle(), QString::fromUtf8("UPDATE Information SET LastName = 'Müller' WHERE rowid = 1"),
                        nullptr));
    expected.remove(6);
    expected << 1;

    const QString field = QStringLiteral("LastName");
    Statement st(
        db->handle(),
        QStringLiteral("SELECT rowid FROM Information INDEXED BY %1 WHERE %2")
            .arg(quoteIdentifier(Schema::orderExceptionsIndex(field)), Schema::orderExceptionsCondition(field)));
    ASSERT_TRUE(st.isValid()) << st.error().text.toStdString();
    QSet<qint64> held;
    while (st.step())
        held << st.int64(0);
    EXPECT_EQ(held, expected);
    // It orders nothing: no table record set is ever ordered by it.
    EXPECT_FALSE(db->tableDef(QStringLiteral("Information"))->index(Schema::orderExceptionsIndex(field)));
}

TEST_F(NameOrder, NamesThatNocaseMisordersAreSortedAndTheWalkReturnsWhenTheyGo)
{
    for (const char *name : {"baker", "Adams", "cole", "ADAMS", "Baker"})
        add(QString::fromUtf8(name));
    const QList<qint64> ascii = sorted();
    ASSERT_EQ(ids(kByName), ascii);

    // Pairs that NOCASE orders otherwise than the statement: a trailing
    // blank it counts, a NUL where it stops, letters it does not fold.
    const QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("cole "), QStringLiteral("cole")},
        {QStringLiteral("ab") + QChar(0) + QStringLiteral("y"), QStringLiteral("ab") + QChar(0) + QStringLiteral("x")},
        {QString::fromUtf8("émile"), QString::fromUtf8("ÉMILE")},
    };
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.first.toStdString());
        add(pair.first);
        add(pair.second);
        const QList<qint64> expected = sorted();
        ASSERT_NE(nocaseOrder(db->handle()), expected) << "NOCASE would have been right";
        EXPECT_EQ(ids(kByName), expected);
        ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information WHERE rowid > 5", nullptr));
        EXPECT_EQ(ids(kByName), ascii);
    }
}

TEST_F(NameOrder, AFileWithoutTheIndexOfOddNamesOrWithANarrowerOneOfItsNameIsStillSortedRight)
{
    const QString index = quoteIdentifier(Schema::orderExceptionsIndex(QStringLiteral("LastName")));
    for (const char *name : {"baker", "Adams", "cole", "ADAMS", "Baker"})
        add(QString::fromUtf8(name));
    ASSERT_EQ(ids(kByName), sorted()); // the walk's statements are kept from here on
    add(QString::fromUtf8("émile"));
    add(QString::fromUtf8("ÉMILE"));
    ASSERT_NE(nocaseOrder(db->handle()), sorted());

    ASSERT_TRUE(execSql(db->handle(), QStringLiteral("DROP INDEX %1").arg(index), nullptr));
    EXPECT_EQ(ids(kByName), sorted());
    // An index of that name that would miss these rows is not trusted.
    ASSERT_TRUE(execSql(db->handle(),
                        QStringLiteral("CREATE INDEX %1 ON Information (LastName) WHERE LastName GLOB '* '").arg(index),
                        nullptr));
    EXPECT_EQ(ids(kByName), sorted());
}

TEST_F(NameOrder, EqualityFindsTheLongSAndKelvinSpellingsOnlyWhereTheyAre)
{
    const QString smith = QStringLiteral("Select Information.* From Information Where [LastName] = 'SMITH'");
    const QString kelvin = QStringLiteral("Select Information.* From Information Where [LastName] = 'kelvin'");
    TranslatedStatement t;
    ASSERT_TRUE(db->translate(smith, &t, nullptr));
    EXPECT_FALSE(t.quickSql.isEmpty());
    EXPECT_EQ(t.probes.size(), 1) << "one range for the long s";

    add("Smith");
    add("Jones");
    add("smith");
    EXPECT_EQ(ids(smith), QList<qint64>({1, 3}));
    add(QString::fromUtf8("\u017Fmith"));
    add(QString::fromUtf8("\u212Aelvin"));
    EXPECT_EQ(ids(smith), QList<qint64>({1, 3, 4}));
    EXPECT_EQ(ids(kelvin), QList<qint64>({5}));
    EXPECT_EQ(ids("Select Information.* From Information Where [LastName] = 'kelvin' OR [LastName] = 'SMITH' "
                  "ORDER BY [LastName] DESC"),
              QList<qint64>({1, 3, 4, 5}));
    ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information WHERE rowid = 4", nullptr));
    EXPECT_EQ(ids(smith), QList<qint64>({1, 3}));
}

} // namespace
