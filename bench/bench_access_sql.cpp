// A filter statement of two terms and a sort, translated and run over
// 1,000,000 customers, against the same query written by hand for SQLite
// (NOCASE for the case-blind parts) on the same connection. The ratio of the
// two times is what the translation costs.
#include "bench/BenchDatabase.h"

#include "store/DBEngine.h"
#include "store/Recordset.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int kRows = 1000000;

struct Query {
    const char *statement; // the dialect, as the filter writes it
    const char *handSql;   // the same for SQLite, by hand
    std::vector<QVariant> handParams;
    const char *bestHandSql; // the hand query with the plan that suits it best
};

// On the indexed name: the filter's own first example.
const Query kIndexed = {
    "Select Information.* From Information Where [LastName] = 'AAST5' AND [KeyDeposit] > 10 "
    "ORDER BY [LastName] ASC",
    "SELECT rowid FROM \"Information\" WHERE \"LastName\" = ?1 COLLATE NOCASE AND \"KeyDeposit\" > ?2 "
    "ORDER BY \"LastName\" COLLATE NOCASE, rowid",
    {QStringLiteral("AAST5"), 10},
    nullptr};

// On a field without an index, matching a tenth of the table.
const Query kScan = {
    "Select Information.* From Information Where [City] = 'SPRINGFIELD' AND [KeyDeposit] > 10 "
    "ORDER BY [LastName] ASC",
    "SELECT rowid FROM \"Information\" WHERE \"City\" = ?1 COLLATE NOCASE AND \"KeyDeposit\" > ?2 "
    "ORDER BY \"LastName\" COLLATE NOCASE, rowid",
    {QStringLiteral("SPRINGFIELD"), 10},
    // Left to itself SQLite walks the LastName index for the order and reads
    // every row at random; a scan and a sort of the matches is far quicker.
    "SELECT rowid FROM \"Information\" NOT INDEXED WHERE \"City\" = ?1 COLLATE NOCASE AND \"KeyDeposit\" > ?2 "
    "ORDER BY \"LastName\" COLLATE NOCASE, rowid"};

// A pattern on a field without an index ("Contains").
const Query kPattern = {"Select Information.* From Information Where [EMail] LIKE '*R12*' AND [KeyDeposit] > 10 "
                        "ORDER BY [LastName] ASC",
                        "SELECT rowid FROM \"Information\" WHERE \"EMail\" LIKE ?1 AND \"KeyDeposit\" > ?2 "
                        "ORDER BY \"LastName\" COLLATE NOCASE, rowid",
                        {QStringLiteral("%R12%"), 10},
                        "SELECT rowid FROM \"Information\" NOT INDEXED WHERE \"EMail\" LIKE ?1 AND \"KeyDeposit\" > ?2 "
                        "ORDER BY \"LastName\" COLLATE NOCASE, rowid"};

// Every row, sorted by name. SQLite's NOCASE index folds ASCII letters only;
// the record set walks it where the names give the same order (these do) and
// sorts otherwise. The hand query walks the index.
const Query kSortedAll = {"Select Information.* From Information ORDER BY [LastName] ASC",
                          "SELECT rowid FROM \"Information\" ORDER BY \"LastName\" COLLATE NOCASE, rowid",
                          {},
                          "SELECT rowid FROM \"Information\" NOT INDEXED ORDER BY \"LastName\" COLLATE NOCASE, rowid"};

std::shared_ptr<store::Database> openDatabase(benchmark::State &state)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(bench::customerDatabase(kRows), &e);
    if (!db)
        state.SkipWithError(qPrintable(e.text));
    return db;
}

size_t runKeyset(sqlite3 *db, const QString &sql, const QVariantList &params)
{
    store::Statement st(db, sql);
    st.bindAll(params);
    std::vector<sqlite3_int64> ids;
    while (st.step())
        ids.push_back(st.int64(0));
    return ids.size();
}

// The translated SQL, prepared and run like the hand query below.
void translated(benchmark::State &state, const Query &query)
{
    auto db = openDatabase(state);
    if (!db)
        return;
    store::TranslatedStatement t;
    store::EngineError e;
    if (!store::translateAccessSql(QString::fromUtf8(query.statement), db->tableLookup(), &t, &e))
        return state.SkipWithError(qPrintable(e.text));
    size_t rows = 0;
    for (auto _ : state) {
        rows = runKeyset(db->handle(), t.sql, t.params);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}

void hand(benchmark::State &state, const char *sql, const Query &query)
{
    auto db = openDatabase(state);
    if (!db)
        return;
    const QVariantList params(query.handParams.begin(), query.handParams.end());
    size_t rows = 0;
    for (auto _ : state) {
        rows = runKeyset(db->handle(), QString::fromUtf8(sql), params);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}

void byHand(benchmark::State &state, const Query &query)
{
    hand(state, query.handSql, query);
}

void byHandBestPlan(benchmark::State &state, const Query &query)
{
    hand(state, query.bestHandSql, query);
}

// Parsing, checking and writing the SQL, once per filter.
void translateOnly(benchmark::State &state, const Query &query)
{
    auto db = openDatabase(state);
    if (!db)
        return;
    const QString statement = QString::fromUtf8(query.statement);
    for (auto _ : state) {
        store::TranslatedStatement t;
        store::EngineError e;
        benchmark::DoNotOptimize(store::translateAccessSql(statement, db->tableLookup(), &t, &e));
    }
}

// The whole path the record window takes: translate, run, hold the keyset.
void openRecordset(benchmark::State &state, const Query &query)
{
    auto db = openDatabase(state);
    if (!db)
        return;
    for (auto _ : state) {
        store::EngineError e;
        auto rs = db->OpenRecordset(QString::fromUtf8(query.statement), store::Recordset::Dynaset, &e);
        if (!rs)
            return state.SkipWithError(qPrintable(e.text));
        benchmark::DoNotOptimize(rs->RecordCount());
    }
}

BENCHMARK_CAPTURE(translateOnly, indexed_name, kIndexed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translated, indexed_name, kIndexed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(byHand, indexed_name, kIndexed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translated, scan_city, kScan)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(byHandBestPlan, scan_city, kScan)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(byHand, scan_city, kScan)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(openRecordset, scan_city, kScan)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(translated, pattern_email, kPattern)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(byHandBestPlan, pattern_email, kPattern)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(openRecordset, indexed_name, kIndexed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(openRecordset, sorted_all, kSortedAll)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(translated, sorted_all, kSortedAll)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(byHand, sorted_all, kSortedAll)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(byHandBestPlan, sorted_all, kSortedAll)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
