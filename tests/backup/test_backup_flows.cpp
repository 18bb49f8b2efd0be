// The backup window's flows driven without a window: a stand-in that keeps
// the marks, the busy count, the status texts and the selected rows.
#include "maintenance/DatabaseFiles.h"

#include "backup/BackupFlows.h"
#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "zip/ZipMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using backup::BackupWindow;
using platform::Button;
using platform::Icon;
using testing_support::insertVariedCustomers;
using testing_support::ScriptedServices;
using testing_support::storedRows;
using testing_support::TempProgramFolder;
using Mark = BackupWindow::Mark;

class FakeWindow : public BackupWindow
{
public:
    QWidget *dialogParent() override { return nullptr; }
    bool marked(Mark mark) const override { return marks.count(mark) != 0 && marks.at(mark); }
    void setMarked(Mark mark, bool on) override { marks[mark] = on; }
    void setBusy(bool enter) override { busy += enter ? 1 : -1; }
    void setStatus(const QString &text) override { statuses << text; }
    void setProgress(int) override {}
    void setCaption(const QString &text) override { caption = text; }
    void clearList() override { selection.clear(); }
    void listArchive(const QString &operation) override { listings << operation; }
    void showArchiveSummary() override {}
    QStringList selectedEntries() const override { return selection; }
    void selectAll() override { selection = everyEntry; }
    bool chooseExtractFolder() override { return folderChosen; }

    std::map<Mark, bool> marks;
    int busy = 0;
    QStringList statuses;
    QString caption;
    QStringList listings;
    QStringList selection;
    QStringList everyEntry{QStringLiteral("Vantrel.mdb")};
    bool folderChosen = true;
};

class FlowsWithoutWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        drive = work.filePath("driveA");
        QDir().mkdir(drive);
        qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
        qputenv("VANTREL_DISK_SIZE", "100000000");
        insertVariedCustomers(folder.databasePath(), 20);
    }
    void TearDown() override
    {
        qunsetenv("VANTREL_DRIVE_A");
        qunsetenv("VANTREL_DISK_SIZE");
        EXPECT_EQ(window.busy, 0);
    }

    // The live database archived on drive A by the automatic backup.
    void backUp()
    {
        services.answer(Button::Yes);
        services.answer(Button::OK);
        flows.automaticBackup();
        ASSERT_EQ(services.boxes.last().text, "Compressed backup process completed!")
            << services.boxTexts().join(" | ").toStdString();
        services.boxes.clear();
    }

    TempProgramFolder folder;
    ScriptedServices services;
    QTemporaryDir work;
    QString drive;
    FakeWindow window;
    backup::ZipMain zip;
    backup::BackupPassword password;
    backup::BackupFlows flows{window, zip, password};
};

TEST_F(FlowsWithoutWindow, TheAutomaticBackupArchivesTheDatabaseOrEndsWhereDriveAIsMissing)
{
    services.answer(Button::No);
    flows.automaticBackup();
    EXPECT_EQ(services.boxes.size(), 1);
    EXPECT_TRUE(zip.zipFilename().isEmpty());
    EXPECT_FALSE(window.marked(Mark::AutomaticBackup));

    qputenv("VANTREL_DRIVE_A", work.filePath("no such drive").toLocal8Bit());
    services.answer(Button::Yes);
    services.answer(Button::OK);
    flows.automaticBackup();
    EXPECT_EQ(services.lastBox().text, "There is no disk in drive A, or it is not formatted!");
    EXPECT_TRUE(zip.zipFilename().isEmpty());
    EXPECT_TRUE(window.listings.isEmpty());
    EXPECT_FALSE(window.marked(Mark::AutomaticBackup));

    qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
    backUp();
    EXPECT_EQ(window.caption, "A:\\VantrelBackup.zip");
    EXPECT_EQ(window.statuses.first(), " New Zip archive now open.");
    EXPECT_TRUE(window.statuses.contains(" Preparing to add 1 files..."));
    EXPECT_EQ(window.listings, QStringList{"listing"});
    EXPECT_FALSE(window.marked(Mark::AutomaticBackup));
    EXPECT_TRUE(QFile::exists(QDir(drive).filePath("VantrelBackup.zip")));

    // A copy that cannot be taken is told once; nothing is listed, nothing
    // reported complete, and the archive of the last backup stays.
    QFile::remove(folder.databasePath());
    services.answer(Button::Yes);
    services.answer(Button::OK);
    flows.automaticBackup();
    ASSERT_EQ(services.boxes.size(), 2) << services.boxTexts().join(" | ").toStdString();
    EXPECT_TRUE(services.lastBox().text.startsWith("Could not find file")) << services.lastBox().text.toStdString();
    EXPECT_EQ(window.listings, QStringList{"listing"});
    EXPECT_TRUE(QFile::exists(QDir(drive).filePath("VantrelBackup.zip")));
}

