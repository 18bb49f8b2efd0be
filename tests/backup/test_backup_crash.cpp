// A backup to a stick killed at any moment leaves on the stick the previous
// archive or the new one, whole, beside the operator's own files untouched;
// the next backup removes what the killed one left, and so does the next
// start of the program.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"

#include "backup/DatabaseSnapshot.h"
#include "store/Schema.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
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

// The delivered database with `customers` in the folder.
void makeDatabase(const QString &folder, int customers)
{
    store::EngineError e;
    ASSERT_TRUE(store::Schema::createDeliveredDatabase(folder + "/Vantrel.mdb", &e)) << e.text.toStdString();
    insertVariedCustomers(folder + "/Vantrel.mdb", customers);
}

// What a killed backup leaves, beside the destination, the database or on
// the stick, and in the user's cache folder.
QStringList leftoversIn(const QMap<QString, QStringList> &expected)
{
    QStringList left;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QStringList there =
            QDir(it.key()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : there)
            if (!it.value().contains(name))
                left << it.key() + "/" + name;
    }
    return left;
}

// A backup killed at any moment leaves its partial archive and its plain
// copy of the database only until the next start of the program or the
// next run of the same backup; the files of a backup still running stay.
TEST(CrashDuringBackup, WhatAKilledBackupLeftGoesAtTheNextStartOrRun)
{
    QRandomGenerator random(20261209u);
    QTemporaryDir work;
    const QString program = work.filePath("program");
    const QString stick = work.filePath("stick");
    const QString nightly = work.filePath("nightly");
    const QString cache = work.filePath("cache");
    for (const QString &path : {program, stick, nightly, cache})
        QDir().mkpath(path);
    ASSERT_TRUE(copyProgramInto(VANTREL_PROGRAM, program));
    ASSERT_NO_FATAL_FAILURE(makeDatabase(program, kNewRows));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CACHE_HOME", cache);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    const QStringList toNightly = {program, "--to", nightly + "/Vantrel-backup.zip"};
    const QStringList toStick = {program, stick};
    auto run = [&](const QString &executable, const QStringList &arguments) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(executable, arguments);
        EXPECT_TRUE(p.waitForFinished(120000));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    const QMap<QString, QStringList> ours = {{program, {"Vantrel.mdb", "vantrel"}},
                                             {nightly, {"Vantrel-backup.zip"}},
                                             {stick + "/VantrelBackup", {"VantrelBackup.zip"}},
                                             {cache + "/Vantrel/zip-work", {}}};
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(run(BACKUP_CRASH_HELPER, toNightly), 0);
    ASSERT_EQ(run(BACKUP_CRASH_HELPER, toStick), 0);
    const qint64 runMicroseconds = clock.nsecsElapsed() / 2000;
    ASSERT_EQ(leftoversIn(ours), QStringList());

    // Kills, each way of backing up in turn, until some left files behind.
    auto killSome = [&] {
        int leaving = 0;
        for (int attempt = 0; leaving < 4 && attempt < 60; ++attempt) {
            QProcess helper;
            helper.setProcessEnvironment(env);
            helper.start(BACKUP_CRASH_HELPER, attempt % 2 ? toStick : toNightly);
            EXPECT_TRUE(helper.waitForStarted());
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(runMicroseconds)));
            ::kill(pid_t(helper.processId()), SIGKILL);
            helper.waitForFinished();
            if (helper.exitStatus() == QProcess::CrashExit && !leftoversIn(ours).isEmpty())
                ++leaving;
        }
        return leaving;
    };
    ASSERT_GT(killSome(), 0);
    const QStringList left = leftoversIn(ours);
    // The next start of the program, whatever it is started for.
    EXPECT_EQ(run(program + "/vantrel", {"--list-changes"}), 0);
    EXPECT_EQ(leftoversIn(ours), QStringList()) << "left by the kills: " << left.join(", ").toStdString();

    // The next run of the same backup, without a start of the program.
    ASSERT_GT(killSome(), 0);
    ASSERT_EQ(run(BACKUP_CRASH_HELPER, toNightly), 0);
    ASSERT_EQ(run(BACKUP_CRASH_HELPER, toStick), 0);
    EXPECT_EQ(leftoversIn(ours), QStringList());

    // A backup held still half way is not dead: its files stay, and it
    // ends as it would have.
    QProcess held;
    held.setProcessEnvironment(env);
    held.start(BACKUP_CRASH_HELPER, toNightly);
    ASSERT_TRUE(held.waitForStarted());
    for (int wait = 0; wait < 50000 && held.state() == QProcess::Running
         && leftoversIn({{nightly, {"Vantrel-backup.zip"}}}).isEmpty();
         ++wait)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    ::kill(pid_t(held.processId()), SIGSTOP);
    const QStringList working = leftoversIn(ours);
    ASSERT_FALSE(working.isEmpty());
    EXPECT_EQ(run(program + "/vantrel", {"--list-changes"}), 0);
    for (const QString &path : working)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    ::kill(pid_t(held.processId()), SIGCONT);
    ASSERT_TRUE(held.waitForFinished(120000));
    EXPECT_EQ(held.exitCode(), 0) << held.readAllStandardError().toStdString();
    EXPECT_EQ(leftoversIn(ours), QStringList());
    QString out;
    EXPECT_EQ(runTool("unzip", {"-tq", nightly + "/Vantrel-backup.zip"}, QString(), &out), 0) << out.toStdString();
}

