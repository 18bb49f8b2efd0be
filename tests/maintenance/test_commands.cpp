// The main menu's compress and repair commands: one checked database named
// "VANTREL.MDB" afterwards, or the database byte for byte as it was and a
// message that says why.
#include "DatabaseFiles.h"
#include "FullDisk.h"

#include "maintenance/MaintenanceCommands.h"
#include "store/DBEngine.h"
#include "store/DataControl.h"
#include "store/ProgramFolder.h"
#include "store/RawDatabase.h"
#include "support/FakeField.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testing_support;
using platform::Button;
using platform::Icon;

namespace {

using TypedField = testing_support::FakeField;

enum class Which { Compress, Repair };

class Commands : public ::testing::Test
{
protected:
    void SetUp() override { insertVariedCustomers(database(), 300, 4); }

    QString database() const { return store::programPath("\\Vantrel.mdb"); }
    QString upperCaseName() const { return folder.file("VANTREL.MDB"); }
    QString target() const { return folder.file("VANTRELOLD.MDB"); }

    bool run(Which which)
    {
        return which == Which::Compress ? maintenance::compressDatabase() : maintenance::repairDatabase();
    }
    static QString notRun(Which which)
    {
        return which == Which::Compress ? "Your database has not been compressed; it is as it was.\r\r"
                                        : "Your database has not been repaired; it is as it was.\r\r";
    }
    static QString title(Which which) { return which == Which::Compress ? "Compress" : "Repair"; }

    void expectFailureBox(Which which, const QString &reason)
    {
        ASSERT_EQ(services.boxes.size(), 1);
        const auto &box = services.lastBox();
        EXPECT_EQ(box.title, title(which));
        EXPECT_EQ(box.text, notRun(which) + reason);
        EXPECT_EQ(box.icon, Icon::Critical);
        EXPECT_EQ(box.buttons, platform::Buttons::OKOnly);
    }

    TempProgramFolder folder;
    ScriptedServices services;
};

TEST_F(Commands, CompressLeavesOneDatabaseNamedInUpperCaseWithTheSameRows)
{
    const auto rows = storedRows(database(), "Information");
    ASSERT_EQ(rows.size(), 225);
    const qint64 sizeBefore = fileBytes(database()).size();
    platform::Pointer pointerAtNotice = platform::Pointer::Default;
    services.answerWith([&](const platform::MessageBoxRequest &) {
        pointerAtNotice = services.pointer();
        return Button::OK;
    });

    EXPECT_TRUE(maintenance::compressDatabase());

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().title, "Notice!");
    EXPECT_EQ(services.lastBox().text, "Your database has been successfully compressed. ");
    EXPECT_EQ(services.lastBox().icon, Icon::Information);
    EXPECT_EQ(services.lastBox().buttons, platform::Buttons::OKOnly);
    EXPECT_EQ(pointerAtNotice, platform::Pointer::Hourglass);
    EXPECT_EQ(services.pointerChanges,
              QList<platform::Pointer>({platform::Pointer::Hourglass, platform::Pointer::Default}));

    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information"), rows);
    EXPECT_LT(fileBytes(upperCaseName()).size(), sizeBefore);
    EXPECT_EQ(fileMode(upperCaseName()), 0600);

    // A data window opened afterwards finds it under the name it knows.
    store::DataControl data;
    data.setDatabaseName(store::programPath("\\Vantrel.mdb"));
    data.setRecordSource("Information");
    ASSERT_TRUE(data.Refresh());
    EXPECT_EQ(data.recordset()->RecordCount(), 225);
    data.release();

    // Once more, now that the file has its upper-case name.
    services.answer(Button::OK);
    EXPECT_TRUE(maintenance::compressDatabase());
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information"), rows);
}

TEST_F(Commands, RepairOfAWholeFileLeavesOneDatabaseWithTheSameRows)
{
    const auto rows = storedRows(database(), "Information");
    services.answer(Button::OK);

    EXPECT_TRUE(maintenance::repairDatabase());

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().title, "Notice!");
    EXPECT_EQ(services.lastBox().text, "Your database has been successfully repaired. ");
    EXPECT_EQ(services.lastBox().icon, Icon::Information);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information"), rows);
}

