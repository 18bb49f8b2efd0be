// "Delete Found Records" of 100,000 of 1,000,000 customers with its rows
// kept for an undo, against the same delete without keeping; and the undo of
// it. Each run works on a fresh copy of the table (copied outside the
// timing). Prints the ratios of the medians and the load average, since the
// machine may be shared.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "store/Database.h"
#include "store/KeptChanges.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kCustomers = 1000000;
// DateRented runs over 4,000 days; the first 400 of each run: 100,000 rows,
// spread through the table.
const QString kDelete = QStringLiteral("Delete * From Information Where [DateRented] < #02/05/2016#");
constexpr int kDeleted = 100000;

QString workCopy()
{
    static const QString path = QFileInfo(bench::customerDatabase(kCustomers)).dir().filePath("vantrel-bench-undo.mdb");
    return path;
}

std::shared_ptr<store::Database> freshCopy(benchmark::State &state)
{
    for (const char *suffix : {"", "-journal"})
        QFile::remove(workCopy() + QLatin1String(suffix));
    if (!QFile::copy(bench::customerDatabase(kCustomers), workCopy())) {
        state.SkipWithError("cannot copy the table");
        return nullptr;
    }
    store::EngineError e;
    auto db = store::Database::open(workCopy(), &e);
    if (!db)
        state.SkipWithError(qPrintable(e.text));
    return db;
}

void deleteFound(benchmark::State &state, const QString &keepAs)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto db = freshCopy(state);
        if (!db)
            return;
        state.ResumeTiming();
        store::EngineError e;
        int deleted = 0;
        if (!db->Execute(kDelete, &e, &deleted, keepAs) || deleted != kDeleted)
            state.SkipWithError(qPrintable(e.text));
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
}

void BM_DeleteWithoutKeeping(benchmark::State &state)
{
    deleteFound(state, QString());
}
BENCHMARK(BM_DeleteWithoutKeeping)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_DeleteKeeping(benchmark::State &state)
{
    deleteFound(state, QStringLiteral("Delete Found Records"));
}
BENCHMARK(BM_DeleteKeeping)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_UndoDelete(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto db = freshCopy(state);
        store::EngineError e;
        if (!db || !db->Execute(kDelete, &e, nullptr, QStringLiteral("Delete Found Records")))
            return state.SkipWithError(qPrintable(e.text));
        state.ResumeTiming();
        store::UndoResult result;
        if (!store::KeptChanges(db->handle()).undoLast(&result, &e) || result.restored != kDeleted)
            state.SkipWithError(qPrintable(e.text));
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UndoDelete)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    bench::customerDatabase(kCustomers); // built once, outside the timing
    const QByteArray loadBefore = loadAverage();
    bench::MedianReporter reporter;
    reporter.runAll();
    for (const char *suffix : {"", "-journal"})
        QFile::remove(workCopy() + QLatin1String(suffix));
    std::printf("load average before: %s; after: %s\n", loadBefore.constData(), loadAverage().constData());
    reporter.printRatio("delete keeping / delete without (medians)", "BM_DeleteKeeping", "BM_DeleteWithoutKeeping");
    reporter.printRatio("undo / delete keeping (medians)", "BM_UndoDelete", "BM_DeleteKeeping");
    reporter.printRatio("undo / delete without (medians)", "BM_UndoDelete", "BM_DeleteWithoutKeeping");
    return 0;
}
