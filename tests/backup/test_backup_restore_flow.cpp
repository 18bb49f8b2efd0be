// Backup to drive A and restore from it, through the backup window, with
// the customer window open: the archive holds the database of one moment
// with the typed edit, the disk set is a standard split archive, and the
// restore replaces the database only when asked to and only whole.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/FileShim.h"

#include "app/CommandLine.h"
#include "backup/DatabaseArchive.h"
#include "backup/ZipMain.h"
#include "backup/frmZipCreate.h"
#include "customers/frmInformation.h"
#include "store/DataControl.h"
#include "store/ProgramFolder.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace testing_support;
using platform::Button;

namespace {

class BackupRestoreFlow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        drive = work.filePath("driveA");
        QDir().mkdir(drive);
        qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
        qputenv("VANTREL_DISK_SIZE", "1457664");
        // Every box the flows show, answered by its text.
        services.answerOthersWith([this](const platform::MessageBoxRequest &box) {
            if (box.text.startsWith("Please insert a blank") || box.text.startsWith("Please insert your backup"))
                return Button::Yes;
            if (box.text.startsWith("The file '"))
                return replaceAnswer;
            return box.buttons == platform::Buttons::OKCancel ? Button::OK : Button::OK;
        });
    }
    void TearDown() override
    {
        qunsetenv("VANTREL_DRIVE_A");
        qunsetenv("VANTREL_DISK_SIZE");
    }

    QStringList boxesLike(const QString &start) const
    {
        QStringList found;
        for (const QString &text : services.boxTexts())
            if (text.startsWith(start))
                found << text;
        return found;
    }

    TempProgramFolder folder;
    ScriptedServices services;
    QTemporaryDir work;
    QString drive;
    Button replaceAnswer = Button::Yes;
};

