// The record window on a server of 1,000,000 customers: from the click on
// "Customer Information" to its first row shown, and from "&OK" of a
// filter to the first row it finds; each against psql running the same
// statements (the keyset's ids, then the first row). Needs a server: run it
// under scripts/test-server, which gives its URL in VANTREL_TEST_DATABASE_URL.
// A report's rows are read as printing reads them, against psql reading the
// same rows. The customers are copied into the server once, before any
// timing.
#include "bench/BenchDatabase.h"
#include "bench/BenchFilter.h"
#include "bench/MedianReporter.h"

#include "app/frmMainMenu.h"
#include "customers/frmInformation.h"
#include "reports/ReportRows.h"
#include "store/DatabaseChoice.h"
#include "store/ServerDatabase.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerCopy.h"

#include <QApplication>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {

constexpr int kCustomers = 1000000;
const QString kDatabase = QStringLiteral("vantrel_bench_windows");

QString &databaseUrl()
{
    static QString url;
    return url;
}

// The bench's own database with the bench's customers; made once per server.
bool prepareServer(QString *why)
{
    const QString server = qEnvironmentVariable("VANTREL_TEST_DATABASE_URL");
    if (server.isEmpty()) {
        *why = QStringLiteral("no server: run under scripts/test-server");
        return false;
    }
    store::EngineError e;
    auto admin = store::ServerConnection::open(server, &e);
    store::ServerResult found;
    if (!admin
        || !admin->exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = $1"), {kDatabase}, &found, &e)) {
        *why = e.text;
        return false;
    }
    // The server's URL names its postgres database: the bench's instead.
    databaseUrl() = server;
    databaseUrl().replace(QStringLiteral("/postgres?"), QStringLiteral("/%1?").arg(kDatabase));
    if (found.rowCount() > 0)
        return true;
    store::ServerCopy::Summary summary;
    std::unique_ptr<store::ServerConnection> target;
    if (!admin->exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(kDatabase), {},
                     nullptr, &e)
        || !(target = store::ServerConnection::open(databaseUrl(), &e))
        || !store::ServerCopy::toServer(bench::customerDatabase(kCustomers), *target, &summary, &e)
        // Settled before any timing: the server's own vacuum after a bulk
        // load would otherwise run beside whichever side is timed first.
        || !target->exec(QStringLiteral("VACUUM (ANALYZE)"), {}, nullptr, &e)) {
        *why = e.text;
        return false;
    }
    return true;
}

// psql running statements, its output thrown away.
bool psql(const QStringList &statements)
{
    QStringList arguments{databaseUrl(), QStringLiteral("-At"), QStringLiteral("-o"), QStringLiteral("/dev/null")};
    for (const QString &s : statements)
        arguments << QStringLiteral("-c") << s;
    QProcess run;
    run.start(QStringLiteral("psql"), arguments);
    return run.waitForFinished(-1) && run.exitCode() == 0;
}

void BM_ServerRecordWindowFirstRow(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    store::DatabaseChoice::setServerUrl(databaseUrl());
    app::frmMainMenu menu;
    for (auto _ : state) {
        menu.MnuCustInfo_Click();
        customers::frmInformation *window = menu.informationWindow();
        if (!window || !window->data()->recordset() || window->data()->recordset()->RecordCount() != kCustomers)
            return state.SkipWithError("the record window did not show the customers");
        benchmark::DoNotOptimize(window->data()->recordset()->value(QStringLiteral("LastName")));
        state.PauseTiming();
        window->close();
        delete window;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    store::DatabaseChoice::setServerUrl(QString());
}
BENCHMARK(BM_ServerRecordWindowFirstRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_PsqlRecordWindowStatements(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    for (auto _ : state) {
        if (!psql({QStringLiteral("SELECT \"RowId\" FROM \"Information\" ORDER BY \"RowId\""),
                   QStringLiteral("SELECT * FROM \"Information\" WHERE \"RowId\" = 1")}))
            return state.SkipWithError("psql failed");
    }
}
BENCHMARK(BM_PsqlRecordWindowStatements)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_ServerFilterOkFirstRow(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    store::DatabaseChoice::setServerUrl(databaseUrl());
    bench::timeTwoRowFilterOk(state);
    store::DatabaseChoice::setServerUrl(QString());
}
BENCHMARK(BM_ServerFilterOkFirstRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The same statement as the filter translates it, with its values, and the
// first row it finds.
void BM_PsqlFilterStatement(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    store::EngineError e;
    auto db = store::ServerDatabase::open(databaseUrl(), &e);
    store::TranslatedStatement translated;
    if (!db || !db->translate(bench::kTwoRowFilter, &translated, &e))
        return state.SkipWithError(qPrintable(e.text));
    // psql takes the values as variables in the text; here they are plain.
    QString sql = translated.sql;
    for (qsizetype i = translated.params.size(); i >= 1; --i) {
        const QVariant v = translated.params.at(i - 1);
        const QString literal = v.typeId() == QMetaType::QString
            ? QLatin1Char('\'') + v.toString().replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'')
            : v.toString();
        sql.replace(QStringLiteral("$%1").arg(i), literal);
    }
    for (auto _ : state) {
        if (!psql({sql, QStringLiteral("SELECT * FROM \"Information\" WHERE \"RowId\" = 1")}))
            return state.SkipWithError(qPrintable(QStringLiteral("psql failed: ") + sql));
    }
}
BENCHMARK(BM_PsqlFilterStatement)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// A report's first 100,000 rows as the printing reads them (every field),
// against psql reading the keyset and the same rows in one statement.
constexpr int kReportRows = 100000;

void BM_ServerReportRows(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    store::EngineError e;
    auto db = store::ServerDatabase::open(databaseUrl(), &e);
    if (!db)
        return state.SkipWithError(qPrintable(e.text));
    for (auto _ : state) {
        reports::ReportRows rows;
        if (!rows.open(db, {QString()}, {}, &why) || !rows.select({}))
            return state.SkipWithError(qPrintable(why));
        qint64 read = 0;
        rows.readRows(0, kReportRows, [&](qint64, const reports::PrintedRow &row) { read += !row.empty(); });
        if (read != kReportRows || !rows.readError().isEmpty())
            return state.SkipWithError(qPrintable(rows.readError()));
    }
}
BENCHMARK(BM_ServerReportRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void BM_PsqlReportRows(benchmark::State &state)
{
    QString why;
    if (!prepareServer(&why))
        return state.SkipWithError(qPrintable(why));
    for (auto _ : state) {
        if (!psql({QStringLiteral("SELECT \"RowId\" FROM \"Information\" ORDER BY \"RowId\""),
                   QStringLiteral("SELECT * FROM \"Information\" WHERE \"RowId\" <= %1").arg(kReportRows)}))
            return state.SkipWithError("psql failed");
    }
}
BENCHMARK(BM_PsqlReportRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::customerDatabase(kCustomers); // built once, outside the timing
    bench::MedianReporter reporter;
    reporter.runAll();
    reporter.printRatio("record window to first row / psql, the same statements (medians, aim 1.2 or less)",
                        "BM_ServerRecordWindowFirstRow", "BM_PsqlRecordWindowStatements");
    reporter.printRatio("filter OK to first row / psql, the translated statement (medians, aim 1.2 or less)",
                        "BM_ServerFilterOkFirstRow", "BM_PsqlFilterStatement");
    reporter.printRatio("a report's first 100,000 rows / psql, the keyset and the rows (medians)",
                        "BM_ServerReportRows", "BM_PsqlReportRows");
    return 0;
}
