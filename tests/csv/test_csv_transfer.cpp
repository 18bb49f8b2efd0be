// Customers out to CSV and in again: the round trip, the old file's
// exporter's form, files with bad rows, cancelling, the center's settings
// and the command line.
#include "CsvTestData.h"

#include "app/CommandLine.h"
#include "csv/CsvExport.h"
#include "csv/CsvImport.h"
#include "csv/OpenDataWindows.h"
#include "store/DataControl.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace csv;
using namespace csv_testing;

namespace {

class Transfer : public ::testing::Test
{
protected:
    QString database() const { return folder.databasePath(); }
    QString file(const char *name) const { return folder.file(QString::fromLatin1(name)); }

    QString emptyDatabase(const char *name)
    {
        store::EngineError e;
        const QString path = file(name);
        EXPECT_TRUE(store::Schema::createDeliveredDatabase(path, &e)) << e.text.toStdString();
        return path;
    }

    void exec(const QString &path, const QString &sql)
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        store::EngineError e;
        EXPECT_TRUE(store::execSql(db, sql, &e)) << e.text.toStdString();
        sqlite3_close(db);
    }

    // Opens a file for import into the test's database, failing the test if it cannot.
    std::unique_ptr<CsvImport> opened(const QString &csvPath)
    {
        auto import = std::make_unique<CsvImport>();
        QString error;
        EXPECT_TRUE(import->open(csvPath, database(), &error)) << error.toStdString();
        return import;
    }

    QStringList issueTexts(const CheckSummary &summary)
    {
        QStringList texts;
        for (const Issue &issue : summary.issues)
            texts << describe(issue);
        return texts;
    }

    testing_support::TempProgramFolder folder;
    std::mt19937 random{20261208};
};

TEST_F(Transfer, TenThousandCustomersComeBackFieldForField)
{
    insertRandomCustomers(database(), 10000, random);
    const QString out = file("customers.csv");
    const ExportResult exported = CustomerExport::allCustomers(database(), out);
    ASSERT_TRUE(exported.succeeded) << exported.error.toStdString();
    EXPECT_EQ(exported.rows, 10000);
    EXPECT_EQ(QFileInfo(out).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".partial")));
    const QByteArray bytes = fileBytes(out);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBFLockerNumber,KeyNumber,KeyDeposit,Combo1,"));

    const QString target = emptyDatabase("empty.mdb");
    CsvImport import;
    QString error;
    ASSERT_TRUE(import.open(out, target, &error)) << error.toStdString();
    EXPECT_EQ(import.target(), Target::Customers);
    EXPECT_TRUE(import.fieldsWithoutColumn().isEmpty());
    const ImportResult result = import.run();
    ASSERT_TRUE(result.succeeded) << result.error.toStdString();
    EXPECT_EQ(result.added, 10000);
    EXPECT_EQ(result.summary.badRows, 0);

    const QList<QVariantList> before = storedRows(database());
    const QList<QVariantList> after = storedRows(target);
    ASSERT_EQ(before.size(), after.size());
    const QStringList names = store::Schema::information().fieldNames();
    for (int r = 0; r < before.size(); ++r) {
        for (int f = 0; f < names.size(); ++f) {
            ASSERT_EQ(before.at(r).at(f), after.at(r).at(f))
                << "row " << r << ", " << names.at(f).toStdString() << ": '"
                << before.at(r).at(f).toString().toStdString() << "' came back as '"
                << after.at(r).at(f).toString().toStdString() << "'";
        }
    }
}

TEST_F(Transfer, ARecordSetExportsItsRowsInItsOrder)
{
    insertRandomCustomers(database(), 300, random);
    store::EngineError e;
    const auto db = store::Database::open(database(), &e);
    ASSERT_TRUE(db);
    const auto rs = db->OpenRecordset(QStringLiteral("Select * From Information Where [Adult] = Yes"),
                                      store::Recordset::Dynaset, &e);
    ASSERT_TRUE(rs) << e.text.toStdString();
    ASSERT_GT(rs->RecordCount(), 50);
    ASSERT_LT(rs->RecordCount(), 300);

    const QString out = file("filtered.csv");
    const ExportResult result = CustomerExport::recordset(*rs, out);
    ASSERT_TRUE(result.succeeded) << result.error.toStdString();
    EXPECT_EQ(result.rows, rs->RecordCount());

    const DecodedText text = decodeText(fileBytes(out));
    CsvParser parser(text.text, QLatin1Char(','));
    CsvRecord record;
    ASSERT_TRUE(parser.next(&record));
    const int adult = int(record.values.indexOf(QStringLiteral("Adult")));
    const int notes = int(record.values.indexOf(QStringLiteral("Notes")));
    int i = 0;
    while (parser.next(&record)) {
        ASSERT_LT(i, rs->RecordCount());
        EXPECT_EQ(record.values.at(adult), QStringLiteral("Yes"));
        const QVariantList row = rs->rowAt(i++);
        EXPECT_EQ(withoutFormulaGuard(record.values.at(notes)), row.at(notes).toString());
    }
    EXPECT_EQ(i, rs->RecordCount());
}

