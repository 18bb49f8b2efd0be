// The engine as the windows use it, on a database file and on a server
// alike: the same rows in the same order, the same values back, the same
// refusals; and what only a server has, several desks at once.
#include "BackendDatabase.h"
#include "csv/CsvExport.h"
#include "csv/CsvImport.h"
#include "lockermap/LockerMap.h"
#include "reports/ReportRows.h"
#include "store/DBEngine.h"
#include "store/DataControl.h"
#include "store/DatabaseChoice.h"
#include "store/Recordset.h"
#include "store/server/ServerSchema.h"
#include "support/FakeField.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace store;

namespace {

using testing_support::Backend;
using testing_support::BackendDatabase;

struct Customer {
    QVariant locker;
    QVariant last;
    QVariant city;
};

void addCustomers(Database &db, const QList<Customer> &customers)
{
    EngineError e;
    auto rs = db.OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs) << e.text.toStdString();
    for (const Customer &c : customers) {
        ASSERT_TRUE(rs->AddNew(&e));
        rs->setValue("LockerNumber", c.locker);
        rs->setValue("LastName", c.last);
        rs->setValue("City", c.city);
        ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();
    }
}

QStringList lastNames(Recordset &rs)
{
    QStringList names;
    for (int i = 0; i < rs.RecordCount(); ++i)
        names << rs.rowAt(i).value(rs.fieldIndex("LastName")).toString();
    return names;
}

class BackendTest : public testing_support::BackendTest
{
protected:
    void SetUp() override
    {
        db = database.open();
        ASSERT_TRUE(db);
    }

    std::shared_ptr<Database> db;
};

TEST_P(BackendTest, TablesIndexesAndStatementsGiveTheSameRowsInTheSameOrder)
{
    addCustomers(*db,
                 {{3, "Cole", "Springfield"},
                  {1, "adams", "Shelbyville"},
                  {7, "Émile", "shelbyville"},
                  {2, "Baker", QVariant()},
                  {QVariant(), "ÉMILIE", "Shelbyville "},
                  {5, QVariant(), "Ogdenville"}});
    EngineError e;
    auto table = db->OpenRecordset("Information", Recordset::Table, &e);
    ASSERT_TRUE(table) << e.text.toStdString();
    EXPECT_EQ(lastNames(*table), QStringList({"Cole", "adams", "Émile", "Baker", "ÉMILIE", ""}));
    ASSERT_TRUE(table->setIndex("LastName", &e)) << e.text.toStdString();
    EXPECT_EQ(lastNames(*table), QStringList({"", "adams", "Baker", "Cole", "Émile", "ÉMILIE"}));
    ASSERT_TRUE(table->setIndex("LockerNumber", &e));
    EXPECT_EQ(lastNames(*table), QStringList({"ÉMILIE", "adams", "Baker", "Cole", "", "Émile"}));

    // Texts compare case-blind, every letter, trailing blanks aside.
    auto found = db->OpenRecordset("Select * From Information Where [City] = 'SHELBYVILLE' Order By [LastName] DESC",
                                   Recordset::Dynaset, &e);
    ASSERT_TRUE(found) << e.text.toStdString();
    EXPECT_EQ(lastNames(*found), QStringList({"ÉMILIE", "Émile", "adams"}));
    auto like = db->OpenRecordset("Select * From Information Where [LastName] Like 'é*'", Recordset::Snapshot, &e);
    ASSERT_TRUE(like) << e.text.toStdString();
    EXPECT_EQ(lastNames(*like), QStringList({"Émile", "ÉMILIE"}));
    qint64 counted = 0;
    ASSERT_TRUE(db->count("Select * From Information Where [City] = NULL Or [LockerNumber] > 4", &counted, &e));
    EXPECT_EQ(counted, 3);
}