// The restore asks before it replaces the live database; only "Yes" does.
TEST_F(FlowsWithoutWindow, TheRestoreReplacesTheDatabaseOnlyWhenTheOperatorSaysYes)
{
    backUp();
    const auto archived = storedRows(folder.databasePath(), "Information");
    insertVariedCustomers(folder.databasePath(), 3);
    const auto edited = storedRows(folder.databasePath(), "Information");
    const struct {
        Button answer;
        QStringList boxesAfterTheQuestion;
        bool restored;
    } rows[] = {
        {Button::No, {}, false},
        {Button::Cancel, {"The extracting operation was aborted."}, false},
        {Button::Yes, {}, true},
    };
    for (const auto &row : rows) {
        services.boxes.clear();
        services.answer(Button::Yes); // insert the disk
        services.answer(row.answer);
        for (qsizetype i = 0; i < row.boxesAfterTheQuestion.size(); ++i)
            services.answer(Button::OK);
        flows.automaticRestore();
        const QStringList texts = services.boxTexts();
        ASSERT_EQ(texts.size(), 2 + row.boxesAfterTheQuestion.size()) << texts.join(" | ").toStdString();
        EXPECT_EQ(texts.at(1), "The file 'Vantrel.mdb' already exists. Do you want to replace this file?");
        EXPECT_EQ(texts.mid(2), row.boxesAfterTheQuestion);
        EXPECT_EQ(storedRows(folder.databasePath(), "Information"), row.restored ? archived : edited);
        EXPECT_FALSE(window.marked(Mark::AutomaticRestore));
    }
}

// An archive the password in force does not open: its own password is
// asked for until it opens or the operator gives up.
TEST_F(FlowsWithoutWindow, ARestoreRefusedForItsPasswordAsksForTheArchivesOwn)
{
    zip.setPassword("Strike!9");
    const QString archive = work.filePath("locked.zip");
    zip.setZipFilename(archive);
    ASSERT_FALSE(backup::addDatabase(zip, backup::addmode::Add, folder.databasePath(), QString()).error.isError());
    const auto archived = storedRows(folder.databasePath(), "Information");
    insertVariedCustomers(folder.databasePath(), 2);
    const auto edited = storedRows(folder.databasePath(), "Information");
    zip.setPassword(QString());
    zip.setExtractFolder(folder.path());

    const struct {
        std::optional<QString> typed;
        QStringList boxesAfterTheRefusal;
    } rows[] = {
        {std::nullopt,
         {"The database was not restored: the archive entry 'Vantrel.mdb' could not be extracted.",
          "Some files were skipped while extracting."}},
        {"Strike!9", {}},
    };
    for (const auto &row : rows) {
        services.boxes.clear();
        window.selection = {"Vantrel.mdb"};
        services.answer(Button::Yes); // replace
        services.answer(Button::OK);  // skipped for its password
        services.answerText(row.typed);
        for (qsizetype i = 0; i < row.boxesAfterTheRefusal.size(); ++i)
            services.answer(Button::OK);
        flows.extractEntries();
        const QStringList texts = services.boxTexts();
        ASSERT_EQ(texts.size(), 2 + row.boxesAfterTheRefusal.size()) << texts.join(" | ").toStdString();
        EXPECT_EQ(texts.at(1), "Can't process 'Vantrel.mdb', invalid or no password to decrypt file.");
        EXPECT_EQ(texts.mid(2), row.boxesAfterTheRefusal);
        EXPECT_EQ(storedRows(folder.databasePath(), "Information"), row.typed ? archived : edited);
    }
}

TEST_F(FlowsWithoutWindow, DeletingWithoutASelectionDoesNothingAndWithOneListsAgain)
{
    backUp();
    window.statuses.clear();
    window.listings.clear();
    window.selection.clear();
    flows.deleteEntries();
    EXPECT_TRUE(window.statuses.isEmpty());
    EXPECT_TRUE(window.listings.isEmpty());

    window.selection = {"Vantrel.mdb"};
    flows.deleteEntries();
    EXPECT_TRUE(services.boxes.isEmpty());
    EXPECT_EQ(window.statuses.first(), " Deleting  1 selected files...");
    EXPECT_EQ(window.statuses.last(), " Finished deleting files, updating list...");
    EXPECT_EQ(window.listings, QStringList{"listing"});
    EXPECT_EQ(zip.entryCount(), 0);
}

TEST_F(FlowsWithoutWindow, TheWizardMarksItselfWhileItWalksThroughNewAndAdd)
{
    QList<bool> markedWhileAsked;
    for (int i = 0; i < 2; ++i)
        services.answerWith([&](const platform::MessageBoxRequest &) {
            markedWhileAsked << window.marked(Mark::Wizard);
            return Button::OK;
        });
    services.answerFile(std::nullopt); // New cancelled
    services.answerFiles({});          // Add cancelled
    flows.wizard();
    ASSERT_EQ(services.boxes.size(), 2);
    EXPECT_TRUE(services.boxes.at(0).text.startsWith("The next window to pop up will ask you to create"));
    EXPECT_TRUE(services.boxes.at(1).text.startsWith("The next window to pop up will ask you to add"));
    EXPECT_EQ(markedWhileAsked, QList<bool>({true, true}));
    EXPECT_FALSE(window.marked(Mark::Wizard));
    EXPECT_EQ(services.fileDialogs.size(), 2);
    EXPECT_EQ(services.fileDialogs.at(1).title, "Add files");
}

} // namespace
