// "&OK" on a two-row filter with a sort over 1,000,000 customers, until the
// record window shows its first row, against running the same translated
// statement alone and reading its first row.
#include "bench/BenchDatabase.h"
#include "bench/BenchFilter.h"

#include "store/DBEngine.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 1000000;
void BM_FilterOkUntilFirstRowShown(benchmark::State &state)
{
    QTemporaryDir folder;
    QFile::link(bench::customerDatabase(kRows), folder.filePath(QStringLiteral("Vantrel.mdb")));
    store::setProgramFolder(folder.path());

    bench::timeTwoRowFilterOk(state);
}
BENCHMARK(BM_FilterOkUntilFirstRowShown)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_TranslatedStatementAlone(benchmark::State &state)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    for (auto _ : state) {
        auto rs = db->OpenRecordset(bench::kTwoRowFilter, store::Recordset::Dynaset, &e);
        benchmark::DoNotOptimize(rs->value(QStringLiteral("LastName")));
    }
}
BENCHMARK(BM_TranslatedStatementAlone)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
