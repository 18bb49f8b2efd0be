#include "BackendDatabase.h"
#include "store/DBEngine.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "support/Customers.h"

#include <QDate>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;

namespace {

template<typename OnBackend>
class RecordsetOn : public OnBackend
{
protected:
    void SetUp() override
    {
        db = this->database.open();
        ASSERT_TRUE(db);
    }

    void addCustomer(int locker, const QString &last)
    {
        this->database.insert({{{"LockerNumber", locker}, {"LastName", last}}});
    }

    std::shared_ptr<Database> db;
};

using RecordsetTest = RecordsetOn<testing_support::BackendTest>;
// What the embedded file does on its own: its connection's hooks, and
// whole tables read in chunks.
using FileRecordsetTest = RecordsetOn<testing_support::FileTest>;

TEST_P(RecordsetTest, MovesReportPositionsAndRefuseToRunOffTheEnds)
{
    addCustomer(3, "Cole");
    addCustomer(1, "adams");
    addCustomer(2, "Baker");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Table, &e);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->value("LockerNumber").toInt(), 3); // table order
    ASSERT_TRUE(rs->MoveLast());
    EXPECT_EQ(rs->value("LastName").toString(), "Baker");
    ASSERT_TRUE(rs->MoveNext());
    EXPECT_TRUE(rs->atEOF());
    EXPECT_FALSE(rs->MoveNext(&e));
    EXPECT_EQ(e.number, Err::NoCurrentRecord);
    ASSERT_TRUE(rs->MoveFirst());
    EXPECT_FALSE(rs->MovePrevious(&e) && rs->MovePrevious(&e));
    EXPECT_TRUE(rs->atBOF());
}

TEST_P(RecordsetTest, IndexesOrderTheTableAndNamesIgnoreCase)
{
    addCustomer(3, "Cole");
    addCustomer(1, "adams");
    addCustomer(2, "Baker");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Table, &e);
    ASSERT_TRUE(rs->setIndex("LastName", &e)) << e.text.toStdString();
    EXPECT_EQ(rs->value("LastName").toString(), "adams");
    ASSERT_TRUE(rs->setIndex("LockerNumber", &e));
    QList<int> lockers;
    for (rs->MoveFirst(); !rs->atEOF(); rs->MoveNext())
        lockers << rs->value("lockernumber").toInt();
    EXPECT_EQ(lockers, QList<int>({1, 2, 3}));
    EXPECT_FALSE(rs->setIndex("City", &e));
    EXPECT_EQ(e.number, Err::ItemNotFound);

    auto dynaset = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    EXPECT_FALSE(dynaset->setIndex("LastName", &e));
}

TEST_P(RecordsetTest, SetIndexOnEmptyTableLeavesNoCurrentRow)
{
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Table, &e);
    ASSERT_TRUE(rs->setIndex("LastName", &e));
    EXPECT_FALSE(rs->hasCurrent());
    EXPECT_FALSE(rs->MoveFirst(&e));
    EXPECT_EQ(e.number, Err::NoCurrentRecord);
}

TEST_P(RecordsetTest, AddNewStoresKindsAndBookmarksFindRows)
{
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->AddNew(&e));
    rs->setValue("LockerNumber", QStringLiteral("2147483647"));
    rs->setValue("DateRented", QDate(2024, 2, 29));
    rs->setValue("Adult", true);
    rs->setValue("Notes", QString(5000, QChar(u'ü')));
    ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();
    EXPECT_EQ(rs->RecordCount(), 1);
    const qint64 mark = rs->Bookmark();
    EXPECT_EQ(rs->value("LockerNumber").toLongLong(), 2147483647LL);
    EXPECT_EQ(rs->value("DateRented").toDate(), QDate(2024, 2, 29));
    EXPECT_EQ(rs->value("Adult").toBool(), true);
    EXPECT_EQ(rs->value("Notes").toString().size(), 5000);

    addCustomer(9, "Other");
    ASSERT_TRUE(rs->Requery(&e));
    ASSERT_TRUE(rs->MoveLast());
    ASSERT_TRUE(rs->setBookmark(mark, &e));
    EXPECT_EQ(rs->value("LockerNumber").toLongLong(), 2147483647LL);
}

