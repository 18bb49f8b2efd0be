// Adding a database file of about 180 MB to a new archive at level 6 with
// the zip component, against Info-ZIP's `zip -6` on the same file in the
// same run, and beside them Debian's parallel compressor `pigz -6 -p 2`.
// Prints the throughput ratio of the medians (above 1: ours is faster) and
// the ratio of the archive sizes.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "zip/ZipMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kCustomers = 800000; // about 180 MB

QString database()
{
    static const QString path = bench::customerDatabase(kCustomers);
    return path;
}

QString archivePath(const char *name)
{
    return QFileInfo(database()).dir().filePath(QString::fromLatin1(name));
}

qint64 ourSize = 0;
qint64 theirSize = 0;
// Processor seconds per run, the figure that holds on a busy machine.
std::vector<double> ourCpu, theirCpu;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_ZipMainAdd(benchmark::State &state)
{
    const QString target = archivePath("vantrel-bench-ours.zip");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        backup::ZipMain zip;
        zip.setCompressionLevel(6);
        zip.setZipFilename(target);
        zip.setFilesToProcess(database() + QLatin1Char('\r'));
        state.ResumeTiming();
        const double before = cpuSeconds(RUSAGE_SELF);
        if (zip.Add(backup::addmode::Add) != backup::zipresult::Success)
            state.SkipWithError("Add failed");
        ourCpu.push_back(cpuSeconds(RUSAGE_SELF) - before);
    }
    ourSize = QFileInfo(target).size();
    state.SetBytesProcessed(state.iterations() * QFileInfo(database()).size());
    QFile::remove(target);
}
BENCHMARK(BM_ZipMainAdd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_InfoZip6(benchmark::State &state)
{
    const QString target = archivePath("vantrel-bench-infozip.zip");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        const double before = cpuSeconds(RUSAGE_CHILDREN);
        const int rc =
            QProcess::execute(QStringLiteral("zip"),
                              {QStringLiteral("-q"), QStringLiteral("-6"), QStringLiteral("-j"), target, database()});
        if (rc != 0)
            state.SkipWithError("zip failed");
        theirCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - before);
    }
    theirSize = QFileInfo(target).size();
    state.SetBytesProcessed(state.iterations() * QFileInfo(database()).size());
    QFile::remove(target);
}
BENCHMARK(BM_InfoZip6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_Pigz6TwoThreads(benchmark::State &state)
{
    const QString target = archivePath("vantrel-bench-pigz.gz");
    for (auto _ : state) {
        QProcess pigz;
        pigz.setStandardOutputFile(target);
        pigz.start(QStringLiteral("pigz"),
                   {QStringLiteral("-6"), QStringLiteral("-p"), QStringLiteral("2"), QStringLiteral("-c"), database()});
        if (!pigz.waitForFinished(-1) || pigz.exitCode() != 0)
            state.SkipWithError("pigz failed (apt-get install pigz)");
    }
    state.counters["size_MB"] = double(QFileInfo(target).size()) / (1024.0 * 1024.0);
    QFile::remove(target);
}
BENCHMARK(BM_Pigz6TwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("database: %lld bytes\n", static_cast<long long>(QFileInfo(database()).size()));
    bench::MedianReporter reporter;
    reporter.runAll();
    if (!ourCpu.empty() && !theirCpu.empty())
        std::printf("processor time ZipMain / zip -6 (medians): %.2f s / %.2f s, throughput ratio %.3f\n",
                    median(ourCpu), median(theirCpu), median(theirCpu) / median(ourCpu));
    reporter.printRatio("wall-clock throughput ZipMain / zip -6 (medians, above 1 is faster)", "BM_InfoZip6",
                        "BM_ZipMainAdd");
    reporter.printRatio("wall-clock time ZipMain / zip -6 (medians)", "BM_ZipMainAdd", "BM_InfoZip6");
    reporter.printRatio("wall-clock time pigz -6 -p 2 / zip -6 (medians)", "BM_Pigz6TwoThreads", "BM_InfoZip6");
    if (theirSize > 0)
        std::printf("archive size ZipMain / zip -6: %.4f (%lld / %lld bytes)\n", double(ourSize) / double(theirSize),
                    static_cast<long long>(ourSize), static_cast<long long>(theirSize));
    return 0;
}
