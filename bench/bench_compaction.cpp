// Compacting a database of 1,000,000 customers with the engine's compaction
// (a copy written, synced, checked, then named) against SQLite's own
// VACUUM INTO of the same file, which writes and syncs a copy and checks
// nothing. Prints the ratio of the medians, and the check's share of it.
// Then the same from the command line, whole processes against whole
// processes: `vantrel --compact` in a program folder of its own against the
// sqlite3 shell's VACUUM INTO followed by `sync` of the copy.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "store/DBEngine.h"
#include "store/RawDatabase.h"
#include "store/salvage/CopyCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

constexpr int kCustomers = 1000000;

// The copies go beside the source, as the compress command puts them.
QString destination()
{
    static const QString path = QFileInfo(bench::customerDatabase(kCustomers)).dir().filePath("vantrel-bench-copy.mdb");
    return path;
}

void BM_VacuumInto(benchmark::State &state)
{
    const QByteArray source = QFile::encodeName(bench::customerDatabase(kCustomers));
    const QByteArray target = QFile::encodeName(destination());
    QFile::remove(destination());
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(source.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_stmt *vacuum = nullptr;
        sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &vacuum, nullptr);
        sqlite3_bind_text(vacuum, 1, target.constData(), -1, SQLITE_STATIC);
        if (sqlite3_step(vacuum) != SQLITE_DONE)
            state.SkipWithError(sqlite3_errmsg(db));
        sqlite3_finalize(vacuum);
        sqlite3_close(db);
        state.PauseTiming();
        QFile::remove(destination());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VacuumInto)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5);

void BM_CompactDatabase(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kCustomers);
    QFile::remove(destination());
    for (auto _ : state) {
        store::EngineError e;
        if (!store::DBEngine::CompactDatabase(source, destination(), &e))
            state.SkipWithError(qPrintable(e.text));
        state.PauseTiming();
        QFile::remove(destination());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CompactDatabase)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5);

// The part of the compaction that checks the copy before it is named: what
// the copy costs over and above VACUUM INTO and a sync.
void BM_CheckCopy(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kCustomers);
    QFile::remove(destination());
    store::EngineError e;
    if (!store::DBEngine::CompactDatabase(source, destination(), &e))
        return state.SkipWithError(qPrintable(e.text));
    store::RawDatabase db;
    db.open(source, store::RawDatabase::ReadOnly, &e);
    store::DatabaseSummary summary;
    store::summarizeDatabase(db.handle(), &summary, &e);
    // Counted beside the copy in a compaction, so not part of the check's share.
    store::summarizePartialIndexes(db.handle(), &summary.partialIndexes, &e);
    db.close();
    for (auto _ : state) {
        if (!store::checkCopy(destination(), summary, store::ReadBack::WhenInDoubt, &e))
            state.SkipWithError(qPrintable(e.text));
    }
    QFile::remove(destination());
}
BENCHMARK(BM_CheckCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5);

// The CPU time of the processes a benchmark ran, in ms an iteration: the
// programs' own, which the benchmark's CPU column (its own process) leaves out.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool runProcess(benchmark::State &state, const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        state.SkipWithError(
            qPrintable(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError())));
        return false;
    }
    return true;
}

// A program folder of its own: the executable beside a copy of the table,
// so that the command works on that copy.
struct CommandFolder {
    QTemporaryDir dir{QFileInfo(bench::customerDatabase(kCustomers)).dir().filePath("vantrel-bench-XXXXXX")};
    QString executable = dir.filePath("vantrel");
    QString database = dir.filePath("Vantrel.mdb");
    bool ready = QFile::copy(QStringLiteral(VANTREL_EXECUTABLE), executable)
        && QFile::copy(bench::customerDatabase(kCustomers), database);
};

void BM_CompactCommand(benchmark::State &state)
{
    CommandFolder folder;
    if (!folder.ready)
        return state.SkipWithError("cannot make the program folder");
    const double cpuBefore = childrenCpuMs();
    for (auto _ : state) {
        if (!runProcess(state, folder.executable, {QStringLiteral("--compact")}))
            return;
    }
    state.counters["child_cpu_ms"] = (childrenCpuMs() - cpuBefore) / double(state.iterations());
}
BENCHMARK(BM_CompactCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5);

void BM_ShellVacuumAndSync(benchmark::State &state)
{
    CommandFolder folder;
    if (!folder.ready)
        return state.SkipWithError("cannot make the program folder");
    const QString copy = folder.dir.filePath("copy.mdb");
    const double cpuBefore = childrenCpuMs();
    for (auto _ : state) {
        if (!runProcess(state, QStringLiteral("sqlite3"),
                        {folder.database, QStringLiteral("VACUUM INTO '%1'").arg(copy)})
            || !runProcess(state, QStringLiteral("sync"), {copy}))
            return;
        state.PauseTiming();
        QFile::remove(copy);
        state.ResumeTiming();
    }
    state.counters["child_cpu_ms"] = (childrenCpuMs() - cpuBefore) / double(state.iterations());
}
BENCHMARK(BM_ShellVacuumAndSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    bench::customerDatabase(kCustomers); // built once, outside the timing
    bench::MedianReporter reporter;
    reporter.runAll();
    reporter.printRatio("CompactDatabase / VACUUM INTO (medians)", "BM_CompactDatabase", "BM_VacuumInto");
    reporter.printRatio("of which the check of the copy", "BM_CheckCopy", "BM_VacuumInto");
    reporter.printRatio("vantrel --compact / sqlite3 VACUUM INTO and sync (medians)", "BM_CompactCommand",
                        "BM_ShellVacuumAndSync");
    return 0;
}