// On a file system without room for the new archive, a folder as drive A
// keeps the previous archive and the operator's files, and the message says
// that there was not enough room.
TEST(BackupWithoutRoom, AFolderAsDriveAKeepsThePreviousArchiveAndSaysWhy)
{
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "no mount namespace here to make a small file system in";
    QTemporaryDir work;
    const QString program = work.filePath("program");
    const QString seed = work.filePath("seed");
    const QString after = work.filePath("after");
    const QString mount = work.filePath("mount");
    for (const QString &path : {program, seed, after, mount})
        QDir().mkpath(path);
    const QString database = program + "/Vantrel.mdb";
    ASSERT_NO_FATAL_FAILURE(makeDatabase(program, 20));
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANTREL_DRIVE_A", seed);
    env.insert("VANTREL_DISK_SIZE", "100000000");
    first.setProcessEnvironment(env);
    first.start(BACKUP_CRASH_HELPER, {program, "--drive-a"});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    QFile letter(seed + "/letter.txt");
    ASSERT_TRUE(letter.open(QIODevice::WriteOnly));
    letter.write("dear league");
    letter.close();
    const QByteArray previous = fileBytes(seed + "/VantrelBackup.zip");
    ASSERT_LT(previous.size(), 100000);
    growDatabase(database, 2);

    QProcess small;
    small.setProcessEnvironment(env);
    small.start("unshare",
                {"-rm", "sh", "-c",
                 "mount -t tmpfs -o size=400k tmpfs \"$1\" && cp -a \"$2\"/. \"$1\"/ || exit 9\n"
                 "VANTREL_DRIVE_A=\"$1\" \"$3\" \"$4\" --drive-a; rc=$?\n"
                 "cp -a \"$1\"/. \"$5\"/; exit $rc",
                 "sh", mount, seed, BACKUP_CRASH_HELPER, program, after});
    ASSERT_TRUE(small.waitForFinished(120000));
    const QString said = QString::fromUtf8(small.readAllStandardError());
    ASSERT_NE(small.exitCode(), 9) << said.toStdString();
    EXPECT_EQ(small.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("not enough room")) << said.toStdString();
    EXPECT_EQ(filesIn(after), QStringList({"VantrelBackup.zip", "letter.txt"}));
    EXPECT_EQ(fileBytes(after + "/VantrelBackup.zip"), previous);
    EXPECT_EQ(fileBytes(after + "/letter.txt"), QByteArray("dear league"));
}

} // namespace