TEST_P(BackendTest, ValuesComeBackAsTheyWentInAndWritesAreSeenByAnotherConnection)
{
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->AddNew(&e));
    rs->setValue("LockerNumber", QStringLiteral("2147483647"));
    rs->setValue("DateRented", QDate(2024, 2, 29));
    rs->setValue("Adult", true);
    rs->setValue("Notes", QString(5000, QChar(u'ü')));
    ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();
    ASSERT_TRUE(rs->AddNew(&e));
    rs->setValue("LastName", QStringLiteral("Second"));
    ASSERT_TRUE(rs->Update(&e));
    const qint64 first = rs->idAt(0);

    auto other = database.open();
    auto seen = other->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_EQ(seen->RecordCount(), 2);
    ASSERT_TRUE(seen->setBookmark(first, &e));
    EXPECT_EQ(seen->value("LockerNumber"), QVariant(2147483647LL));
    EXPECT_EQ(seen->value("DateRented"), QVariant(QDate(2024, 2, 29)));
    EXPECT_EQ(seen->value("Adult"), QVariant(true));
    EXPECT_EQ(seen->value("Notes").toString(), QString(5000, QChar(u'ü')));
    ASSERT_TRUE(seen->MoveLast());
    EXPECT_EQ(seen->value("Adult"), QVariant(false)); // never null
    EXPECT_TRUE(seen->value("DateRented").isNull());

    // Refusals before anything is written.
    ASSERT_TRUE(seen->Edit(&e));
    seen->setValue("LockerNumber", QStringLiteral("2147483648"));
    EXPECT_FALSE(seen->Update(&e));
    EXPECT_EQ(e.number, Err::NumericOverflow);
    seen->CancelUpdate();

    ASSERT_TRUE(seen->Delete(&e)) << e.text.toStdString();
    int deleted = 0;
    ASSERT_TRUE(other->Execute("Delete * From Information Where [LockerNumber] = 2147483647", &e, &deleted))
        << e.text.toStdString();
    EXPECT_EQ(deleted, 1);
    ASSERT_TRUE(rs->Requery(&e));
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_P(BackendTest, ARowDeletedByAnotherConnectionIsToldOnMovingOntoItAndOnSaving)
{
    addCustomers(*db, {{1, "Ames", "X"}, {2, "Boyd", "X"}});
    EngineError e;
    auto mine = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    auto theirs = database.open()->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(mine->Edit(&e));
    mine->setValue("City", QStringLiteral("Typed"));
    ASSERT_TRUE(theirs->Delete(&e));
    ASSERT_TRUE(theirs->Delete(&e));
    EXPECT_FALSE(mine->Update(&e));
    EXPECT_EQ(e.number, Err::RecordDeleted);
    EXPECT_EQ(mine->value("City").toString(), "Typed"); // the typing stays
    mine->CancelUpdate();
    ASSERT_TRUE(mine->MoveNext());
    QVariantList row;
    ASSERT_TRUE(mine->readCurrent(&row, &e));
    EXPECT_TRUE(row.isEmpty());
    EXPECT_FALSE(mine->Edit(&e));
    EXPECT_EQ(e.number, Err::RecordDeleted);
}

TEST_P(BackendTest, TheLockerMapReadsTheSameStates)
{
    const QDate today(2026, 12, 8);
    EngineError e;
    addCustomers(*db,
                 {{1, "Ames", "X"}, {2, "Boyd", "X"}, {2, "Cole", "X"}, {4, "Dunn", "X"}, {QVariant(), "Eady", "X"}});
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    for (const auto &[position, expiry] : {std::pair{0, today.addDays(200)}, std::pair{3, today.addDays(-3)}}) {
        ASSERT_TRUE(rs->moveTo(position, &e) && rs->Edit(&e));
        rs->setValue("DateToRenew", expiry);
        ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();
    }
    lockermap::MapRange range;
    range.first = 1;
    range.last = 5;
    lockermap::LockerMap map;
    ASSERT_TRUE(lockermap::LockerMap::computeFrom(*db, range, today, &map, &e)) << e.text.toStdString();
    EXPECT_EQ(map.stateOf(1), lockermap::LockerState::Rented);
    EXPECT_EQ(map.stateOf(2), lockermap::LockerState::Double);
    EXPECT_EQ(map.stateOf(3), lockermap::LockerState::Vacant);
    EXPECT_EQ(map.stateOf(4), lockermap::LockerState::Expired);
    EXPECT_EQ(map.cell(2).name, "Boyd, Cole");
    EXPECT_EQ(map.highestInUse(), 4);
}