TEST_F(BackupRestoreFlow, FiveMegabytesOnFloppiesWithAnEditTypedThenRestoredWhenAsked)
{
    growDatabase(folder.databasePath(), 5);
    ASSERT_GT(QFileInfo(folder.databasePath()).size(), 4'500'000);

    QPointer<customers::frmInformation> customers = new customers::frmInformation;
    customers->show();
    QApplication::processEvents();
    store::DataControl *data = customers->data();
    ASSERT_TRUE(data->moveTo(7));
    const qint64 customer = data->recordset()->Bookmark();
    auto *firstName = customers->findChild<QLineEdit *>("txtFields_0");
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Wilhelmina");

    // A disk that holds an old backup: it goes before the new one is written.
    QFile stale(QDir(drive).filePath("VantrelBackup.zip"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("an old backup");
    stale.close();

    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticBackup")->trigger();

    EXPECT_EQ(boxesLike("Compressed backup process completed!").size(), 1)
        << services.boxTexts().join(" | ").toStdString();
    EXPECT_FALSE(boxesLike("Please insert disk #2 of the set.").isEmpty()) << "the backup spans disks";
    EXPECT_FALSE(window->menuItem("mnuAutomaticBackup")->isChecked());
    EXPECT_EQ(window->windowTitle(), "A:\\VantrelBackup.zip");
    ASSERT_EQ(window->list()->topLevelItemCount(), 1);
    EXPECT_EQ(window->list()->topLevelItem(0)->text(0), "Vantrel.mdb");
    EXPECT_EQ(window->busyCount(), 0);
    EXPECT_TRUE(data->hasOpenFile()) << "the customer window kept its file";

    const auto backedUp = storedRows(folder.databasePath(), "Information");
    const auto edited =
        std::find_if(backedUp.cbegin(), backedUp.cend(), [&](const StoredRow &r) { return r.rowid == customer; });
    ASSERT_NE(edited, backedUp.cend());
    EXPECT_EQ(edited->values.at(8).toString(), "Wilhelmina");

    // Info-ZIP joins the disks and finds the archive whole.
    const QString joined = work.filePath("joined.zip");
    const QString parts = work.filePath("parts");
    QDir().mkdir(parts);
    EXPECT_GE(joinDiskSet(drive, "VantrelBackup.zip", parts, joined), 2);
    QString out;
    EXPECT_EQ(runTool("unzip", {"-t", joined}, QString(), &out), 0) << out.toStdString();
    EXPECT_EQ(runTool("unzip", {"-Z1", joined}, QString(), &out), 0);
    EXPECT_EQ(out.trimmed(), "Vantrel.mdb");

    // The data changes after the backup; a restore answered No keeps it.
    firstName->setFocus();
    firstName->selectAll();
    QTest::keyClicks(firstName, "Changed");
    ASSERT_TRUE(data->UpdateRecord());
    const auto changed = storedRows(folder.databasePath(), "Information");
    ASSERT_NE(changed, backedUp);
    replaceAnswer = Button::No;
    window->menuItem("mnuAutomaticRestore")->trigger();
    EXPECT_EQ(boxesLike("The file 'Vantrel.mdb' already exists. Do you want to replace this file?").size(), 1);
    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), changed);
    EXPECT_FALSE(window->menuItem("mnuAutomaticRestore")->isChecked());

    // Yes puts the backup in its place, and the open window shows it.
    replaceAnswer = Button::Yes;
    window->menuItem("mnuAutomaticRestore")->trigger();
    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), backedUp);
    EXPECT_EQ(integrityCheck(folder.databasePath()), "ok");
    EXPECT_EQ(fileMode(folder.databasePath()), 0600);
    ASSERT_TRUE(data->recordset());
    EXPECT_EQ(data->recordset()->RecordCount(), backedUp.size());
    EXPECT_EQ(data->recordset()->Bookmark(), customer) << "back on the same customer";
    EXPECT_EQ(firstName->text(), "Wilhelmina");
    EXPECT_EQ(window->busyCount(), 0);

    // Onto a program folder without a database: nothing to ask.
    customers->close();
    QApplication::processEvents();
    delete customers.data();
    ASSERT_TRUE(QFile::remove(folder.databasePath()));
    const int asked = boxesLike("The file '").size();
    window->menuItem("mnuAutomaticRestore")->trigger();
    EXPECT_EQ(boxesLike("The file '").size(), asked);
    EXPECT_EQ(storedRows(store::programPath("\\Vantrel.mdb"), "Information"), backedUp);
    EXPECT_EQ(filesIn(folder.path()).size(), 1) << filesIn(folder.path()).join(", ").toStdString();
    delete window;
}

TEST_F(BackupRestoreFlow, AnEncryptedBackupOpensOnlyWithItsPassword)
{
    qputenv("VANTREL_DISK_SIZE", "100000000");
    addCustomers(folder.databasePath(), 300);
    const auto rows = storedRows(folder.databasePath(), "Information");

    auto *window = new backup::frmZipCreate;
    window->show();
    services.answerText(QString("Strike!9"));
    services.answerText(QString("Strike!9"));
    window->menuItem("mnuOptionsPassword")->trigger();
    EXPECT_TRUE(boxesLike("Write this password down").size() == 1) << services.boxTexts().join(" | ").toStdString();
    window->menuItem("mnuAutomaticBackup")->trigger();
    EXPECT_EQ(boxesLike("Compressed backup process completed!").size(), 1);
    delete window;

    const QString archive = QDir(drive).filePath("VantrelBackup.zip");
    QString out;
    EXPECT_EQ(runTool("7z", {"t", "-pStrike!9", archive}, QString(), &out), 0) << out.toStdString();
    EXPECT_NE(runTool("7z", {"t", "-pGutter", archive}, QString(), &out), 0) << out.toStdString();
    EXPECT_NE(runTool("7z", {"t", archive}, QString(), &out), 0) << out.toStdString();

    // A new window knows no password (no keyring here): it asks for it; a
    // wrong one restores nothing and says so, the right one restores all.
    addCustomers(folder.databasePath(), 5);
    const auto before = storedRows(folder.databasePath(), "Information");
    window = new backup::frmZipCreate;
    window->show();
    services.answerText(QString("Gutter"));
    services.answerText(std::nullopt);
    window->menuItem("mnuAutomaticRestore")->trigger();
    EXPECT_EQ(services.textInputs.size(), 4);
    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), before);
    EXPECT_FALSE(boxesLike("The database was not restored").isEmpty()) << services.boxTexts().join(" | ").toStdString();

    services.answerText(QString("Strike!9"));
    window->menuItem("mnuAutomaticRestore")->trigger();
    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), rows);
    delete window;
}

