// The five delivered report files rendered to PDF for a center of thirty
// customers, and read back with poppler: what each prints, in which order,
// and where the labels sit on the sheet.
#include "SampleCenter.h"
#include "reports/ReportJob.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace reports;

namespace {

class DeliveredReports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
    }

    // Renders a delivered report to PDF; an empty path on failure.
    QString render(const QString &file, const QString &formula = QString(), const QStringList &sort = {})
    {
        ReportRequest request;
        request.reportFile = folder.file(file);
        request.selectionFormula = formula;
        request.sortFields = sort;
        QString error;
        std::unique_ptr<ReportJob> job = ReportJob::open(request, &error);
        if (!job) {
            ADD_FAILURE() << file.toStdString() << ": " << error.toStdString();
            return QString();
        }
        job->setPrintDate(QDate(2024, 12, 1));
        EXPECT_TRUE(job->prepare(nullptr));
        const QString pdf = folder.file(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf"));
        if (!job->writePdf(pdf, nullptr, &error)) {
            ADD_FAILURE() << error.toStdString();
            return QString();
        }
        // Kept for a person to look at when asked.
        const QString keep = qEnvironmentVariable("VANTREL_REPORT_PDF_DIR");
        if (!keep.isEmpty()) {
            QFile::remove(QDir(keep).filePath(QFileInfo(pdf).fileName()));
            QFile::copy(pdf, QDir(keep).filePath(QFileInfo(pdf).fileName()));
        }
        return pdf;
    }

    // The lockers in the order a text shows them ("LOCKER 104", or a
    // listing's first column).
    static QList<int> lockersIn(const QString &text, const QRegularExpression &pattern)
    {
        QList<int> lockers;
        auto it = pattern.globalMatch(text);
        while (it.hasNext())
            lockers << it.next().captured(1).toInt();
        return lockers;
    }

    testing_support::TempProgramFolder folder;
};

const QRegularExpression kListingRow(QStringLiteral("(?m)^\\s*(1[0-3][0-9])\\s+\\S"));

TEST_F(DeliveredReports, CompleteListsEveryCustomerByLockerWithPageNumbers)
{
    const QString pdf = render(QStringLiteral("Complete.rpt"));
    const QStringList pages = testing_support::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString text = pages.first();
    QList<int> expected;
    for (int locker = 101; locker <= 130; ++locker)
        expected << locker;
    EXPECT_EQ(lockersIn(text, kListingRow), expected);
    EXPECT_TRUE(text.contains(QLatin1String("Capitol Lanes")));
    EXPECT_TRUE(text.contains(QLatin1String("Page 1 of 1")));
    EXPECT_TRUE(text.contains(QLatin1String("Printed 12/01/2024")));
    // A whole row: name, both phones, dates, key and deposit.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("101\\s+Okafor, Margaret\\s+\\(217\\)555-0101\\s+\\(217\\)555-0191\\s+"
                                          "11/30/2023\\s+11/30/2024\\s+601\\s+\\$5"))
            .match(text)
            .hasMatch())
        << text.toStdString();
}

TEST_F(DeliveredReports, RenewalLettersOneCustomerPerPageInTheReportsOrder)
{
    const QString pdf =
        render(QStringLiteral("RenewalMail.rpt"), QStringLiteral("{Information.DatetoRenew} <= Date (2024,12,31)"));
    const QStringList pages = testing_support::pdfPages(pdf);
    // Lockers 101-104 expire by 12/31/2024; the letters go by last name.
    ASSERT_EQ(pages.size(), 4);
    const QStringList names = {"Daniel Brennan", "Rosa Delgado", "Margaret Okafor", "Thomas Whitfield"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pages[i].contains(names[i])) << pages[i].toStdString();
    EXPECT_TRUE(pages[3].contains(QLatin1String("number 104, expires on December")));
    EXPECT_TRUE(pages[3].contains(QLatin1String("$45.00 for 365 days")));
    EXPECT_TRUE(pages[3].contains(QLatin1String("Eleanor Briggs")));
    EXPECT_TRUE(pages[0].contains(QLatin1String("Apt 4B")));
    // An empty second address line leaves no blank line in the address.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("9 Cedar Court\\s*\\n\\s*Springfield, IL 62711")).match(pages[3]).hasMatch());
}

TEST_F(DeliveredReports, LockerNoticesSelectUpToTheDateItself)
{
    const QString pdf =
        render(QStringLiteral("RenewalLocker.rpt"), QStringLiteral("{Information.DatetoRenew} <= Date (2024,12,31)"));
    const QString text = testing_support::pdfText(pdf);
    EXPECT_EQ(lockersIn(text, QRegularExpression(QStringLiteral("LOCKER (\\d+)"))), (QList<int>{101, 102, 103, 104}));
    EXPECT_TRUE(text.contains(QLatin1String("December 31, 2024")));
    EXPECT_FALSE(text.contains(QLatin1String("Redcloud"))); // expires 01/01/2025
}

TEST_F(DeliveredReports, FilteredListingShowsTheFormulaAndFollowsTheGivenSort)
{
    const QString formula = QStringLiteral("{Information.City} = \"SPRINGFIELD\" and {Information.KeyDeposit} > 5");
    const QString pdf = render(QStringLiteral("Filter.rpt"), formula, {QStringLiteral("-{Information.LockerNumber}")});
    const QString text = testing_support::pdfText(pdf);
    EXPECT_TRUE(
        text.contains(QLatin1String("Filter: {Information.City} = \"SPRINGFIELD\" and {Information.KeyDeposit} > 5")));
    // Deposits of 10 (lockers divisible by 3) in Springfield, descending.
    EXPECT_EQ(lockersIn(text, kListingRow), (QList<int>{129, 126, 120, 117, 114, 111, 108, 105, 102}));
}

// Label text positions measured in the PDF: every label's first line starts
// within 0.5 mm of where its label lies on the 3 x 10 sheet.
TEST_F(DeliveredReports, LabelsSitOnTheSheetGeometry)
{
    const QString pdf =
        render(QStringLiteral("Labels.rpt"), QString(), {QStringLiteral("+{Information.LockerNumber}")});
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    // The first word of each label is the first name; its box gives the
    // label's text origin: the label's corner plus padding and indent.
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    QList<std::pair<double, double>> firstNames;
    QStringList samples = {"Margaret", "Daniel", "Rosa", "Thomas", "Aiyana", "Frank"};
    auto it = word.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        if (samples.contains(m.captured(3)))
            firstNames.append({m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    ASSERT_EQ(firstNames.size(), 6);
    constexpr double pt = 72.0;
    constexpr double mm = 72.0 / 25.4;
    for (int i = 0; i < 6; ++i) {
        const int column = i % 3;
        const int row = i / 3;
        const double labelLeft = (0.1875 + column * (2.625 + 0.125)) * pt;
        const double labelTop = (0.5 + row * 1.0) * pt;
        // Padding 0.08 in, the text indented 0.07 in more.
        EXPECT_NEAR(firstNames[i].first, labelLeft + (0.08 + 0.07) * pt, 0.5 * mm) << i;
        // The word's box starts at the line's top, give or take the font's
        // leading above the capitals.
        EXPECT_NEAR(firstNames[i].second, labelTop + 0.08 * pt, 1.5 * mm) << i;
        EXPECT_GT(firstNames[i].second, labelTop);
    }
    EXPECT_EQ(testing_support::pdfPages(pdf).size(), 1);
}

} // namespace
