#include "BackendDatabase.h"
#include "store/DataControl.h"
#include "support/FakeField.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace store;

namespace {

using testing_support::FakeField;

template<typename OnBackend>
class DataControlOn : public OnBackend
{
protected:
    void SetUp() override
    {
        data.setDatabaseName(this->database.name());
        data.setRecordSource("Information");
        data.bind(&locker);
        data.bind(&first);
    }
    QList<QList<QVariant>> rows()
    {
        QList<QList<QVariant>> out;
        for (const QVariantMap &row : this->database.storedRows())
            out.append({row.value("LockerNumber"), row.value("FirstName")});
        return out;
    }

    DataControl data;
    FakeField locker{"LockerNumber"};
    FakeField first{"FirstName"};
};

using DataControlTest = DataControlOn<testing_support::BackendTest>;
// What only a file can do: be missing, or refuse a read through its
// connection's own hooks.
using FileDataControlTest = DataControlOn<testing_support::FileTest>;

TEST_P(DataControlTest, AddedRowIsWrittenWhenLeftAndBoundFieldsFollowMoves)
{
    ASSERT_TRUE(data.Refresh());
    ASSERT_TRUE(data.addNew());
    locker.type("10");
    first.type("Ann");
    ASSERT_TRUE(data.addNew());
    locker.type("20");
    first.type("Bob");
    ASSERT_TRUE(data.moveFirst());
    EXPECT_EQ(locker.m_value.toInt(), 10);
    EXPECT_EQ(first.m_value.toString(), "Ann");
    ASSERT_TRUE(data.moveNext());
    EXPECT_EQ(first.m_value.toString(), "Bob");
    EXPECT_FALSE(data.moveNext()) << "the navigator stays on the last row";
    EXPECT_EQ(rows().size(), 2);
}

TEST_P(DataControlTest, EditIsWrittenOnTheClosingCallAndAnAddWithNothingTypedAddsNothing)
{
    ASSERT_TRUE(data.Refresh());
    ASSERT_TRUE(data.addNew());
    ASSERT_TRUE(data.UpdateRecord());
    EXPECT_TRUE(rows().isEmpty());
    ASSERT_TRUE(data.addNew());
    first.type("Cy");
    ASSERT_TRUE(data.UpdateRecord());
    first.type("Cyd");
    ASSERT_TRUE(data.UpdateRecord());
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows().at(0).at(1).toString(), "Cyd");
}

TEST_P(DataControlTest, RefusedValueKeepsTheRowAndEveryTypedEdit)
{
    ASSERT_TRUE(data.Refresh());
    ASSERT_TRUE(data.addNew());
    locker.type("1");
    first.type("Old");
    ASSERT_TRUE(data.UpdateRecord());

    QSignalSpy errors(&data, &DataControl::error);
    locker.type("9999999999");
    first.type("New");
    EXPECT_FALSE(data.moveLast());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.at(0).at(0).value<EngineError>().number, Err::NumericOverflow);
    EXPECT_EQ(locker.m_value.toString(), "9999999999");
    EXPECT_EQ(first.m_value.toString(), "New");
    EXPECT_TRUE(first.isBoundModified());
    EXPECT_EQ(rows().at(0).at(1).toString(), "Old");

    locker.type("12");
    ASSERT_TRUE(data.UpdateRecord());
    EXPECT_EQ(rows().at(0), (QList<QVariant>{12, "New"}));
}

TEST_F(FileDataControlTest, MissingFileIsReportedAndLeavesNoRows)
{
    data.setDatabaseName(database.folder().file("nothing-here.mdb"));
    QSignalSpy errors(&data, &DataControl::error);
    EXPECT_FALSE(data.Refresh());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(data.lastError().number, Err::FileNotFound);
    EXPECT_FALSE(data.recordset());
    EXPECT_FALSE(data.moveNext());
}

TEST_P(DataControlTest, SharedRecordSetWritesTheOtherWindowsEditBeforeMoving)
{
    ASSERT_TRUE(data.Refresh());
    for (const char *name : {"A", "B", "C"}) {
        data.addNew();
        first.type(name);
    }
    ASSERT_TRUE(data.moveFirst());

    DataControl list;
    list.setRecordset(data.recordset());
    first.type("A2");
    ASSERT_TRUE(list.moveTo(2));
    EXPECT_EQ(first.m_value.toString(), "C") << "the record window follows the list";
    EXPECT_EQ(rows().at(0).at(1).toString(), "A2");

    first.type("C2");
    locker.type("99999999999");
    EXPECT_FALSE(list.moveTo(0)) << "a refused edit keeps both windows on the row";
    EXPECT_EQ(data.recordset()->AbsolutePosition(), 2);
    EXPECT_EQ(first.m_value.toString(), "C2");
}