TEST_P(RecordsetTest, WideLongIsRefusedAndTheBufferKeepsTheOtherEdits)
{
    addCustomer(5, "Stone");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->Edit(&e));
    rs->setValue("FirstName", QStringLiteral("Ann"));
    rs->setValue("LockerNumber", QStringLiteral("2147483648"));
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::NumericOverflow);
    EXPECT_TRUE(e.text.contains(QStringLiteral("2147483648"))) << e.text.toStdString();
    EXPECT_TRUE(e.text.contains(QStringLiteral("LockerNumber")));
    EXPECT_EQ(rs->editMode(), Recordset::EditInProgress);
    EXPECT_EQ(rs->value("FirstName").toString(), "Ann");

    rs->setValue("LockerNumber", QStringLiteral("9999999999"));
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::NumericOverflow);
    rs->setValue("LockerNumber", QStringLiteral("77"));
    ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();

    const QVariantMap stored = database.stored("LockerNumber", 77);
    EXPECT_EQ(stored.value("FirstName").toString(), "Ann");
    EXPECT_EQ(stored.value("LastName").toString(), "Stone");
}

TEST_P(RecordsetTest, RefusesWrongKindsAndOverlongText)
{
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->AddNew(&e));
    rs->setValue("KeyNumber", QStringLiteral("12a"));
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::TypeConversion);
    rs->setValue("KeyNumber", QVariant());
    rs->setValue("City", QString(51, 'x'));
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::FieldTooSmall);
    rs->setValue("City", QString(50, 'x'));
    rs->setValue("DateToRenew", QStringLiteral("02/30/2024"));
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::TypeConversion);
    rs->CancelUpdate();
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_FALSE(rs->setValue("City", "x", &e));
    EXPECT_EQ(e.number, Err::UpdateWithoutEdit);
}

TEST_P(RecordsetTest, DeleteMovesToTheNextRowAndSnapshotsKeepTheirOwnPosition)
{
    addCustomer(1, "A");
    addCustomer(2, "B");
    addCustomer(3, "C");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    auto snap = rs->OpenSnapshot();
    ASSERT_TRUE(snap->MoveLast());
    EXPECT_EQ(snap->RecordCount(), 3);
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_FALSE(snap->Edit(&e));

    ASSERT_TRUE(rs->MoveNext());
    ASSERT_TRUE(rs->Delete(&e));
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->value("LastName").toString(), "C");
    ASSERT_TRUE(rs->Delete(&e));
    EXPECT_EQ(rs->value("LastName").toString(), "A");
    ASSERT_TRUE(rs->Delete(&e));
    EXPECT_FALSE(rs->hasCurrent());
}

TEST_F(FileRecordsetTest, MillionRowsCountExactlyAfterMoveLast)
{
    ASSERT_NO_FATAL_FAILURE(testing_support::insertNumberedCustomers(db->handle(), 1000000));
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Table, &e);
    ASSERT_TRUE(rs);
    ASSERT_TRUE(rs->MoveLast(&e));
    EXPECT_EQ(rs->RecordCount(), 1000000);
    EXPECT_EQ(rs->value("LockerNumber").toInt(), 1000000);
}

TEST_P(RecordsetTest, YesNoFieldsAreNeverNull)
{
    addCustomer(1, "Plain");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    EXPECT_EQ(rs->value("Senior"), QVariant(false));
    ASSERT_TRUE(rs->Edit(&e));
    rs->setValue("Senior", QVariant());
    ASSERT_TRUE(rs->Update(&e)) << e.text.toStdString();
    EXPECT_EQ(rs->value("Senior"), QVariant(false));
}

TEST_P(RecordsetTest, EditOfARowDeletedElsewhereIsRefused)
{
    addCustomer(1, "Gone");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(rs->Edit(&e));
    rs->setValue("FirstName", QStringLiteral("Lost"));
    database.removeAll();
    EXPECT_FALSE(rs->Update(&e));
    EXPECT_EQ(e.number, Err::RecordDeleted);
}

VANTREL_ON_BOTH_BACKENDS(RecordsetTest);

int refuseLastName(void *, int action, const char *, const char *column, const char *, const char *)
{
    return action == SQLITE_READ && column && QByteArray(column).compare("LastName", Qt::CaseInsensitive) == 0
        ? SQLITE_DENY
        : SQLITE_OK;
}

