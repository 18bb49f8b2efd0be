// Opening the customer window on a row whose note is one line of 1 MB or
// 10 MB, against the same row with a short note: the time to show and paint
// the first screen, and the resident memory it adds.
#include "bench/BenchDatabase.h"
#include "bench/BenchWindows.h"
#include "customers/frmInformation.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// A program folder whose one customer has a note of `characters` on one line.
struct NoteFolder {
    explicit NoteFolder(qsizetype characters)
    {
        const QString path = dir.filePath(QStringLiteral("Vantrel.mdb"));
        store::EngineError e;
        store::Schema::createDeliveredDatabase(path, &e);
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        store::execSql(
            db, QStringLiteral("INSERT INTO Information (LockerNumber, LastName, Notes) VALUES (7, 'Zimmer', ?)"), &e,
            {QString(characters, QLatin1Char('n'))});
        sqlite3_close(db);
        store::setProgramFolder(dir.path());
    }
    QTemporaryDir dir;
};

void BM_RecordWindowWithNote(benchmark::State &state)
{
    NoteFolder folder(state.range(0));
    double added = 0;
    for (auto _ : state) {
        const double before = bench::residentMB();
        auto *window = new customers::frmInformation;
        window->show();
        benchmark::DoNotOptimize(window->grab());
        added = std::max(added, bench::residentMB() - before);
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
    state.counters["added_MB"] = added;
}
BENCHMARK(BM_RecordWindowWithNote)
    ->Arg(40)
    ->Arg(1024 * 1024)
    ->Arg(10 * 1024 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