TEST_P(BackendTest, TheCsvExportWritesTheSameFile)
{
    addCustomers(*db, {{2, "=Boyd, Jr.", "Ogdenville"}, {1, "Ames", QVariant()}});
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->moveTo(1, &e) && rs->Edit(&e));
    rs->setValue("DateRented", QDate(2026, 2, 3));
    rs->setValue("Adult", true);
    ASSERT_TRUE(rs->Update(&e));
    QTemporaryDir out;
    const csv::ExportResult all = csv::CustomerExport::allCustomers(database.name(), out.filePath("all.csv"));
    ASSERT_TRUE(all.succeeded) << all.error.toStdString();
    auto sorted = db->OpenRecordset("Select * From Information Order By [LockerNumber]", Recordset::Snapshot, &e);
    const csv::ExportResult some = csv::CustomerExport::recordset(*sorted, out.filePath("sorted.csv"));
    ASSERT_TRUE(some.succeeded) << some.error.toStdString();
    auto lines = [&](const QString &name) {
        QFile file(out.filePath(name));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split("\r\n").mid(1, 2);
    };
    const QString boyd = "2,,,,,,,,,\"'=Boyd, Jr.\",,,,Ogdenville";
    const QStringList all2 = lines("all.csv");
    ASSERT_EQ(all2.size(), 2);
    EXPECT_TRUE(all2.at(0).startsWith(boyd)) << all2.at(0).toStdString();
    EXPECT_TRUE(all2.at(1).startsWith("1,,,,,,02/03/2026,")) << all2.at(1).toStdString();
    EXPECT_EQ(lines("sorted.csv"), (QStringList{all2.at(1), all2.at(0)}));
}

TEST_P(BackendTest, AReportPrintsTheSameRowsInTheSameOrder)
{
    addCustomers(*db, {{3, "Cole", "Springfield"}, {1, "adams", "Shelbyville"}, {2, "Émile", "Shelbyville"}});
    for (const QString &selection : {QString(),
                                     QStringLiteral("Select * From Information Where [City] = "
                                                    "'shelbyville'")}) {
        reports::ReportRows rows;
        QString why;
        const QStringList formulas{selection.isEmpty() ? QString() : "{Information.City} = \"Shelbyville\""};
        ASSERT_TRUE(rows.open(db, formulas, {"-{Information.LastName}"}, &why, selection)) << why.toStdString();
        ASSERT_TRUE(rows.select({}));
        QStringList printed;
        rows.readRows(0, rows.count(), [&](qint64, const reports::PrintedRow &row) {
            printed << row.at(size_t(db->tableDef("Information")->fieldIndex("LastName"))).text;
        });
        EXPECT_TRUE(rows.readError().isEmpty()) << rows.readError().toStdString();
        EXPECT_EQ(printed,
                  selection.isEmpty() ? QStringList({"Émile", "Cole", "adams"}) : QStringList({"Émile", "adams"}));
    }
    // A customer deleted at another desk after the rows were counted prints
    // as an empty line, not as another customer's.
    reports::ReportRows rows;
    QString why;
    ASSERT_TRUE(rows.open(db, {QString()}, {"-{Information.LastName}"}, &why) && rows.select({}));
    EngineError e;
    ASSERT_TRUE(database.open()->Execute("Delete * From Information Where [LastName] = 'Cole'", &e))
        << e.text.toStdString();
    QStringList printed;
    rows.readRows(0, rows.count(), [&](qint64, const reports::PrintedRow &row) {
        const reports::FieldValue &last = row.at(size_t(db->tableDef("Information")->fieldIndex("LastName")));
        printed << (last.kind == reports::FieldValue::Kind::Null ? QString() : last.text);
    });
    EXPECT_EQ(printed, QStringList({"Émile", "", "adams"}));
}

