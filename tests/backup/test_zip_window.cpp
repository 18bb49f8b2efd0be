// The backup window driven through its menus, with scripted boxes and
// dialogs, over real archives.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"

#include "app/frmMainMenu.h"
#include "backup/XZIPDEMO1.h"
#include "backup/frmZipCreate.h"
#include "store/Schema.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "zip/ZipMain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace testing_support;
using platform::Button;
using platform::Icon;

namespace {

class ZipWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = new backup::frmZipCreate;
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override { delete window; }

    void trigger(const QString &item) { window->menuItem(item)->trigger(); }

    // Opens an archive through "&Open Zipfile...".
    void open(const QString &archive)
    {
        services.answerFile(archive);
        trigger("mnuFileOpen");
    }

    // Records the status line and the bar each time an entry is listed.
    void watchListing()
    {
        auto &events = window->zipMain().events();
        auto original = events.Listing;
        events.Listing = [this, original](const QString &f, qint64 s, qint64 p, const QString &t, int r) {
            statusesWhileListing << window->statusText();
            original(f, s, p, t, r);
            progressWhileListing << window->findChild<QProgressBar *>("prbMain")->value();
        };
    }

    TempProgramFolder folder;
    ScriptedServices services;
    QTemporaryDir work;
    backup::frmZipCreate *window = nullptr;
    QStringList statusesWhileListing;
    QList<int> progressWhileListing;
};

TEST_F(ZipWindow, OpensIdleWithItsCaptionAndTheMainMenuStaysUsable)
{
    EXPECT_EQ(window->windowTitle(), "Database Backup ");
    EXPECT_EQ(window->statusText(), "");
    EXPECT_FALSE(window->findChild<QProgressBar *>("prbMain")->isVisible());
    EXPECT_FALSE(window->findChild<QPushButton *>("cmdAbort")->isVisible());
    const QStringList columns = [&] {
        QStringList c;
        for (int i = 0; i < window->list()->columnCount(); ++i)
            c << window->list()->headerItem()->text(i);
        return c;
    }();
    EXPECT_EQ(columns, QStringList({"Name", "Date", "Time", "Size", "Packed", "Ratio", "Path"}));

    app::frmMainMenu menu;
    menu.show();
    menu.menuAction("MnuBackupRestore")->trigger();
    QApplication::processEvents();
    QWidget *shown = menu.backupWindow();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_FALSE(shown->isModal());
    EXPECT_TRUE(menu.isEnabled());
    menu.menuAction("MnuBackupRestore")->trigger();
    EXPECT_EQ(menu.backupWindow(), shown) << "one window, brought to the front";
    shown->close();
    QApplication::processEvents();
}

TEST_F(ZipWindow, AHundredEntriesListQuietlyAndAHundredAndOneShowTheReadingMessage)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    const QStringList names = smallFiles(files, 101);
    zipWithInfoZip(work.filePath("hundred.zip"), files, names.mid(0, 100));
    zipWithInfoZip(work.filePath("more.zip"), files, names);

    watchListing();
    open(work.filePath("hundred.zip"));
    EXPECT_EQ(window->list()->topLevelItemCount(), 100);
    EXPECT_FALSE(statusesWhileListing.contains("Reading 100 files..."));
    EXPECT_EQ(progressWhileListing.last(), 0) << "no progress for a quiet listing";
    EXPECT_TRUE(window->statusText().startsWith(" 100 files, ")) << window->statusText().toStdString();
    EXPECT_EQ(window->windowTitle(), work.filePath("hundred.zip"));
    // A screen reader hears the summary the status line shows.
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(window->findChild<QLabel *>("stbMainText"));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text(QAccessible::Name), window->statusText());

    statusesWhileListing.clear();
    progressWhileListing.clear();
    trigger("mnuFileClose");
    EXPECT_EQ(window->statusText(), " No Zip archive is currently open.");
    EXPECT_EQ(window->windowTitle(), "Database Backup");
    open(work.filePath("more.zip"));
    EXPECT_EQ(statusesWhileListing.first(), "Reading 101 files...");
    EXPECT_EQ(progressWhileListing.first(), 1);
    EXPECT_EQ(progressWhileListing.last(), 100);
    EXPECT_EQ(window->busyCount(), 0);
    EXPECT_TRUE(services.boxes.isEmpty());
}

