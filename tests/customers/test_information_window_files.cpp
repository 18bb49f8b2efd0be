// The record window over files it cannot change or that are not its own.
#include "WindowFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QCheckBox>

#include "store/RawDatabase.h"
#include "store/Schema.h"

using testing_support::RecordWindowTest;

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
        EXPECT_EQ(services.lastBox().text, QString("The file '%1' is not a Vantrel database: it has no table "
                                                   "'Information'.")
                                               .arg(folder.databasePath()));
        delete window.data();
    }
}

} // namespace
