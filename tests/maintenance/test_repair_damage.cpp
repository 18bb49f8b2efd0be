// Repair of a 20,000-customer file damaged in every way a disk or a crash
// damages files: whatever page is hit, every row on an intact leaf page comes
// back, and the damaged file is kept byte for byte.
#include "DatabaseFiles.h"

#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

using namespace store;
using namespace testing_support;

namespace {

constexpr int kCustomers = 20000;

struct TreePage {
    int number = 0;
    QString tree;
    QString type; // "leaf", "internal", "overflow"
    int cells = 0;
    bool root = false;
};

// Every page of every tree, as the stock engine's page statistics list them.
QList<TreePage> treePages(const QString &path)
{
    RawDatabase db;
    EngineError e;
    EXPECT_TRUE(db.open(path, RawDatabase::ReadOnly, &e));
    QList<TreePage> pages;
    Statement st(db.handle(), "SELECT pageno, name, pagetype, ncell, path = '/' FROM dbstat ORDER BY pageno");
    while (st.step())
        pages << TreePage{int(st.int64(0)), st.value(1).toString(), st.value(2).toString(), int(st.int64(3)),
                          st.int64(4) != 0};
    EXPECT_FALSE(st.error().isError()) << st.error().text.toStdString();
    return pages;
}

class RepairOfDamage : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_template = new QTemporaryDir;
        const QString path = s_template->filePath("VANTREL.MDB");
        EngineError e;
        ASSERT_TRUE(Schema::createDeliveredDatabase(path, &e)) << e.text.toStdString();
        insertVariedCustomers(path, kCustomers);
        s_customers = new QList<StoredRow>(storedRows(path, "Information"));
        s_pages = new QList<TreePage>(treePages(path));
    }
    static void TearDownTestSuite()
    {
        delete s_template;
        delete s_customers;
        delete s_pages;
    }

    void SetUp() override { ASSERT_TRUE(QFile::copy(s_template->filePath("VANTREL.MDB"), path)); }

    static QList<TreePage> pagesWhere(const std::function<bool(const TreePage &)> &wanted)
    {
        QList<TreePage> found;
        for (const TreePage &p : *s_pages) {
            if (wanted(p))
                found << p;
        }
        return found;
    }

    // The customers on leaf pages that are neither overwritten nor cut off.
    static int customersOnIntactLeaves(const QList<int> &damaged, qint64 fileSize)
    {
        const int size = 4096;
        int rows = 0;
        for (const TreePage &p : *s_pages) {
            if (p.tree == "Information" && p.type == "leaf" && !damaged.contains(p.number)
                && qint64(p.number) * size <= fileSize)
                rows += p.cells;
        }
        return rows;
    }

    // Repairs the damaged file and checks what the tests below have in common.
    void repairAndCheck(const QString &damage, const QList<int> &damagedPages)
    {
        ASSERT_EQ(pageSize(s_template->filePath("VANTREL.MDB")), 4096);
        const QByteArray damaged = fileBytes(path);
        const int expected = customersOnIntactLeaves(damagedPages, damaged.size());
        EngineError e;
        RepairReport report;
        ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
        ASSERT_TRUE(report.wasDamaged);
        const TableRepair *customers = report.table("Information");
        ASSERT_TRUE(customers);
        std::cout << "[ figures  ] " << damage.toStdString() << ": " << customers->recovered << " of " << kCustomers
                  << " customers recovered (" << expected << " on intact leaf pages), " << customers->lost
                  << " named by the indexes and lost\n";
        EXPECT_EQ(customers->recovered, expected);
        EXPECT_EQ(report.rowsUnmatched, 0);
        EXPECT_EQ(integrityCheck(path), "ok");

        const QList<StoredRow> recovered = storedRows(path, "Information");
        ASSERT_EQ(recovered.size(), expected);
        QHash<qint64, const StoredRow *> original;
        for (const StoredRow &row : *s_customers)
            original.insert(row.rowid, &row);
        for (const StoredRow &row : recovered) {
            ASSERT_TRUE(original.contains(row.rowid));
            ASSERT_EQ(row, *original.value(row.rowid));
        }
        // The program's tables and indexes are all there, with the center's row.
        EXPECT_EQ(rowCount(path, "CenterInformation"), 1);
        auto db = DBEngine::OpenDatabase(path, &e);
        ASSERT_TRUE(db) << e.text.toStdString();
        EXPECT_TRUE(db->tableDef("Information")->index("LockerNumber"));
        EXPECT_TRUE(db->tableDef("Information")->index("LastName"));
        db.reset();

        ASSERT_FALSE(report.damagedCopy.isEmpty());
        EXPECT_EQ(fileBytes(report.damagedCopy), damaged);
        EXPECT_EQ(fileMode(report.damagedCopy), 0600);
    }

    static inline QTemporaryDir *s_template = nullptr;
    static inline QList<StoredRow> *s_customers = nullptr;
    static inline QList<TreePage> *s_pages = nullptr;
    QTemporaryDir dir;
    QString path = dir.filePath("VANTREL.MDB");
};