TEST_F(ZipWindow, FolderOnlyAndEmptyArchivesHaveTheirSummaries)
{
    const QString files = work.filePath("folders");
    for (const char *sub : {"a", "b", "c"})
        QDir(files).mkpath(sub);
    zipWithInfoZip(work.filePath("folders.zip"), files, {"a", "b", "c"});
    open(work.filePath("folders.zip"));
    EXPECT_EQ(window->statusText(), " 3 files, 0 bytes");
    QTreeWidgetItem *first = window->list()->topLevelItem(0);
    EXPECT_EQ(first->text(0), "<dir>");
    EXPECT_EQ(first->text(6), "a");

    writeEmptyArchive(work.filePath("empty.zip"));
    open(work.filePath("empty.zip"));
    EXPECT_EQ(window->statusText(), "No files in this archive.");
}

TEST_F(ZipWindow, DeletingTwoRowsAsksNothingAndShowsTheCountAfterTwoSpaces)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    zipWithInfoZip(work.filePath("three.zip"), files, smallFiles(files, 3));
    open(work.filePath("three.zip"));
    window->list()->topLevelItem(0)->setSelected(true);
    window->list()->setCurrentItem(window->list()->topLevelItem(2), 0, QItemSelectionModel::Select);
    QStringList statuses;
    auto &events = window->zipMain().events();
    auto original = events.Deleting;
    events.Deleting = [&](const QString &f) {
        statuses << window->statusText();
        original(f);
    };
    window->mnuEdit_Click();
    EXPECT_TRUE(window->menuItem("mnuEditDelete")->isEnabled());
    trigger("mnuEditDelete");
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first(), " Deleting  2 selected files...");
    EXPECT_TRUE(services.boxes.isEmpty());
    EXPECT_EQ(window->list()->topLevelItemCount(), 1);
    EXPECT_EQ(window->list()->topLevelItem(0)->text(0), "2.txt");
}

TEST_F(ZipWindow, TestReportsAWholeArchiveAndADamagedOne)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    zipWithInfoZip(work.filePath("good.zip"), files, smallFiles(files, 4));
    services.answerFile(work.filePath("good.zip"));
    services.answer(Button::OK);
    trigger("mnuFileTest");
    EXPECT_EQ(services.lastBox().text, "All files in the archive are OK.");
    EXPECT_EQ(services.lastBox().icon, Icon::Information);
    EXPECT_EQ(window->statusText(), " Finished testing files.");
    EXPECT_TRUE(window->zipMain().zipFilename().isEmpty());

    QByteArray bytes = fileBytes(work.filePath("good.zip"));
    // The first byte of the first entry's data, after its name and extra field.
    const int dataStart =
        30 + quint8(bytes[26]) + 256 * quint8(bytes[27]) + quint8(bytes[28]) + 256 * quint8(bytes[29]);
    bytes[dataStart] = char(bytes[dataStart] ^ 0x55);
    QFile bad(work.filePath("bad.zip"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(bytes);
    bad.close();
    services.answerFile(work.filePath("bad.zip"));
    services.answerOthersWith([](const platform::MessageBoxRequest &) { return Button::OK; });
    trigger("mnuFileTest");
    EXPECT_NE(services.lastBox().text, "All files in the archive are OK.");
    EXPECT_EQ(services.lastBox().title, "Vantrel");
    EXPECT_EQ(window->busyCount(), 0);
}

TEST_F(ZipWindow, ACancelledExtractDialogExtractsNothing)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    zipWithInfoZip(work.filePath("two.zip"), files, smallFiles(files, 2));
    open(work.filePath("two.zip"));
    const QString before = window->statusText();
    trigger("mnuEditSelectAll");
    QTimer::singleShot(0, [] {
        if (auto *dialog = qobject_cast<backup::ExtractDialog *>(QApplication::activeModalWidget()))
            dialog->cmdCancel_Click();
    });
    trigger("mnuEditExtract");
    EXPECT_EQ(window->statusText(), before);
    EXPECT_EQ(window->list()->topLevelItemCount(), 2);
    EXPECT_TRUE(services.boxes.isEmpty());
}

