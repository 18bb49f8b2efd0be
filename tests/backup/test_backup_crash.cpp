// A backup to a stick killed at any moment leaves on the stick the previous
// archive or the new one, whole, beside the operator's own files untouched;
// the next backup removes what the killed one left.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"

#include "backup/DatabaseSnapshot.h"
#include "store/Schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

using namespace testing_support;

namespace {

constexpr int kOldRows = 5000;
constexpr int kNewRows = 15000;
constexpr int kKills = 30;

// Rows of the database the archive on the stick holds (-1: no sound archive).
qint64 archivedRows(const QString &archive, const QString &scratch)
{
    QString out;
    if (runTool("unzip", {"-tq", archive}, QString(), &out) != 0)
        return -1;
    QDir(scratch).removeRecursively();
    if (runTool("unzip", {"-q", archive, "-d", scratch}, QString(), &out) != 0)
        return -1;
    return rowCount(scratch + "/Vantrel.mdb", "Information");
}

TEST(CrashDuringBackup, EveryKillLeavesTheOldOrTheNewArchiveOnTheStick)
{
    const quint32 seed = qEnvironmentVariableIsSet("VANTREL_CRASH_SEED")
        ? quint32(qEnvironmentVariableIntValue("VANTREL_CRASH_SEED"))
        : 20261208u;
    QRandomGenerator random(seed);
    QTemporaryDir work;
    const QString program = work.filePath("program");
    const QString stick = work.filePath("stick");
    QDir().mkpath(program);
    QDir().mkpath(stick);
    const QString database = program + "/Vantrel.mdb";
    store::EngineError e;
    ASSERT_TRUE(store::Schema::createDeliveredDatabase(database, &e)) << e.text.toStdString();
    insertVariedCustomers(database, kOldRows);
    QFile theirs(stick + "/league.txt");
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
    theirs.write("the operator's own file");
    theirs.close();
    const QString archive = stick + "/VantrelBackup/VantrelBackup.zip";
    ASSERT_EQ(QProcess::execute(BACKUP_CRASH_HELPER, {program, stick}), 0);
    ASSERT_EQ(archivedRows(archive, work.filePath("x")), kOldRows);
    const QByteArray old = fileBytes(archive);
    insertVariedCustomers(database, kNewRows - kOldRows);

    qint64 runMicroseconds = 0;
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(QProcess::execute(BACKUP_CRASH_HELPER, {program, stick}), 0);
    runMicroseconds = clock.nsecsElapsed() / 1000;
    ASSERT_EQ(archivedRows(archive, work.filePath("x")), kNewRows);

    QMap<QString, int> outcomes;
    int attempts = 0;
    for (int kills = 0; kills < kKills;) {
        ASSERT_LT(attempts++, kKills * 4) << "the backup keeps finishing before the kill";
        QFile::remove(archive);
        QFile previous(archive);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write(old);
        previous.close();
        QProcess helper;
        helper.start(BACKUP_CRASH_HELPER, {program, stick});
        ASSERT_TRUE(helper.waitForStarted());
        const auto delay = std::chrono::microseconds(random.bounded(runMicroseconds));
        std::this_thread::sleep_for(delay);
        ::kill(pid_t(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        if (helper.exitStatus() != QProcess::CrashExit)
            continue;
        ++kills;
        SCOPED_TRACE(QString("kill after %1 us").arg(delay.count()).toStdString());
        const qint64 rows = archivedRows(archive, work.filePath("x"));
        ASSERT_TRUE(rows == kOldRows || rows == kNewRows) << rows;
        outcomes[rows == kOldRows ? "previous archive" : "new archive"] += 1;
        ASSERT_EQ(fileBytes(stick + "/league.txt"), QByteArray("the operator's own file"));
    }

    // The next backup finishes and leaves no copy outside the archive.
    ASSERT_EQ(QProcess::execute(BACKUP_CRASH_HELPER, {program, stick}), 0);
    EXPECT_EQ(archivedRows(archive, work.filePath("x")), kNewRows);
    EXPECT_EQ(filesIn(stick + "/VantrelBackup"), QStringList({"VantrelBackup.zip"}));
    EXPECT_EQ(filesIn(program), QStringList({"Vantrel.mdb"}));
    EXPECT_FALSE(QFileInfo::exists(backup::DatabaseSnapshot::folderNameFor(database)));
    std::cout << "[ figures  ] seed " << seed << "; an uninterrupted backup took " << runMicroseconds / 1000 << " ms; "
              << kKills << " kills (" << attempts - kKills << " runs ended before their kill):";
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
        std::cout << " " << it.value() << " x " << it.key().toStdString();
    std::cout << "\n";
}

} // namespace