TEST_F(Commands, RepairOfADamagedFileSaysWhatItRecovered)
{
    const auto pages = leafPages(database(), "Information");
    ASSERT_GT(pages.size(), 4);
    const Page damaged = pages.at(pages.size() / 2);
    overwritePage(database(), damaged.number);
    services.answer(Button::OK);

    EXPECT_TRUE(maintenance::repairDatabase());

    EXPECT_EQ(services.lastBox().title, "Notice!");
    // The damaged file is kept as a change that can be undone, out of the folder.
    const QStringList kept = filesIn(folder.file("VANTREL.MDB.kept"));
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(services.lastBox().text,
              QString("Your database has been successfully repaired. \r\rThe file was damaged: "
                      "%1 customer rows recovered, %2 could not be read.\r"
                      "The damaged file has been kept as '%3'. \"Undo Last Change\" in the Database menu puts it "
                      "back; it is removed with the other kept changes.")
                  .arg(225 - damaged.cells)
                  .arg(damaged.cells)
                  .arg(folder.file("VANTREL.MDB.kept/" + kept.first())));
    EXPECT_EQ(services.lastBox().icon, Icon::Exclamation);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information").size(), 225 - damaged.cells);
    EXPECT_EQ(integrityCheck(upperCaseName()), "ok");
}

class CommandFailures : public Commands, public ::testing::WithParamInterface<Which>
{
};

TEST_P(CommandFailures, AFileLeftByAnEarlierRunIsNeverDeleted)
{
    ASSERT_TRUE(QFile::copy(database(), target()));
    const QByteArray before = fileBytes(database());
    const QByteArray leftover = fileBytes(target());
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    expectFailureBox(GetParam(),
                     QString("A file left by an earlier compress or repair is in the way: '%1'. It may hold the only "
                             "good copy of your data if that run was interrupted, so it has not been deleted. Move it "
                             "to a safe place, then run the command again.")
                         .arg(target()));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_EQ(fileBytes(target()), leftover);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTRELOLD.MDB", "Vantrel.mdb"}));
}

TEST_P(CommandFailures, AFullDiskLeavesTheDatabaseAsItWas)
{
    const QByteArray before = fileBytes(database());
    services.answer(Button::OK);
    {
        FullDisk disk(before.size() / 4);
        EXPECT_FALSE(run(GetParam()));
    }
    expectFailureBox(GetParam(),
                     QString("Could not compact '%1': database or disk is full\r\rFree some space on the "
                             "disk, then run the command again.")
                         .arg(database()));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"}));
}

TEST_P(CommandFailures, AnUnreadableFileIsLeftAsItWas)
{
    QFile file(database());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(16384, '\x5a'));
    file.close();
    const QByteArray before = fileBytes(database());
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    expectFailureBox(GetParam(),
                     GetParam() == Which::Compress
                         ? QString("Could not compact '%1': file is not a database\r\rThe file is "
                                   "damaged or is not a database. Run Repair, or restore the database "
                                   "from a backup.")
                               .arg(database())
                         : QString("Could not repair '%1': nothing in it can be read as a database; it "
                                   "has not been changed.")
                               .arg(database()));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"}));
}

TEST_P(CommandFailures, TwoDatabaseFilesThatDifferOnlyInCaseAreLeftAlone)
{
    ASSERT_TRUE(QFile::copy(database(), upperCaseName()));
    const QByteArray before = fileBytes(database());
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    expectFailureBox(GetParam(),
                     QString("The program folder '%1' holds more than one database file: VANTREL.MDB, "
                             "Vantrel.mdb. Move the ones you do not need out of the folder, then run the "
                             "command again.")
                         .arg(folder.path()));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_EQ(fileBytes(upperCaseName()), before);
}

TEST_P(CommandFailures, WithoutADatabaseNothingIsCreated)
{
    QFile::remove(database());
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    expectFailureBox(GetParam(), QString("Could not find file '%1'.").arg(upperCaseName()));
    EXPECT_TRUE(filesIn(folder.path()).isEmpty());
}