TEST_F(ZipWindow, MultidiskModeDisablesFixAndTheTemporaryFileItem)
{
    window->zipMain().setUseTempFile(true);
    window->mnuOptions_Click();
    EXPECT_TRUE(window->menuItem("mnuOptionsUseTempFile")->isChecked());
    trigger("mnuOptionsMultidiskMode");
    EXPECT_TRUE(window->zipMain().multidisk());
    EXPECT_FALSE(window->menuItem("mnuOptionsMultidiskMode")->isChecked()) << "marks change when the menu opens";
    window->mnuOptions_Click();
    EXPECT_FALSE(window->menuItem("mnuOptionsUseTempFile")->isChecked());
    EXPECT_FALSE(window->menuItem("mnuOptionsUseTempFile")->isEnabled());
    EXPECT_TRUE(window->menuItem("mnuOptionsClearDisks")->isEnabled());
    window->mnuFile_Click();
    EXPECT_FALSE(window->menuItem("mnuFileFix")->isEnabled());
    EXPECT_TRUE(window->menuItem("mnuFileTest")->isEnabled());
    trigger("mnuOptionsBest");
    window->mnuOptions_Click();
    EXPECT_TRUE(window->menuItem("mnuOptionsBest")->isChecked());
    EXPECT_EQ(window->zipMain().compressionLevel(), 9);
}

TEST_F(ZipWindow, NoToEitherConfirmationChangesNothing)
{
    const QString drive = work.filePath("driveA");
    QDir().mkdir(drive);
    qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
    services.answer(Button::No);
    trigger("mnuAutomaticBackup");
    EXPECT_EQ(services.lastBox().title, "Confirm");
    EXPECT_EQ(services.lastBox().text,
              "Please insert a blank formatted floppy disk in drive A?\rIf you continue, all "
              "data on the floppy will be erased and a backup disk will be created!");
    EXPECT_EQ(services.lastBox().defaultButton, 2);
    EXPECT_EQ(services.lastBox().icon, Icon::Question);
    services.answer(Button::No);
    trigger("mnuAutomaticRestore");
    EXPECT_EQ(services.lastBox().text, "Please insert your backup disk in drive A?");
    EXPECT_FALSE(window->zipMain().multidisk());
    EXPECT_FALSE(window->menuItem("mnuAutomaticBackup")->isChecked());
    EXPECT_FALSE(window->menuItem("mnuAutomaticRestore")->isChecked());
    EXPECT_TRUE(window->zipMain().zipFilename().isEmpty());
    EXPECT_EQ(filesIn(drive), QStringList());
    EXPECT_EQ(services.boxes.size(), 2);
    qunsetenv("VANTREL_DRIVE_A");
}

TEST_F(ZipWindow, NoDiskInDriveAIsToldAndTheMarkCleared)
{
    qputenv("VANTREL_DRIVE_A", work.filePath("no such drive").toLocal8Bit());
    services.answer(Button::Yes);
    services.answer(Button::OK);
    trigger("mnuAutomaticBackup");
    EXPECT_EQ(services.lastBox().text, "There is no disk in drive A, or it is not formatted!");
    EXPECT_EQ(services.lastBox().shownTitle(), "Vantrel");
    EXPECT_FALSE(window->menuItem("mnuAutomaticBackup")->isChecked());
    EXPECT_TRUE(window->zipMain().zipFilename().isEmpty());
    qunsetenv("VANTREL_DRIVE_A");
}

TEST_F(ZipWindow, ShrinkingSnapsBackAndWideningMovesTheControls)
{
    const QSize design = window->size();
    window->resize(design.width() - 100, design.height() - 50);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), design);
    auto *bar = window->findChild<QProgressBar *>("prbMain");
    auto *abort = window->findChild<QPushButton *>("cmdAbort");
    const QRect barBefore = bar->geometry();
    const QRect abortBefore = abort->geometry();
    const int listWidth = window->list()->width();
    const int pathWidth = window->list()->columnWidth(6);
    const int grow = 40; // 600 twips at 96 dots an inch
    window->resize(design.width() + grow, design.height());
    QApplication::processEvents();
    EXPECT_EQ(window->list()->width(), listWidth + grow);
    EXPECT_EQ(window->list()->columnWidth(6), pathWidth + grow);
    EXPECT_EQ(bar->geometry().left(), barBefore.left() + grow);
    EXPECT_EQ(abort->geometry().left(), abortBefore.left() + grow);
    EXPECT_EQ(abort->geometry().top(), abortBefore.top());
}

} // namespace

