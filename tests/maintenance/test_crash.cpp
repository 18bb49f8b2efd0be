// A compress killed at any moment leaves a program folder whose database
// opens and holds every row.
#include "DatabaseFiles.h"

#include "maintenance/InPlaceMaintenance.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"

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

constexpr int kRows = 100000;
constexpr int kKills = 50;

qint64 customerCount(const QString &path)
{
    return rowCount(path, "Information");
}

class CrashDuringCompress : public ::testing::Test
{
protected:
    // The database is built once; every run works on a copy of it.
    static void SetUpTestSuite()
    {
        s_template = new QTemporaryDir;
        const QString path = s_template->filePath("Vantrel.mdb");
        store::EngineError e;
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(path, &e)) << e.text.toStdString();
        insertVariedCustomers(path, kRows + kRows / 10, 11); // a tenth deleted: free pages to compact away
        ASSERT_EQ(customerCount(path), kRows);
    }
    static void TearDownTestSuite()
    {
        delete s_template;
        s_template = nullptr;
    }

    // A fresh program folder holding a copy of the database.
    static std::unique_ptr<QTemporaryDir> freshFolder()
    {
        auto folder = std::make_unique<QTemporaryDir>();
        EXPECT_TRUE(QFile::copy(s_template->filePath("Vantrel.mdb"), folder->filePath("Vantrel.mdb")));
        return folder;
    }

    static QString databaseIn(const QString &folder) { return store::resolveInFolder(folder, "\\Vantrel.mdb"); }

    static inline QTemporaryDir *s_template = nullptr;
};

TEST_F(CrashDuringCompress, EveryKillLeavesADatabaseWithEveryRow)
{
    const quint32 seed = qEnvironmentVariableIsSet("VANTREL_CRASH_SEED")
        ? quint32(qEnvironmentVariableIntValue("VANTREL_CRASH_SEED"))
        : 20261207u;
    QRandomGenerator random(seed);

    // Runs to the end: they work, and they tell how long a run takes.
    qint64 runMicroseconds = 0;
    for (int i = 0; i < 2; ++i) {
        auto whole = freshFolder();
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(QProcess::execute(CRASH_HELPER, {whole->path()}), 0);
        runMicroseconds = std::max(runMicroseconds, clock.nsecsElapsed() / 1000);
        ASSERT_EQ(filesIn(whole->path()), QStringList({"VANTREL.MDB"}));
        ASSERT_EQ(customerCount(databaseIn(whole->path())), kRows);
    }

    QMap<QString, int> states;
    int attempts = 0;
    for (int kills = 0; kills < kKills;) {
        ASSERT_LT(attempts++, kKills * 4) << "the compress keeps finishing before the kill";
        auto folder = freshFolder();
        QProcess helper;
        helper.start(CRASH_HELPER, {folder->path()});
        ASSERT_TRUE(helper.waitForStarted());
        const auto delay = std::chrono::microseconds(random.bounded(runMicroseconds));
        std::this_thread::sleep_for(delay);
        ::kill(pid_t(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        // A run that ended before the kill tells nothing: another moment is drawn.
        if (helper.exitStatus() != QProcess::CrashExit)
            continue;
        const int i = kills++;

        const QStringList files = filesIn(folder->path());
        states[files.join(" + ")] += 1;
        const QString database = databaseIn(folder->path());
        SCOPED_TRACE(QString("kill %1 after %2 us: %3").arg(i).arg(delay.count()).arg(files.join(", ")).toStdString());
        ASSERT_EQ(quickCheck(database), "ok");
        ASSERT_EQ(customerCount(database), kRows);
        // A compacted copy that was left is itself whole: it was checked before it got its name.
        if (files.contains("VANTRELOLD.MDB")) {
            ASSERT_EQ(quickCheck(folder->filePath("VANTRELOLD.MDB")), "ok");
            ASSERT_EQ(customerCount(folder->filePath("VANTRELOLD.MDB")), kRows);
        }

        // The next compress either finishes the job or stops at the copy left behind.
        const QString previous = store::programFolder();
        store::setProgramFolder(folder->path());
        const maintenance::Outcome next = maintenance::InPlaceMaintenance().compress();
        store::setProgramFolder(previous);
        if (files.contains("VANTRELOLD.MDB")) {
            EXPECT_EQ(next.error.number, store::Err::FileExists) << next.error.text.toStdString();
        } else {
            EXPECT_TRUE(next.succeeded()) << next.error.text.toStdString();
            EXPECT_EQ(filesIn(folder->path()), QStringList({"VANTREL.MDB"}));
            EXPECT_EQ(customerCount(databaseIn(folder->path())), kRows);
        }
    }

    std::cout << "[ figures  ] seed " << seed << "; an uninterrupted compress of " << kRows << " rows took up to "
              << runMicroseconds / 1000 << " ms; " << kKills << " kills while it ran (" << attempts - kKills
              << " more runs ended before their kill); every time the database opened with all " << kRows << " rows\n";
    for (auto it = states.cbegin(); it != states.cend(); ++it)
        std::cout << "[ figures  ]   " << it.value() << " x  " << it.key().toStdString() << "\n";
}

} // namespace

namespace {

constexpr int kRepairRows = 15000;

// A repair killed at any moment leaves the database either as it was,
// damaged and whole byte for byte, or repaired with every readable row; a
// kept copy of the damaged file is that file byte for byte.
class CrashDuringRepair : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_template = new QTemporaryDir;
        const QString path = s_template->filePath("Vantrel.mdb");
        store::EngineError e;
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(path, &e)) << e.text.toStdString();
        insertVariedCustomers(path, kRepairRows);
        const QList<Page> pages = leafPages(path, "Information");
        s_lost = pages.at(pages.size() / 3).cells + pages.at(pages.size() / 2).cells;
        overwritePage(path, pages.at(pages.size() / 3).number);
        overwritePage(path, pages.at(pages.size() / 2).number);
        s_damaged = new QByteArray(fileBytes(path));
    }
    static void TearDownTestSuite()
    {
        delete s_template;
        delete s_damaged;
    }
    static std::unique_ptr<QTemporaryDir> freshFolder()
    {
        auto folder = std::make_unique<QTemporaryDir>();
        EXPECT_TRUE(QFile::copy(s_template->filePath("Vantrel.mdb"), folder->filePath("Vantrel.mdb")));
        return folder;
    }

    static inline QTemporaryDir *s_template = nullptr;
    static inline QByteArray *s_damaged = nullptr;
    static inline int s_lost = 0;
};

