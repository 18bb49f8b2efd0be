// The year-ahead window on 1,000,000 customers, from choosing it to its first
// screen painted, against the one statement that counts the customers by
// month of their expiry date over the same twelve months. Prints the ratio
// of the medians; the window's floor is 1.2 times the statement.
#include "bench/BenchDatabase.h"
#include "bench/BenchWindows.h"
#include "bench/MedianReporter.h"
#include "lockermap/MapSettings.h"
#include "lockermap/frmYearAhead.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

constexpr int kRows = 1000000;
// The benchmark table's expiry dates run from 2016 to 2026: a year in the
// middle of them.
const QDate kToday(2021, 6, 15);

void BM_CountByMonthStatement(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(bench::customerDatabase(kRows));
    const QByteArray first = QDate(kToday.year(), kToday.month(), 1).toString(Qt::ISODate).toLatin1();
    const QByteArray last =
        QDate(kToday.year(), kToday.month(), 1).addMonths(12).addDays(-1).toString(Qt::ISODate).toLatin1();
    for (auto _ : state) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT substr(DateToRenew, 1, 7), count(*) FROM Information "
                           "WHERE DateToRenew >= ?1 AND DateToRenew <= ?2 GROUP BY 1",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, first.constData(), -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, last.constData(), -1, SQLITE_STATIC);
        qint64 total = 0;
        int months = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            total += sqlite3_column_int64(st, 1);
            ++months;
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        if (months != 12)
            state.SkipWithError("the statement did not count twelve months");
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_CountByMonthStatement)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_YearAheadOpen(benchmark::State &state)
{
    bench::BenchFolder folder(kRows);
    for (auto _ : state) {
        auto *window = new lockermap::frmYearAhead(nullptr, [] { return kToday; });
        bench::showFirstScreen(window);
        state.PauseTiming();
        if (window->figures().totalDue() == 0)
            state.SkipWithError("the window shows no rentals due");
        delete window;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_YearAheadOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    // The default range of the map, not an operator's settings.
    QStandardPaths::setTestModeEnabled(true);
    lockermap::MapSettings::clear();
    benchmark::Initialize(&argc, argv);
    bench::customerDatabase(kRows); // built once, outside the timing
    bench::MedianReporter reporter;
    reporter.runAll();
    reporter.printRatio("year-ahead window / count-by-month statement (medians)", "BM_YearAheadOpen",
                        "BM_CountByMonthStatement");
    return 0;
}
