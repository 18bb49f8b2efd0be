// CSV in and out: importing 100,000 customers (read, checked, added in one
// transaction) into an empty database, and exporting 1,000,000 against the
// sqlite3 shell's -csv output of the same columns. Prints the export ratio
// of the medians.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "csv/CsvExport.h"
#include "csv/CsvImport.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

constexpr int kImported = 100000;
constexpr int kExported = 1000000;

QString tempFile(const char *name)
{
    return QDir::temp().filePath(QString::fromLatin1(name));
}

// The file to import: 100,000 customers as the export writes them.
QString importFile()
{
    static const QString path = [] {
        const QString csvPath = tempFile("vantrel-bench-import.csv");
        const csv::ExportResult r = csv::CustomerExport::allCustomers(bench::customerDatabase(kImported), csvPath);
        if (!r.succeeded)
            qFatal("cannot write %s: %s", qPrintable(csvPath), qPrintable(r.error));
        return csvPath;
    }();
    return path;
}

void BM_ImportCsv100k(benchmark::State &state)
{
    const QString source = importFile();
    const QString target = tempFile("vantrel-bench-import.mdb");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        store::EngineError e;
        if (!store::Schema::createDeliveredDatabase(target, &e))
            return state.SkipWithError(qPrintable(e.text));
        state.ResumeTiming();
        csv::CsvImport import;
        QString error;
        if (!import.open(source, target, &error))
            return state.SkipWithError(qPrintable(error));
        const csv::ImportResult result = import.run(csv::CsvImport::Rows::AllOrNothing);
        if (!result.succeeded || result.added != kImported)
            return state.SkipWithError(qPrintable(result.error));
    }
    QFile::remove(target);
}
BENCHMARK(BM_ImportCsv100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_ExportCsv1M(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kExported);
    const QString target = tempFile("vantrel-bench-export.csv");
    for (auto _ : state) {
        const csv::ExportResult result = csv::CustomerExport::allCustomers(source, target);
        if (!result.succeeded)
            return state.SkipWithError(qPrintable(result.error));
    }
    QFile::remove(target);
}
BENCHMARK(BM_ExportCsv1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The sqlite3 shell writing the same columns, with their names first.
void BM_Sqlite3Csv1M(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kExported);
    const QString target = tempFile("vantrel-bench-sqlite3.csv");
    QStringList columns;
    for (const store::FieldDef &f : store::Schema::information().fields)
        columns << store::quoteIdentifier(f.name);
    const QString select =
        QStringLiteral("SELECT %1 FROM Information ORDER BY rowid").arg(columns.join(QStringLiteral(", ")));
    for (auto _ : state) {
        QProcess shell;
        shell.setStandardOutputFile(target);
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), QStringLiteral("-header"), source, select});
        if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
            return state.SkipWithError("sqlite3 failed (is the sqlite3 package installed?)");
    }
    QFile::remove(target);
}
BENCHMARK(BM_Sqlite3Csv1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // Built once, outside the timing.
    bench::customerDatabase(kExported);
    importFile();
    bench::MedianReporter reporter;
    reporter.runAll();
    reporter.printRatio("export / sqlite3 -csv (medians)", "BM_ExportCsv1M", "BM_Sqlite3Csv1M");
    return 0;
}
