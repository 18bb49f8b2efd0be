// A restore killed at any moment leaves a program folder whose database
// opens and holds every row of either the old file or the restored one. The
// archived database's kept changes name files of a planted folder (with old
// times, so that a trim would drop them): that folder stays as it was.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/PlantedFolder.h"

#include "backup/DatabaseArchive.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "support/KillAtRandom.h"
#include "zip/ZipMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>

using namespace testing_support;

namespace {

constexpr int kOldRows = 20000;
constexpr int kRestoredRows = 30000;
constexpr int kKills = 30;

nlink_t linkCount(const QString &path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_nlink : 0;
}

class CrashDuringRestore : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_template = new QTemporaryDir;
        store::EngineError e;
        const QString old = s_template->filePath("old.mdb");
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(old, &e)) << e.text.toStdString();
        insertVariedCustomers(old, kOldRows);
        const QString restored = s_template->filePath("Vantrel.mdb");
        ASSERT_TRUE(store::Schema::createDeliveredDatabase(restored, &e)) << e.text.toStdString();
        insertVariedCustomers(restored, kRestoredRows);
        s_planted = new PlantedFolder;
        s_planted->plantRows(restored, restored, QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC));
        zipWithInfoZip(s_template->filePath("backup.zip"), s_template->path(), {"Vantrel.mdb"});
        QFile::remove(restored);
    }
    static void TearDownTestSuite()
    {
        delete s_template;
        s_template = nullptr;
        delete s_planted;
        s_planted = nullptr;
    }

    static std::unique_ptr<QTemporaryDir> freshFolder()
    {
        auto folder = std::make_unique<QTemporaryDir>();
        EXPECT_TRUE(QFile::copy(s_template->filePath("old.mdb"), folder->filePath("Vantrel.mdb")));
        return folder;
    }

    static inline QTemporaryDir *s_template = nullptr;
    static inline PlantedFolder *s_planted = nullptr;
};

TEST_F(CrashDuringRestore, EveryKillLeavesTheOldOrTheRestoredDatabase)
{
    const quint32 seed = qEnvironmentVariableIsSet("VANTREL_CRASH_SEED")
        ? quint32(qEnvironmentVariableIntValue("VANTREL_CRASH_SEED"))
        : 20261208u;
    QRandomGenerator random(seed);
    const QString archive = s_template->filePath("backup.zip");
    const QString planted = s_planted->snapshot();

    qint64 runMicroseconds = 0;
    for (int i = 0; i < 2; ++i) {
        auto whole = freshFolder();
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(QProcess::execute(RESTORE_CRASH_HELPER, {whole->path(), archive}), 0);
        runMicroseconds = std::max(runMicroseconds, clock.nsecsElapsed() / 1000);
        ASSERT_EQ(filesIn(whole->path()), QStringList({"Vantrel.mdb"}));
        ASSERT_EQ(rowCount(whole->filePath("Vantrel.mdb"), "Information"), kRestoredRows);
        ASSERT_EQ(s_planted->snapshot(), planted);
    }

    QMap<QString, int> outcomes;
    int attempts = 0;
    for (int kills = 0; kills < kKills;) {
        ASSERT_LT(attempts++, kKills * 4) << "the restore keeps finishing before the kill";
        auto folder = freshFolder();
        std::chrono::microseconds delay;
        if (!killAtRandomMoment(RESTORE_CRASH_HELPER, {folder->path(), archive}, random, runMicroseconds, &delay))
            continue;
        ++kills;

        const QString database = store::resolveInFolder(folder->path(), "\\Vantrel.mdb");
        SCOPED_TRACE(
            QString("kill after %1 us: %2").arg(delay.count()).arg(filesIn(folder->path()).join(", ")).toStdString());
        ASSERT_EQ(s_planted->snapshot(), planted);
        ASSERT_EQ(quickCheck(database), "ok");
        const qint64 rows = rowCount(database, "Information");
        ASSERT_TRUE(rows == kOldRows || rows == kRestoredRows) << rows;
        outcomes[rows == kOldRows ? "old database" : "restored database"] += 1;

        // The next restore clears what the killed one left and finishes.
        ASSERT_EQ(QProcess::execute(RESTORE_CRASH_HELPER, {folder->path(), archive}), 0);
        ASSERT_EQ(rowCount(database, "Information"), kRestoredRows);
        ASSERT_EQ(filesIn(folder->path()), QStringList({"Vantrel.mdb"}));
        ASSERT_EQ(s_planted->snapshot(), planted);
        // No second name a killed run gave a database is left in the kept folder.
        const QDir kept(store::KeptChanges::keptFolderFor(database));
        for (const QString &name : kept.entryList(QDir::Files)) {
            ASSERT_EQ(linkCount(kept.filePath(name)), nlink_t(1)) << name.toStdString();
        }
    }
    std::cout << "[ figures  ] seed " << seed << "; an uninterrupted restore took up to " << runMicroseconds / 1000
              << " ms; " << kKills << " kills (" << attempts - kKills << " runs ended before their kill):";
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
        std::cout << " " << it.value() << " x " << it.key().toStdString();
    std::cout << "; the planted folder as it was after each\n";
}

} // namespace
