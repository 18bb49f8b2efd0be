// Report files, texts and formats, page geometry and row selection, without
// a window.
#include "SampleCenter.h"
#include "reports/ReportFile.h"
#include "reports/ReportJob.h"
#include "reports/ReportLayout.h"
#include "reports/ValueFormat.h"
#include "store/DBEngine.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace reports;

namespace {

std::string parseError(const QByteArray &json)
{
    ReportDefinition def;
    QString error;
    EXPECT_FALSE(ReportFile::parse(json, QStringLiteral("Bad.rpt"), &def, &error));
    return error.toStdString();
}

const char *kMinimal =
    R"({ "kind": "listing", "listing": { "columns": [ { "text": "{Information.LastName}", "width": 2 } ] } })";

TEST(ReportFile, RefusalsNameTheFileAndThePlace)
{
    EXPECT_EQ(parseError("{ \"kind\": \"listing\",\n  \"title\" \"x\" }"),
              "The report file Bad.rpt, line 2, column 12: missing name separator.");
    EXPECT_EQ(
        parseError(
            R"({ "kind": "listing", "listing": { "columns": [ { "text": "{Information.Lockr}", "width": 1 } ] } })"),
        "The report file Bad.rpt, at listing.columns[0].text: {Information.Lockr}: the table Information has no "
        "field \"Lockr\".");
    EXPECT_EQ(parseError(R"({ "kind": "letter", "letter": { "items": [ { "text": ["a", "{Customers.Name}"] } ] } })"),
              "The report file Bad.rpt, at letter.items[0].text[1]: {Customers.Name} names the table \"Customers\"; a "
              "report reads Information, CenterInformation and Report.");
    EXPECT_EQ(parseError(R"({ "kind": "letter", "letter": { "items": [ { "text": "{Information.LastName" } ] } })"),
              "The report file Bad.rpt, at letter.items[0].text: the field that begins at character 1 is not closed "
              "with \"}\".");
    EXPECT_EQ(
        parseError(R"({ "kind": "letter", "letter": { "items": [ { "text": "{Information.KeyDeposit:abc}" } ] } })"),
        "The report file Bad.rpt, at letter.items[0].text: {Information.KeyDeposit:abc}: the number format "
        "\"abc\" is not a pattern of 0, #, \",\" and \".\" (for example #,##0.00).");
    EXPECT_EQ(parseError(R"({ "kind": "letter", "letter": { "itemz": [] } })"),
              "The report file Bad.rpt, at letter.itemz: this setting is not known here; the settings are items.");
    EXPECT_EQ(parseError(R"({ "kind": "poster" })"),
              "The report file Bad.rpt, at kind: \"poster\" is not a kind of report: listing, labels or letter.");
    // Geometry that would cut the page's contents off.
    EXPECT_EQ(
        parseError(
            R"({ "kind": "listing", "listing": { "columns": [ { "text": "x", "width": 5 }, { "text": "y", "width": "80mm" } ] } })"),
        "The report file Bad.rpt, at listing.columns: the columns are 8.15 in wide together, but the page has "
        "7.5 in between its margins.");
    EXPECT_EQ(
        parseError(
            R"({ "kind": "labels", "page": { "margins": 0.5 }, "labels": { "width": 2.625, "height": 1, "columns": 3, "rows": 10, "items": [] } })"),
        "The report file Bad.rpt, at labels: 3 by 10 labels reach 8.625 in across and 10.5 in down, beyond the "
        "8.5 in by 11 in sheet.");
    EXPECT_EQ(
        parseError(R"({ "kind": "letter", "letter": { "items": [ { "text": "x", "y": 9, "height": 1.5 } ] } })"),
        "The report file Bad.rpt, at letter.items[0]: the item reaches 10.5 in down, but its area is 10 in high.");
}

TEST(ReportFile, EveryLengthHasASensibleRange)
{
    const std::pair<const char *, const char *> refused[] = {
        {R"({ "kind": "listing", "listing": { "rowHeight": "0.000000001mm", "columns": [ { "text": "x", "width": 1 } ] } })",
         "at listing.rowHeight: the length must be at least 0.05 in (1.27mm) and at most 10 inches."},
        {R"({ "kind": "listing", "listing": { "rowHeight": 1e-12, "columns": [ { "text": "x", "width": 1 } ] } })",
         "at listing.rowHeight: the length must be at least 0.05 in (1.27mm) and at most 10 inches."},
        {R"({ "kind": "listing", "listing": { "rowHeight": 11, "columns": [ { "text": "x", "width": 1 } ] } })",
         "at listing.rowHeight: the length must be at least 0.05 in (1.27mm) and at most 10 inches."},
        {R"({ "kind": "listing", "listing": { "columns": [ { "text": "x", "width": "0.1pt" } ] } })",
         "at listing.columns[0].width: the length must be at least 0.05 in (1.27mm) and at most 100 inches."},
        {R"({ "kind": "letter", "page": { "size": { "width": "1mm", "height": 11 } }, "letter": { "items": [] } })",
         "at page.size.width: the length must be at least 1 in (25.4mm) and at most 100 inches."},
        {R"({ "kind": "labels", "labels": { "width": 0.01, "height": 1, "columns": 1, "rows": 1, "items": [] } })",
         "at labels.width: the length must be at least 0.1 in (2.54mm) and at most 100 inches."},
        {R"({ "kind": "letter", "page": { "margins": 101 }, "letter": { "items": [] } })",
         "at page.margins: the length must be 0 or more and at most 100 inches."},
    };
    for (const auto &[json, place] : refused)
        EXPECT_EQ(parseError(json), std::string("The report file Bad.rpt, ") + place) << json;

    ReportDefinition def;
    QString error;
    ASSERT_TRUE(ReportFile::parse(
        R"({ "kind": "listing", "listing": { "rowHeight": "1.27mm", "columns": [ { "text": "x", "width": 1 } ] } })",
        QStringLiteral("Fine.rpt"), &def, &error))
        << error.toStdString();
    EXPECT_GT(ReportLayout(def).rowsPerPage(), 100);
    EXPECT_LT(ReportLayout(def).pageCount(20000), 200);
}

TEST(ReportFile, MissingAndEmptyFilesAreNamed)
{
    ReportDefinition def;
    QString error;
    EXPECT_FALSE(ReportFile::read(QStringLiteral("/nonexistent/Complete.rpt"), &def, &error));
    EXPECT_EQ(error, QStringLiteral("The report file /nonexistent/Complete.rpt does not exist."));
    EXPECT_EQ(parseError("[1, 2]"),
              "The report file Bad.rpt does not hold a report: it must be one JSON object { ... }.");
}

TEST(ReportFile, LengthsInEveryUnitAndDefaults)
{
    ReportDefinition def;
    QString error;
    ASSERT_TRUE(ReportFile::parse(R"({ "kind": "letter", "page": { "size": "A4", "orientation": "landscape",
        "margins": { "top": "25.4mm", "left": "72pt", "right": "2.54cm" } },
        "letter": { "items": [ { "text": "x", "x": 1 } ] } })",
                                  QStringLiteral("/x/Notice.rpt"), &def, &error))
        << error.toStdString();
    EXPECT_DOUBLE_EQ(def.margins.top(), 1.0);
    EXPECT_DOUBLE_EQ(def.margins.left(), 1.0);
    EXPECT_DOUBLE_EQ(def.margins.right(), 1.0);
    EXPECT_DOUBLE_EQ(def.margins.bottom(), 0.5); // the default
    EXPECT_GT(def.pageInches().width(), def.pageInches().height());
    EXPECT_EQ(def.title, QStringLiteral("Notice")); // the file's name when it has no title
}