void overwriteBytes(const QString &path, qint64 at, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(at));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST_F(RepairOfDamage, OneInteriorPage)
{
    const auto interior =
        pagesWhere([](const TreePage &p) { return p.tree == "Information" && p.type == "internal" && !p.root; });
    ASSERT_FALSE(interior.isEmpty());
    overwritePage(path, interior.first().number);
    repairAndCheck("one interior page", {interior.first().number});
}

TEST_F(RepairOfDamage, TheTablesTopPage)
{
    const auto root = pagesWhere([](const TreePage &p) { return p.tree == "Information" && p.root; });
    ASSERT_EQ(root.size(), 1);
    overwritePage(path, root.first().number);
    repairAndCheck("the table's top page", {root.first().number});
}

TEST_F(RepairOfDamage, TheSchemaPage)
{
    overwritePage(path, 1);
    repairAndCheck("the schema page", {1});
}

TEST_F(RepairOfDamage, TheHeader)
{
    QByteArray garbage(100, '\0');
    QRandomGenerator random(100);
    for (char &c : garbage)
        c = char(random.bounded(256));
    overwriteBytes(path, 0, garbage);
    repairAndCheck("the 100-byte header", {});
}

TEST_F(RepairOfDamage, TheMagic)
{
    overwriteBytes(path, 0, QByteArray(16, '\0'));
    repairAndCheck("16 bytes of the magic", {});
}

TEST_F(RepairOfDamage, AFileCutShort)
{
    QFile file(path);
    ASSERT_TRUE(file.resize(file.size() * 7 / 10 + 1234));
    repairAndCheck("a file cut to 70%", {});
}

TEST_F(RepairOfDamage, TwentyScatteredPages)
{
    QRandomGenerator random(2026);
    QList<int> damaged;
    const int pages = int(QFileInfo(path).size() / 4096);
    while (damaged.size() < 20) {
        const int page = 2 + int(random.bounded(pages - 1));
        if (!damaged.contains(page))
            damaged << page;
    }
    for (int page : damaged)
        overwritePage(path, page);
    repairAndCheck("20 scattered pages", damaged);
}

TEST_F(RepairOfDamage, IndexPagesOnly)
{
    const auto indexPages =
        pagesWhere([](const TreePage &p) { return p.tree == "LastName" || p.tree == "LockerNumber"; });
    QList<int> damaged;
    for (const TreePage &p : indexPages) {
        overwritePage(path, p.number);
        damaged << p.number;
    }
    repairAndCheck("every index page", damaged);
}

