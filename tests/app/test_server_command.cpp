// vantrel --database URL --create-server-schema: once into an empty
// database, refused (and nothing touched) after that or without a database.
#include "CommandLineRun.h"
#include "ServerTestDatabase.h"

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
    EXPECT_EQ(runCommandLine({"--database", database.url()}).err, "--database goes with --create-server-schema.");
}