TEST(ValueFormat, NumbersDatesYesNoAndTexts)
{
    using store::FieldKind;
    EXPECT_EQ(ValueFormat::apply(1234567, FieldKind::Long, QStringLiteral("$#,##0.00")),
              QStringLiteral("$1,234,567.00"));
    EXPECT_EQ(ValueFormat::apply(-5, FieldKind::Long, QStringLiteral("$#,##0")), QStringLiteral("-$5"));
    EXPECT_EQ(ValueFormat::apply(7, FieldKind::Long, QStringLiteral("000")), QStringLiteral("007"));
    EXPECT_EQ(ValueFormat::apply(7, FieldKind::Long, QString()), QStringLiteral("7"));
    EXPECT_EQ(ValueFormat::apply(QVariant(), FieldKind::Long, QStringLiteral("$0")), QString());
    // Whole numbers are written digit by digit; the rest through the fixed form.
    const struct {
        double value;
        const char *format;
        const char *written;
    } numbers[] = {{1234567, "#,##0", "1,234,567"},
                   {999, "#,##0", "999"},
                   {-1234, "#,##0", "-1,234"},
                   {7, "0,000", "0,007"},
                   {1000, "$#,##0 due", "$1,000 due"},
                   {0, "#", "0"},
                   {12.6, "#,##0", "13"},
                   {12.5, "", "12.50"},
                   {-40, "", "-40"}};
    for (const auto &n : numbers)
        EXPECT_EQ(ValueFormat::apply(n.value, FieldKind::Long, QLatin1String(n.format)), QLatin1String(n.written))
            << n.format;
    EXPECT_EQ(ValueFormat::apply(QDate(2024, 3, 5), FieldKind::Date, QString()), QStringLiteral("03/05/2024"));
    EXPECT_EQ(ValueFormat::apply(QDate(2024, 3, 5), FieldKind::Date, QStringLiteral("MMMM d, yyyy")),
              QStringLiteral("March 5, 2024"));
    EXPECT_EQ(ValueFormat::apply(true, FieldKind::YesNo, QString()), QStringLiteral("Yes"));
    EXPECT_EQ(ValueFormat::apply(false, FieldKind::YesNo, QStringLiteral("X;")), QString());
    EXPECT_EQ(ValueFormat::apply(QStringLiteral("Smith"), FieldKind::Text, QStringLiteral("upper")),
              QStringLiteral("SMITH"));
    FieldValue text;
    text.setText("Smith", 5);
    text.setText("M\xc3\xbcller", 7);
    EXPECT_EQ(text.text, QStringLiteral("M\u00fcller"));
    text.setText("Li", 2);
    EXPECT_EQ(text.text, QStringLiteral("Li"));
    QString why;
    EXPECT_FALSE(ValueFormat::check(FieldKind::Date, QStringLiteral("Expires"), &why));
    EXPECT_FALSE(ValueFormat::check(FieldKind::YesNo, QStringLiteral("Yes"), &why));
}