// Tables and columns the program does not know are the center's own: they
// come through a repair with their rows, long values and all.
TEST(RepairOfOwnTables, AnExtraTableAndAnExtraColumnAreCarried)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("VANTREL.MDB");
    EngineError e;
    ASSERT_TRUE(Schema::createDeliveredDatabase(path, &e));
    insertVariedCustomers(path, 3000);
    {
        RawDatabase db;
        ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e));
        // The engine's own table of sequences holds a name and a number, as Counters does: its rows
        // are not the center's.
        ASSERT_TRUE(db.exec("CREATE TABLE Pins (Id INTEGER PRIMARY KEY AUTOINCREMENT, Weight TEXT);"
                            "INSERT INTO Pins (Weight) VALUES ('3 lb 6 oz'), ('3 lb 10 oz');"
                            "CREATE TABLE Counters (Name TEXT, Last INTEGER);"
                            "INSERT INTO Counters (rowid, Name, Last) VALUES (100, 'games', 12), (101, 'strikes', 40);"
                            "CREATE TABLE Lanes (Lane INTEGER PRIMARY KEY, Surface TEXT, Resurfaced DATETEXT, "
                            "Oiled REAL, Photo BLOB);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                            "INSERT INTO Lanes SELECT i, 'synthetic ' || i, date('2020-01-01', '+' || i || ' days'), "
                            "i / 4.0, randomblob(i % 7) FROM n;"
                            "CREATE INDEX LanesBySurface ON Lanes (Surface);"
                            "ALTER TABLE Information ADD COLUMN Shoes VARCHAR(10) DEFAULT 'none';"
                            "UPDATE Information SET Shoes = 'size ' || (rowid % 14) WHERE rowid % 3 = 0;"
                            // Notes longer than a page run on over overflow pages.
                            "UPDATE Information SET Notes = hex(randomblob(1000 + rowid % 9000)) WHERE rowid % 40 = 0",
                            &e))
            << e.text.toStdString();
    }
    const QList<StoredRow> customers = storedRows(path, "Information");
    const QList<StoredRow> lanes = storedRows(path, "Lanes");
    const QList<StoredRow> pins = storedRows(path, "Pins");
    const QList<StoredRow> counters = storedRows(path, "Counters");

    // Five pages of customer rows, the last one an interior page, whose leaves the tree no longer reaches.
    const QList<Page> leaves = leafPages(path, "Information");
    QList<int> damaged{leaves.at(3).number, leaves.at(10).number, leaves.at(20).number, leaves.at(30).number};
    int lostRows = leaves.at(3).cells + leaves.at(10).cells + leaves.at(20).cells + leaves.at(30).cells;
    const QList<TreePage> all = treePages(path);
    for (const TreePage &p : all) {
        if (p.tree == "Information" && p.type == "internal" && !p.root) {
            damaged << p.number;
            break;
        }
    }
    for (int page : damaged)
        overwritePage(path, page);

    RepairReport report;
    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    EXPECT_EQ(storedRows(path, "Lanes"), lanes);
    EXPECT_EQ(storedRows(path, "Pins"), pins);
    EXPECT_EQ(storedRows(path, "Counters"), counters);
    ASSERT_TRUE(report.table("Lanes"));
    EXPECT_EQ(report.table("Lanes")->recovered, 500);
    EXPECT_EQ(report.table("Information")->recovered, customers.size() - lostRows);
    EXPECT_EQ(report.table("Information")->lost, lostRows);

    QHash<qint64, StoredRow> before;
    for (const StoredRow &row : customers)
        before.insert(row.rowid, row);
    const QList<StoredRow> after = storedRows(path, "Information");
    ASSERT_EQ(after.size(), customers.size() - lostRows);
    for (const StoredRow &row : after)
        ASSERT_EQ(row, before.value(row.rowid)) << row.rowid;

    RawDatabase db;
    ASSERT_TRUE(db.open(path, RawDatabase::ReadOnly, &e));
    Statement index(db.handle(), "SELECT count(*) FROM sqlite_master WHERE name = 'LanesBySurface'");
    ASSERT_TRUE(index.step());
    EXPECT_EQ(index.int64(0), 1);
}

} // namespace
