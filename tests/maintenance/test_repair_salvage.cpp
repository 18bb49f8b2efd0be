// Repair of damage that tempts a salvage to guess: a list of free pages it
// cannot read, broken overflow chains, rows that break a unique index, a file
// cut short. Every customer on a readable page comes back, no deleted one
// does, and no note holds bytes that were never its text.
#include "DatabaseFiles.h"

#include "maintenance/MaintenanceMessages.h"
#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

using namespace store;
using namespace testing_support;

namespace {

constexpr int kCustomers = 3000;
constexpr qint64 kFirstDeleted = 1201;
constexpr qint64 kLastDeleted = 1800;

void exec(const QString &path, const QString &sql)
{
    RawDatabase db;
    EngineError e;
    ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e)) << e.text.toStdString();
    ASSERT_TRUE(db.exec(sql, &e)) << e.text.toStdString();
}

// The overflow pages of each long note, in chain order, by the customer's id.
// Each note repeats "NNNNN;" (its id), so any page of it names its owner.
QHash<qint64, QList<int>> noteChains(const QString &path)
{
    RawDatabase db;
    EngineError e;
    EXPECT_TRUE(db.open(path, RawDatabase::ReadOnly, &e));
    QMap<QString, QList<int>> byCell;
    Statement st(db.handle(),
                 "SELECT pageno, path FROM dbstat WHERE name = 'Information' AND pagetype = 'overflow' "
                 "ORDER BY path");
    while (st.step()) {
        const QString path = st.value(1).toString();
        byCell[path.left(path.indexOf('+'))] << int(st.int64(0));
    }
    const QByteArray bytes = fileBytes(path);
    QHash<qint64, QList<int>> chains;
    for (const QList<int> &chain : std::as_const(byCell)) {
        const QByteArray start = bytes.mid(qint64(chain.first() - 1) * 4096 + 4, 16);
        chains.insert(start.mid(start.indexOf(';') + 1, 5).toLongLong(), chain);
    }
    return chains;
}

void cutFile(const QString &path, double share)
{
    QFile file(path);
    ASSERT_TRUE(file.resize(qint64(double(file.size()) * share)));
}

struct Case {
    const char *name;
    std::function<void(const QString &path, const QHash<qint64, QList<int>> &chains)> damage;
    qint64 cutNote = 0; // the customer whose note is read only in part
    // What this damage leaves besides the customers.
    std::function<void(const QString &path, const RepairReport &report, const QString &message)> check;
};

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

class Salvage : public ::testing::TestWithParam<Case>
{
protected:
    static void SetUpTestSuite()
    {
        s_template = new QTemporaryDir;
        const QString path = s_template->filePath("VANTREL.MDB");
        EngineError e;
        ASSERT_TRUE(Schema::createDeliveredDatabase(path, &e));
        insertVariedCustomers(path, kCustomers);
        exec(path,
             "UPDATE Information SET Notes = substr(replace(hex(zeroblob(2000)), '00', printf('%05d;', "
             "rowid)), 1, 9000) WHERE rowid % 60 = 0;"
             "CREATE TABLE Lanes (Lane INTEGER PRIMARY KEY, Code TEXT);"
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
             "INSERT INTO Lanes SELECT i, 'L' || i FROM n;"
             "CREATE INDEX LaneCode ON Lanes (Code);"
             // A scratch copy, dropped by an engine that leaves freed pages as they were: they go to
             // the list of free pages with their rows.
             "PRAGMA secure_delete = OFF;"
             "CREATE TABLE Scratch AS SELECT * FROM Information WHERE rowid BETWEEN 1201 AND 1800;"
             "DELETE FROM Information WHERE rowid BETWEEN 1201 AND 1800;"
             "DROP TABLE Scratch");
        s_customers = new QHash<qint64, StoredRow>;
        for (const StoredRow &row : storedRows(path, "Information"))
            s_customers->insert(row.rowid, row);
        s_chains = new QHash<qint64, QList<int>>(noteChains(path));
    }
    static void TearDownTestSuite()
    {
        delete s_template;
        delete s_customers;
        delete s_chains;
    }

    static inline QTemporaryDir *s_template = nullptr;
    static inline QHash<qint64, StoredRow> *s_customers = nullptr;
    static inline QHash<qint64, QList<int>> *s_chains = nullptr;
};