TEST(TextTemplate, FillsFieldsOfBothTablesAndTheReport)
{
    TextTemplate t;
    QString error;
    ASSERT_TRUE(TextTemplate::parse(QStringLiteral("{{{Information.LastName}}} {CenterInformation.CenterName} "
                                                   "p{Report.Page}/{Report.Pages} {Report.PrintDate:yyyy}"),
                                    &t, &error))
        << error.toStdString();
    PrintedRow row(store::Schema::information().fields.size());
    row[size_t(store::Schema::information().fieldIndex(QStringLiteral("LastName")))] =
        FieldValue::of(QStringLiteral("Okafor"), store::FieldKind::Text);
    QVariantList center(store::Schema::centerInformation().fields.size());
    center[store::Schema::centerInformation().fieldIndex(QStringLiteral("CenterName"))] =
        QStringLiteral("Capitol Lanes");
    TextContext context;
    context.row = &row;
    context.center = &center;
    context.page = 2;
    context.pages = 7;
    context.printDate = QDate(2024, 12, 1);
    bool empty = true;
    EXPECT_EQ(t.fill(context, &empty), QStringLiteral("{Okafor} Capitol Lanes p2/7 2024"));
    EXPECT_FALSE(empty);

    ASSERT_TRUE(TextTemplate::parse(QStringLiteral("{Information.Address2}, {Information.Address3}"), &t, &error));
    t.fill(context, &empty);
    EXPECT_TRUE(empty); // a line whose fields are all empty can be left out
    EXPECT_FALSE(TextTemplate::parse(QStringLiteral("{Report.Page:000}"), &t, &error));
    EXPECT_FALSE(TextTemplate::parse(QStringLiteral("a } b"), &t, &error));
}