TEST_F(FileRecordsetTest, AnUnreadableRowIsTheEnginesErrorAndAGoneRowIsDeleted)
{
    addCustomer(1, "Kept");
    addCustomer(2, "Gone");
    EngineError e;
    auto rs = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    const int lastName = rs->fieldIndex("LastName");
    QVariantList row;
    ASSERT_TRUE(rs->readRowAt(0, &row, &e));
    EXPECT_EQ(row.value(lastName), "Kept");

    sqlite3_set_authorizer(db->handle(), refuseLastName, nullptr);
    ASSERT_TRUE(rs->MoveLast());
    EXPECT_FALSE(rs->readRowAt(1, &row, &e));
    EXPECT_TRUE(row.isEmpty());
    EXPECT_EQ(e.number, Err::Unexpected);
    EXPECT_TRUE(e.text.contains("prohibited")) << e.text.toStdString();
    e.clear();
    EXPECT_FALSE(rs->Edit(&e));
    EXPECT_EQ(e.number, Err::Unexpected);
    EXPECT_EQ(rs->editMode(), Recordset::EditNone);

    sqlite3_set_authorizer(db->handle(), nullptr, nullptr);
    ASSERT_TRUE(rs->readCurrent(&row, &e)) << "a failed read is not remembered";
    EXPECT_EQ(row.value(lastName), "Gone");

    auto later = db->OpenRecordset("Information", Recordset::Dynaset, &e);
    ASSERT_TRUE(execSql(db->handle(), "DELETE FROM Information WHERE LockerNumber = 2", nullptr));
    ASSERT_TRUE(later->MoveLast());
    ASSERT_TRUE(later->readCurrent(&row, &e));
    EXPECT_TRUE(row.isEmpty()) << "a deleted row reads as no row";
    EXPECT_FALSE(later->Edit(&e));
    EXPECT_EQ(e.number, Err::RecordDeleted);
}

int refuseCommit(void *, int action, const char *what, const char *, const char *, const char *)
{
    return action == SQLITE_TRANSACTION && qstrcmp(what, "COMMIT") == 0 ? SQLITE_DENY : SQLITE_OK;
}

TEST_F(FileRecordsetTest, AReadWhoseCommitFailsIsTheEnginesErrorAndLeavesNoTransactionOpen)
{
    addCustomer(2, "Baker");
    addCustomer(1, "Adams");
    struct Case {
        const char *source;
        const char *index; // set on an open table set instead
    };
    for (const Case &c :
         {Case{"Information", nullptr}, Case{"Select * From Information Where [LastName] = 'Adams'", nullptr},
          Case{"Select * From Information Order By [LastName]", nullptr}, Case{"Information", "LastName"}}) {
        SCOPED_TRACE(std::string(c.source) + (c.index ? " indexed" : ""));
        EngineError e;
        std::shared_ptr<Recordset> rs;
        if (c.index) {
            rs = db->OpenRecordset(c.source, Recordset::Table, &e);
            ASSERT_TRUE(rs) << e.text.toStdString();
        }
        sqlite3_set_authorizer(db->handle(), refuseCommit, nullptr);
        const bool read =
            c.index ? rs->setIndex(c.index, &e) : bool(db->OpenRecordset(c.source, Recordset::Dynaset, &e));
        sqlite3_set_authorizer(db->handle(), nullptr, nullptr);
        EXPECT_FALSE(read);
        EXPECT_EQ(e.number, Err::Unexpected);
        EXPECT_TRUE(e.text.contains("not authorized")) << e.text.toStdString();
        EXPECT_NE(sqlite3_get_autocommit(db->handle()), 0) << "the read was left open";
        EXPECT_TRUE(db->OpenRecordset(c.source, Recordset::Dynaset, &e)) << e.text.toStdString();
    }
}

TEST(Statement, AValueSQLiteRefusesFailsTheStep)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    {
        Statement st(db, "SELECT ?1");
        EXPECT_FALSE(st.bind(2, 5));
        EXPECT_TRUE(st.bind(1, 5));
        EXPECT_FALSE(st.step());
        EXPECT_TRUE(st.error().isError());
        st.reset();
        ASSERT_TRUE(st.bindInt64(1, 7));
        ASSERT_TRUE(st.step()) << "a reset forgets the refused value";
        EXPECT_EQ(st.int64(0), 7);
    }
    sqlite3_close(db);
}

} // namespace