TEST_P(CommandFailures, AStaleJournalOrLogUnderTheNewNameStopsTheCommand)
{
    const QByteArray before = fileBytes(database());
    const QByteArray journal("stale journal pages that belong to no file of ours");
    for (const QString &name : {QString("VANTREL.MDB-journal"), QString("VANTREL.MDB-wal"), QString("vantrel.MDB-SHM"),
                                QString("VANTRELOLD.MDB-journal")}) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.file(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(journal);
        file.close();
        services.boxes.clear();
        services.answer(Button::OK);

        EXPECT_FALSE(run(GetParam()));

        expectFailureBox(GetParam(),
                         QString("A journal left by a program that stopped before it finished lies beside the "
                                 "database: '%1'. It belongs to a file of another name, and the command would give "
                                 "that name to a database, which would then play the journal into it. Nothing has "
                                 "been changed. Keep the folder as it is and have it looked at before you run the "
                                 "command again.")
                             .arg(folder.file(name)));
        EXPECT_FALSE(services.lastBox().text.contains("move", Qt::CaseInsensitive));
        EXPECT_EQ(fileBytes(database()), before);
        EXPECT_EQ(fileBytes(folder.file(name)), journal);
        QFile::remove(folder.file(name));
    }
}

// What a kill in the middle of a long write leaves: the file with some of the
// new pages written and the journal that undoes them.
void leaveHotJournal(const QString &database)
{
    QTemporaryDir scratch;
    const QString live = scratch.filePath("live.mdb");
    ASSERT_TRUE(QFile::copy(database, live));
    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(live, store::RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(db.exec("PRAGMA cache_size = 5; BEGIN; "
                        "INSERT INTO Information (LastName, Notes) SELECT 'Import', hex(randomblob(300)) "
                        "FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                        "SELECT i FROM n)",
                        &e))
        << e.text.toStdString();
    ASSERT_GT(QFileInfo(live + "-journal").size(), 0);
    ASSERT_NE(fileBytes(live), fileBytes(database)) << "some new pages are in the file";
    QFile::remove(database);
    ASSERT_TRUE(QFile::copy(live, database));
    ASSERT_TRUE(QFile::copy(live + "-journal", database + "-journal"));
    db.exec("ROLLBACK", nullptr);
}

TEST_P(CommandFailures, AnInterruptedWriteIsRolledBackBeforeTheCommand)
{
    const auto rows = storedRows(database(), "Information");
    leaveHotJournal(database());
    services.answer(Button::OK);

    EXPECT_TRUE(run(GetParam()));

    EXPECT_EQ(services.lastBox().title, "Notice!");
    EXPECT_FALSE(services.lastBox().text.contains("damaged")) << services.lastBox().text.toStdString();
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information"), rows);
    EXPECT_EQ(integrityCheck(upperCaseName()), "ok");
}

// A journal the engine would not roll back changes no database: it stops
// nothing, and the one the database leaves under its former name goes.
TEST_P(CommandFailures, AColdJournalStopsNothingAndTheRenameTakesTheDatabasesOwnAlong)
{
    const auto rows = storedRows(database(), "Information");
    writeColdJournal(database(), folder.file("Vantrel.mdb-journal"));
    services.answer(Button::OK);
    EXPECT_TRUE(run(GetParam()));
    EXPECT_EQ(services.lastBox().title, "Notice!");
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));

    // Under another spelling it belongs to no name the command gives: it stays.
    writeColdJournal(upperCaseName(), folder.file("Vantrel.mdb-journal"));
    services.answer(Button::OK);
    EXPECT_TRUE(run(GetParam())) << services.lastBox().text.toStdString();
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB", "Vantrel.mdb-journal"}));
    EXPECT_EQ(storedRows(upperCaseName(), "Information"), rows);
    EXPECT_EQ(integrityCheck(upperCaseName()), "ok");
}