TEST_P(BackendTest, TheCsvImportAddsTheSameRowsAndAFailedOneAddsNone)
{
    addCustomers(*db, {{2, "Boyd", "Ogdenville"}});
    QTemporaryDir folder;
    auto importFile = [&](const QByteArray &text, csv::CsvImport::Rows rows) {
        QFile file(folder.filePath("in.csv"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        csv::CsvImport import;
        QString why;
        EXPECT_TRUE(import.open(file.fileName(), database.name(), &why)) << why.toStdString();
        return import.run(rows);
    };
    const csv::ImportResult added = importFile("LockerNumber,LastName,City,DateRented,Adult\r\n"
                                               "2,Émile,Zürich,02/03/2026,Yes\r\n"
                                               "5,Ames,,,No\r\n",
                                               csv::CsvImport::Rows::Good);
    ASSERT_TRUE(added.succeeded) << added.error.toStdString();
    EXPECT_EQ(added.added, 2);
    EXPECT_TRUE(csv::describe(added.summary.issues.value(0)).contains("Locker 2 is already in use"));
    // A row the checks refuse stops an all-or-nothing import before it writes.
    EXPECT_FALSE(
        importFile("LockerNumber,LastName\r\n7,Cole\r\nseven,Dunn\r\n", csv::CsvImport::Rows::AllOrNothing).succeeded);
    const csv::ImportResult center =
        importFile("CenterName,CenterPhone\r\nShelbyville Lanes,555-0100\r\n", csv::CsvImport::Rows::Good);
    ASSERT_TRUE(center.succeeded) << center.error.toStdString();

    EngineError e;
    auto rs = db->OpenRecordset("Select * From Information Order By [LockerNumber]", Recordset::Snapshot, &e);
    ASSERT_TRUE(rs) << e.text.toStdString();
    ASSERT_EQ(rs->RecordCount(), 3);
    ASSERT_TRUE(rs->moveTo(1, &e));
    EXPECT_EQ(rs->value("LastName").toString(), "Émile");
    EXPECT_EQ(rs->value("City").toString(), "Zürich");
    EXPECT_EQ(rs->value("DateRented").toDate(), QDate(2026, 2, 3));
    EXPECT_EQ(rs->value("Adult").toBool(), true);
    ASSERT_TRUE(rs->moveTo(2, &e));
    EXPECT_TRUE(rs->value("City").isNull());
    EXPECT_EQ(rs->value("Adult").toBool(), false);
    auto settings = db->OpenRecordset("CenterInformation", Recordset::Table, &e);
    ASSERT_TRUE(settings) << e.text.toStdString();
    EXPECT_EQ(settings->RecordCount(), 1);
    EXPECT_EQ(settings->value("CenterName").toString(), "Shelbyville Lanes");
}

VANTREL_ON_BOTH_BACKENDS(BackendTest);

// Two desks on one server edit the same customer: the second to save is
// told, and each choice stores exactly what was chosen.
TEST(TwoDesks, TheSecondSaveIsToldAndStoresWhatTheOperatorChose)
{
    BackendDatabase server(Backend::Server, true);
    auto deskA = server.open();
    auto deskB = server.open();
    ASSERT_TRUE(deskA && deskB);
    addCustomers(*deskA, {{1, "Ames", "Old town"}});
    EngineError e;
    auto a = deskA->OpenRecordset("Information", Recordset::Dynaset, &e);
    auto b = deskB->OpenRecordset("Information", Recordset::Dynaset, &e);

    for (const bool keepMine : {true, false}) {
        ASSERT_TRUE(b->Edit(&e));
        b->setValue("City", QStringLiteral("B's city"));
        ASSERT_TRUE(a->Edit(&e));
        a->setValue("LastName", QStringLiteral("A's name"));
        ASSERT_TRUE(a->Update(&e)) << e.text.toStdString();

        EXPECT_FALSE(b->Update(&e));
        EXPECT_EQ(e.number, Err::WriteConflict);
        EXPECT_EQ(e.text, writeConflictText());
        QVariantList other;
        ASSERT_TRUE(b->otherDesksRow(&other, &e));
        EXPECT_EQ(other.value(b->fieldIndex("LastName")).toString(), "A's name");
        EXPECT_EQ(b->value("City").toString(), "B's city"); // the typing stays

        QVariantList stored;
        if (keepMine) {
            const QVariantList chosen = [&] {
                QVariantList row;
                b->readCurrent(&row, nullptr);
                return row;
            }();
            ASSERT_TRUE(b->UpdateKeepingMine(&e)) << e.text.toStdString();
            auto fresh = deskA->OpenRecordset("Information", Recordset::Snapshot, &e);
            ASSERT_TRUE(fresh->readRowAt(0, &stored, &e));
            EXPECT_EQ(stored, chosen); // B's whole row, A's name undone
        } else {
            b->takeOtherDesksRow();
            EXPECT_EQ(b->editMode(), Recordset::EditNone);
            EXPECT_EQ(b->value("LastName").toString(), "A's name");
            auto fresh = deskA->OpenRecordset("Information", Recordset::Snapshot, &e);
            ASSERT_TRUE(fresh->readRowAt(0, &stored, &e));
            EXPECT_EQ(stored, other);
        }
        // Both desks start the next round from what was stored.
        ASSERT_TRUE(a->Requery(&e) && b->Requery(&e));
    }
}

} // namespace

namespace {

using TypedField = testing_support::FakeField;

// A record window's data control on the server, showing City, with every
// failure it reports kept in `told`.
class CityDesk : public DataControl
{
public:
    explicit CityDesk(const QString &server)
    {
        setDatabaseName(server);
        setRecordSource("Information");
        bind(&city);
        QObject::connect(this, &DataControl::error, [this](const EngineError &e) { told << e; });
    }
    // The field goes before the control's own end, which lets go of it.
    ~CityDesk() override { unbind(&city); }
    TypedField city{"City"};
    QList<EngineError> told;
};

// The record window's data control at the second desk: the operator is
// asked, sees both rows, and the screen follows the choice.
TEST(TwoDesks, TheDataControlAsksAndTheScreenFollowsTheChoice)
{
    BackendDatabase server(Backend::Server, true);
    addCustomers(*server.open(), {{1, "Ames", "Old town"}, {2, "Boyd", "Old town"}});
    CityDesk desk(server.name());
    TypedField &city = desk.city;
    QList<EngineError> &told = desk.told;
    ASSERT_TRUE(desk.Refresh());

    auto other = server.open()->OpenRecordset("Information", Recordset::Dynaset, &told.emplaceBack());
    auto saveAtOtherDesk = [&](const QString &value) {
        EngineError e;
        ASSERT_TRUE(other->Edit(&e));
        other->setValue("City", value);
        ASSERT_TRUE(other->Update(&e)) << e.text.toStdString();
    };
    told.clear();

    QList<QVariantList> shown;
    DataControl::ConflictChoice choice = DataControl::ConflictChoice::GoBack;
    desk.setConflictResolver([&](const QStringList &fields, const QVariantList &mine, const QVariantList &theirs) {
        const int at = int(fields.indexOf("City"));
        shown << QVariantList{mine.value(at), theirs.value(at)};
        return choice;
    });

    saveAtOtherDesk("Their town");
    city.type("My town");
    EXPECT_FALSE(desk.moveNext()); // went back: nothing said, the typing stays, the row kept
    EXPECT_TRUE(told.isEmpty());
    EXPECT_EQ(city.boundValue().toString(), "My town");
    EXPECT_EQ(desk.recordset()->AbsolutePosition(), 0);

    choice = DataControl::ConflictChoice::TakeTheirs;
    EXPECT_TRUE(desk.moveNext());
    EXPECT_TRUE(desk.movePrevious());
    EXPECT_EQ(city.boundValue().toString(), "Their town");

    saveAtOtherDesk("Their second town");
    choice = DataControl::ConflictChoice::KeepMine;
    city.type("My town");
    EXPECT_TRUE(desk.UpdateRecord());
    ASSERT_TRUE(other->Requery(&told.emplaceBack()));
    EXPECT_EQ(other->value("City").toString(), "My town");
    EXPECT_EQ(
        shown,
        (QList<QVariantList>{{"My town", "Their town"}, {"My town", "Their town"}, {"My town", "Their second town"}}));

    // A customer deleted at the other desk is told on moving onto it.
    told.clear();
    ASSERT_TRUE(other->MoveLast() && other->Delete(&told.emplaceBack()));
    told.clear();
    EXPECT_TRUE(desk.moveNext());
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told.first().number, Err::RecordDeleted);
}

// Another desk's adds and deletes reach the record window while it is
// open: the count follows, the operator stays on their customer, and
// typing under way is neither lost nor interrupted.
TEST(TwoDesks, AnotherDesksChangesReachTheWindowWithoutLosingThePlaceOrTheTyping)
{
    BackendDatabase server(Backend::Server, true);
    auto other = server.open();
    addCustomers(*other, {{1, "Ames", "A"}, {2, "Boyd", "B"}, {3, "Cole", "C"}});
    CityDesk desk(server.name());
    TypedField &city = desk.city;
    ASSERT_TRUE(desk.Refresh());
    ASSERT_TRUE(desk.moveNext());
    const qint64 boyd = desk.recordset()->Bookmark();

    EngineError e;
    auto theirs = other->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(theirs->Delete(&e)); // Ames, before the operator's place
    addCustomers(*other, {{4, "Dunn", "D"}, {5, "Eady", "E"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return desk.recordset()->RecordCount() == 4; }, 5000));
    EXPECT_EQ(desk.recordset()->Bookmark(), boyd);
    EXPECT_EQ(city.boundValue().toString(), "B");

    city.type("Typed");
    addCustomers(*other, {{6, "Fay", "F"}});
    QTest::qWait(600);
    EXPECT_EQ(desk.recordset()->RecordCount(), 4); // not under the typing
    EXPECT_EQ(city.boundValue().toString(), "Typed");
    ASSERT_TRUE(desk.UpdateRecord());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desk.recordset()->RecordCount() == 5; }, 5000));
    EXPECT_EQ(desk.recordset()->Bookmark(), boyd);
    EXPECT_EQ(city.boundValue().toString(), "Typed");
}