namespace {

TEST_F(ZipWindow, TheWizardWalksThroughNewAndAddEvenWhenNewIsCancelled)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    const QStringList names = smallFiles(files, 3);
    zipWithInfoZip(work.filePath("before.zip"), files, {names.first()});
    open(work.filePath("before.zip"));

    services.answer(Button::OK);
    services.answerFile(std::nullopt); // the New Archive dialog, cancelled
    services.answer(Button::OK);
    QStringList chosen;
    for (const QString &n : names)
        chosen << QDir(files).filePath(n);
    services.answerFiles(chosen);
    window->menuItem("mnuFileWizard")->trigger();

    ASSERT_EQ(services.boxes.size(), 2);
    EXPECT_EQ(services.boxes.at(0).text,
              "The next window to pop up will ask you to create a new zip file. \rType in "
              "the name of the file you want to create.");
    EXPECT_EQ(services.boxes.at(1).text,
              "The next window to pop up will ask you to add new files to your new zip "
              "file. \rPlease select the files you wish to add.");
    EXPECT_EQ(services.fileDialogs.last().title, "Add files");
    EXPECT_EQ(services.fileDialogs.last().filter, "All Files (*);;Database Files (*.mdb)");
    EXPECT_FALSE(window->menuItem("mnuFileWizard")->isChecked());
    // The files went into the archive that was open before.
    EXPECT_EQ(window->zipMain().zipFilename(), work.filePath("before.zip"));
    EXPECT_EQ(window->list()->topLevelItemCount(), 3);
    EXPECT_TRUE(window->statusText().startsWith(" 3 files, ")) << window->statusText().toStdString();
}

TEST_F(ZipWindow, UpdateOffersTheProgramsOwnDatabaseFile)
{
    services.answerFile(work.filePath("new.zip"));
    trigger("mnuFileNew");
    EXPECT_EQ(window->statusText(), " New Zip archive now open.");
    services.answerFiles({});
    trigger("mnuEditUpdate");
    EXPECT_EQ(services.fileDialogs.last().title, "Update files");
    EXPECT_EQ(services.fileDialogs.last().filter, "Database file (Vantrel.mdb)");
    EXPECT_EQ(window->statusText(), " New Zip archive now open.") << "a cancelled choice changes nothing";
}

TEST_F(ZipWindow, AddingTheLiveDatabaseArchivesACopyUnderItsBareName)
{
    insertVariedCustomers(folder.databasePath(), 50);
    services.answerFile(work.filePath("by-hand.zip"));
    trigger("mnuFileNew");
    services.answerFiles({folder.databasePath()});
    trigger("mnuEditAdd");
    ASSERT_EQ(window->list()->topLevelItemCount(), 1);
    EXPECT_EQ(window->list()->topLevelItem(0)->text(0), "Vantrel.mdb");
    EXPECT_EQ(window->list()->topLevelItem(0)->text(6), "");
    EXPECT_TRUE(services.boxes.isEmpty()) << services.boxTexts().join(" | ").toStdString();
    QString out;
    EXPECT_EQ(runTool("unzip", {"-t", work.filePath("by-hand.zip")}, QString(), &out), 0) << out.toStdString();
}

} // namespace

namespace {

TEST_F(ZipWindow, AbortDuringABackupStopsItAndClearsTheBackupMark)
{
    insertVariedCustomers(folder.databasePath(), 20000);
    const QString drive = work.filePath("driveA");
    QDir().mkdir(drive);
    qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
    qputenv("VANTREL_DISK_SIZE", "100000000");
    window->zipMain().setUseTempFile(true);
    auto &events = window->zipMain().events();
    auto status = events.Status;
    bool clicked = false;
    bool closedWhileBusy = false;
    events.Status = [&](int completion) {
        status(completion);
        if (clicked || completion < 1)
            return;
        clicked = true;
        window->close();
        closedWhileBusy = window->isVisible();
        EXPECT_TRUE(window->findChild<QPushButton *>("cmdAbort")->isVisible());
        window->findChild<QPushButton *>("cmdAbort")->click();
    };
    services.answer(Button::Yes); // the confirmation
    services.answerWith([](const platform::MessageBoxRequest &box) {
        EXPECT_EQ(box.title, "Abort");
        EXPECT_EQ(box.text, "Are you sure you want to abort the current operation?");
        return Button::Yes;
    });
    services.answer(Button::OK); // the aborted message
    trigger("mnuAutomaticBackup");
    qunsetenv("VANTREL_DRIVE_A");
    qunsetenv("VANTREL_DISK_SIZE");

    EXPECT_TRUE(clicked);
    EXPECT_TRUE(closedWhileBusy) << "the window stays while an operation runs";
    EXPECT_EQ(services.lastBox().text, "The adding operation was aborted.");
    EXPECT_EQ(services.lastBox().icon, Icon::Exclamation);
    EXPECT_FALSE(window->menuItem("mnuAutomaticBackup")->isChecked());
    EXPECT_EQ(window->statusText(), "No files in this archive.") << "no listing after an abort";
    EXPECT_EQ(window->busyCount(), 0);
    EXPECT_FALSE(window->findChild<QPushButton *>("cmdAbort")->isVisible());
}

} // namespace