TEST(ReportLayout, ListingRowsFillTheBodyAndLabelsTheSheet)
{
    ReportDefinition def;
    QString error;
    ASSERT_TRUE(ReportFile::parse(kMinimal, QStringLiteral("L.rpt"), &def, &error)) << error.toStdString();
    // 10 in inside the margins, no bands, titles 1.5 rows: 48 rows of 0.2 in.
    ReportLayout layout(def);
    EXPECT_EQ(layout.rowsPerPage(), 48);
    EXPECT_EQ(layout.pageCount(0), 1);
    EXPECT_EQ(layout.pageCount(48), 1);
    EXPECT_EQ(layout.pageCount(49), 2);
    EXPECT_LE(layout.rowArea(47).bottom(), layout.footerArea().top() + 1e-9);

    ASSERT_TRUE(ReportFile::read(QStringLiteral(VANTREL_REPORT_FILES_DIR "/Labels.rpt"), &def, &error))
        << error.toStdString();
    ReportLayout labels(def);
    EXPECT_EQ(labels.rowsPerPage(), 30);
    EXPECT_EQ(labels.labelArea(0), QRectF(0.1875, 0.5, 2.625, 1));
    EXPECT_EQ(labels.labelArea(2), QRectF(0.1875 + 2 * 2.75, 0.5, 2.625, 1));
    EXPECT_DOUBLE_EQ(labels.labelArea(29).right(), 8.5 - 0.1875);
    EXPECT_DOUBLE_EQ(labels.labelArea(29).bottom(), 10.5);
}

// A file that names no paper takes the printer's; a label file gives a sheet
// for each paper and the one for the paper printed on is used.
TEST(ReportLayout, TheLabelSheetFollowsThePaperUnlessTheFileFixesIt)
{
    const QString labels = QStringLiteral(VANTREL_REPORT_FILES_DIR "/Labels.rpt");
    ReportDefinition def;
    QString error;
    ASSERT_TRUE(ReportFile::read(labels, &def, &error, QPageSize(QPageSize::A4))) << error.toStdString();
    EXPECT_FALSE(def.paperFixed);
    EXPECT_EQ(def.pageSize.id(), QPageSize::A4);
    ReportLayout a4(def);
    EXPECT_EQ(a4.rowsPerPage(), 21);
    constexpr double mm = 1 / 25.4;
    EXPECT_NEAR(a4.labelArea(0).left(), 7.2 * mm, 1e-9);
    EXPECT_NEAR(a4.labelArea(20).bottom(), (15.15 + 7 * 38.1) * mm, 1e-9);
    EXPECT_LE(a4.labelArea(20).right(), 210 * mm);

    EXPECT_FALSE(ReportFile::read(labels, &def, &error, QPageSize(QPageSize::A5)));
    EXPECT_TRUE(error.endsWith("at labels.sheets: there is no label sheet for A5 paper; the sheets are for A4, "
                               "Letter."))
        << error.toStdString();

    // A mistake in the sheet for other paper is found all the same.
    QByteArray broken = R"({"kind": "labels", "labels": {"items": [{"text": "x"}], "sheets": {
        "Letter": {"width": 2, "height": 1, "columns": 3, "rows": 10},
        "A4": {"width": 3, "height": 1, "columns": 3, "rows": 7}}}})";
    EXPECT_FALSE(ReportFile::parse(broken, QStringLiteral("B.rpt"), &def, &error));
    EXPECT_TRUE(error.contains("labels.sheets.A4")) << error.toStdString();

    // A fixed size stays whatever the printer's paper.
    ASSERT_TRUE(ReportFile::read(QStringLiteral(VANTREL_REPORT_FILES_DIR "/Complete.rpt"), &def, &error,
                                 QPageSize(QPageSize::A4)));
    EXPECT_TRUE(def.paperFixed);
    EXPECT_EQ(def.pageSize.id(), QPageSize::Letter);
}

TEST(ReportFile, EveryDeliveredFileReads)
{
    for (const char *name : {"Complete.rpt", "RenewalMail.rpt", "RenewalLocker.rpt", "Labels.rpt", "Filter.rpt"}) {
        ReportDefinition def;
        QString error;
        EXPECT_TRUE(ReportFile::read(QStringLiteral(VANTREL_REPORT_FILES_DIR "/") + QLatin1String(name), &def, &error))
            << error.toStdString();
    }
}

class ReportRowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_support::fillSampleCenter(folder.databasePath());
        store::EngineError e;
        db = store::DBEngine::OpenDatabase(folder.databasePath(), &e);
        ASSERT_TRUE(db) << e.text.toStdString();
    }
    QList<int> lockers(const QStringList &formulas, const QStringList &sort, const QString &selection = {})
    {
        ReportRows rows;
        QString error;
        if (!rows.open(db, formulas, sort, &error, selection)) {
            ADD_FAILURE() << error.toStdString();
            return {};
        }
        EXPECT_TRUE(rows.select(nullptr));
        QList<int> out;
        const size_t locker = size_t(store::Schema::information().fieldIndex(QStringLiteral("LockerNumber")));
        rows.readRows(0, rows.count(), [&](qint64, const PrintedRow &row) { out << int(row[locker].number); });
        return out;
    }
    testing_support::TempProgramFolder folder;
    std::shared_ptr<store::Database> db;
};

TEST_F(ReportRowsTest, BothFormulasMustHoldAndTheKeysOrder)
{
    EXPECT_EQ(
        lockers({QStringLiteral("{Information.LockerNumber} < 110"), QStringLiteral("{Information.KeyDeposit} = 10")},
                {QStringLiteral("-{Information.LockerNumber}")}),
        (QList<int>{108, 105, 102}));
    // Ties keep the table's order: deposit 5 first, then 10, each by locker.
    const QList<int> byDeposit =
        lockers({QStringLiteral("{Information.LockerNumber} <= 106")}, {QStringLiteral("+{Information.KeyDeposit}")});
    EXPECT_EQ(byDeposit, (QList<int>{101, 103, 104, 106, 102, 105}));
    EXPECT_EQ(lockers({}, {QStringLiteral("+{Information.LastName}")}).mid(0, 2),
              (QList<int>{115, 126})); // Abernathy-Price, Achterberg
}

// The statement of the last formula selects in its place; the file's own
// formula still holds. A statement the engine refuses leaves it to the
// formula. (The two never disagree in use: here they do, to show which one
// selected.)
TEST_F(ReportRowsTest, TheFiltersStatementSelectsInPlaceOfItsFormula)
{
    const QStringList formulas{QStringLiteral("{Information.KeyDeposit} = 10"),
                               QStringLiteral("{Information.LockerNumber} < 110")};
    const QStringList sort{QStringLiteral("-{Information.LockerNumber}")};
    EXPECT_EQ(
        lockers(formulas, sort, QStringLiteral("Select Information.* From Information Where [LockerNumber] < 120")),
        (QList<int>{117, 114, 111, 108, 105, 102}));
    EXPECT_EQ(lockers(formulas, sort, QStringLiteral("Select Information.* From Information Where [Nope] < 120")),
              (QList<int>{108, 105, 102}));
}

TEST_F(ReportRowsTest, RefusedKeysAndFormulasSayWhich)
{
    ReportRows rows;
    QString error;
    EXPECT_FALSE(rows.open(db, {}, {QStringLiteral("+{Information.Nope}")}, &error));
    EXPECT_EQ(error,
              QStringLiteral(
                  "The sort field '+{Information.Nope}' names the field \"Nope\", which Information does not have."));
    EXPECT_FALSE(rows.open(db, {}, {QStringLiteral("{Information.LastName}")}, &error));
    EXPECT_TRUE(error.contains(QLatin1String("is not a sort field"))) << error.toStdString();
    EXPECT_FALSE(rows.open(db, {QStringLiteral("{Information.LastName} = ")}, {}, &error));
    EXPECT_TRUE(error.startsWith(QLatin1String("The selection formula '{Information.LastName} = ' is refused: ")))
        << error.toStdString();
}

int refuseLastName(void *, int action, const char *, const char *column, const char *, const char *)
{
    return action == SQLITE_READ && column && QByteArray(column).compare("LastName", Qt::CaseInsensitive) == 0
        ? SQLITE_DENY
        : SQLITE_OK;
}