TEST_F(Transfer, TheOldFilesExporterFormImportsEveryValueRight)
{
    // As mdb-export writes a table: texts and dates in quotes, dates with a
    // time, yes/no as 1 and 0, nulls as nothing, the second phone "Phone 2".
    QByteArray header =
        "LockerNumber,KeyNumber,KeyDeposit,Combo1,Combo2,Combo3,DateRented,DateToRenew,FirstName,LastName,"
        "Address1,Address2,Address3,City,State,Zip,Phone1,Phone 2,Fax,EMail,Notes,Birthdate,SSNumber,Gender,"
        "VIBNumber,Adult,Junior,Senior,WorkName,WorkAddress1,WorkAddress2,WorkCity,WorkState,WorkZip,"
        "WorkPhone,WorkFax,MixedLeague,WomensLeague,JuniorLeague,MensLeague,AdultJunior,SeniorLeague,"
        "Tournament,Winter,Summer,HdcpLeague,ScratchLeague,Age\n";
    QByteArray row = "1042,77,15,\"12-34-56\",\"01-02-03\",,\"01/15/24 00:00:00\",\"01/14/25 00:00:00\",\"Ann\","
                     "\"O'Neil \"\"Annie\"\"\",\"1 Main St, Apt 2\",,,\"Springfield\",\"IL\",\"62704-1234\","
                     "\"(217)555-0100\",\"2175550101\",,\"ann@example.com\",\"Bowls Tuesdays\nPaid cash\","
                     "\"02/03/1961\",\"123-45-6789\",\"F\",0,1,0,0,\"Acme\",,,,,,,,1,0,0,0,0,0,1,1,0,0,1,\"63\"\n";
    writeFile(file("Information.csv"), header + row);

    auto import = opened(file("Information.csv"));
    const ImportResult result = import->run();
    ASSERT_TRUE(result.succeeded) << result.error.toStdString();
    EXPECT_TRUE(import->fieldsWithoutColumn().isEmpty());
    const QList<QVariantList> rows = storedRows(database());
    ASSERT_EQ(rows.size(), 1);
    const QStringList names = store::Schema::information().fieldNames();
    QVariantMap got;
    for (int i = 0; i < names.size(); ++i)
        got.insert(names.at(i), rows.at(0).at(i));
    const QVariantMap expected = {{"LockerNumber", 1042},
                                  {"KeyNumber", 77},
                                  {"KeyDeposit", 15},
                                  {"Combo1", "12-34-56"},
                                  {"Combo2", "01-02-03"},
                                  {"Combo3", QVariant()},
                                  {"DateRented", "2024-01-15"},
                                  {"DateToRenew", "2025-01-14"},
                                  {"FirstName", "Ann"},
                                  {"LastName", "O'Neil \"Annie\""},
                                  {"Address1", "1 Main St, Apt 2"},
                                  {"Address2", QVariant()},
                                  {"City", "Springfield"},
                                  {"State", "IL"},
                                  {"Zip", "62704-1234"},
                                  {"Phone1", "(217)555-0100"},
                                  {"Phone2", "(217)555-0101"},
                                  {"Fax", QVariant()},
                                  {"EMail", "ann@example.com"},
                                  {"Notes", "Bowls Tuesdays\nPaid cash"},
                                  {"Birthdate", "02/03/1961"},
                                  {"SSNumber", "123-45-6789"},
                                  {"Gender", "F"},
                                  {"VIBNumber", 0},
                                  {"Adult", 1},
                                  {"Junior", 0},
                                  {"Senior", 0},
                                  {"WorkName", "Acme"},
                                  {"WorkZip", QVariant()},
                                  {"MixedLeague", 1},
                                  {"WomensLeague", 0},
                                  {"Tournament", 1},
                                  {"Winter", 1},
                                  {"Summer", 0},
                                  {"HdcpLeague", 0},
                                  {"ScratchLeague", 1},
                                  {"Age", "63"}};
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QVariant &value = got.value(it.key());
        if (it.value().isNull())
            EXPECT_TRUE(value.isNull()) << it.key().toStdString();
        else
            EXPECT_EQ(value.toString(), it.value().toString()) << it.key().toStdString();
    }
}