TEST_F(CrashDuringRepair, EveryKillLeavesTheDamagedFileOrTheRepairedOne)
{
    QRandomGenerator random(20261208u);
    qint64 runMicroseconds = 0;
    {
        auto whole = freshFolder();
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(QProcess::execute(CRASH_HELPER, {whole->path(), "repair"}), 0);
        runMicroseconds = clock.nsecsElapsed() / 1000;
        ASSERT_EQ(customerCount(store::resolveInFolder(whole->path(), "\\Vantrel.mdb")), kRepairRows - s_lost);
    }

    QMap<QString, int> states;
    int attempts = 0;
    for (int kills = 0; kills < kKills;) {
        ASSERT_LT(attempts++, kKills * 4) << "the repair keeps finishing before the kill";
        auto folder = freshFolder();
        QProcess helper;
        helper.start(CRASH_HELPER, {folder->path(), "repair"});
        ASSERT_TRUE(helper.waitForStarted());
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(runMicroseconds)));
        ::kill(pid_t(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        if (helper.exitStatus() != QProcess::CrashExit)
            continue;
        ++kills;

        QStringList files = filesIn(folder->path());
        for (QString &name : files) {
            if (name.contains("-DAMAGED-"))
                name = "(damaged copy)";
        }
        states[files.join(" + ")] += 1;
        SCOPED_TRACE(files.join(", ").toStdString());
        const QString database = store::resolveInFolder(folder->path(), "\\Vantrel.mdb");
        const QByteArray bytes = fileBytes(database);
        if (bytes != *s_damaged) {
            ASSERT_EQ(quickCheck(database), "ok");
            ASSERT_EQ(customerCount(database), kRepairRows - s_lost);
        }
        // A compacted copy left behind was checked before it got its name.
        if (files.contains("VANTRELOLD.MDB")) {
            ASSERT_EQ(quickCheck(folder->filePath("VANTRELOLD.MDB")), "ok");
            ASSERT_EQ(customerCount(folder->filePath("VANTRELOLD.MDB")), kRepairRows - s_lost);
        }
        for (const QString &name : filesIn(folder->path())) {
            if (name.contains("-DAMAGED-")) {
                ASSERT_EQ(fileBytes(folder->filePath(name)), *s_damaged);
            }
        }
    }
    std::cout << "[ figures  ] an uninterrupted repair of " << kRepairRows << " rows took " << runMicroseconds / 1000
              << " ms; " << kKills << " kills while it ran (" << attempts - kKills
              << " more runs ended before their kill); every time the database was the damaged file or the "
                 "repaired one\n";
    for (auto it = states.cbegin(); it != states.cend(); ++it)
        std::cout << "[ figures  ]   " << it.value() << " x  " << it.key().toStdString() << "\n";
}

} // namespace
