// "&Undo Last Change..." and --undo-last / --list-changes: the newest kept
// change is named, asked about once and taken back; open windows follow.
#include "../maintenance/DatabaseFiles.h"

#include "CommandLineRun.h"
#include "app/dlgUndoChange.h"
#include "app/frmMainMenu.h"
#include "backup/SafeRestore.h"
#include "csv/CsvImport.h"
#include "customers/frmInformation.h"
#include "store/DataControl.h"
#include "store/Database.h"
#include "store/KeptChanges.h"
#include "store/Statement.h"
#include "support/AccessibleNames.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testing_support;
using platform::Button;

namespace {

using Outcome = CommandOutcome;

Outcome run(const QStringList &arguments)
{
    return runCommandLine(arguments);
}

class UndoLastChange : public ::testing::Test
{
protected:
    void SetUp() override { insertVariedCustomers(folder.databasePath(), 40); }

    void deleteFound(const QString &where)
    {
        store::EngineError e;
        auto db = store::Database::open(folder.databasePath(), &e);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->Execute("Delete * From Information Where " + where, &e, nullptr, "Delete Found Records"))
            << e.text.toStdString();
    }
    void import(const QByteArray &csvText)
    {
        QFile file(folder.file("in.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(csvText);
        file.close();
        csv::CsvImport import;
        QString error;
        ASSERT_TRUE(import.open(folder.file("in.csv"), folder.databasePath(), &error)) << error.toStdString();
        ASSERT_TRUE(import.run().succeeded);
    }
    QString newestChange()
    {
        store::EngineError e;
        auto db = store::Database::open(folder.databasePath(), &e);
        const auto changes = store::KeptChanges(db->handle()).list(&e);
        return changes.isEmpty() ? QString() : changes.first().description;
    }
    // Answers the dialogs the menu shows next, in order, after looking at each.
    void whenDialogShows(std::function<void(app::dlgUndoChange *)> look, const char *button)
    {
        m_dialogAnswers.append({std::move(look), button});
        if (!m_watch) {
            m_watch = std::make_unique<QTimer>();
            QObject::connect(m_watch.get(), &QTimer::timeout, [this] {
                auto *dialog = qobject_cast<app::dlgUndoChange *>(QApplication::activeModalWidget());
                if (!dialog || !dialog->isVisible() || dialog == m_answered || m_dialogAnswers.isEmpty())
                    return;
                m_answered = dialog;
                const auto [look, button] = m_dialogAnswers.takeFirst();
                look(dialog);
                dialog->findChild<QPushButton *>(button)->click();
            });
            m_watch->start(5);
        }
    }
    void TearDown() override { EXPECT_TRUE(m_dialogAnswers.isEmpty()) << "a dialog did not show"; }

    TempProgramFolder folder;
    QList<QPair<std::function<void(app::dlgUndoChange *)>, const char *>> m_dialogAnswers;
    std::unique_ptr<QTimer> m_watch;
    QPointer<QWidget> m_answered;
};

TEST_F(UndoLastChange, TheMenuNamesTheChangeAsksOnceAndTheRecordWindowFollows)
{
    ScriptedServices services;
    app::frmMainMenu menu;
    menu.MnuCustInfo_Click();
    store::DataControl *data = menu.informationWindow()->data();
    ASSERT_EQ(data->recordset()->RecordCount(), 40);

    deleteFound("[LockerNumber] <= 10");
    deleteFound("[LockerNumber] > 30");
    const QString newest = newestChange();
    ASSERT_TRUE(newest.startsWith("Delete Found Records: 10 customers, "));

    // No: nothing changes.
    whenDialogShows([](app::dlgUndoChange *) {}, "CancelButton");
    menu.menuAction("MnuDatabaseUndo")->trigger();
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 20);
    EXPECT_TRUE(services.boxes.isEmpty());

    services.answer(Button::OK);
    whenDialogShows(
        [&](app::dlgUndoChange *dialog) {
            EXPECT_TRUE(dialog->message()->text().contains(newest));
            EXPECT_EQ(dialog->list()->count(), 2);
            EXPECT_EQ(dialog->list()->item(0)->text(), newest);
            EXPECT_EQ(dialog->list()->accessibleName(), "Kept changes, newest first");
            EXPECT_EQ(accessibleNameOf(dialog->message()), dialog->message()->text());
            EXPECT_TRUE(inputsWithoutAccessibleName(dialog).isEmpty());
        },
        "UndoButton");
    menu.menuAction("MnuDatabaseUndo")->trigger();
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().title, "Undo Last Change");
    EXPECT_EQ(services.lastBox().text, newest + " was undone: 10 customers are back.");
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 30);
    EXPECT_EQ(data->recordset()->RecordCount(), 30);
    EXPECT_EQ(services.pointer(), platform::Pointer::Default);
}

