// The filter builder writes every filter twice: as a statement the record
// window runs and as a formula the reports evaluate. Over many random
// filters on a random table both must select the same rows in the same order.
#include "filter/CriteriaRules.h"
#include "filter/StatementBuilder.h"
#include "reports/formula/SelectionFormula.h"
#include "reports/formula/SortOrder.h"
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/TempProgramFolder.h"

#include <QDate>
#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace filter;

namespace {

// Names with letters from outside ASCII (among them the long s and the
// Kelvin sign, which fold into ASCII) and trailing blanks, whose order the
// database's name index does not give; and names whose order it gives.
const QStringList kTexts = {"Smith",      "SMITH", "smith ", "Smithers",   "O'Neil",     "o'neil", "Müller", "MÜLLER",
                            "Straße",     "A*B",   "(A)",    "Apt #5",     "a[b]c",      "50%",    "x_y",    "Ann",
                            "ann",        "Zed",   "zed's",  "Émile",      "  lead",     "",       "   ",    "'",
                            "say \"hi\"", "Ab?d",  "12",     "\u017Fmith", "\u212Aelvin"};
const QStringList kAsciiTexts = {"Smith",      "SMITH", "smith", "Smithers", "O'Neil", "o'neil", "Kelvin",
                                 "kelvin",     "A*B",   "(A)",   "Apt #5",   "a[b]c",  "50%",    "x_y",
                                 "Ann",        "ann",   "Zed",   "zed's",    "  lead", "",       "'",
                                 "say \"hi\"", "Ab?d",  "12",    "Miller"};

struct FieldSpec {
    const char *name;
    int type;
};
const FieldSpec kFields[] = {{"LastName", 10},    {"FirstName", 10}, {"City", 10},     {"Notes", 12},
                             {"LockerNumber", 4}, {"KeyDeposit", 4}, {"VIBNumber", 4}, {"DateRented", 8},
                             {"DateToRenew", 8},  {"Adult", 1},      {"Senior", 1},    {"Winter", 1}};

class TwoLanguages : public ::testing::TestWithParam<bool>
{
protected:
    const QStringList &kTexts = GetParam() ? kAsciiTexts : ::kTexts;
    QRandomGenerator rng{20261207};

    template<typename T>
    const T &pick(const QList<T> &list)
    {
        return list.at(int(rng.bounded(qsizetype(list.size()))));
    }
    int between(int lo, int hi) { return lo + int(rng.bounded(hi - lo + 1)); }
    bool chance(int percent) { return int(rng.bounded(100)) < percent; }

    QString randomCase(const QString &s)
    {
        QString out;
        for (QChar c : s)
            out += chance(50) ? c.toUpper() : c.toLower();
        return out;
    }
    QDate randomDate() { return QDate(1985, 1, 1).addDays(between(0, 16000)); }

    void fill(sqlite3 *db, int rows)
    {
        store::execSql(db, "BEGIN", nullptr);
        for (int i = 0; i < rows; ++i) {
            auto text = [&]() -> QVariant { return chance(12) ? QVariant() : QVariant(pick(kTexts)); };
            auto number = [&]() -> QVariant { return chance(10) ? QVariant() : QVariant(between(-5, 60)); };
            auto date = [&]() -> QVariant {
                return chance(10) ? QVariant() : QVariant(randomDate().toString(Qt::ISODate));
            };
            ASSERT_TRUE(store::execSql(
                db,
                "INSERT INTO Information (LastName, FirstName, City, Notes, LockerNumber, KeyDeposit, VIBNumber, "
                "DateRented, DateToRenew, Adult, Senior, Winter) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                nullptr,
                {text(), text(), text(), text(), number(), number(), number(), date(), date(), between(0, 1),
                 between(0, 1), between(0, 1)}));
        }
        store::execSql(db, "COMMIT", nullptr);
    }

    QString dateCriteria()
    {
        const QDate d = randomDate();
        switch (between(0, 2)) {
        case 0: return d.toString("MM/dd/yy");
        case 1: return d.toString("M/d/yyyy");
        default: return d.toString("MM/dd/yyyy");
        }
    }

    FilterRow randomRow()
    {
        const FieldSpec &f = kFields[between(0, int(std::size(kFields)) - 1)];
        FilterRow row;
        row.exists = true;
        row.field = chance(20) ? QString::fromLatin1(f.name).toLower() : QString::fromLatin1(f.name);
        row.typeCode = f.type;
        const QString kind = listKindOf(f.type);
        QStringList ops = Operators::forKind(kind);
        if (kind == "Date")
            ops += Operators::datePartOperators();
        const int position = between(0, int(ops.size()) - 1);
        row.op = ops.at(position);
        switch (classOf(f.type)) {
        case FieldClass::Text:
            if (chance(15))
                row.criteria = chance(50) ? "empty" : "EMPTY";
            else if (chance(30))
                row.criteria = randomCase(pick(kTexts).left(between(1, 4)));
            else
                row.criteria = randomCase(pick(kTexts));
            if (row.criteria.trimmed().isEmpty())
                row.criteria = "x";
            break;
        case FieldClass::Number:
            row.criteria = chance(20) ? QStringLiteral("%1.5").arg(between(-5, 60)) : QString::number(between(-5, 60));
            break;
        case FieldClass::Boolean: row.criteria = randomCase(pick(QStringList{"yes", "no", "true", "false"})); break;
        case FieldClass::Date:
            switch (position) {
            case 6: row.criteria = QString::number(between(1, 12)); break;
            case 7: row.criteria = QString::number(between(1, 31)); break;
            case 8: row.criteria = QString::number(between(1985, 2028)); break;
            case 9: row.criteria = QString::number(between(1, 366)); break;
            case 10: row.criteria = QString::number(between(1, 52)); break;
            default: row.criteria = dateCriteria(); break;
            }
            break;
        case FieldClass::None: break;
        }
        return row;
    }

