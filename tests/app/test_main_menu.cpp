#include "app/UserGuide.h"
#include "app/frmMainMenu.h"
#include "backup/frmZipCreate.h"
#include "customers/frmInformation.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "zip/ZipMain.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::ScriptedServices;

namespace {

QStringList captions(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions) {
        if (!a->isSeparator())
            out << a->objectName() + "=" + a->text();
    }
    return out;
}

TEST(frmMainMenu, MenusCaptionsAndControlsAreInPlace)
{
    app::frmMainMenu menu;
    EXPECT_EQ(menu.windowTitle(), "Main Menu");
    EXPECT_EQ(captions(menu.menuBar()->actions()),
              QStringList({"MnuDatabase=&Database", "MnuPrint=&Print", "MnuModify=&Modify", "MnuHelp=&Help"}));
    auto items = [&](const char *name) { return captions(menu.menuBar()->findChild<QMenu *>(name)->actions()); };
    EXPECT_EQ(
        items("MnuDatabase"),
        QStringList({"MnuBackupRestore=&Backup/Restore", "MnuDatabaseCompress=&Compress", "MnuDatabaseRepair=&Repair",
                     "MnuDatabaseExport=E&xport Customers...", "MnuDatabaseImport=&Import Customers...",
                     "MnuDatabaseUndo=&Undo Last Change...", "MnuDatabaseConnection=Database &Connection..."}));
    EXPECT_EQ(items("MnuPrint"),
              QStringList({"MnuPrintLockersDue=&Locker Due Notices", "MnuPrintComplete=Complete &Database"}));
    EXPECT_EQ(items("MnuPrintLockersDue"),
              QStringList({"MnuPrintMail=To Be &Mailed", "MnuPrintLocker=For the &Locker"}));
    EXPECT_EQ(items("MnuModify"),
              QStringList({"MnuModifyCenterInfo=Center &Information", "MnuCustInfo=&Customer Information",
                           "MnuLockerMap=Locker &Map", "MnuYearAhead=The &Year Ahead"}));
    EXPECT_EQ(items("MnuHelp"), QStringList({"MnuHelpGuide=&User Guide", "MnuHelpAbout=&About"}));
    EXPECT_EQ(menu.menuAction("MnuHelpGuide")->shortcut(), QKeySequence(Qt::Key_F1));

    auto *exit = menu.findChild<QPushButton *>("Command1");
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->text(), "E&xit");
    EXPECT_EQ(exit->toolTip(), "Click here to exit ");
    QWidget *image = menu.findChild<QWidget *>("Image1");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->toolTip(), "CLICK here to maintain your database information");
}

// Opens what the desktop is asked to open, instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

TEST(frmMainMenu, F1OpensTheUserGuideInTheBrowserOrSaysItIsNotInstalled)
{
    ScriptedServices ui;
    UrlCatcher browser;
    QDesktopServices::setUrlHandler("file", &browser, "open");
    QTemporaryDir guide;
    app::UserGuide::setFolders({guide.path()});
    app::frmMainMenu menu;
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    ui.answer(platform::Button::OK);
    QTest::keyClick(&menu, Qt::Key_F1);
    EXPECT_TRUE(browser.opened.isEmpty());
    EXPECT_EQ(ui.lastBox().text, "The user guide is not installed: there is no index.html in " + guide.path() + ".");

    QFile page(QDir(guide.path()).filePath("index.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    QTest::keyClick(&menu, Qt::Key_F1);
    menu.menuAction("MnuHelpGuide")->trigger();
    EXPECT_EQ(browser.opened, QList<QUrl>(2, QUrl::fromLocalFile(page.fileName())));
    QDesktopServices::unsetUrlHandler("file");
    app::UserGuide::setFolders({});
}

TEST(frmMainMenu, AtMostOneRenewalReportCarriesTheMark)
{
    app::frmMainMenu menu;
    QAction *mail = menu.menuAction("MnuPrintMail");
    QAction *locker = menu.menuAction("MnuPrintLocker");
    EXPECT_FALSE(mail->isChecked());
    EXPECT_FALSE(locker->isChecked());
    // Each item marks itself while the expiry-date dialog is shown; the
    // dialog clears both marks when it closes.
    auto marksWhileShown = [&](QAction *item) {
        std::pair<bool, bool> marks;
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            EXPECT_TRUE(dialog && dialog->objectName() == "frmDate");
            marks = {mail->isChecked(), locker->isChecked()};
            if (dialog)
                dialog->close();
        });
        item->trigger();
        EXPECT_FALSE(mail->isChecked());
        EXPECT_FALSE(locker->isChecked());
        return marks;
    };
    EXPECT_EQ(marksWhileShown(mail), std::make_pair(true, false));
    EXPECT_EQ(marksWhileShown(locker), std::make_pair(false, true));
}

