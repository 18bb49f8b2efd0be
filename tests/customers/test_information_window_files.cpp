// The record window over files it cannot change or that are not its own.
#include "WindowFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "store/RawDatabase.h"
#include "store/Schema.h"

using testing_support::RecordWindowTest;
using testing_support::storedCustomerWhere;

namespace {

class InformationWindowFiles : public RecordWindowTest
{
protected:
    QByteArray bytes() const
    {
        QFile file(folder.databasePath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

TEST_F(InformationWindowFiles, AReadOnlyDatabaseIsSaidOnceAndShownWithoutEditing)
{
    insert({{"LockerNumber", 12}, {"LastName", "Zimmer"}, {"Notes", "keeps a spare ball"}});
    ASSERT_TRUE(QFile::setPermissions(folder.databasePath(), QFile::ReadOwner));
    const QByteArray before = bytes();
    services.answer(platform::Button::OK);

    open();

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, "The database is read-only: changes cannot be saved.");
    EXPECT_EQ(shown("txtFields_1"), "Zimmer");
    EXPECT_TRUE(control<QLineEdit>("TDBMask13")->isReadOnly());
    EXPECT_TRUE(control<QLineEdit>("txtFields_1")->isReadOnly());
    EXPECT_TRUE(control<QPlainTextEdit>("txtFields_8")->isReadOnly());
    EXPECT_FALSE(control<QCheckBox>("chkFields_0")->isEnabled());
    type("txtFields_1", "x");
    EXPECT_EQ(shown("txtFields_1"), "Zimmer");
    // What cannot work is not offered, and nothing says it twice.
    EXPECT_FALSE(control<QToolButton>("Add")->isEnabled());
    EXPECT_FALSE(control<QToolButton>("Delete")->isEnabled());
    EXPECT_FALSE(window->addNewForLocker(99));
    EXPECT_EQ(services.boxes.size(), 1);

    // Sorting reads the same file again without a second word.
    trigger("MnuSortName");
    EXPECT_EQ(services.boxes.size(), 1);
    window->close();
    delete window.data();
    EXPECT_EQ(bytes(), before);
}

TEST_F(InformationWindowFiles, AFileWithoutTheCustomerTableIsNamedAsNotOurs)
{
    for (const QByteArray &contents : {QByteArray(), QByteArray("SQLite format 3")}) {
        QFile::remove(folder.databasePath());
        if (contents.isEmpty()) {
            QFile file(folder.databasePath());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        } else {
            store::EngineError e;
            ASSERT_TRUE(store::Schema::createDeliveredDatabase(folder.databasePath(), &e));
            store::RawDatabase db;
            ASSERT_TRUE(db.open(folder.databasePath(), store::RawDatabase::ReadWrite, &e));
            ASSERT_TRUE(db.exec("DROP TABLE Information", &e));
        }
        services.boxes.clear();
        services.answer(platform::Button::OK);
        open();
        ASSERT_EQ(services.boxes.size(), 1);
        EXPECT_EQ(services.lastBox().text,
                  QString("The file '%1' is not a Vantrel database: it has no table "
                          "'Information'.")
                      .arg(folder.databasePath()));
        delete window.data();
    }
}

// Stored values that the window's fields could not hold as typed: shown as
// stored, kept unless the operator types a new one.
TEST_F(InformationWindowFiles, ValuesThatDoNotFitTheirFieldsAreShownAsStoredAndKept)
{
    const QString note = QString(10 * 1024 * 1024, QLatin1Char('n'));
    insert({{"LockerNumber", 1099511627776LL},
            {"KeyNumber", -2147483649LL},
            {"KeyDeposit", -50},
            {"LastName", "Zimmer"},
            {"Notes", note}});
    open();

    EXPECT_EQ(shown("TDBMask13"), "1099511627776");
    EXPECT_EQ(shown("TDBMask14"), "-2147483649");
    EXPECT_EQ(shown("TDBMask15"), "-50");
    for (const char *name : {"TDBMask13", "TDBMask14", "TDBMask15"})
        EXPECT_EQ(control(name)->toolTip(), "the stored value does not fit this field") << name;
    EXPECT_EQ(control("TDBMask12")->toolTip(), "You can enter your own ID number here for a bowler")
        << "a field whose value fits keeps its prompt";

    auto *notes = control<QPlainTextEdit>("txtFields_8");
    EXPECT_TRUE(notes->isReadOnly());
    EXPECT_TRUE(notes->toPlainText().endsWith("[Shown in part: this note holds 10,485,760 characters. It is kept as it "
                                              "is and cannot be edited here.]"));
    EXPECT_LE(notes->toPlainText().size(), 70000);

    // Leaving the key deposit does not put its "0" over a stored value.
    enter("TDBMask15");
    enter("txtFields_1");
    retype("txtFields_1", "Young");
    ASSERT_TRUE(window->writePendingEdit());
    QVariantMap row = storedCustomerWhere(folder.databasePath(), "LastName", "Young");
    EXPECT_EQ(row.value("LockerNumber").toLongLong(), 1099511627776LL);
    EXPECT_EQ(row.value("KeyNumber").toLongLong(), -2147483649LL);
    EXPECT_EQ(row.value("KeyDeposit").toLongLong(), -50);
    EXPECT_EQ(row.value("Notes").toString(), note);

    // Typing in such a field starts a new value under the field's mask.
    type("TDBMask15", "25");
    EXPECT_EQ(shown("TDBMask15"), "25________");
    EXPECT_EQ(control("TDBMask15")->toolTip(), "Enter the amount the customer has given for the key deposit");
    ASSERT_TRUE(window->writePendingEdit());
    row = storedCustomerWhere(folder.databasePath(), "LastName", "Young");
    EXPECT_EQ(row.value("KeyDeposit").toLongLong(), 25);
    EXPECT_EQ(row.value("LockerNumber").toLongLong(), 1099511627776LL);
}

} // namespace
