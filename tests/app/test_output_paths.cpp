// What a command or a window writes for the operator (a report's PDF, a
// backup archive, a CSV export, a new archive) never lands on the program's
// own files: the database, its journal, its kept folder, the report files or
// the program, however the name is spelled.
#include "SampleCenter.h"
#include "backup/frmZipCreate.h"
#include "csv/CsvFlows.h"
#include "reports/ReportJob.h"
#include "reports/ui/ReportPreview.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class OutputPaths : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A copy of the program in the folder works on that folder, as the
        // program of a build does.
        ASSERT_TRUE(testing_support::copyProgramInto(QStringLiteral(VANTREL_PROGRAM), folder.path()));
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
        QDir(folder.path()).mkpath("VANTREL.MDB.kept");
        QDir(folder.path()).mkpath("sub");
        QFile kept(folder.file("VANTREL.MDB.kept/Restore-1.mdb"));
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("a database a restore replaced");
        kept.close();
        ASSERT_NO_FATAL_FAILURE(makeLinks());
    }
    // Links from elsewhere to the database and to the program folder; a
    // command that replaced one is given it again.
    void makeLinks()
    {
        for (const QString &link : {elsewhere.filePath("database-link"), elsewhere.filePath("folder-link")})
            QFile::remove(link);
        ASSERT_TRUE(QFile::link(folder.databasePath(), elsewhere.filePath("database-link")));
        ASSERT_TRUE(QFile::link(folder.path(), elsewhere.filePath("folder-link")));
    }

    // Every file below the program folder with its bytes.
    QMap<QString, QByteArray> programFolder() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            file.open(QIODevice::ReadOnly);
            files.insert(QDir(folder.path()).relativeFilePath(file.fileName()), file.readAll());
        }
        return files;
    }
    // What changed since `before`, each file named once; the folder is put
    // back as it was, so that one failure does not hide the next.
    QStringList changedSince(const QMap<QString, QByteArray> &before)
    {
        QStringList changed;
        const QMap<QString, QByteArray> now = programFolder();
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (before.value(it.key()) != it.value() || !before.contains(it.key())) {
                changed << it.key();
                QFile::remove(folder.file(it.key()));
            }
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (now.value(it.key()) == it.value())
                continue;
            if (!now.contains(it.key()))
                changed << it.key();
            QFile file(folder.file(it.key()));
            file.open(QIODevice::WriteOnly);
            file.write(it.value());
            file.setPermissions(QFile::permissions(QStringLiteral(VANTREL_PROGRAM)));
        }
        return changed;
    }

    int run(const QStringList &arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder.path());
        p.start(folder.file("vantrel"), arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    testing_support::TempProgramFolder folder;
    QTemporaryDir elsewhere;
    QString err;
};

TEST_F(OutputPaths, NoCommandWritesOverTheProgramsOwnFiles)
{
    const QMap<QString, QByteArray> before = programFolder();
    const QStringList names = {
        QStringLiteral("Vantrel.mdb"),
        folder.file("VANTREL.MDB"),
        folder.file("sub/../Vantrel.mdb"),
        elsewhere.filePath("database-link"),
        elsewhere.filePath("folder-link/vantrel.mdb"),
        folder.file("Vantrel.mdb-journal"),
        folder.file("vantrel.MDB-wal"),
        folder.file("VANTREL.MDB.kept/listing.pdf"),
        folder.file("Vantrel.mdb.kept/Restore-1.mdb"),
        folder.file("Complete.rpt"),
        folder.file("sub/../labels.RPT"),
        folder.file("VANTREL"),
    };
    for (const QString &name : names) {
        for (const QStringList &command : {QStringList{"--report", "Complete.rpt", "--pdf", name},
                                           QStringList{"--backup", name}, QStringList{"--export-csv", name}}) {
            SCOPED_TRACE((command.join(' ')).toStdString());
            EXPECT_EQ(run(command), 1);
            EXPECT_TRUE(err.contains(QFileInfo(name).fileName())) << err.toStdString();
            EXPECT_EQ(changedSince(before).join(", ").toStdString(), "");
            ASSERT_NO_FATAL_FAILURE(makeLinks());
        }
    }
    // Beside them, the same commands write where they are told.
    for (const QStringList &command :
         {QStringList{"--report", "Complete.rpt", "--pdf", "listing.pdf"}, QStringList{"--backup", "Vantrel.zip"},
          QStringList{"--export-csv", elsewhere.filePath("folder-link/customers.csv")}}) {
        SCOPED_TRACE((command.join(' ')).toStdString());
        EXPECT_EQ(run(command), 0) << err.toStdString();
    }
    EXPECT_EQ(programFolder().keys().size(), before.size() + 3);
}

// The windows' outputs take the same guard: the preview's PDF, a new archive
// (whose name the backup window empties at once) and the CSV export.
TEST_F(OutputPaths, NoWindowWritesOverTheProgramsOwnFiles)
{
    const QMap<QString, QByteArray> before = programFolder();
    testing_support::ScriptedServices ui;
    ui.answerOthersWith([](const platform::MessageBoxRequest &) { return platform::Button::OK; });

    reports::ReportRequest request;
    request.reportFile = folder.file("Complete.rpt");
    QString error;
    auto job = reports::ReportJob::open(request, &error);
    ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();
    reports::ReportPreview preview(std::move(job), nullptr);
    for (const QString &name : {folder.file("VANTREL.MDB"), folder.file("Complete.rpt")}) {
        ui.answerFile(name);
        preview.findChild<QAction *>("SavePdfButton")->trigger();
    }

    backup::frmZipCreate window;
    window.show();
    for (const QString &name : {folder.databasePath(), elsewhere.filePath("folder-link/Filter.rpt")}) {
        ui.answerFile(name);
        window.menuItem("mnuFileNew")->trigger();
        EXPECT_NE(window.windowTitle(), name);
    }
    for (const QString &name : {folder.file("vantrel.mdb-shm"), elsewhere.filePath("database-link")}) {
        ui.answerFile(name);
        EXPECT_FALSE(csv::exportCustomers(nullptr, nullptr));
    }
    EXPECT_EQ(changedSince(before).join(", ").toStdString(), "");
    const QStringList told = ui.boxTexts();
    ASSERT_EQ(told.size(), 6) << told.join(" | ").toStdString();
    for (const QString &text : told)
        EXPECT_TRUE(text.contains("choose another")) << text.toStdString();
}

} // namespace