TEST_F(UndoLastChange, AnUndoneImportListsTheCustomersEditedSinceAndKeepsThem)
{
    import("LockerNumber,FirstName,LastName\r\n101,Ann,Lee\r\n102,Bob,Ray\r\n103,Cy,Fox\r\n");
    ASSERT_TRUE(newestChange().startsWith("Import Customers: 3 customers, "));
    store::EngineError e;
    {
        auto db = store::Database::open(folder.databasePath(), &e);
        ASSERT_TRUE(
            store::execSql(db->handle(), "UPDATE Information SET LastName = 'Raye' WHERE LockerNumber = 102", &e));
    }

    ScriptedServices services;
    app::frmMainMenu menu;
    whenDialogShows([](app::dlgUndoChange *) {}, "UndoButton");
    whenDialogShows(
        [](app::dlgUndoChange *report) {
            EXPECT_TRUE(report->message()->text().endsWith(
                "was undone: 2 customers were removed. 1 customer edited since the import stays in place:"));
            ASSERT_EQ(report->list()->count(), 1);
            EXPECT_TRUE(report->list()->item(0)->text().startsWith("Locker 102, Bob Raye (record "));
            EXPECT_EQ(report->list()->accessibleName(), "Customers edited since, left in place");
        },
        "OKButton");
    // The second answer waits for the report, which comes after the first closes.
    menu.menuAction("MnuDatabaseUndo")->trigger();
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 41);
    EXPECT_TRUE(services.boxes.isEmpty());
}