TEST(frmMainMenu, ExitEndsAtOnceWithoutQuestions)
{
    ScriptedServices ui;
    app::frmMainMenu menu;
    int exits = 0;
    menu.setExitHandler([&] { ++exits; });
    menu.show();
    menu.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST(frmMainMenu, AboutDisablesTheMenuAndShowingAgainBringsTheSameWindow)
{
    ScriptedServices ui;
    app::frmMainMenu menu;
    menu.show();
    menu.menuAction("MnuHelpAbout")->trigger();
    QWidget *about = menu.aboutWindow();
    ASSERT_TRUE(about);
    EXPECT_FALSE(menu.isEnabled());
    EXPECT_TRUE(about->isVisible());
    menu.MnuHelpAbout_Click();
    EXPECT_EQ(menu.aboutWindow(), about) << "no second window";
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menu.isEnabled());
    EXPECT_EQ(menu.aboutWindow(), nullptr);
    menu.MnuHelpAbout_Click();
    EXPECT_NE(menu.aboutWindow(), nullptr) << "a closed window starts afresh";
    menu.aboutWindow()->close();
}

TEST(frmMainMenu, StartingTouchesNoDatabase)
{
    testing_support::TempProgramFolder folder(false);
    app::frmMainMenu menu;
    menu.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

} // namespace

namespace {

class MainMenuWithData : public ::testing::Test
{
protected:
    void SetUp() override
    {
        menu.setExitHandler([this] { ++exits; });
        menu.show();
    }
    QString storedFirstName()
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        store::Statement st(db, "SELECT FirstName FROM Information");
        const QString name = st.step() ? st.value(0).toString() : QString("<no row>");
        st = store::Statement();
        sqlite3_close(db);
        return name;
    }
    void typeFirstName(const QString &text)
    {
        QWidget *first = menu.informationWindow()->findChild<QWidget *>("txtFields_0");
        ASSERT_TRUE(first);
        first->setFocus();
        QTest::keyClicks(first, text);
    }

    testing_support::TempProgramFolder folder;
    ScriptedServices ui;
    app::frmMainMenu menu;
    int exits = 0;
};

TEST_F(MainMenuWithData, PictureTwiceShowsOneCustomerWindow)
{
    menu.findChild<QWidget *>("Image1")->setFocus();
    QTest::keyClick(menu.findChild<QWidget *>("Image1"), Qt::Key_Space);
    QWidget *first = menu.informationWindow();
    ASSERT_TRUE(first);
    menu.menuAction("MnuCustInfo")->trigger();
    EXPECT_EQ(menu.informationWindow(), first);
    EXPECT_TRUE(menu.isEnabled()) << "the main menu stays usable beside the record window";
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

TEST_F(MainMenuWithData, ExitWritesWhatWasTypedInTheRecordWindowFirst)
{
    menu.Image1_Click();
    typeFirstName("Ann");
    menu.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(ui.boxes.isEmpty());
    EXPECT_EQ(storedFirstName(), "Ann");
}

TEST_F(MainMenuWithData, CenterWindowDisablesTheMenuUntilItCloses)
{
    menu.menuAction("MnuModifyCenterInfo")->trigger();
    QWidget *center = menu.centerWindow();
    ASSERT_TRUE(center);
    EXPECT_FALSE(menu.isEnabled());
    center->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menu.isEnabled());
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

TEST_F(MainMenuWithData, CompressKeepsTheRowsTypedInAnOpenRecordWindow)
{
    menu.Image1_Click();
    typeFirstName("Bea");
    ui.answerWith([](const platform::MessageBoxRequest &box) {
        EXPECT_EQ(box.shownTitle(), "Notice!") << box.text.toStdString();
        return platform::Button::OK;
    });
    menu.menuAction("MnuDatabaseCompress")->trigger();
    EXPECT_EQ(storedFirstName(), "Bea");
    EXPECT_TRUE(QFile::exists(folder.file("VANTREL.MDB")));
    EXPECT_FALSE(QFile::exists(folder.file("Vantrel.mdb")));
    EXPECT_FALSE(QFile::exists(folder.file("VANTRELOLD.MDB")));
}

} // namespace

