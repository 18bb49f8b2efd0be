// The server commands: --create-server-schema once into an empty database,
// refused (and nothing touched) after that or without a database; the
// program folder's file copied to a server and back into a new file.
#include "CommandLineRun.h"
#include "ServerTestDatabase.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace testing_support;

TEST(ServerCommand, CreatesTheSchemaOnceAndSaysWhy)
{
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    const QString where = database.connect()->where();

    CommandOutcome first = runCommandLine({"--database", database.url(), "--create-server-schema"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, QString("The Vantrel tables were created in the database %1.\n").arg(where));

    CommandOutcome again = runCommandLine({"--database", database.url(), "--create-server-schema"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.startsWith(QString("The database %1 is not empty").arg(where))) << again.err.toStdString();

    CommandOutcome noDatabase = runCommandLine({"--create-server-schema"});
    EXPECT_EQ(noDatabase.status, 1);
    EXPECT_EQ(noDatabase.err, "--create-server-schema needs the database: --database URL.\n");
    // Until the program runs on a server, --database alone is refused rather
    // than quietly opening the file.
    EXPECT_EQ(runCommandLine({"--database", database.url()}).err,
              "--database goes with --create-server-schema, --copy-to-server or --copy-from-server.");
}

TEST(ServerCommand, CopiesTheProgramFolderFileThereAndBack)
{
    TempProgramFolder folder;
    insertCustomers(folder.databasePath(), {{{"LastName", "Smith"}}, {{"LastName", "Müller"}}, {{"LockerNumber", 7}}});
    ServerTestDatabase database;
    ASSERT_TRUE(database.isReady());
    const QString where = database.connect()->where();

    CommandOutcome there = runCommandLine({"--database", database.url(), "--copy-to-server"});
    EXPECT_EQ(there.status, 0) << there.err.toStdString();
    EXPECT_EQ(there.out,
              QString("Copied 3 customers and the center's settings into the database %1; every field "
                      "was compared after the copy.\n")
                  .arg(where));

    const QString back = folder.file("Back.mdb");
    CommandOutcome from = runCommandLine({"--database", database.url(), "--copy-from-server", back});
    EXPECT_EQ(from.status, 0) << from.err.toStdString();
    EXPECT_EQ(from.out,
              QString("Copied 3 customers and the center's settings into '%1'; every field was compared "
                      "after the copy.\n")
                  .arg(back));
    EXPECT_EQ(storedCustomerCount(back), 3);
}
