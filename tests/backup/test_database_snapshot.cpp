// The backup's copy of the database: the database of one moment, with what
// was typed into the open windows, taken while they keep the file open.
#include "maintenance/DatabaseFiles.h"

#include "backup/DatabaseSnapshot.h"
#include "customers/frmInformation.h"
#include "store/DataControl.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace testing_support;

namespace {

TEST(DatabaseSnapshot, HoldsTheTypedEditWhileTheWindowKeepsTheFileOpen)
{
    TempProgramFolder folder;
    ScriptedServices services;
    insertVariedCustomers(folder.databasePath(), 40);
    QPointer<customers::frmInformation> window = new customers::frmInformation;
    window->show();
    QApplication::processEvents();
    store::DataControl *data = window->data();
    ASSERT_TRUE(data->moveTo(5));
    const qint64 customer = data->recordset()->Bookmark();
    auto *firstName = window->findChild<QLineEdit *>("txtFields_0");
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Ottoline");

    backup::DatabaseSnapshot snapshot;
    store::EngineError e;
    ASSERT_TRUE(snapshot.take(folder.databasePath(), &e)) << e.text.toStdString();

    EXPECT_EQ(QFileInfo(snapshot.file()).fileName(), "Vantrel.mdb");
    EXPECT_EQ(fileMode(snapshot.file()), 0600);
    EXPECT_EQ(filesIn(snapshot.folder()), QStringList({"Vantrel.mdb"})) << "no journal beside the copy";
    EXPECT_EQ(integrityCheck(snapshot.file()), "ok");
    const auto rows = storedRows(snapshot.file(), "Information");
    ASSERT_EQ(rows.size(), 40);
    EXPECT_EQ(rows, storedRows(folder.databasePath(), "Information"));
    const auto edited =
        std::find_if(rows.cbegin(), rows.cend(), [&](const StoredRow &r) { return r.rowid == customer; });
    ASSERT_NE(edited, rows.cend());
    EXPECT_EQ(edited->values.at(8).toString(), "Ottoline");

    // The window never let go: it goes on on the same row of the same file.
    EXPECT_TRUE(data->hasOpenFile());
    EXPECT_EQ(data->recordset()->Bookmark(), customer);
    EXPECT_TRUE(services.boxes.isEmpty());

    const QString copy = snapshot.file();
    {
        backup::DatabaseSnapshot gone;
    }
    window->close();
    QApplication::processEvents();
    delete window.data();
    EXPECT_TRUE(QFileInfo::exists(copy)) << "a snapshot lives as long as its object";
}

TEST(DatabaseSnapshot, LeavesOutWhatAnotherConnectionHasNotCommitted)
{
    TempProgramFolder folder;
    insertVariedCustomers(folder.databasePath(), 30);
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(folder.databasePath()).constData(), &writer), SQLITE_OK);
    store::EngineError e;
    ASSERT_TRUE(store::execSql(writer, "BEGIN IMMEDIATE", &e));
    ASSERT_TRUE(store::execSql(writer, "INSERT INTO Information (LockerNumber) VALUES (9999)", &e));

    backup::DatabaseSnapshot snapshot;
    const bool taken = snapshot.take(folder.databasePath(), &e);
    store::execSql(writer, "ROLLBACK", nullptr);
    sqlite3_close(writer);
    ASSERT_TRUE(taken) << e.text.toStdString();
    EXPECT_EQ(rowCount(snapshot.file(), "Information"), 30);
    EXPECT_EQ(integrityCheck(snapshot.file()), "ok");
}

TEST(DatabaseSnapshot, RefusesAMissingDatabaseAndATakenDestination)
{
    TempProgramFolder folder;
    store::EngineError e;
    backup::DatabaseSnapshot snapshot;
    EXPECT_FALSE(snapshot.take(folder.file("Nothing.mdb"), &e));
    EXPECT_EQ(e.number, store::Err::FileNotFound);
    EXPECT_TRUE(snapshot.folder().isEmpty());

    QFile taken(folder.file("copy.mdb"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.write("keep me");
    taken.close();
    EXPECT_FALSE(backup::copyDatabaseConsistently(folder.databasePath(), folder.file("copy.mdb"), &e));
    EXPECT_EQ(e.number, store::Err::FileExists);
    EXPECT_EQ(fileBytes(folder.file("copy.mdb")), QByteArray("keep me"));
}

} // namespace