// A program that begins to write the database holds a lock on it while the
// journal it makes is still empty: that journal is no leftover.
TEST_P(CommandFailures, AnEmptyJournalOfADatabaseBeingWrittenStopsTheCommand)
{
    const QByteArray before = fileBytes(database());
    writeColdJournal(database(), folder.file("VANTREL.MDB-journal"));
    store::RawDatabase writer;
    store::EngineError e;
    ASSERT_TRUE(writer.open(database(), store::RawDatabase::ReadWrite, &e));
    ASSERT_TRUE(writer.exec("BEGIN IMMEDIATE", &e)) << e.text.toStdString();
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    EXPECT_TRUE(services.lastBox().text.contains("A journal left by a program that stopped before it finished"))
        << services.lastBox().text.toStdString();
    writer.exec("ROLLBACK", nullptr);
    writer.close();
    EXPECT_EQ(fileBytes(database()), before);
}

TEST_P(CommandFailures, AReadOnlyDatabaseIsRefused)
{
    const QByteArray before = fileBytes(database());
    ASSERT_TRUE(QFile::setPermissions(database(), QFile::ReadOwner));
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    expectFailureBox(GetParam(),
                     QString("The database '%1' is read-only: it cannot be %2. Allow changes to the file "
                             "and its folder, then run the command again.")
                         .arg(database(), GetParam() == Which::Compress ? "compressed" : "repaired"));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_EQ(fileMode(database()), 0400);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"}));
}

TEST_P(CommandFailures, AnEditThatCannotBeSavedIsToldInWholeSentences)
{
    store::DataControl data;
    data.setDatabaseName(database());
    data.setRecordSource("Information");
    TypedField lockerNumber{"LockerNumber"};
    data.bind(&lockerNumber);
    ASSERT_TRUE(data.Refresh());
    // The engine's own text ends without a full stop.
    store::EngineError e;
    {
        store::RawDatabase db;
        ASSERT_TRUE(db.open(database(), store::RawDatabase::ReadWrite, &e));
        ASSERT_TRUE(db.exec("CREATE TRIGGER NoEdits BEFORE UPDATE ON Information BEGIN SELECT RAISE(ABORT, "
                            "'edits are not allowed'); END",
                            &e))
            << e.text.toStdString();
    }
    lockerNumber.type(777);
    services.answer(Button::OK);

    EXPECT_FALSE(run(GetParam()));

    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_TRUE(services.lastBox().text.contains("edits are not allowed. Correct them, then run the command again."))
        << services.lastBox().text.toStdString();
    data.release();
}

INSTANTIATE_TEST_SUITE_P(CompressAndRepair, CommandFailures, ::testing::Values(Which::Compress, Which::Repair),
                         [](const auto &info) { return info.param == Which::Compress ? "Compress" : "Repair"; });

// A database that is a link to a file elsewhere is worked on where it lies;
// the link stays and names the compacted file.
TEST_F(Commands, ALinkedDatabaseIsWorkedOnWhereItLies)
{
    QTemporaryDir elsewhere;
    const QString real = elsewhere.filePath("center.db");
    ASSERT_TRUE(QFile::rename(database(), real));
    ASSERT_TRUE(QFile::link(real, folder.file("Vantrel.mdb")));
    const auto rows = storedRows(real, "Information");

    services.answer(Button::OK);
    EXPECT_TRUE(maintenance::compressDatabase());
    EXPECT_EQ(services.lastBox().title, "Notice!");
    EXPECT_TRUE(QFileInfo(folder.file("Vantrel.mdb")).isSymLink());
    EXPECT_EQ(QFileInfo(folder.file("Vantrel.mdb")).symLinkTarget(), real);
    EXPECT_EQ(filesIn(elsewhere.path()), QStringList({"center.db"}));
    EXPECT_EQ(storedRows(folder.file("Vantrel.mdb"), "Information"), rows);

    const auto pages = leafPages(real, "Information");
    overwritePage(real, pages.at(pages.size() / 2).number);
    services.answer(Button::OK);
    EXPECT_TRUE(maintenance::repairDatabase());
    EXPECT_TRUE(QFileInfo(folder.file("Vantrel.mdb")).isSymLink());
    EXPECT_EQ(filesIn(elsewhere.path()), QStringList({"center.db"}));
    EXPECT_EQ(filesIn(elsewhere.filePath("CENTER.DB.kept")).size(), 1);
    EXPECT_EQ(storedRows(folder.file("Vantrel.mdb"), "Information").size(),
              rows.size() - pages.at(pages.size() / 2).cells);
}