TEST_F(Transfer, BadRowsAreListedAndTheGoodOnesGoIn)
{
    testing_support::insertCustomer(database(), {{"LockerNumber", 500}, {"LastName", "Present"}});
    const QByteArray name60(60, 'n');
    writeFile(file("bad.csv"),
              "LockerNumber,FirstName,Last Name,DateRented,Adult\n"
              "1,Ann,Good,01/15/2024,Yes\n"
              "9999999999,Big,Locker,01/15/2024,No\n"
              "3,Feb,Thirty,02/30/2024,No\n"
              "4," + name60
                  + ",Long,,No\n"
                    "5,Missing,Column,No\n"
                    "6,Ragged,Row,01/01/2024,No,extra\n"
                    "7,\"Two\nLines\",Good,,No\n"
                    "500,Same,Locker,,True\n");
    auto import = opened(file("bad.csv"));
    EXPECT_EQ(import->fieldsWithoutColumn().size(), 43);

    const CheckSummary summary = import->check();
    EXPECT_EQ(summary.rows, 8);
    EXPECT_EQ(summary.badRows, 6);
    EXPECT_EQ(issueTexts(summary),
              (QStringList{
                  "line 3, LockerNumber: 9999999999 is above 2147483647, the largest number the field holds.",
                  "line 4, DateRented: '02/30/2024' is not a date; write dates as mm/dd/yyyy, m/d/yy or yyyy-mm-dd.",
                  "line 5, FirstName: 60 characters; the field holds 50.",
                  "line 6: The row has 4 values; the first line names 5 columns.",
                  "line 7: The row has 6 values; the first line names 5 columns.",
                  "line 8, FirstName: The value holds a line break; only notes may have several lines.",
                  "line 10, LockerNumber (warning): Locker 500 is already in use by a customer of the database.",
              }));
    EXPECT_EQ(storedRows(database()).size(), 1); // checking writes nothing

    const ImportResult result = import->run();
    ASSERT_TRUE(result.succeeded) << result.error.toStdString();
    EXPECT_EQ(result.added, 2);
    const QList<QVariantList> rows = storedRows(database());
    ASSERT_EQ(rows.size(), 3); // added beside the customer already there, never over it
    EXPECT_EQ(rows.at(0).at(9).toString(), QStringLiteral("Present"));
    EXPECT_EQ(rows.at(1).at(0).toLongLong(), 1);
    EXPECT_EQ(rows.at(1).at(6).toString(), QStringLiteral("2024-01-15"));
    EXPECT_EQ(rows.at(1).at(25).toLongLong(), 1);
    EXPECT_EQ(rows.at(2).at(0).toLongLong(), 500);
    EXPECT_EQ(rows.at(2).at(8).toString(), QStringLiteral("Same"));
}

