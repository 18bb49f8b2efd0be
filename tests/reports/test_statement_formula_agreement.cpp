// The filter writes each condition twice: as a statement that the record
// window runs and as a formula that the report evaluates. These tests hold
// the two to the same rows in the same order.
#include "reports/formula/SelectionFormula.h"
#include "reports/formula/SortOrder.h"
#include "store/DBEngine.h"
#include "store/FilterFixture.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/TempProgramFolder.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

using namespace reports::formula;
using namespace store;

namespace {

struct Row {
    qint64 id;
    QVariantList values;
};

class AgreementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EngineError e;
        db = DBEngine::OpenDatabase(folder.databasePath(), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
    }

    // The ids the statement selects, in its order.
    QList<qint64> statementIds(const QString &statement)
    {
        EngineError e;
        auto rs = db->OpenRecordset(statement, Recordset::Dynaset, &e);
        if (!rs) {
            ADD_FAILURE() << statement.toStdString() << ": " << e.text.toStdString();
            return {};
        }
        QList<qint64> ids;
        for (int i = 0; i < rs->RecordCount(); ++i)
            ids << rs->idAt(i);
        return ids;
    }

    // The ids the formula selects from the whole table, sorted by the keys.
    QList<qint64> formulaIds(const QString &formula, const QStringList &sortKeys)
    {
        EngineError e;
        auto rs = db->OpenRecordset(QStringLiteral("Information"), Recordset::Table, &e);
        const TableDef &table = rs->table();
        SelectionFormula selection;
        SortOrder order;
        QString error;
        if (!SelectionFormula::compile(formula, table, &selection, &error)
            || !SortOrder::parse(sortKeys, table, &order, &error)) {
            ADD_FAILURE() << formula.toStdString() << ": " << error.toStdString();
            return {};
        }
        std::vector<Row> rows;
        for (int i = 0; i < rs->RecordCount(); ++i) {
            Row r{rs->idAt(i), rs->rowAt(i)};
            if (selection.selects(r.values))
                rows.push_back(std::move(r));
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [&order](const Row &a, const Row &b) { return order.lessThan(a.values, b.values); });
        QList<qint64> ids;
        for (const Row &r : rows)
            ids << r.id;
        return ids;
    }

    testing_support::TempProgramFolder folder;
    std::shared_ptr<Database> db;
};

TEST_F(AgreementTest, FixtureFormulasSelectWhatTheirStatementsSelect)
{
    testing_support::fillFilterFixture(*db);
    for (const auto &c : testing_support::filterCases()) {
        SCOPED_TRACE(c.formula);
        const QStringList keys = QString::fromUtf8(c.sortKeys).split(u';', Qt::SkipEmptyParts);
        QList<qint64> expected;
        for (int locker : c.lockers)
            expected << locker; // rows were inserted in locker order
        EXPECT_EQ(formulaIds(QString::fromUtf8(c.formula), keys), expected);
    }
}

TEST_F(AgreementTest, HostileTextsInFormulasAreLiteralText)
{
    for (const QString &text : testing_support::hostileTexts()) {
        SCOPED_TRACE(text.left(40).toStdString());
        EngineError e;
        ASSERT_TRUE(execSql(db->handle(), QStringLiteral("DELETE FROM Information"), &e));
        ASSERT_TRUE(execSql(db->handle(),
                            QStringLiteral("INSERT INTO Information (LastName) VALUES ('Smith'), (?), ('')"), &e,
                            {text}));
        QString doubled = text;
        doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
        QString pattern;
        for (QChar c : text)
            pattern += (c == u'*' || c == u'?' || c == u'#' || c == u'[') ? QStringLiteral("[%1]").arg(c) : QString(c);
        pattern.replace(QLatin1Char('"'), QLatin1String("\"\""));
        const QList<qint64> second = {2};
        EXPECT_EQ(formulaIds(QStringLiteral("{Information.LastName} = \"%1\"").arg(doubled), {}), second);
        EXPECT_EQ(formulaIds(QStringLiteral("{Information.LastName} like \"*%1*\"").arg(pattern), {}), second);
        EXPECT_EQ(formulaIds(QStringLiteral("{Information.LastName} startswith \"%1\"").arg(doubled), {}), second);
    }
}

// Random tables and random filters written in both languages.
class FilterGenerator
{
public:
    // With asciiNames the names are of the kind whose order the name index
    // gives; otherwise they reach beyond ASCII and have trailing blanks.
    FilterGenerator(quint32 seed, bool asciiNames) : kNames(asciiNames ? kAsciiNames : kAllNames), m_random(seed) {}