TEST_F(UndoLastChange, TheCommandLineListsAndUndoesNewestFirst)
{
    EXPECT_EQ(run({"--list-changes"}).out, "No change is kept.\n");
    const Outcome nothing = run({"--undo-last"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "There is no change to undo.\n");

    deleteFound("[LockerNumber] = 7");
    const QString first = newestChange();
    import("LockerNumber,LastName\r\n201,Zed\r\n");
    const QString second = newestChange();
    const Outcome listed = run({"--list-changes"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, second + "\n" + first + "\n");

    const Outcome undone = run({"--undo-last"});
    EXPECT_EQ(undone.status, 0);
    EXPECT_EQ(undone.out, second + " was undone: 1 customer was removed.\n");
    EXPECT_EQ(run({"--undo-last"}).out, first + " was undone: 1 customer is back.\n");
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 40);
}

TEST_F(UndoLastChange, ARestoreKeepsTheReplacedDatabaseAndItsUndoPutsItBackThroughTheCheckedRename)
{
    store::EngineError e;
    {
        backup::SafeRestore restore(folder.databasePath());
        ASSERT_TRUE(restore.prepare(&e)) << e.text.toStdString();
        const QString staged = QDir(restore.stagingFolder()).filePath("Vantrel.mdb");
        ASSERT_TRUE(QFile::copy(folder.databasePath(), staged));
        insertVariedCustomers(folder.databasePath(), 5);
        ASSERT_TRUE(restore.install(staged, &e)) << e.text.toStdString();
    }
    ASSERT_EQ(rowCount(folder.databasePath(), "Information"), 40);
    const QString restore = newestChange();
    EXPECT_TRUE(restore.startsWith("Restore: replaced a database of 45 customers, ")) << restore.toStdString();
    // Kept out of the operator's way, for the operator's account only.
    const QString kept = store::KeptChanges::keptFolderFor(folder.databasePath());
    EXPECT_EQ(fileMode(kept), 0700);
    ASSERT_EQ(QDir(kept).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(fileMode(QDir(kept).filePath(QDir(kept).entryList(QDir::Files).first())), 0600);
    EXPECT_EQ(filesIn(folder.path()), QStringList({"Vantrel.mdb"}));

    const Outcome undone = run({"--undo-last"});
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    EXPECT_EQ(undone.out, restore + " was undone: the database it replaced is back.\n");
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 45);
    // The undo replaced a file in turn: that one is kept, and can be put back.
    EXPECT_TRUE(newestChange().startsWith("Undo Last Change: replaced a database of 40 customers, "));
    EXPECT_EQ(run({"--undo-last"}).status, 0);
    EXPECT_EQ(rowCount(folder.databasePath(), "Information"), 40);

    // A kept database goes with its change.
    ASSERT_EQ(QDir(kept).entryList(QDir::Files).size(), 1);
    auto db = store::Database::open(folder.databasePath(), &e);
    ASSERT_TRUE(store::KeptChanges(db->handle(), {30, 20}).trim(&e, QDateTime::currentDateTimeUtc().addDays(31)));
    EXPECT_TRUE(QDir(kept).entryList(QDir::Files).isEmpty());
}

TEST_F(UndoLastChange, ARepairKeepsTheDamagedFileAsAChangeAndItsUndoPutsItBackAsTheRepairFoundIt)
{
    insertVariedCustomers(folder.databasePath(), 300);
    const auto pages = leafPages(folder.databasePath(), "Information");
    ASSERT_GT(pages.size(), 2);
    overwritePage(folder.databasePath(), pages.at(1).number);
    const QByteArray damaged = fileBytes(folder.databasePath());

    const Outcome repair = run({"--repair"});
    ASSERT_EQ(repair.status, 0) << repair.err.toStdString();
    const QString database = folder.file("VANTREL.MDB");
    const qint64 repaired = rowCount(database, "Information");
    EXPECT_EQ(repaired, 340 - pages.at(1).cells);
    // Nothing is left beside the database for the operator to clean up.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"VANTREL.MDB"}));
    const QString change = newestChange();
    EXPECT_TRUE(change.startsWith("Repair: replaced a damaged database, ")) << change.toStdString();
    const QString kept = store::KeptChanges::keptFolderFor(folder.databasePath());
    const QStringList keptFiles = QDir(kept).entryList(QDir::Files);
    ASSERT_EQ(keptFiles.size(), 1);
    const QString keptFile = QDir(kept).filePath(keptFiles.first());
    EXPECT_EQ(fileBytes(keptFile), damaged);
    EXPECT_TRUE(repair.out.contains(QString("The damaged file has been kept as '%1'.").arg(keptFile)))
        << repair.out.toStdString();

    const Outcome undone = run({"--undo-last"});
    EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
    const QString aside = folder.file("VANTREL-REPAIRED-" + QDate::currentDate().toString("yyyy-MM-dd") + ".MDB");
    EXPECT_EQ(undone.out,
              change
                  + " was undone: the damaged database it replaced is back. The repaired database "
                    "has been kept as '"
                  + aside + "'.\n");
    EXPECT_EQ(fileBytes(database), damaged);
    EXPECT_EQ(rowCount(aside, "Information"), repaired);
    EXPECT_EQ(integrityCheck(aside), "ok");
    EXPECT_TRUE(QDir(kept).entryList(QDir::Files).isEmpty());
}

} // namespace
