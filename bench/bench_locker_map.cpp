// The locker map on 1,000,000 customers holding 1,000,000 locker numbers:
// the time from choosing it to its first screen painted, and the resident
// memory it adds, beside the record window opened on the same table. Also
// the one read of the table alone.
#include "bench/BenchDatabase.h"
#include "bench/BenchWindows.h"
#include "customers/frmInformation.h"
#include "lockermap/LockerGrid.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapSettings.h"
#include "lockermap/frmLockerMap.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

constexpr int kRows = 1000000;

void BM_LockerStates(benchmark::State &state)
{
    bench::BenchFolder folder(kRows);
    const QString path = store::programPath(QStringLiteral("\\Vantrel.mdb"));
    for (auto _ : state) {
        lockermap::LockerMap map;
        if (!lockermap::LockerMap::compute(path, {}, QDate(2026, 12, 8), &map, nullptr) || map.size() != kRows)
            state.SkipWithError("the states were not computed");
        benchmark::DoNotOptimize(map.count(lockermap::LockerState::Rented));
    }
}
BENCHMARK(BM_LockerStates)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LockerMapOpen(benchmark::State &state)
{
    bench::BenchFolder folder(kRows);
    double added = 0;
    for (auto _ : state) {
        const double before = bench::residentMB();
        auto *map = new lockermap::frmLockerMap;
        bench::showFirstScreen(map);
        added = std::max(added, bench::residentMB() - before);
        state.PauseTiming();
        if (!map->lockerMap() || map->lockerMap()->size() != kRows)
            state.SkipWithError("the map does not show the lockers");
        delete map;
        state.ResumeTiming();
    }
    state.counters["added_MB"] = added;
}
BENCHMARK(BM_LockerMapOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RecordWindowOpen(benchmark::State &state)
{
    bench::BenchFolder folder(kRows);
    double added = 0;
    for (auto _ : state) {
        const double before = bench::residentMB();
        auto *record = new customers::frmInformation;
        bench::showFirstScreen(record);
        added = std::max(added, bench::residentMB() - before);
        state.PauseTiming();
        if (!record->data()->recordset() || record->data()->recordset()->RecordCount() != kRows)
            state.SkipWithError("the record window did not open the table");
        delete record;
        state.ResumeTiming();
    }
    state.counters["added_MB"] = added;
}
BENCHMARK(BM_RecordWindowOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    // The benchmark's map uses the default range, not an operator's settings.
    QStandardPaths::setTestModeEnabled(true);
    lockermap::MapSettings::clear();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
