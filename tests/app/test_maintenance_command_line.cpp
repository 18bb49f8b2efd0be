// vantrel --compact and --repair: the same commands as the menu's, with the
// notice on standard output, a failure on standard error, and the status.
#include "../maintenance/DatabaseFiles.h"

#include "CommandLineRun.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Outcome = CommandOutcome;

Outcome run(const QStringList &arguments)
{
    return runCommandLine(arguments);
}

TEST(MaintenanceCommandLine, CompactAndRepairTellTheirOutcome)
{
    TempProgramFolder folder;
    insertVariedCustomers(folder.databasePath(), 200);

    Outcome compact = run({"--compact"});
    EXPECT_EQ(compact.status, 0);
    EXPECT_EQ(compact.out, "Your database has been successfully compressed.\n");
    EXPECT_TRUE(compact.err.isEmpty());
    EXPECT_EQ(filesIn(folder.path()), QStringList({"VANTREL.MDB"}));

    const auto pages = leafPages(folder.file("VANTREL.MDB"), "Information");
    overwritePage(folder.file("VANTREL.MDB"), pages.at(1).number);
    Outcome repair = run({"--repair"});
    EXPECT_EQ(repair.status, 0);
    EXPECT_TRUE(repair.out.startsWith(QString("Your database has been successfully repaired. \n\nThe file was damaged: "
                                              "%1 customer rows recovered, %2 could not be read.")
                                          .arg(200 - pages.at(1).cells)
                                          .arg(pages.at(1).cells)))
        << repair.out.toStdString();
    EXPECT_EQ(rowCount(folder.file("VANTREL.MDB"), "Information"), 200 - pages.at(1).cells);
}

TEST(MaintenanceCommandLine, AFailureGoesToStandardErrorWithAStatusOtherThanZero)
{
    TempProgramFolder folder;
    QFile journal(folder.file("VANTRELOLD.MDB-wal"));
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    journal.write("stale");
    journal.close();
    const QByteArray before = fileBytes(folder.databasePath());

    for (const QString &option : {QString("--compact"), QString("--repair")}) {
        const Outcome r = run({option});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains("A journal left by a program that stopped before it finished"))
            << r.err.toStdString();
        EXPECT_EQ(fileBytes(folder.databasePath()), before);
    }
    EXPECT_EQ(run({"--compact", "--repair"}).err, "--compact and --repair cannot be given together.");
}

} // namespace
