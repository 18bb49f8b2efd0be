// Opening a table record set of 1,000,000 rows, moving last and reading the
// count, and opening it to its first row, against the floor: SQLite's C API
// reading the same row ids.
#include "bench/BenchDatabase.h"

#include "store/DBEngine.h"
#include "store/Recordset.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kRows = 1000000;

void BM_RecordsetOpenMoveLastCount(benchmark::State &state)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    if (!db)
        return state.SkipWithError(qPrintable(e.text));
    for (auto _ : state) {
        auto rs = db->OpenRecordset(QStringLiteral("Information"), store::Recordset::Table, &e);
        rs->MoveLast();
        benchmark::DoNotOptimize(rs->RecordCount());
        if (rs->RecordCount() != kRows)
            state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_RecordsetOpenMoveLastCount)->Unit(benchmark::kMillisecond);

// What the record window waits for before its first row: the table opened
// (count and first chunk of ids) and the first row read.
void BM_RecordsetOpenFirstRow(benchmark::State &state)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    if (!db)
        return state.SkipWithError(qPrintable(e.text));
    for (auto _ : state) {
        auto rs = db->OpenRecordset(QStringLiteral("Information"), store::Recordset::Table, &e);
        benchmark::DoNotOptimize(rs->value(0));
        if (rs->RecordCount() != kRows)
            state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_RecordsetOpenFirstRow)->Unit(benchmark::kMillisecond);

void BM_SqliteFloorSameRowIds(benchmark::State &state)
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
        benchmark::DoNotOptimize(ids.back());
        if (ids.size() != size_t(kRows))
            state.SkipWithError("wrong count");
    }
    sqlite3_close(db);
}
BENCHMARK(BM_SqliteFloorSameRowIds)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