TEST_F(Transfer, FilesThatCannotBeImportedAtAll)
{
    QString error;
    writeFile(file("picture.csv"), QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16));
    EXPECT_FALSE(CsvImport().open(file("picture.csv"), database(), &error));
    EXPECT_EQ(
        error,
        QStringLiteral("Line 3: the file is not a text file (it holds a zero byte); nothing can be imported from it."));

    writeFile(file("empty.csv"), "\r\n\r\n");
    EXPECT_FALSE(CsvImport().open(file("empty.csv"), database(), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The file is empty")));

    writeFile(file("nonames.csv"), "a,b,c\n1,2,3\n");
    EXPECT_FALSE(CsvImport().open(file("nonames.csv"), database(), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Line 1: no column names a field"))) << error.toStdString();

    // An empty file where the database should be is no database of ours;
    // the CSV file is not to blame, and nothing is written into it.
    writeFile(file("Blank.mdb"), "");
    writeFile(file("good.csv"), "LockerNumber,LastName\n1,Ann\n");
    EXPECT_FALSE(CsvImport().open(file("good.csv"), file("Blank.mdb"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("is not a Vantrel database"))) << error.toStdString();
    EXPECT_EQ(QFileInfo(file("Blank.mdb")).size(), 0);

    writeFile(file("open.csv"), "LockerNumber,Notes\n1,\"never closed\n2,x\n");
    auto import = opened(file("open.csv"));
    EXPECT_EQ(issueTexts(import->check()),
              QStringList{"line 2: A value in quotes is not closed before the end of the file."});
}

TEST_F(Transfer, CancelOrAFailurePartWayAddsNothing)
{
    QByteArray csv = "LockerNumber,LastName\n";
    for (int i = 1; i <= 3000; ++i)
        csv += QByteArray::number(i) + ",Name" + QByteArray::number(i) + "\n";
    writeFile(file("many.csv"), csv);
    const QByteArray before = fileBytes(database());

    auto import = opened(file("many.csv"));
    int calls = 0;
    const ImportResult cancelled = import->run(CsvImport::Rows::Good, [&](qint64 done, qint64 total) {
        EXPECT_LE(done, total);
        return ++calls < 2;
    });
    EXPECT_FALSE(cancelled.succeeded);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.added, 0);
    EXPECT_EQ(cancelled.error, QStringLiteral("The import was cancelled. Nothing was imported."));
    import.reset();
    EXPECT_EQ(fileBytes(database()), before) << "the database changed after a cancel";

    // The engine refuses a row near the end: the rows before it go too.
    exec(database(),
         QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Information WHEN NEW.LockerNumber = 2999 "
                        "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"));
    auto failing = opened(file("many.csv"));
    const ImportResult failed = failing->run();
    EXPECT_FALSE(failed.succeeded);
    EXPECT_EQ(failed.error, QStringLiteral("Line 3000: refused by the test Nothing was imported."));
    EXPECT_EQ(storedRows(database()).size(), 0);
}

TEST_F(Transfer, MappingByNameAndByTheOperator)
{
    writeFile(file("semi.csv"), "locker number;LASTNAME;Nickname\r\n7;M\xfcller;Mo\r\n");
    auto import = opened(file("semi.csv"));
    EXPECT_EQ(import->delimiter(), QLatin1Char(';'));
    EXPECT_EQ(import->encoding(), QStringLiteral("Windows-1252"));
    const int lastName = store::Schema::information().fieldIndex(QStringLiteral("LastName"));
    const int firstName = store::Schema::information().fieldIndex(QStringLiteral("FirstName"));
    EXPECT_EQ(import->mapping(), (QVector<int>{0, lastName, -1}));
    EXPECT_EQ(issueTexts(import->check()), QStringList{"line 1 (warning): The column 'Nickname' is not imported."});

    QString error;
    EXPECT_FALSE(import->setMapping({0, lastName, lastName}, &error));
    EXPECT_EQ(error,
              QStringLiteral("The field LastName is given to two columns; each field takes one column at most."));
    ASSERT_TRUE(import->setMapping({0, lastName, firstName}, &error));
    ASSERT_TRUE(import->run().succeeded);
    const QList<QVariantList> rows = storedRows(database());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).at(lastName).toString(), QStringLiteral("Müller"));
    EXPECT_EQ(rows.at(0).at(firstName).toString(), QStringLiteral("Mo"));
}

