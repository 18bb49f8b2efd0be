// One main menu per database, with real processes: a second start brings the
// first main menu forward, a crashed run does not block the next start, and
// a command that replaces the file waits for no one.
#include "app/SingleInstance.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A copy of the program beside a database works on that folder.
        ASSERT_TRUE(testing_support::copyProgramInto(QStringLiteral(VANTREL_PROGRAM), folder.path()));
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    void TearDown() override
    {
        for (QProcess *p : {&first, &third}) {
            p->kill();
            p->waitForFinished();
        }
    }
    void startMainMenu(QProcess &p)
    {
        p.setProcessEnvironment(env);
        p.start(folder.file("vantrel"), {});
        ASSERT_TRUE(p.waitForStarted());
        // Listening: it answers on its socket.
        const app::SingleInstance names(folder.path());
        for (int i = 0; i < 200; ++i) {
            QLocalSocket probe;
            probe.connectToServer(names.socketPath());
            if (probe.waitForConnected(100))
                return;
            ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
            QThread::msleep(50);
        }
        FAIL() << "the main menu never listened";
    }
    int run(const QStringList &arguments, QString *out, QString *err)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(folder.file("vantrel"), arguments);
        EXPECT_TRUE(p.waitForFinished(30000));
        *out = QString::fromUtf8(p.readAllStandardOutput());
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    testing_support::TempProgramFolder folder;
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess first;
    QProcess third;
};

TEST_F(SingleInstanceTest, SecondStartRaisesTheFirstAndACrashDoesNotBlock)
{
    startMainMenu(first);
    QString out;
    QString err;
    EXPECT_EQ(run({}, &out, &err), 0) << err.toStdString();
    EXPECT_EQ(out, "Vantrel is already running: its main menu was brought forward.\n");
    EXPECT_EQ(first.state(), QProcess::Running);

    // Replacing the file under an open main menu would lose its edits.
    EXPECT_EQ(run({"--compact"}, &out, &err), 1);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Vantrel is already working on the database of this folder (process %1). "
                                              "--compact runs only while")
                                   .arg(first.processId())))
        << err.toStdString();

    // A crash leaves the lock file and the socket file behind.
    first.kill();
    first.waitForFinished();
    const app::SingleInstance names(folder.path());
    ASSERT_TRUE(QFile::exists(names.lockPath()));
    startMainMenu(third);
    EXPECT_EQ(run({}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("brought forward"));
}

TEST_F(SingleInstanceTest, ReplacingTheFileNeedsItFreeReadingItDoesNot)
{
    QString out;
    QString err;
    EXPECT_EQ(run({"--compact"}, &out, &err), 0) << err.toStdString();
    // A report only reads: it runs beside an open main menu.
    startMainMenu(first);
    EXPECT_EQ(run({"--export-csv", folder.file("out.csv")}, &out, &err), 0) << err.toStdString();
}

} // namespace