    FilterRows randomFilter()
    {
        FilterRows rows;
        rows.table = "Information";
        const int count = between(1, 5);
        for (int i = 0; i < count; ++i) {
            FilterRow row = randomRow();
            if (i + 1 < count)
                row.condition = chance(50) ? "And" : "Or";
            rows.rows.append(row);
        }
        const int sorts = between(0, 3);
        for (int k = 0; k < sorts; ++k) {
            const FieldSpec *f;
            do {
                f = &kFields[between(0, int(std::size(kFields)) - 1)];
            } while (f->type == 12);
            rows.sorts.append({true, QString::fromLatin1(f->name), chance(50) ? "Ascending" : "Descending"});
        }
        if (sorts == 0)
            rows.sorts.append({true, DoNotSort, ""});
        return rows;
    }
};

TEST_P(TwoLanguages, StatementAndFormulaSelectTheSameRowsInTheSameOrder)
{
    testing_support::TempProgramFolder folder;
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        fill(raw, 600);
        sqlite3_close(raw);
    }
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(folder.databasePath(), &e);
    ASSERT_TRUE(db) << e.text.toStdString();
    const store::TableDef &table = *db->tableDef("Information");
    auto all = db->OpenRecordset("Information", store::Recordset::Table, &e);
    QList<QVariantList> rows;
    QList<qint64> ids;
    for (int i = 0; i < all->RecordCount(); ++i) {
        rows.append(all->rowAt(i));
        ids.append(all->idAt(i));
    }

    int mismatches = 0;
    int nonTrivial = 0;
    // Every row in the order of each field as well: the whole table sorted by
    // an indexed name is what the record set may walk the index for.
    QList<GeneratedFilter> wholeTable;
    for (const FieldSpec &f : kFields) {
        for (const char *direction : {"ASC", "DESC"}) {
            GeneratedFilter g;
            g.statement =
                QStringLiteral("Select Information.* From Information ORDER BY [%1] %2").arg(f.name, direction);
            // An empty formula selects every row.
            g.sortKeys[0] = QStringLiteral("%1{Information.%2}").arg(direction[0] == 'A' ? "+" : "-", f.name);
            if (f.type != 12)
                wholeTable << g;
        }
    }
    for (int n = 0; n < 1200 + wholeTable.size(); ++n) {
        GeneratedFilter g;
        if (n < wholeTable.size()) {
            g = wholeTable.at(n);
        } else {
            FilterRows filter = randomFilter();
            const CriteriaCheck check = CheckCriteria(filter);
            ASSERT_TRUE(check.passed) << check.title.toStdString();
            g = CreateSQLStatement(filter);
        }

        auto selected = db->OpenRecordset(g.statement, store::Recordset::Dynaset, &e);
        ASSERT_TRUE(selected) << e.text.toStdString() << "\n" << g.statement.toStdString();
        QList<qint64> byStatement;
        for (int i = 0; i < selected->RecordCount(); ++i)
            byStatement.append(selected->idAt(i));

        reports::formula::SelectionFormula formula;
        QString error;
        ASSERT_TRUE(reports::formula::SelectionFormula::compile(g.formula, table, &formula, &error))
            << error.toStdString() << "\n"
            << g.formula.toStdString();
        QStringList keys;
        for (const QString &k : g.sortKeys)
            if (!k.isEmpty())
                keys << k;
        reports::formula::SortOrder order;
        ASSERT_TRUE(reports::formula::SortOrder::parse(keys, table, &order, &error)) << error.toStdString();
        QList<int> chosen;
        for (int i = 0; i < rows.size(); ++i)
            if (formula.selects(rows.at(i)))
                chosen.append(i);
        std::stable_sort(chosen.begin(), chosen.end(),
                         [&](int a, int b) { return order.lessThan(rows.at(a), rows.at(b)); });
        QList<qint64> byFormula;
        for (int i : chosen)
            byFormula.append(ids.at(i));

        if (!byStatement.isEmpty() && byStatement.size() < rows.size())
            ++nonTrivial;
        if (byStatement != byFormula) {
            ++mismatches;
            ADD_FAILURE() << "statement: " << g.statement.toStdString() << "\nformula: " << g.formula.toStdString()
                          << "\nkeys: " << keys.join(' ').toStdString() << "\nstatement rows " << byStatement.size()
                          << ", formula rows " << byFormula.size();
            if (mismatches > 5)
                break;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(nonTrivial, 300) << "most filters should select some rows but not all";
}

INSTANTIATE_TEST_SUITE_P(Names, TwoLanguages, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return info.param ? "AsciiNamesOnly" : "NamesBeyondAscii";
});

} // namespace
