// The engine's repair: a whole file is left alone; a damaged one is rebuilt
// from every row that can still be read.
#include "DatabaseFiles.h"
#include "FullDisk.h"

#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>

using namespace store;
using namespace testing_support;

namespace {

constexpr int kCustomers = 4000;

class Repair : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Schema::createDeliveredDatabase(path, &e)) << e.text.toStdString();
        insertVariedCustomers(path, kCustomers);
        RawDatabase db;
        ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(db.exec("UPDATE CenterInformation SET YearlyRate = '35.00', Period = '365', "
                            "CenterName = 'Lucky Lanes'",
                            &e));
        db.close();
        customers = storedRows(path, "Information");
        center = storedRows(path, "CenterInformation");
        pages = leafPages(path, "Information");
        ASSERT_GT(pages.size(), 50);
    }

    // Rows on the given leaf pages of the customer table.
    int cellsOn(const QList<int> &leaves) const
    {
        int cells = 0;
        for (int i : leaves)
            cells += pages.at(i).cells;
        return cells;
    }

    // Every row that came back is the row that was there, under its own id.
    void expectRecoveredRowsUnchanged(const QList<StoredRow> &recovered) const
    {
        QHash<qint64, const StoredRow *> original;
        for (const StoredRow &row : customers)
            original.insert(row.rowid, &row);
        for (const StoredRow &row : recovered) {
            ASSERT_TRUE(original.contains(row.rowid)) << row.rowid;
            EXPECT_EQ(row, *original.value(row.rowid));
        }
    }

    QTemporaryDir dir;
    QString path = dir.filePath("VANTREL.MDB");
    QList<StoredRow> customers;
    QList<StoredRow> center;
    QList<Page> pages;
    EngineError e;
    RepairReport report;
};

TEST_F(Repair, AWholeFileIsLeftAsItIs)
{
    const QByteArray before = fileBytes(path);
    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    EXPECT_FALSE(report.wasDamaged);
    EXPECT_EQ(report.rowsLost, 0);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(Repair, APageOfGarbageInTheMiddleCostsOnlyTheRowsOnIt)
{
    const int middle = int(pages.size()) / 2;
    overwritePage(path, pages.at(middle).number);
    ASSERT_NE(integrityCheck(path), "ok");

    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    const int onDamagedPage = cellsOn({middle});
    std::cout << "[ figures  ] " << kCustomers << " rows on " << pages.size() << " leaf pages; page "
              << pages.at(middle).number << " held " << onDamagedPage << ": recovered " << report.rowsRecovered - 1
              << " customer rows (of " << kCustomers - onDamagedPage << " on undamaged pages), lost " << report.rowsLost
              << "\n";

    EXPECT_TRUE(report.wasDamaged);
    EXPECT_EQ(report.rowsRecovered, kCustomers - onDamagedPage + 1)
        << "every customer on a readable page, and the center";
    EXPECT_EQ(report.rowsLost, onDamagedPage) << "the indexes still name the rows of the damaged page";
    EXPECT_EQ(integrityCheck(path), "ok");

    const auto recovered = storedRows(path, "Information");
    ASSERT_EQ(recovered.size(), kCustomers - onDamagedPage);
    expectRecoveredRowsUnchanged(recovered);
    // The rows lost are the page's: one run of consecutive ids.
    QList<qint64> missing;
    QSet<qint64> present;
    for (const StoredRow &row : recovered)
        present.insert(row.rowid);
    for (const StoredRow &row : customers) {
        if (!present.contains(row.rowid))
            missing << row.rowid;
    }
    ASSERT_EQ(missing.size(), onDamagedPage);
    EXPECT_EQ(missing.last() - missing.first() + 1, onDamagedPage);

    EXPECT_EQ(storedRows(path, "CenterInformation"), center);
    // The fresh file has the delivered indexes, is for its owner only, and nothing is left beside it.
    auto db = DBEngine::OpenDatabase(path, &e);
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->tableDef("Information")->index("LastName"));
    EXPECT_EQ(fileMode(path), 0600);
    // The damaged file stays beside it, for its owner only, until the operator removes it.
    const QString kept = QFileInfo(report.damagedCopy).fileName();
    EXPECT_EQ(kept, "VANTREL-DAMAGED-" + QDate::currentDate().toString("yyyy-MM-dd") + ".MDB");
    EXPECT_EQ(filesIn(dir.path()),
              QStringList({"VANTREL-DAMAGED-" + QDate::currentDate().toString("yyyy-MM-dd") + ".MDB", "VANTREL.MDB"}));
    EXPECT_EQ(fileMode(report.damagedCopy), 0600);
}