// A customer that cannot be read is a failure to report, never a customer
// quietly left out of the selection or a blank line on the page.
TEST_F(ReportRowsTest, AnUnreadableCustomerIsAFailureNotAGap)
{
    const int lastName = store::Schema::information().fieldIndex(QStringLiteral("LastName"));
    {
        ReportRows rows;
        QString error;
        ASSERT_TRUE(rows.open(db, {QStringLiteral("{Information.LockerNumber} < 110")}, {}, &error))
            << error.toStdString();
        sqlite3_set_authorizer(db->handle(), refuseLastName, nullptr);
        EXPECT_FALSE(rows.select(nullptr));
        EXPECT_TRUE(rows.readError().contains(QLatin1String("prohibited"))) << rows.readError().toStdString();
        sqlite3_set_authorizer(db->handle(), nullptr, nullptr);
    }
    {
        ReportRows rows;
        QString error;
        ASSERT_TRUE(rows.open(db, {}, {}, &error)) << error.toStdString();
        rows.setPrintedFields({lastName});
        ASSERT_TRUE(rows.select(nullptr));
        QStringList names;
        const auto readTwo = [&] {
            names.clear();
            rows.readRows(0, 2, [&](qint64, const PrintedRow &row) {
                const FieldValue &name = row[size_t(lastName)];
                names << (name.kind == FieldValue::Kind::Text ? name.text : QString());
            });
        };
        readTwo();
        EXPECT_TRUE(rows.readError().isEmpty());
        EXPECT_FALSE(names.contains(QString())) << names.join(u',').toStdString();
        sqlite3_set_authorizer(db->handle(), refuseLastName, nullptr);
        readTwo();
        EXPECT_EQ(names, QStringList(2)); // nothing of the rows is printed
        EXPECT_FALSE(rows.readError().isEmpty());
        sqlite3_set_authorizer(db->handle(), nullptr, nullptr);
    }
}

// What is alike on every page is laid out once per run; the page number
// still changes from page to page.
TEST_F(ReportRowsTest, EveryPageOfAListingHasItsBandsAndItsOwnNumber)
{
    QFile file(folder.file(QStringLiteral("Pages.rpt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({ "kind": "listing", "listing": { "rowHeight": 1,
        "pageHeader": { "height": 0.5, "items": [ { "text": "{Report.Records} customers", "height": 0.3 } ] },
        "pageFooter": { "height": 0.3, "items": [ { "text": "Page {Report.Page} of {Report.Pages}" } ] },
        "columns": [ { "title": "Locker", "text": "{Information.LockerNumber}", "width": 1 } ] } })");
    file.close();
    ReportRequest request;
    request.reportFile = file.fileName();
    QString error;
    auto job = ReportJob::open(request, &error);
    ASSERT_TRUE(job && job->prepare(nullptr)) << error.toStdString();
    const QString pdf = folder.file(QStringLiteral("pages.pdf"));
    ASSERT_TRUE(job->writePdf(pdf, nullptr, &error)) << error.toStdString();
    const QStringList pages = testing_support::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 5); // 7 rows of an inch a page
    for (int p = 0; p < pages.size(); ++p) {
        EXPECT_TRUE(pages[p].contains(QLatin1String("30 customers"))) << p;
        EXPECT_TRUE(pages[p].contains(QStringLiteral("Page %1 of 5").arg(p + 1))) << pages[p].toStdString();
        EXPECT_TRUE(pages[p].contains(QStringLiteral("%1").arg(101 + 7 * p))) << pages[p].toStdString();
    }
}

TEST_F(ReportRowsTest, PagesOfAJobAndACancelledPdfLeavesNoFile)
{
    testing_support::installDeliveredReports(folder.path());
    ReportRequest request;
    request.reportFile = folder.file(QStringLiteral("RenewalLocker.rpt"));
    QString error;
    auto job = ReportJob::open(request, &error);
    ASSERT_TRUE(job) << error.toStdString();
    ASSERT_TRUE(job->prepare(nullptr));
    EXPECT_EQ(job->pageCount(), 30);
    const QString pdf = folder.file(QStringLiteral("cancelled.pdf"));
    EXPECT_FALSE(job->writePdf(
        pdf, [](qint64 done, qint64) { return done < 3; }, &error));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(error.contains(QLatin1String("cancelled"))) << error.toStdString();

    // No customer selected: one page that says so.
    request.selectionFormula = QStringLiteral("{Information.LockerNumber} > 1000");
    job = ReportJob::open(request, &error);
    ASSERT_TRUE(job && job->prepare(nullptr));
    EXPECT_EQ(job->pageCount(), 1);
    ASSERT_TRUE(job->writePdf(pdf, nullptr, &error)) << error.toStdString();
    EXPECT_TRUE(testing_support::pdfText(pdf).contains(QLatin1String("No records were selected.")));
}

} // namespace
