// The automatic backup of a database of 1,000,000 customers to a simulated
// drive A (floppy-sized disks, multidisk mode, clear disks), as the backup
// window's "&Backup to Drive A" runs it: a consistent copy of the database,
// checked, then compressed at the normal level onto the disks. Against it,
// Info-ZIP's `zip -6` of the same file into one archive, and Debian's
// parallel compressor `pigz -6 -p 2`. Prints the ratio of the medians, and
// the share of the copy and its check.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "backup/DatabaseArchive.h"
#include "backup/DatabaseSnapshot.h"
#include "zip/ZipMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

constexpr int kCustomers = 1000000;

QString driveFolder()
{
    static const QString path = QFileInfo(bench::customerDatabase(kCustomers)).dir().filePath("vantrel-bench-driveA");
    return path;
}

void BM_ZipMinus6(benchmark::State &state)
{
    const QString database = bench::customerDatabase(kCustomers);
    const QString archive = QDir(driveFolder()).filePath("zip6.zip");
    for (auto _ : state) {
        QProcess zip;
        zip.setWorkingDirectory(QFileInfo(database).absolutePath());
        zip.start("zip", {"-q", "-6", archive, QFileInfo(database).fileName()});
        if (!zip.waitForFinished(-1) || zip.exitCode() != 0)
            state.SkipWithError("zip failed");
        state.PauseTiming();
        QFile::remove(archive);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ZipMinus6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_AutomaticBackup(benchmark::State &state)
{
    const QString database = bench::customerDatabase(kCustomers);
    qint64 disks = 0;
    for (auto _ : state) {
        // As "&New Zipfile..." does, the archive of the last run goes first.
        state.PauseTiming();
        QDir(driveFolder()).removeRecursively();
        QDir().mkpath(driveFolder());
        state.ResumeTiming();
        backup::ZipMain zip;
        zip.setMultidisk(true);
        zip.setClearDisks(true);
        zip.setCompressionLevel(6);
        zip.events().Newdisk = [&disks](int) { ++disks; };
        zip.setZipFilename(QStringLiteral("A:\\VantrelBackup.zip"));
        const backup::ArchiveOutcome o = backup::addDatabase(zip, 0, database);
        if (!o.succeeded())
            state.SkipWithError(qPrintable(QStringLiteral("%1 %2").arg(o.code).arg(o.error.text)));
    }
    state.counters["disks"] = double(disks) / double(state.iterations());
}
BENCHMARK(BM_AutomaticBackup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_Pigz6TwoThreads(benchmark::State &state)
{
    const QString database = bench::customerDatabase(kCustomers);
    const QString target = QDir(driveFolder()).filePath("pigz.gz");
    for (auto _ : state) {
        QProcess pigz;
        pigz.setStandardOutputFile(target);
        pigz.start("pigz", {"-6", "-p", "2", "-c", database});
        if (!pigz.waitForFinished(-1) || pigz.exitCode() != 0)
            state.SkipWithError("pigz failed (apt-get install pigz)");
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Pigz6TwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The consistent copy and its check alone.
void BM_Snapshot(benchmark::State &state)
{
    const QString database = bench::customerDatabase(kCustomers);
    for (auto _ : state) {
        backup::DatabaseSnapshot snapshot;
        store::EngineError e;
        if (!snapshot.take(database, &e))
            state.SkipWithError(qPrintable(e.text));
    }
}
BENCHMARK(BM_Snapshot)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const QString database = bench::customerDatabase(kCustomers); // built once, outside the timing
    QDir(driveFolder()).removeRecursively();
    QDir().mkpath(driveFolder());
    qputenv("VANTREL_DRIVE_A", driveFolder().toLocal8Bit());
    std::printf("database: %lld bytes\n", QFileInfo(database).size());
    bench::MedianReporter reporter;
    reporter.runAll();
    QDir(driveFolder()).removeRecursively();
    reporter.printRatio("automatic backup / zip -6 (medians)", "BM_AutomaticBackup", "BM_ZipMinus6");
    reporter.printRatio("pigz -6 -p 2 / zip -6 (medians)", "BM_Pigz6TwoThreads", "BM_ZipMinus6");
    reporter.printRatio("of which the consistent copy and its check", "BM_Snapshot", "BM_ZipMinus6");
    return 0;
}