class OpenWindows : public Commands
{
protected:
    void SetUp() override
    {
        Commands::SetUp();
        data.setDatabaseName(database());
        data.setRecordSource("Information");
        data.setRecordsetType(store::Recordset::Table);
        data.bind(&lockerNumber);
        ASSERT_TRUE(data.Refresh());
        ASSERT_TRUE(data.recordset()->setIndex("LastName"));
        ASSERT_TRUE(data.moveTo(40));
    }

    store::DataControl data;
    TypedField lockerNumber{"LockerNumber"};
};

TEST_F(OpenWindows, AnEditThatCannotBeWrittenStopsTheCommandAndStaysTyped)
{
    lockerNumber.type("12x");
    const QByteArray before = fileBytes(database());
    int reportedByTheWindow = 0;
    QObject::connect(&data, &store::DataControl::error, [&] { ++reportedByTheWindow; });
    services.answer(Button::OK);

    EXPECT_FALSE(maintenance::compressDatabase());
    EXPECT_EQ(reportedByTheWindow, 0) << "one box tells it, the command's";

    expectFailureBox(Which::Compress,
                     "The changes in an open window could not be saved: Data type conversion error: "
                     "'12x' is not a whole number for the field 'LockerNumber'. Correct them, then "
                     "run the command again.");
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_TRUE(data.hasOpenFile());
    EXPECT_EQ(lockerNumber.boundValue().toString(), "12x");
    EXPECT_TRUE(data.hasPendingEdits());
}

TEST_F(OpenWindows, SharedRowsAreBuiltAgainByTheirOwnerWhateverTheSharerNames)
{
    // The list is created first and names a source of its own, which its
    // shared rows replace; the rows come back as the owner selects them.
    store::DataControl list;
    list.setDatabaseName(database());
    list.setRecordSource("Information");
    store::DataControl filtered;
    filtered.setDatabaseName(database());
    filtered.setRecordSource("Select * From Information Where [LockerNumber] < 100");
    ASSERT_TRUE(filtered.Refresh());
    list.setRecordset(filtered.recordset());
    const int selected = filtered.recordset()->RecordCount();
    ASSERT_EQ(selected, 99 - 99 / 4);
    services.answer(Button::OK);

    EXPECT_TRUE(maintenance::compressDatabase());

    ASSERT_TRUE(filtered.recordset());
    EXPECT_EQ(filtered.recordsetHold(), store::RecordsetHold::Owner);
    EXPECT_EQ(list.recordset(), filtered.recordset());
    EXPECT_EQ(list.recordsetHold(), store::RecordsetHold::Sharer);
    EXPECT_EQ(filtered.recordset()->RecordCount(), selected);
}

TEST_F(OpenWindows, AConnectionNoWindowLetsGoOfStopsTheCommand)
{
    store::EngineError e;
    const auto held = store::DBEngine::OpenDatabase(database(), &e);
    ASSERT_TRUE(held);
    const QByteArray before = fileBytes(database());
    services.answer(Button::OK);

    EXPECT_FALSE(maintenance::repairDatabase());

    expectFailureBox(Which::Repair,
                     QString("The database '%1' is still open in a window of this program. Close the "
                             "customer windows, then run the command again.")
                         .arg(database()));
    EXPECT_EQ(fileBytes(database()), before);
    EXPECT_TRUE(data.hasOpenFile()) << "the window has the file again";
    EXPECT_EQ(data.recordset()->AbsolutePosition(), 40);
}

TEST_F(OpenWindows, AnotherProgramHoldingTheFileStopsTheCommand)
{
    QProcess other;
    other.start("sh", {"-c", "exec 3<\"$0\"; echo ready; exec sleep 60", database()});
    ASSERT_TRUE(other.waitForReadyRead(5000));
    const QByteArray before = fileBytes(database());
    services.answer(Button::OK);

    EXPECT_FALSE(maintenance::compressDatabase());

    expectFailureBox(Which::Compress,
                     QString("The database '%1' is open in another program (process %2). Close that "
                             "program, then run the command again.")
                         .arg(database())
                         .arg(other.processId()));
    EXPECT_EQ(fileBytes(database()), before);
    other.kill();
    other.waitForFinished();
}

} // namespace
