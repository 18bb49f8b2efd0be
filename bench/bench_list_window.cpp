// Opening the customer windows on a table of 1,000,000 rows: the record
// window (its data control reads the keyset of row ids), then the list
// window over the same record set, shown and painted once. Reports the time
// and the resident memory each adds.
#include "bench/BenchDatabase.h"
#include "bench/BenchWindows.h"
#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "store/ProgramFolder.h"
#include "widgets/DataGrid.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRows = 1000000;

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

// The floor of the record window: reading every row id of the table with
// SQLite's C API, which is what the window did before its first row.
void BM_FloorReadEveryRowId(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(bench::customerDatabase(kRows).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid FROM \"Information\" ORDER BY rowid", -1, &st, nullptr);
        std::vector<sqlite3_int64> ids;
        while (sqlite3_step(st) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        if (ids.size() != size_t(kRows))
            state.SkipWithError("wrong count");
    }
    sqlite3_close(db);
}
BENCHMARK(BM_FloorReadEveryRowId)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ListWindowOpen(benchmark::State &state)
{
    bench::BenchFolder folder(kRows);
    auto *record = new customers::frmInformation;
    bench::showFirstScreen(record);
    QAction *list = record->findChild<QAction *>(QStringLiteral("MnuList"));
    double added = 0;
    for (auto _ : state) {
        const double before = bench::residentMB();
        list->trigger();
        bench::showFirstScreen(record->listWindow());
        added = std::max(added, bench::residentMB() - before);
        state.PauseTiming();
        if (record->listWindow()->grid()->model()->rowCount() != kRows)
            state.SkipWithError("the list does not show the table");
        delete record->listWindow();
        state.ResumeTiming();
    }
    state.counters["added_MB"] = added;
    delete record;
}
BENCHMARK(BM_ListWindowOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