TEST_F(Transfer, TheCentersSettingsRowIsReplaced)
{
    writeFile(file("CenterInformation.csv"),
              "YearlyRate,Period,CenterName,CenterAddress1,CenterAddress2,CenterAddress3,CenterAddress4,CenterAddress5,"
              "CenterPhone,CenterFax,ManagerName\n"
              "\"45.00\",\"365\",\"Strike Lanes\",\"9 Pin Rd\",,,,,\"(555)010-2000\",,\"Pat\"\n");
    auto import = opened(file("CenterInformation.csv"));
    EXPECT_EQ(import->target(), Target::CenterSettings);
    const ImportResult result = import->run();
    ASSERT_TRUE(result.succeeded) << result.error.toStdString();
    const QList<QVariantList> rows = storedRows(database(), QStringLiteral("CenterInformation"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.at(0).at(0).toString(), QStringLiteral("45.00"));
    EXPECT_EQ(rows.at(0).at(2).toString(), QStringLiteral("Strike Lanes"));
    EXPECT_EQ(rows.at(0).at(8).toString(), QStringLiteral("(555)010-2000"));
    EXPECT_EQ(rows.at(0).at(10).toString(), QStringLiteral("Pat"));

    writeFile(file("center2.csv"), "CenterName,CenterPhone\nA,(555)010-2000 ext 9\nB,1\n");
    EXPECT_EQ(issueTexts(opened(file("center2.csv"))->check()),
              (QStringList{"line 2, CenterPhone: 19 characters; the field holds 14.",
                           "line 3: The center has one row of settings; only the first row of the file is imported."}));
}

TEST_F(Transfer, OpenWindowsWriteFirstAndShowTheNewRowsAfter)
{
    testing_support::insertCustomers(database(), {{{"LockerNumber", 1}}, {{"LockerNumber", 2}}});
    store::DataControl control;
    control.setDatabaseName(database());
    control.setRecordSource(QStringLiteral("Information"));
    ASSERT_TRUE(control.Refresh());
    ASSERT_TRUE(control.moveLast());
    const qint64 current = control.recordset()->Bookmark();

    writeFile(file("two.csv"), "LockerNumber\n3\n4\n");
    QString error;
    ASSERT_TRUE(writeOpenEdits(database(), &error)) << error.toStdString();
    ASSERT_TRUE(opened(file("two.csv"))->run().succeeded);
    showNewRows(database());
    EXPECT_EQ(control.recordset()->RecordCount(), 4);
    EXPECT_EQ(control.recordset()->Bookmark(), current);
}

TEST_F(Transfer, ExportLeavesNoHalfFileAndNeverOverwritesTheDatabase)
{
    insertRandomCustomers(database(), 9000, random);
    const QString out = file("kept.csv");
    writeFile(out, "what was there before\n");
    const ExportResult cancelled = CustomerExport::allCustomers(database(), out, [](qint64, qint64) { return false; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.succeeded);
    EXPECT_EQ(fileBytes(out), QByteArray("what was there before\n"));
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral(".partial")));

    const QByteArray before = fileBytes(database());
    const ExportResult ontoDatabase = CustomerExport::allCustomers(database(), database());
    EXPECT_FALSE(ontoDatabase.succeeded);
    EXPECT_EQ(fileBytes(database()), before);

    const ExportResult noFolder = CustomerExport::allCustomers(database(), file("no/such/folder.csv"));
    EXPECT_FALSE(noFolder.succeeded);
    EXPECT_FALSE(noFolder.error.isEmpty());
}

class CommandLineCsv : public Transfer
{
protected:
    int run(const QStringList &arguments)
    {
        app::CommandLine commandLine;
        output.clear();
        errors.clear();
        if (!commandLine.parse(QStringList{QStringLiteral("vantrel")} + arguments)) {
            errors = commandLine.errorText();
            return 2;
        }
        QTextStream out(&output);
        QTextStream err(&errors);
        const int status = commandLine.run(out, err);
        out.flush();
        err.flush();
        return status;
    }
    QString output;
    QString errors;
};

TEST_F(CommandLineCsv, CheckWritesNothingAndImportIsAllOrNothing)
{
    writeFile(file("in.csv"), "LockerNumber,LastName,DateRented\n1,Ann,01/15/2024\n2,Bob,02/30/2024\n");
    const QByteArray before = fileBytes(database());
    EXPECT_EQ(run({"--import-csv", file("in.csv"), "--check"}), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("line 3, DateRented: '02/30/2024' is not a date")))
        << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("1 of 2 rows can go in; 1 cannot. Nothing was written.")));
    EXPECT_EQ(run({"--import-csv", file("in.csv")}), 1);
    EXPECT_EQ(errors, QStringLiteral("1 row cannot go in. Nothing was imported.\n"));
    EXPECT_EQ(fileBytes(database()), before);

    writeFile(file("in.csv"), "LockerNumber,LastName,DateRented\n1,Ann,01/15/2024\n2,Bob,02/28/2024\n");
    EXPECT_EQ(run({"--import-csv", file("in.csv"), "--check"}), 0);
    EXPECT_EQ(run({"--import-csv", file("in.csv")}), 0);
    EXPECT_TRUE(output.endsWith(QStringLiteral("Imported 2 customers from %1.\n").arg(file("in.csv"))));
    EXPECT_EQ(storedRows(database()).size(), 2);

    EXPECT_EQ(run({"--export-csv", file("out.csv")}), 0);
    EXPECT_EQ(output, QStringLiteral("Exported 2 customers to %1.\n").arg(file("out.csv")));
    EXPECT_TRUE(fileBytes(file("out.csv")).contains("\r\n2,,,,,,02/28/2024,,,Bob,"));

    EXPECT_EQ(run({"--check"}), 2);
    EXPECT_EQ(errors, QStringLiteral("--check goes with --import-csv."));
    EXPECT_EQ(run({"--import-csv", file("missing.csv")}), 1);
    EXPECT_TRUE(errors.startsWith(QStringLiteral("Could not read"))) << errors.toStdString();
}