TEST_P(DataControlTest, AFieldThatGoesFirstIsNeitherFilledNorWritten)
{
    ASSERT_TRUE(data.Refresh());
    auto last = std::make_unique<FakeField>("LastName");
    data.bind(last.get());
    ASSERT_TRUE(data.addNew());
    first.type("Ann");
    last->type("Lee");
    last.reset();
    EXPECT_EQ(data.boundFields(), (QList<BoundField *>{&locker, &first}));

    ASSERT_TRUE(data.UpdateRecord());
    ASSERT_TRUE(data.addNew());
    first.type("Bob");
    ASSERT_TRUE(data.moveFirst());
    EXPECT_EQ(first.m_value.toString(), "Ann");
    ASSERT_FALSE(database.storedRows().isEmpty());
    EXPECT_TRUE(database.storedRows().first().value("LastName").isNull())
        << "the edit of a control that went is not written";
}

TEST_P(DataControlTest, AControlThatGoesFirstLeavesItsFieldsUnbound)
{
    FakeField last("LastName");
    {
        DataControl other;
        other.bind(&last);
        EXPECT_EQ(last.dataSource(), &other);
        data.bind(&last);
        EXPECT_EQ(last.dataSource(), &data) << "a field has one data control";
        EXPECT_TRUE(other.boundFields().isEmpty());
        other.bind(&last);
    }
    EXPECT_EQ(last.dataSource(), nullptr);
    EXPECT_EQ(data.boundFields(), (QList<BoundField *>{&locker, &first}));
    ASSERT_TRUE(data.Refresh());
    data.bind(&last);
    data.unbind(&last);
    EXPECT_EQ(last.dataSource(), nullptr);
}

TEST_P(DataControlTest, TheOwnerClosesTheSharedRowsAndASharerOnlyLetsGo)
{
    ASSERT_TRUE(data.Refresh());
    ASSERT_TRUE(data.addNew());
    first.type("Ann");
    ASSERT_TRUE(data.UpdateRecord());
    EXPECT_EQ(data.recordsetHold(), RecordsetHold::Owner);

    DataControl list;
    FakeField listName("FirstName");
    list.bind(&listName);
    list.setRecordset(data.recordset());
    EXPECT_EQ(list.recordsetHold(), RecordsetHold::Sharer);
    EXPECT_EQ(listName.m_value.toString(), "Ann");
    list.closeRecordset();
    EXPECT_EQ(list.recordsetHold(), RecordsetHold::None);
    ASSERT_TRUE(data.recordset()->isOpen()) << "the record window keeps its rows";
    EXPECT_EQ(first.m_value.toString(), "Ann");

    list.setRecordset(data.recordset());
    const std::shared_ptr<Recordset> kept = data.recordset(); // someone else still holds it
    data.closeRecordset();
    EXPECT_FALSE(kept->isOpen()) << "the owner's close reaches every holder";
    EXPECT_TRUE(listName.m_value.isNull());
    EXPECT_EQ(list.recordset(), kept);
    list.closeRecordset();
    EXPECT_EQ(kept.use_count(), 1);
}

VANTREL_ON_BOTH_BACKENDS(DataControlTest);

// Refuses every read of one column, as the engine refuses a read it cannot do.
int refuseFirstName(void *, int action, const char *, const char *column, const char *, const char *)
{
    return action == SQLITE_READ && column && QByteArray(column).compare("FirstName", Qt::CaseInsensitive) == 0
        ? SQLITE_DENY
        : SQLITE_OK;
}

TEST_F(FileDataControlTest, ARowThatCannotBeReadIsReportedAndNotTakenForDeleted)
{
    ASSERT_TRUE(data.Refresh());
    ASSERT_TRUE(data.addNew());
    locker.type("7");
    first.type("Ann");
    ASSERT_TRUE(data.UpdateRecord());
    sqlite3 *handle = data.database()->handle();

    sqlite3_set_authorizer(handle, refuseFirstName, nullptr);
    QSignalSpy errors(&data, &DataControl::error);
    ASSERT_TRUE(data.Refresh());
    ASSERT_EQ(errors.size(), 1);
    const EngineError shown = errors.at(0).at(0).value<EngineError>();
    EXPECT_EQ(shown.number, Err::Unexpected);
    EXPECT_EQ(shown.text.toStdString(), "The record could not be read: access to Information.FirstName is prohibited");
    EXPECT_TRUE(first.m_value.isNull());

    locker.type("8");
    EXPECT_FALSE(data.UpdateRecord());
    EXPECT_EQ(data.lastError().number, Err::Unexpected) << "not a deleted record";

    sqlite3_set_authorizer(handle, nullptr, nullptr);
    ASSERT_TRUE(data.UpdateRecord()) << "the read is tried again";
    EXPECT_EQ(first.m_value.toString(), "Ann");
    EXPECT_EQ(locker.m_value.toInt(), 8);
}

} // namespace
