// The command-line ways in and out of CSV files: --export-csv OUT.csv and
// --import-csv IN.csv [--check], on the database of the program folder.
#include "app/CommandLine.h"

#include "csv/CsvExport.h"
#include "csv/CsvImport.h"
#include "store/ProgramFolder.h"

namespace app {

namespace {

QString databasePath()
{
    return store::programPath(QStringLiteral("\\Vantrel.mdb"));
}

int exportCsv(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    const QString target = parser.value(QStringLiteral("export-csv"));
    const csv::ExportResult result = csv::CustomerExport::allCustomers(databasePath(), target);
    if (!result.succeeded) {
        err << result.error << "\n";
        return 1;
    }
    out << QStringLiteral("Exported %1 customers to %2.\n").arg(result.rows).arg(target);
    return 0;
}

void listIssues(const csv::CheckSummary &summary, QTextStream &out)
{
    for (const csv::Issue &issue : summary.issues)
        out << csv::describe(issue) << "\n";
}

int importCsv(const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
{
    const QString source = parser.value(QStringLiteral("import-csv"));
    csv::CsvImport import;
    QString error;
    if (!import.open(source, databasePath(), &error)) {
        err << error << "\n";
        return 1;
    }
    if (parser.isSet(QStringLiteral("check")))
        out << QStringLiteral("Read as %1, values separated by %2.\n")
                   .arg(import.encoding(), csv::delimiterName(import.delimiter()));
    const bool centerSettings = import.target() == csv::Target::CenterSettings;
    const QStringList missing = import.fieldsWithoutColumn();
    if (!missing.isEmpty())
        out << "No column for " << missing.join(QStringLiteral(", "))
            << (centerSettings ? ": these settings stay as they are.\n" : ": these fields stay empty.\n");

    if (parser.isSet(QStringLiteral("check"))) {
        const csv::CheckSummary summary = import.check();
        if (!summary.error.isEmpty()) {
            err << summary.error << "\n";
            return 1;
        }
        listIssues(summary, out);
        out << QStringLiteral("%1 of %2 rows can go in; %3 cannot. Nothing was written.\n")
                   .arg(summary.goodRows)
                   .arg(summary.rows)
                   .arg(summary.badRows);
        return summary.badRows == 0 && summary.rows > 0 ? 0 : 1;
    }

    // Without a person to decide, a file with a bad row adds nothing: a
    // second run after the file is corrected then adds every row once.
    const csv::ImportResult result = import.run(csv::CsvImport::Rows::AllOrNothing);
    listIssues(result.summary, out);
    if (!result.succeeded) {
        err << result.error << "\n";
        return 1;
    }
    if (centerSettings)
        out << QStringLiteral("The center's settings were imported from %1.\n").arg(source);
    else
        out << QStringLiteral("Imported %1 customers from %2.\n").arg(result.added).arg(source);
    return 0;
}

} // namespace

void addCsvCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(QStringLiteral("export-csv"),
                                        QStringLiteral("Writes every customer to the CSV file <file>."),
                                        QStringLiteral("file")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("import-csv"),
                           QStringLiteral("Adds the customers of the CSV file <file> (or the center's settings, "
                                          "from a file of them). A file with a row that cannot go in adds nothing."),
                           QStringLiteral("file")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("check"),
                           QStringLiteral("With --import-csv: lists every row that cannot go in, with its line "
                                          "and reason, and writes nothing.")));
    commands.push_back({QStringLiteral("export-csv"), exportCsv});
    commands.push_back({QStringLiteral("import-csv"), importCsv, {QStringLiteral("check")}});
}

} // namespace app