namespace {

TEST_F(MainMenuWithData, ExitWritesEveryFieldTypedAfterTheRenewalProposal)
{
    menu.Image1_Click();
    customers::frmInformation *window = menu.informationWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto typeInto = [&](const char *name, const QString &text) {
        QWidget *w = window->findChild<QWidget *>(name);
        ASSERT_TRUE(w) << name;
        w->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QTest::keyClicks(w, text);
    };
    typeInto("TDBMask13", "42");
    typeInto("TDBDate1", "01152024");
    ui.answer(platform::Button::Yes);
    window->findChild<QWidget *>("TDBDate2")->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), window->findChild<QWidget *>("TDBMask14"));
    QTest::keyClicks(QApplication::focusWidget(), "7");
    menu.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(exits, 1);

    sqlite3 *db = nullptr;
    sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    {
        store::Statement st(db, "SELECT LockerNumber, DateRented, DateToRenew, KeyNumber FROM Information");
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.value(0).toInt(), 42);
        EXPECT_EQ(st.value(1).toString(), "2024-01-15");
        EXPECT_EQ(st.value(2).toString(), "2025-01-14");
        EXPECT_EQ(st.value(3).toInt(), 7);
    }
    sqlite3_close(db);
}

// While the backup window works (its events let the main menu's clicks
// through), Compress and Repair are refused with a message and
// "&Backup/Restore" brings the same window.
TEST_F(MainMenuWithData, NoSecondOperationWhileABackupRuns)
{
    QTemporaryDir drive;
    qputenv("VANTREL_DRIVE_A", drive.path().toLocal8Bit());
    ui.answerOthersWith([](const platform::MessageBoxRequest &) { return platform::Button::Yes; });
    menu.menuAction("MnuBackupRestore")->trigger();
    auto windows = [] {
        QList<backup::frmZipCreate *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *zip = qobject_cast<backup::frmZipCreate *>(w))
                found << zip;
        return found;
    };
    ASSERT_EQ(windows().size(), 1);
    backup::frmZipCreate *window = windows().first();
    int clicks = 0;
    const auto adding = window->zipMain().events().Adding;
    window->zipMain().events().Adding = [&](const QString &file, qint64 size) {
        adding(file, size);
        ++clicks;
        menu.menuAction("MnuDatabaseCompress")->trigger();
        menu.menuAction("MnuDatabaseRepair")->trigger();
        menu.menuAction("MnuBackupRestore")->trigger();
    };
    window->menuItem("mnuAutomaticBackup")->trigger();
    ASSERT_EQ(clicks, 1);
    EXPECT_EQ(windows().size(), 1);
    const QStringList texts = ui.boxTexts();
    EXPECT_TRUE(texts.contains("Compress cannot start while a backup or restore is under way. Try again when it has "
                               "finished."))
        << texts.join(" | ").toStdString();
    EXPECT_TRUE(texts.contains("Repair cannot start while a backup or restore is under way. Try again when it has "
                               "finished."));
    EXPECT_TRUE(texts.contains("Compressed backup process completed!"));
    EXPECT_TRUE(QFile::exists(folder.databasePath()));
    EXPECT_FALSE(QFile::exists(folder.file("VANTRELOLD.MDB")));
    EXPECT_EQ(window->busyCount(), 0);
    delete window;
    qunsetenv("VANTREL_DRIVE_A");
}

} // namespace

#include "test_main_menu.moc"