// A desk killed in the middle of its saves leaves every customer whole on
// the server: both fields of the old save or both of the new one.
TEST(TwoDesks, ADeskKilledMidSaveLeavesEveryRowOldOrNew)
{
    BackendDatabase server(Backend::Server, true);
    auto db = server.open();
    addCustomers(*db, {{1, "Start", "Start"}, {2, "Start", "Start"}, {3, "Start", "Start"}});
    std::srand(7);
    bool saved = false;
    for (int kill = 0; kill < 12; ++kill) {
        QProcess desk;
        desk.start(DESK_SAVE_HELPER, {server.name()});
        ASSERT_TRUE(desk.waitForReadyRead(10000)) << desk.readAllStandardError().toStdString();
        QTest::qWait(std::rand() % 40);
        desk.kill(); // SIGKILL: no goodbye to the server
        desk.waitForFinished();
        EngineError e;
        auto rows = db->OpenRecordset("Information", Recordset::Snapshot, &e);
        ASSERT_EQ(rows->RecordCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const QVariantList row = rows->rowAt(i);
            EXPECT_EQ(row.value(rows->fieldIndex("LastName")), row.value(rows->fieldIndex("City"))) << kill;
        }
        saved = rows->rowAt(0).value(rows->fieldIndex("LastName")).toString().startsWith("Save ");
    }
    EXPECT_TRUE(saved); // the desks did save before they were killed
}

