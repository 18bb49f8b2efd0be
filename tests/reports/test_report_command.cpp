// vantrel --report, run as a scheduled job would: the real program with no
// display, its status and its messages.
#include "SampleCenter.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

class ReportCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program finds its folder beside itself: a copy of the program
        // in the temporary folder works on that folder's database.
        ASSERT_TRUE(testing_support::copyProgramInto(QStringLiteral(VANTREL_PROGRAM), folder.path()));
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
    }
    int run(const QStringList &arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // a timer job has no display settings
        env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(folder.file("vantrel"), arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        out = QString::fromUtf8(p.readAllStandardOutput());
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    testing_support::TempProgramFolder folder;
    QString out;
    QString err;
};

TEST_F(ReportCommand, RendersAReportOfTheProgramFolderWithFormulaAndSort)
{
    const QString pdf = folder.file("notices.pdf");
    ASSERT_EQ(run({"--report", "RenewalLocker.rpt", "--pdf", pdf, "--formula",
                   "{Information.DatetoRenew} <= Date (2024,12,31)", "--sort", "-{Information.LockerNumber}"}),
              0)
        << err.toStdString();
    EXPECT_EQ(err, "");
    const QStringList pages = testing_support::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 4);
    EXPECT_TRUE(pages[0].contains("LOCKER 104"));
    EXPECT_TRUE(pages[3].contains("LOCKER 101"));
}

TEST_F(ReportCommand, ALinkAtTheNameIsReplacedAndThePdfIsTheOwnersOnly)
{
    const QString victim = folder.file("victim.txt");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("not a report");
    v.close();
    const QString pdf = folder.file("listing.pdf");
    ASSERT_TRUE(QFile::link(victim, pdf));

    ASSERT_EQ(run({"--report", "Complete.rpt", "--pdf", pdf}), 0) << err.toStdString();
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "not a report");
    const QFileInfo written(pdf);
    EXPECT_FALSE(written.isSymLink());
    EXPECT_EQ(written.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_FALSE(testing_support::pdfPages(pdf).isEmpty());
    EXPECT_FALSE(QFile::exists(pdf + ".partial"));
}

TEST_F(ReportCommand, FailuresGoToStandardErrorWithAStatus)
{
    EXPECT_EQ(run({"--report", "Nowhere.rpt", "--pdf", folder.file("x.pdf")}), 1);
    EXPECT_EQ(err, "The report file " + folder.file("Nowhere.rpt") + " does not exist.\n");
    EXPECT_EQ(run({"--report", "Complete.rpt", "--pdf", folder.file("x.pdf"), "--formula", "{Information.LastName} ="}),
              1);
    EXPECT_TRUE(err.startsWith("The selection formula '{Information.LastName} =' is refused: ")) << err.toStdString();
    EXPECT_EQ(run({"--report", "Complete.rpt"}), 2);
    EXPECT_EQ(err, "--report needs --pdf OUT.pdf: the file to write the report to.\n");
    EXPECT_FALSE(QFile::exists(folder.file("x.pdf")));

    EXPECT_EQ(run({"--help"}), 0);
    for (const char *option : {"--report <NAME>", "--pdf <OUT.pdf>", "--formula <TEXT>", "--sort <KEY>"})
        EXPECT_TRUE(out.contains(option)) << option;
}

} // namespace