TEST_F(Repair, ReadablePagesBetweenDamagedOnesAreFound)
{
    // Two damaged pages, a readable one, a damaged one, a readable one: the
    // probing forward jumps past the readable page in between; the lookups
    // of the rows the indexes name bring it back.
    const int first = int(pages.size()) / 3;
    const QList<int> damaged{first, first + 1, first + 3};
    for (int i : damaged)
        overwritePage(path, pages.at(i).number);

    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    const auto recovered = storedRows(path, "Information");
    EXPECT_EQ(recovered.size(), kCustomers - cellsOn(damaged));
    EXPECT_EQ(report.rowsLost, cellsOn(damaged));
    expectRecoveredRowsUnchanged(recovered);
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST_F(Repair, ReadingByRowIdAloneFindsEveryReadablePage)
{
    // Without indexes only the row id probes find the rows behind damage.
    // Two damaged pages, a readable one, a damaged one: the probes forward
    // from the first damage double their step and land beyond the readable
    // page; only the search of the skipped range finds it.
    RawDatabase db;
    ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("DROP INDEX LockerNumber; DROP INDEX LastName", &e));
    db.close();
    const int first = int(pages.size()) / 4;
    const QList<int> damaged{first, first + 1, first + 3, first + 40};
    for (int i : damaged)
        overwritePage(path, pages.at(i).number);

    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    const auto recovered = storedRows(path, "Information");
    EXPECT_EQ(recovered.size(), kCustomers - cellsOn(damaged));
    EXPECT_EQ(report.rowsRecovered, kCustomers - cellsOn(damaged) + 1);
    expectRecoveredRowsUnchanged(recovered);
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST_F(Repair, ADamagedIndexLosesNoRow)
{
    const QList<Page> indexPages = leafPages(path, "LastName");
    ASSERT_GT(indexPages.size(), 3);
    overwritePage(path, indexPages.at(indexPages.size() / 2).number);

    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    EXPECT_TRUE(report.wasDamaged);
    EXPECT_EQ(report.rowsLost, 0);
    EXPECT_EQ(storedRows(path, "Information"), customers);
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST_F(Repair, FailuresLeaveTheFileByteForByte)
{
    overwritePage(path, pages.at(pages.size() / 2).number);
    const QByteArray damaged = fileBytes(path);
    {
        FullDisk fullDisk(damaged.size() / 3);
        EXPECT_FALSE(DBEngine::RepairDatabase(path, &e, &report));
    }
    EXPECT_EQ(e.number, Err::DiskFull) << e.text.toStdString();
    EXPECT_TRUE(e.text.startsWith(QString("Could not repair '%1': ").arg(path))) << e.text.toStdString();
    EXPECT_EQ(fileBytes(path), damaged);
    EXPECT_EQ(filesIn(dir.path()), QStringList({"VANTREL.MDB"}));

    // A file in which nothing reads as a page of a database is not changed.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(20000, 'x'));
    file.close();
    const QByteArray hopeless = fileBytes(path);
    EXPECT_FALSE(DBEngine::RepairDatabase(path, &e, &report));
    EXPECT_EQ(e.number, Err::UnrecognizedFormat) << e.text.toStdString();
    EXPECT_EQ(fileBytes(path), hopeless);
    EXPECT_EQ(filesIn(dir.path()), QStringList({"VANTREL.MDB"}));
}

} // namespace