// The server goes away under a desk's typing (restarted, or the network
// cut): the save is refused with where and why, the typing stays on the
// screen, nothing is written; the next save connects again and writes it.
TEST(TwoDesks, AServerGoneMidEditKeepsTheTypingAndWritesNothing)
{
    BackendDatabase server(Backend::Server, true);
    auto admin = server.open();
    addCustomers(*admin, {{1, "Ames", "Old town"}});
    CityDesk desk(server.name());
    TypedField &city = desk.city;
    QList<EngineError> &told = desk.told;
    ASSERT_TRUE(desk.Refresh());

    city.type("Typed");
    auto superuser = store::ServerConnection::open(server.name(), &told.emplaceBack());
    told.clear();
    ASSERT_TRUE(superuser->exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                                "current_database() AND pid <> pg_backend_pid()"));
    EXPECT_FALSE(desk.UpdateRecord());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().text.startsWith("The connection to the database server at "))
        << told.first().text.toStdString();
    EXPECT_EQ(city.boundValue().toString(), "Typed");
    EngineError e;
    auto check = server.open()->OpenRecordset("Information", Recordset::Snapshot, &e);
    EXPECT_EQ(check->value("City").toString(), "Old town");

    EXPECT_TRUE(desk.UpdateRecord()) << told.last().text.toStdString();
    ASSERT_TRUE(check->Requery(&e));
    EXPECT_EQ(check->value("City").toString(), "Typed");
}

// A wrong password is told with the server and the reason, never the
// password; the right one, given apart from the URL, connects.
TEST(TwoDesks, AWrongPasswordIsToldAndTheRightOneConnects)
{
    BackendDatabase server(Backend::Server, true);
    auto superuser = store::ServerConnection::open(server.name(), nullptr);
    ASSERT_TRUE(superuser);
    superuser->exec("DROP ROLE IF EXISTS vantrel_password_test");
    ASSERT_TRUE(superuser->exec("CREATE ROLE vantrel_password_test LOGIN SUPERUSER PASSWORD 'right one'"));
    const QString url = server.name() + " user=vantrel_password_test";
    EngineError e;
    DatabaseChoice::setServerPassword("wrong one");
    EXPECT_FALSE(DBEngine::OpenDatabase(url, &e));
    EXPECT_TRUE(e.text.startsWith("Could not connect to the database server at ")) << e.text.toStdString();
    EXPECT_TRUE(e.text.contains("password authentication failed")) << e.text.toStdString();
    EXPECT_FALSE(e.text.contains("wrong one"));
    DatabaseChoice::setServerPassword("right one");
    EXPECT_TRUE(DBEngine::OpenDatabase(url, &e)) << e.text.toStdString();
    DatabaseChoice::setServerPassword(QString());
    superuser.reset();
    store::ServerConnection::open(testing_support::ServerTestDatabase::serverUrl(), nullptr)
        ->exec("DROP ROLE vantrel_password_test");
}

} // namespace