namespace {

TEST_F(ZipWindow, ABackupWhoseCopyCannotBeTakenSaysSoOnceAndDoesNotReportCompletion)
{
    const QString drive = work.filePath("driveA");
    QDir().mkdir(drive);
    qputenv("VANTREL_DRIVE_A", drive.toLocal8Bit());
    QFile::remove(folder.databasePath());
    services.answer(Button::Yes);
    services.answer(Button::OK);
    trigger("mnuAutomaticBackup");
    qunsetenv("VANTREL_DRIVE_A");
    ASSERT_EQ(services.boxes.size(), 2) << services.boxTexts().join(" | ").toStdString();
    EXPECT_TRUE(services.boxes.at(1).text.startsWith("Could not find file")) << services.boxes.at(1).text.toStdString();
    EXPECT_EQ(services.boxes.at(1).icon, Icon::Critical);
    EXPECT_FALSE(window->menuItem("mnuAutomaticBackup")->isChecked());
    EXPECT_EQ(window->busyCount(), 0);
}

} // namespace

namespace {

TEST_F(ZipWindow, TestingAnArchiveWithSkippedFilesShowsTheTwoLineMessage)
{
    const QString files = work.filePath("files");
    QDir().mkdir(files);
    const QStringList names = smallFiles(files, 2);
    QString out;
    ASSERT_EQ(runTool("zip", {"-q", "-P", "secret", work.filePath("locked.zip"), names.first()}, files, &out), 0);
    ASSERT_EQ(runTool("zip", {"-q", work.filePath("locked.zip"), names.last()}, files, &out), 0);
    services.answerFile(work.filePath("locked.zip"));
    services.answer(Button::OK); // the skipped file
    services.answer(Button::OK);
    trigger("mnuFileTest");
    ASSERT_EQ(services.boxes.size(), 2);
    EXPECT_EQ(services.boxes.at(0).text, "Can't process '1.txt', invalid or no password to decrypt file.");
    EXPECT_EQ(services.boxes.at(1).text, "All files tested in the archive are OK.\r(Some files were skipped)");
    EXPECT_EQ(services.boxes.at(1).icon, Icon::Information);
}

TEST_F(ZipWindow, RestoringTheDatabaseIntoTheProgramFolderGoesThroughACheckedCopy)
{
    QTemporaryDir other;
    store::EngineError e;
    ASSERT_TRUE(store::Schema::createDeliveredDatabase(other.filePath("Vantrel.mdb"), &e));
    insertVariedCustomers(other.filePath("Vantrel.mdb"), 9);
    const auto archived = storedRows(other.filePath("Vantrel.mdb"), "Information");
    zipWithInfoZip(work.filePath("db.zip"), other.path(), {"Vantrel.mdb"});
    insertVariedCustomers(folder.databasePath(), 4);

    open(work.filePath("db.zip"));
    trigger("mnuEditSelectAll");
    QTimer::singleShot(0, [this] {
        if (auto *dialog = qobject_cast<backup::ExtractDialog *>(QApplication::activeModalWidget())) {
            dialog->txtExtract()->setText("  " + folder.path() + " ");
            dialog->cmdSelect_Click();
        }
    });
    services.answer(Button::Yes);
    trigger("mnuEditExtract");
    EXPECT_EQ(services.lastBox().text, "The file 'Vantrel.mdb' already exists. Do you want to replace this file?");
    EXPECT_EQ(storedRows(folder.databasePath(), "Information"), archived);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"}));
    EXPECT_EQ(window->statusText().left(9), " 1 files,");
}

} // namespace
