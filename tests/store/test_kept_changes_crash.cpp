// A delete that keeps its rows, or the undo of one, killed at any moment:
// afterwards the file holds either the change with its kept copy or neither,
// and passes the integrity check.
#include "maintenance/DatabaseFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <sqlite3.h>
#include <thread>

using namespace testing_support;

namespace {

constexpr int kRows = 60000;
constexpr int kKills = 30;

// What the file holds: its customers (count and a sum over ids and lockers)
// and its kept changes (count of changes and of kept rows).
struct State {
    qint64 customers = 0;
    qint64 idSum = 0;
    qint64 lockerSum = 0;
    qint64 changes = 0;
    qint64 keptRows = 0;
    bool operator==(const State &) const = default;
};

std::ostream &operator<<(std::ostream &out, const State &s)
{
    return out << s.customers << " customers (ids " << s.idSum << ", lockers " << s.lockerSum << "), " << s.changes
               << " changes, " << s.keptRows << " kept rows";
}

State stateOf(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    State s;
    store::Statement st(db, "SELECT count(*), total(rowid), total(LockerNumber) FROM Information");
    if (st.step()) {
        s.customers = st.int64(0);
        s.idSum = qint64(st.value(1).toDouble());
        s.lockerSum = qint64(st.value(2).toDouble());
    }
    st = store::Statement(db,
                          "SELECT (SELECT count(*) FROM VantrelChanges), "
                          "(SELECT count(*) FROM VantrelKept_Information)");
    if (st.step()) {
        s.changes = st.int64(0);
        s.keptRows = st.int64(1);
    }
    st = store::Statement();
    sqlite3_close(db);
    return s;
}

class CrashDuringUndo : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        const QString before = s_dir->filePath("before.mdb");
        store::EngineError e;
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(before, &e));
        insertVariedCustomers(before, kRows);
        // A change kept before, so that neither state is an empty side table.
        ASSERT_EQ(QProcess::execute(UNDO_CRASH_HELPER, {before, "delete"}), 0);
        ASSERT_EQ(QProcess::execute(UNDO_CRASH_HELPER, {before, "undo"}), 0);
        insertVariedCustomers(before, 10);
        ASSERT_TRUE(QFile::copy(before, s_dir->filePath("scratch.mdb")));
        ASSERT_EQ(QProcess::execute(UNDO_CRASH_HELPER, {s_dir->filePath("scratch.mdb"), "delete"}), 0);
        ASSERT_TRUE(QFile::rename(s_dir->filePath("scratch.mdb"), s_dir->filePath("after.mdb")));
    }
    static void TearDownTestSuite() { delete s_dir; }

    // Runs the helper on copies of `from` and kills it at random moments;
    // each file left is one of the two states.
    static void killRuns(const char *what, const QString &from, const State &unchanged, const State &changed)
    {
        QRandomGenerator random(20261208u);
        qint64 runMicroseconds = 0;
        for (int i = 0; i < 2; ++i) {
            const QString whole = s_dir->filePath("whole.mdb");
            QFile::remove(whole);
            ASSERT_TRUE(QFile::copy(from, whole));
            QElapsedTimer clock;
            clock.start();
            ASSERT_EQ(QProcess::execute(UNDO_CRASH_HELPER, {whole, what}), 0);
            runMicroseconds = std::max(runMicroseconds, clock.nsecsElapsed() / 1000);
            ASSERT_EQ(stateOf(whole), changed);
        }
        int before = 0;
        int after = 0;
        int attempts = 0;
        for (int kills = 0; kills < kKills;) {
            ASSERT_LT(attempts++, kKills * 4) << "the helper keeps finishing before the kill";
            const QString path = s_dir->filePath("killed.mdb");
            for (const char *suffix : {"", "-journal"})
                QFile::remove(path + suffix);
            ASSERT_TRUE(QFile::copy(from, path));
            QProcess helper;
            helper.start(UNDO_CRASH_HELPER, {path, what});
            ASSERT_TRUE(helper.waitForStarted());
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(runMicroseconds)));
            ::kill(pid_t(helper.processId()), SIGKILL);
            ASSERT_TRUE(helper.waitForFinished());
            if (helper.exitStatus() != QProcess::CrashExit)
                continue;
            ++kills;
            // The first read-write connection rolls an unfinished transaction back.
            const State s = stateOf(path);
            ASSERT_EQ(integrityCheck(path), "ok");
            if (s == unchanged)
                ++before;
            else if (s == changed)
                ++after;
            else
                FAIL() << what << " killed: " << s;
        }
        std::cout << "[ figures  ] " << what << " of up to " << runMicroseconds / 1000 << " ms, " << kKills
                  << " kills: " << before << " left the file as it was, " << after << " with the change made\n";
    }

    static inline QTemporaryDir *s_dir = nullptr;
};

TEST_F(CrashDuringUndo, AKilledDeleteOrUndoLeavesTheChangeWithItsCopyOrNeither)
{
    const State before = stateOf(s_dir->filePath("before.mdb"));
    const State after = stateOf(s_dir->filePath("after.mdb"));
    ASSERT_EQ(before.changes, 0);
    ASSERT_EQ(after.changes, 1);
    ASSERT_EQ(after.keptRows, before.customers - after.customers);
    ASSERT_GT(after.keptRows, kRows / 3);
    killRuns("delete", s_dir->filePath("before.mdb"), before, after);
    killRuns("undo", s_dir->filePath("after.mdb"), after, before);
}

} // namespace
