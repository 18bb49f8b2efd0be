// Repair of a file of customers whose table's top page is damaged (every
// row read from the leaf pages directly) against compaction of the same file
// whole: the cost of reading a damaged file page by page.
#include "bench/BenchDatabase.h"
#include "store/DBEngine.h"
#include "store/Statement.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kRows = 100000;

int tableRootPage(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    store::Statement st(db, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Information'"));
    const int root = st.step() ? int(st.int64(0)) : 0;
    st = store::Statement();
    sqlite3_close(db);
    return root;
}

void damagePage(const QString &path, int page, int pageSize)
{
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.seek(qint64(page - 1) * pageSize);
    QByteArray garbage(pageSize, '\0');
    QRandomGenerator random(7);
    for (char &c : garbage)
        c = char(random.bounded(256));
    file.write(garbage);
}

void BM_RepairOfADamagedTopPage(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kRows);
    const int root = tableRootPage(source);
    qint64 recovered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VANTREL.MDB"));
        QFile::copy(source, path);
        damagePage(path, root, 4096);
        state.ResumeTiming();
        store::EngineError e;
        store::RepairReport report;
        if (!store::DBEngine::RepairDatabase(path, &e, &report))
            state.SkipWithError(qPrintable(e.text));
        recovered = report.rowsRecovered;
    }
    state.counters["rows_recovered"] = double(recovered);
}
BENCHMARK(BM_RepairOfADamagedTopPage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompactionOfTheWholeFile(benchmark::State &state)
{
    const QString source = bench::customerDatabase(kRows);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VANTREL.MDB"));
        QFile::copy(source, path);
        state.ResumeTiming();
        store::EngineError e;
        if (!store::DBEngine::CompactDatabase(path, dir.filePath(QStringLiteral("VANTRELOLD.MDB")), &e))
            state.SkipWithError(qPrintable(e.text));
    }
}
BENCHMARK(BM_CompactionOfTheWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