TEST_F(BackupRestoreFlow, TheCommandLineWritesATestedArchiveAnywhere)
{
    addCustomers(folder.databasePath(), 120);
    const QString destination = work.filePath("nightly/Vantrel-backup.zip");
    QDir().mkpath(work.filePath("nightly"));
    QFile old(destination);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("last night's backup");
    old.close();

    app::CommandLine line;
    ASSERT_TRUE(line.parse({"vantrel", "--backup", destination}));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(line.run(out, err), 0) << errText.toStdString();
    QString tool;
    EXPECT_EQ(runTool("unzip", {"-t", destination}, QString(), &tool), 0) << tool.toStdString();
    EXPECT_EQ(runTool("unzip", {"-Z1", destination}, QString(), &tool), 0);
    EXPECT_EQ(tool.trimmed(), "Vantrel.mdb");
    EXPECT_EQ(fileMode(destination), 0600);
    EXPECT_EQ(filesIn(work.filePath("nightly")), QStringList({"Vantrel-backup.zip"}));

    // No database: status 1, and the archive of the night before stays.
    QFile::remove(folder.databasePath());
    QFile::copy(destination, work.filePath("kept.zip"));
    app::CommandLine again;
    ASSERT_TRUE(again.parse({"vantrel", "--backup", destination}));
    EXPECT_EQ(again.run(out, err), 1);
    EXPECT_EQ(fileBytes(destination), fileBytes(work.filePath("kept.zip")));
}

// The copy is checked while it is compressed: one that fails its check (cut
// short once written) leaves the archive as it was, whether the component
// works on a temporary file or the archive is a new one the caller drops.
TEST_F(BackupRestoreFlow, ACopyFailingItsCheckWhileCompressedIsNotArchived)
{
    addCustomers(folder.databasePath(), 3000); // a copy of several blocks
    const QString archive = work.filePath("kept.zip");
    backup::ZipMain zip;
    zip.setZipFilename(archive);
    ASSERT_TRUE(backup::addDatabase(zip, 0, folder.databasePath()).succeeded());
    const QByteArray before = fileBytes(archive);

    const QString live = QFileInfo(folder.databasePath()).canonicalFilePath();
    FileShimHooks hooks;
    hooks.watch = [live](const QString &path, int flags) {
        return (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE)
            && QFileInfo(path).canonicalFilePath() != live;
    };
    hooks.afterClose = [](const QString &path) {
        QFile copy(path);
        copy.resize(copy.size() - 1024);
    };
    FileShim cut("vantrel-cut-backup-copy", hooks);
    for (const bool commandLine : {false, true}) {
        const backup::ArchiveOutcome o = commandLine
            ? backup::writeBackupArchive(archive, folder.databasePath(), QString())
            : backup::addDatabase(zip, 2, folder.databasePath());
        EXPECT_EQ(o.code, 0) << commandLine;
        EXPECT_TRUE(o.error.text.contains("failed its check")) << o.error.text.toStdString();
        EXPECT_EQ(fileBytes(archive), before) << commandLine;
    }
    EXPECT_EQ(filesIn(work.path()).filter(".zip"), QStringList({"kept.zip"}));
}

} // namespace