TEST_F(CommandLineCsv, TheEncodingIsDecidedOnEvidenceAndSaid)
{
    writeFile(file("utf8.csv"), "LockerNumber,LastName\n1,Jos\xc3\xa9\n");
    EXPECT_EQ(run({"--import-csv", file("utf8.csv"), "--check"}), 0);
    EXPECT_TRUE(output.startsWith("Read as UTF-8, values separated by comma.\n")) << output.toStdString();
    writeFile(file("ansi.csv"), "LockerNumber;LastName\n1;Jos\xe9\n");
    EXPECT_EQ(run({"--import-csv", file("ansi.csv"), "--check"}), 0);
    EXPECT_TRUE(output.startsWith("Read as Windows-1252, values separated by semicolon.\n")) << output.toStdString();

    // UTF-8 but for one byte: either reading would garble a name.
    writeFile(file("stray.csv"), "LockerNumber,LastName\n1,Jos\xc3\xa9\n2,M\xc3\xbcller\n3,Ren\xe9\n");
    const QByteArray before = fileBytes(database());
    for (const QStringList &arguments :
         {QStringList{"--import-csv", file("stray.csv"), "--check"}, QStringList{"--import-csv", file("stray.csv")}}) {
        EXPECT_EQ(run(arguments), 1);
        EXPECT_EQ(errors,
                  "Line 4, byte 6: the file is written as UTF-8 but for a few bytes, such as this one (0xE9), "
                  "so neither UTF-8 nor Windows-1252 would read all of its letters right. Correct that line, or "
                  "save the file again as UTF-8, then import it.\n");
    }
    EXPECT_EQ(fileBytes(database()), before);
}

TEST_F(Transfer, FormulasGoOutAsTextAndComeBackExactly)
{
    const QStringList names{"=HYPERLINK(\"http://x\",\"click\")",
                            "+1",
                            "-2+3",
                            "@SUM(A1)",
                            "\tTab",
                            "\rReturn",
                            "'=quoted",
                            "''+twice",
                            "'plain",
                            "O'Brien",
                            "plain"};
    QList<testing_support::CustomerRow> rows;
    for (int i = 0; i < names.size(); ++i)
        rows.append({{"LockerNumber", i + 1}, {"Notes", names.at(i)}, {"KeyDeposit", -5}});
    testing_support::insertCustomers(database(), rows);
    const QString out = file("out.csv");
    ASSERT_TRUE(CustomerExport::allCustomers(database(), out).succeeded);
    const QByteArray bytes = fileBytes(out);
    for (const char *guarded : {",\"'=HYPERLINK", ",'+1,", ",'-2+3,", ",'@SUM(A1),", ",'\tTab,", ",\"'\rReturn\",",
                                ",''=quoted,", ",'''+twice,", ",'plain,", ",O'Brien,", ",plain,", ",-5,"})
        EXPECT_TRUE(bytes.contains(guarded)) << guarded;

    const QList<QVariantList> before = storedRows(database());
    exec(database(), "DELETE FROM Information");
    const ImportResult imported = opened(out)->run();
    ASSERT_TRUE(imported.succeeded);
    EXPECT_EQ(imported.summary.badRows, 0) << issueTexts(imported.summary).join("\n").toStdString();
    const QList<QVariantList> after = storedRows(database());
    ASSERT_EQ(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after.at(i), before.at(i))
            << names.at(i).toStdString() << " came back as " << after.at(i).at(20).toString().toStdString();
}

TEST_F(Transfer, AFailedReadOfTheLockersInUseIsReportedNotSkipped)
{
    insertRandomCustomers(database(), 2000, random);
    writeFile(file("in.csv"), "LockerNumber,LastName\n7,Ann\n");
    auto import = opened(file("in.csv"));
    // Every page but the schema's turns to garbage under the open import.
    QFile damaged(database());
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    const QByteArray garbage(int(damaged.size() - 4096), '\xA5');
    ASSERT_TRUE(damaged.seek(4096));
    ASSERT_EQ(damaged.write(garbage), garbage.size());
    damaged.close();

    const CheckSummary summary = import->check();
    EXPECT_TRUE(summary.error.startsWith("The lockers already in use could not be read: "))
        << summary.error.toStdString();
    const ImportResult result = import->run();
    EXPECT_FALSE(result.succeeded);
    EXPECT_TRUE(result.error.startsWith("The lockers already in use could not be read: "));
    EXPECT_TRUE(result.error.endsWith(" Nothing was imported.")) << result.error.toStdString();
}

} // namespace