    void fillTable(Database &db, int rows)
    {
        ASSERT_TRUE(execSql(db.handle(), QStringLiteral("BEGIN"), nullptr));
        for (int i = 0; i < rows; ++i) {
            EngineError e;
            ASSERT_TRUE(execSql(db.handle(),
                                QStringLiteral("INSERT INTO Information (LockerNumber, LastName, City, Notes, "
                                               "KeyDeposit, DateRented, Adult) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                                &e,
                                {maybe(qint64(m_random.bounded(40))), maybe(pick(kNames)), maybe(pick(kCities)),
                                 maybe(pick(kNames)), maybe(qint64(m_random.bounded(-3, 31))),
                                 maybe(randomDate().toString(Qt::ISODate)), qint64(m_random.bounded(2))}))
                << e.text.toStdString();
        }
        ASSERT_TRUE(execSql(db.handle(), QStringLiteral("COMMIT"), nullptr));
    }

    // A where part and the formula of the same condition.
    void condition(int depth, QString *where, QString *formula)
    {
        const int terms = 1 + m_random.bounded(depth > 0 ? 3 : 4);
        for (int i = 0; i < terms; ++i) {
            if (i > 0) {
                const bool useAnd = m_random.bounded(2) == 0;
                *where += useAnd ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
                *formula += useAnd ? QStringLiteral(" and ") : QStringLiteral(" or ");
            }
            if (depth < 2 && m_random.bounded(5) == 0) {
                QString w;
                QString f;
                condition(depth + 1, &w, &f);
                *where += QLatin1Char('(') + w + QLatin1Char(')');
                *formula += QLatin1Char('(') + f + QLatin1Char(')');
            } else {
                term(where, formula);
            }
        }
    }

    void sort(QString *orderBy, QStringList *keys)
    {
        const char *fields[] = {"LastName", "City", "KeyDeposit", "DateRented", "Adult", "LockerNumber", "Notes"};
        const int count = m_random.bounded(4);
        QStringList parts;
        for (int i = 0; i < count; ++i) {
            const QString field = QString::fromLatin1(fields[m_random.bounded(int(std::size(fields)))]);
            const bool ascending = m_random.bounded(2) == 0;
            parts << QStringLiteral("[%1] %2").arg(field, ascending ? "ASC" : "DESC");
            *keys << QStringLiteral("%1{Information.%2}").arg(ascending ? "+" : "-", field);
        }
        *orderBy = parts.join(QStringLiteral(", "));
    }

private:
    static inline const QStringList kAsciiNames = {
        "Smith",  "SMITH",  "smith", "Smithson", "O'Neil", "o'neil", "Muller", "muller",    "",        "Zed",  "zed",
        "Kelvin", "kelvin", "A*B",   "a\"b",     "#1",     "50%",    "[x]",    "Tab\there", "strasse", "Emile"};
    static inline const QStringList kAllNames = {
        "Smith", "SMITH", "smith  ", "Smithson", "O'Neil", "o'neil",     "Müller", "MÜLLER",      "muller", "",
        "   ",   "Zed",   "zed",     "émile",    "Émile",  "\u017Fmith", "Kelvin", "\u212Aelvin", "A*B",    "a\"b",
        "Ωμέγα", "ΩΜΈΓΑ", "#1",      "50%",      "[x]",    "Tab\there",  "straße", "STRAẞE",      "😀 Smile"};
    const QStringList &kNames;
    static inline const QStringList kCities = {"Springfield", "SPRINGFIELD ", "springfield", "Shelbyville", "",
                                               "Zürich",      "ZÜRICH",       "Ogdenville"};
    static inline const QStringList kPatterns = {"S*",    "*MI*", "?MITH", "[A-M]*", "[!S]*",        "*[*]*", "#*",
                                                 "*",     "",     "smith", "Ω*",     "*e",           "[ſ]*",  "*[#]*",
                                                 "*[[]*", "?",    "*'*",   "*\"*",   "[a-z][!a-z]*", "*  ",   "*ÜLL*"};

    QString pick(const QStringList &list) { return list.at(m_random.bounded(int(list.size()))); }

    QVariant maybe(const QVariant &value) { return m_random.bounded(8) == 0 ? QVariant() : value; }

    QDate randomDate()
    {
        static const QDate kDates[] = {QDate(1930, 1, 1),  QDate(1993, 12, 1),  QDate(1993, 12, 31),
                                       QDate(2000, 2, 29), QDate(2000, 12, 31), QDate(2001, 1, 1),
                                       QDate(2024, 3, 15), QDate(2029, 12, 31), QDate(1996, 1, 7)};
        return kDates[m_random.bounded(int(std::size(kDates)))];
    }

    static QString statementText(const QString &s)
    {
        QString d = s;
        d.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + d + QLatin1Char('\'');
    }

    static QString formulaText(const QString &s)
    {
        QString d = s;
        d.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + d + QLatin1Char('"');
    }

    QString op()
    {
        const char *ops[] = {"=", "<>", "<", ">", "<=", ">="};
        return QString::fromLatin1(ops[m_random.bounded(6)]);
    }

    void term(QString *where, QString *formula)
    {
        const QString textField = QStringList{"LastName", "City", "Notes"}.at(m_random.bounded(3));
        const QString numberField = m_random.bounded(2) ? QStringLiteral("KeyDeposit") : QStringLiteral("LockerNumber");
        const QString o = op();
        switch (m_random.bounded(9)) {
        case 0:
        case 1: {
            const QString value = pick(m_random.bounded(2) ? kNames : kCities);
            *where += QStringLiteral("[%1] %2 %3").arg(textField, o, statementText(value));
            *formula += QStringLiteral("{Information.%1} %2 %3").arg(textField, o, formulaText(value));
            break;
        }
        case 2: {
            const QString pattern = pick(kPatterns);
            const bool negated = m_random.bounded(3) == 0;
            *where += QStringLiteral("[%1] %2LIKE %3").arg(textField, negated ? "NOT " : "", statementText(pattern));
            const QString like = QStringLiteral("{Information.%1} like %2").arg(textField, formulaText(pattern));
            *formula += negated ? QStringLiteral("not (%1)").arg(like) : like;
            break;
        }
        case 3:
            *where += QStringLiteral("[%1] = NULL").arg(textField);
            *formula += QStringLiteral("(IsNull ({Information.%1}) or {Information.%1} = \"\")").arg(textField);
            break;
        case 4: {
            const QString value =
                m_random.bounded(4) == 0 ? QStringLiteral("12.5") : QString::number(m_random.bounded(-3, 31));
            *where += QStringLiteral("[%1] %2 %3").arg(numberField, o, value);
            *formula += QStringLiteral("{Information.%1} %2 %3").arg(numberField, o, value);
            break;
        }
        case 5: {
            const QDate d = randomDate();
            *where += QStringLiteral("[DateRented] %1 #%2/%3/%4#").arg(o).arg(d.month()).arg(d.day()).arg(d.year());
            *formula += QStringLiteral("{Information.DateRented} %1 Date (%2,%3,%4)")
                            .arg(o)
                            .arg(d.year())
                            .arg(d.month())
                            .arg(d.day());
            break;
        }
        case 6: {
            const char *intervals[] = {"m", "d", "yyyy", "y", "ww"};
            const QString interval = QString::fromLatin1(intervals[m_random.bounded(5)]);
            const int value = interval == "yyyy" ? 1990 + m_random.bounded(45) : m_random.bounded(1, 60);
            *where += QStringLiteral("DatePart(\"%1\",[DateRented]) %2 %3").arg(interval, o).arg(value);
            *formula += QStringLiteral("DatePart (\"%1\", {Information.DateRented}) %2 %3").arg(interval, o).arg(value);
            break;
        }
        case 7: {
            const bool yes = m_random.bounded(2) == 0;
            *where += QStringLiteral("[Adult] = %1").arg(yes ? "YES" : "NO");
            *formula += yes ? QStringLiteral("{Information.Adult}") : QStringLiteral("not {Information.Adult}");
            break;
        }
        default: {
            const QString value = pick(kNames);
            QString literal;
            for (QChar c : value)
                literal +=
                    (c == u'*' || c == u'?' || c == u'#' || c == u'[') ? QStringLiteral("[%1]").arg(c) : QString(c);
            *where += QStringLiteral("[LastName] LIKE %1").arg(statementText(literal + QLatin1Char('*')));
            *formula += QStringLiteral("{Information.LastName} starts with %1").arg(formulaText(value));
            break;
        }
        }
    }

    QRandomGenerator m_random;
};

TEST_F(AgreementTest, RandomFiltersSelectAndOrderTheSameRowsInBothLanguages)
{
    FilterGenerator generator(20240315, false);
    generator.fillTable(*db, 400);
    int nonEmpty = 0;
    for (int i = 0; i < 400; ++i) {
        QString where;
        QString formula;
        QString orderBy;
        QStringList keys;
        generator.condition(0, &where, &formula);
        generator.sort(&orderBy, &keys);
        QString statement = QStringLiteral("Select Information.* From Information Where ") + where;
        if (!orderBy.isEmpty())
            statement += QStringLiteral(" ORDER BY ") + orderBy;
        const QList<qint64> expected = statementIds(statement);
        ASSERT_EQ(formulaIds(formula, keys), expected) << statement.toStdString() << "\n"
                                                       << formula.toStdString() << "\n"
                                                       << keys.join(' ').toStdString();
        nonEmpty += expected.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(nonEmpty, 100); // the filters are not all trivially empty
}

TEST_F(AgreementTest, OnAsciiNamesTheWholeTableInNameOrderAndRandomFiltersAgree)
{
    FilterGenerator generator(20261208, true);
    generator.fillTable(*db, 400);
    for (const char *direction : {"+", "-"}) {
        const QString statement = QStringLiteral("Select Information.* From Information ORDER BY [LastName] %1")
                                      .arg(direction[0] == '+' ? "ASC" : "DESC");
        EXPECT_EQ(formulaIds(QString(), {QStringLiteral("%1{Information.LastName}").arg(direction)}),
                  statementIds(statement))
            << statement.toStdString();
    }
    for (int i = 0; i < 200; ++i) {
        QString where;
        QString formula;
        QString orderBy;
        QStringList keys;
        generator.condition(0, &where, &formula);
        generator.sort(&orderBy, &keys);
        QString statement = QStringLiteral("Select Information.* From Information Where ") + where;
        if (!orderBy.isEmpty())
            statement += QStringLiteral(" ORDER BY ") + orderBy;
        ASSERT_EQ(formulaIds(formula, keys), statementIds(statement)) << statement.toStdString();
    }
}

} // namespace
