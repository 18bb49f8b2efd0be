// vantrel --report NAME.rpt --pdf OUT.pdf [--formula TEXT] [--sort KEY]...
// renders a report of the program folder's database to a PDF without a
// window, for scheduled jobs: the same report control the menus use, with
// a file as its destination.
#include "app/CommandLine.h"
#include "reports/ui/CrystalReport.h"
#include "store/ProgramFolder.h"

#include <QFileInfo>

namespace app {

namespace {

QString reportPath(const QString &name)
{
    // A bare name is a report of the program folder; anything with a folder
    // in it is taken as the path of a report file of the center's own.
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).absoluteFilePath();
    return store::programPath(QLatin1Char('\\') + name);
}

int runReport(const QCommandLineParser &parser, QTextStream &, QTextStream &err)
{
    const QString name = parser.value(QStringLiteral("report")).trimmed();
    const QString pdf = parser.value(QStringLiteral("pdf")).trimmed();
    const QStringList sort = parser.values(QStringLiteral("sort"));
    if (name.isEmpty()) {
        err << "--report needs the name of a report file, e.g. --report Complete.rpt\n";
        return 2;
    }
    if (pdf.isEmpty()) {
        err << "--report needs --pdf OUT.pdf: the file to write the report to.\n";
        return 2;
    }
    if (sort.size() > 3) {
        err << "At most three --sort fields can be given; " << sort.size() << " were.\n";
        return 2;
    }
    reports::CrystalReport control(nullptr);
    control.setDestination(reports::CrystalReport::Destination::File);
    control.setPrintFileName(QFileInfo(pdf).absoluteFilePath());
    control.setSelectionFormula(parser.value(QStringLiteral("formula")));
    for (int i = 0; i < int(sort.size()); ++i)
        control.setSortFields(i, sort.at(i));
    control.setReportFileName(reportPath(name));
    if (!control.setAction(1)) {
        err << control.LastErrorString() << '\n';
        return 1;
    }
    return 0;
}

} // namespace

void addReportCommand(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(QStringLiteral("report"),
                                        QStringLiteral("Renders the report file NAME of the program folder (e.g. "
                                                       "Complete.rpt) to the PDF given by --pdf."),
                                        QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(QStringLiteral("pdf"), QStringLiteral("With --report: the PDF file to write."),
                                        QStringLiteral("OUT.pdf")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("formula"),
                           QStringLiteral("With --report: a record selection formula that the rows must "
                                          "also meet, e.g. \"{Information.DatetoRenew} <= Date (2024,12,31)\"."),
                           QStringLiteral("TEXT")));
    parser.addOption(QCommandLineOption(QStringLiteral("sort"),
                                        QStringLiteral("With --report: a sort field, +{Information.Field} or "
                                                       "-{Information.Field}; up to three, in order. They replace "
                                                       "the report's own sort."),
                                        QStringLiteral("KEY")));
    commands.push_back({QStringLiteral("report"), &runReport});
}

} // namespace app