TEST_P(Salvage, EveryReadableCustomerComesBackAndNothingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("VANTREL.MDB");
    ASSERT_TRUE(QFile::copy(s_template->filePath("VANTREL.MDB"), path));
    const QList<Page> leaves = leafPages(path, "Information");
    ASSERT_GE(s_chains->size(), 30);
    GetParam().damage(path, *s_chains);
    const qint64 damagedSize = fileBytes(path).size();

    EngineError e;
    RepairReport report;
    ASSERT_TRUE(DBEngine::RepairDatabase(path, &e, &report)) << e.text.toStdString();
    ASSERT_TRUE(report.wasDamaged);
    EXPECT_EQ(integrityCheck(path), "ok");
    const QString message =
        maintenance::closingMessage(maintenance::Command::Repair,
                                    maintenance::Outcome{maintenance::Outcome::Result::Done, {}, report})
            .text;
    std::cout << "[ message  ] " << GetParam().name << ": " << message.toStdString() << "\n";

    // No deleted customer, and no value that was not there.
    const int notes = [&] {
        RawDatabase db;
        EXPECT_TRUE(db.open(path, RawDatabase::ReadOnly, &e));
        Statement st(db.handle(), "SELECT cid FROM pragma_table_info('Information') WHERE name = 'Notes'");
        return st.step() ? int(st.int64(0)) : -1;
    }();
    ASSERT_GE(notes, 0);
    QSet<qint64> back;
    qint64 cut = 0;
    for (const StoredRow &row : storedRows(path, "Information")) {
        back.insert(row.rowid);
        ASSERT_TRUE(s_customers->contains(row.rowid)) << "customer " << row.rowid << " was deleted";
        const StoredRow &was = s_customers->value(row.rowid);
        if (row == was)
            continue;
        // A note read only in part: what was read, and the mark.
        ++cut;
        QString note = row.values.at(notes).toString();
        ASSERT_TRUE(note.endsWith(cutTextMark())) << row.rowid << ": " << note.toStdString();
        note.chop(cutTextMark().size());
        EXPECT_FALSE(note.isEmpty());
        EXPECT_TRUE(was.values.at(notes).toString().startsWith(note)) << note.toStdString();
        // The fields stored after it are empty, never made up.
        for (int i = 0; i < row.values.size(); ++i) {
            if (i < notes) {
                EXPECT_EQ(row.values.at(i), was.values.at(i));
            } else if (i > notes) {
                EXPECT_TRUE(row.values.at(i).isNull() || row.values.at(i) == was.values.at(i));
            }
        }
        if (GetParam().cutNote) {
            EXPECT_EQ(row.rowid, GetParam().cutNote);
        }
    }

    // Every customer whose leaf page lies within the file.
    qint64 onReadableLeaves = 0;
    for (const Page &page : leaves) {
        if (qint64(page.number) * 4096 <= damagedSize)
            onReadableLeaves += page.cells;
    }
    const TableRepair *customers = report.table("Information");
    ASSERT_TRUE(customers);
    EXPECT_GE(customers->recovered, onReadableLeaves);
    const qint64 trulyLost = s_customers->size() - back.size();
    EXPECT_LE(customers->lost, trulyLost);
    if (customers->lostAtLeast)
        EXPECT_TRUE(message.contains(customers->lost > 0 ? QString("at least %1 could not be read").arg(customers->lost)
                                                         : QString("an unknown number could not be read")));
    else
        EXPECT_EQ(customers->lost, trulyLost);
    EXPECT_EQ(customers->textsCut, cut);
    if (GetParam().cutNote) {
        EXPECT_EQ(cut, 1);
    }
    if (GetParam().check)
        GetParam().check(path, report, message);
}

const Case kCases[] = {
    {"a list of free pages that cannot be read",
     [](const QString &path, const QHash<qint64, QList<int>> &) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::ReadWrite));
         ASSERT_TRUE(file.seek(32));
         file.write(QByteArray(4, '\0'));
     },
     0,
     [](const QString &path, const RepairReport &report, const QString &message) {
         // The deleted customers' pages are kept apart, never among the customers.
         const TableRepair *outside = report.table("Information (found outside the table)");
         ASSERT_TRUE(outside);
         EXPECT_GT(outside->recovered, 0);
         for (const StoredRow &row : storedRows(path, "Information (found outside the table)")) {
             EXPECT_GE(row.rowid, kFirstDeleted);
             EXPECT_LE(row.rowid, kLastDeleted);
         }
         EXPECT_TRUE(message.contains("were put in the table 'Information (found outside the table)', not among "
                                      "the rows of 'Information'"))
             << message.toStdString();
     }},
    {"a note's overflow chain damaged in its first page",
     [](const QString &path, const QHash<qint64, QList<int>> &chains) {
         overwritePage(path, chains.value(1920).first());
     },
     1920, nullptr},
    {"a note's overflow chain damaged in its last page",
     [](const QString &path, const QHash<qint64, QList<int>> &chains) {
         overwritePage(path, chains.value(2400).last());
     },
     2400, nullptr},
    {"rows that break a unique index",
     [](const QString &path, const QHash<qint64, QList<int>> &) {
         exec(path,
              "INSERT INTO Lanes (Code) VALUES ('L1'), ('L2'), ('L3');"
              "PRAGMA writable_schema = ON;"
              "UPDATE sqlite_master SET sql = 'CREATE UNIQUE INDEX LaneCode ON Lanes (Code)' "
              "WHERE name = 'LaneCode';"
              "PRAGMA writable_schema = OFF");
     },
     0,
     [](const QString &path, const RepairReport &, const QString &message) {
         const QList<StoredRow> lanes = storedRows(path, "Lanes");
         const QList<StoredRow> apart = storedRows(path, "Lanes (kept apart)");
         EXPECT_EQ(lanes.size(), 20);
         ASSERT_EQ(apart.size(), 3);
         EXPECT_EQ(apart.at(0), (StoredRow{21, {21, "L1"}}));
         EXPECT_TRUE(message.contains("3 rows of table 'Lanes' broke a unique index or another rule of that table: "
                                      "they were kept in the table 'Lanes (kept apart)'."))
             << message.toStdString();
         RawDatabase db;
         EngineError e;
         ASSERT_TRUE(db.open(path, RawDatabase::ReadWrite, &e));
         EXPECT_FALSE(db.exec("INSERT INTO Lanes (Code) VALUES ('L4')", &e)) << "the index is unique again";
     }},
    {"a file cut to 70%", [](const QString &path, const QHash<qint64, QList<int>> &) { cutFile(path, 0.7); }, 0,
     [](const QString &, const RepairReport &report, const QString &) {
         EXPECT_GT(report.table("Information")->lost, 0);
     }},
};

INSTANTIATE_TEST_SUITE_P(Damage, Salvage, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::to_string(info.index); });

} // namespace
