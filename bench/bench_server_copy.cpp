// Copying 1,000,000 customers from the file into an empty server database,
// as `vantrel --copy-to-server` does (the tables made, the rows sent with
// COPY, every field compared after), against psql's \copy of the same rows
// into the same tables made beforehand. Needs a server: run it under
// scripts/test-server, which gives its URL in VANTREL_TEST_DATABASE_URL.
#include "bench/BenchDatabase.h"
#include "bench/MedianReporter.h"

#include "store/RawDatabase.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerCopy.h"
#include "store/server/ServerSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kCustomers = 1000000;
const QString kDatabase = QStringLiteral("vantrel_bench_copy");

QString serverUrl()
{
    return qEnvironmentVariable("VANTREL_TEST_DATABASE_URL");
}

// An empty database of the bench's own, made anew; its URL, or empty with
// the reason in *why.
QString freshDatabase(QString *why)
{
    store::EngineError e;
    auto server = store::ServerConnection::open(serverUrl(), &e);
    if (!server
        || !server->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kDatabase), {}, nullptr, &e)
        || !server->exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(kDatabase), {},
                         nullptr, &e)
        // Each run starts with the log written out: a checkpoint the last
        // run left due would otherwise fall into this one.
        || !server->exec(QStringLiteral("CHECKPOINT"), {}, nullptr, &e)) {
        *why = e.text;
        return QString();
    }
    return store::ServerConnection::withDatabase(serverUrl(), kDatabase);
}

QString freshDatabase(benchmark::State &state)
{
    QString why;
    const QString url = freshDatabase(&why);
    if (url.isEmpty())
        state.SkipWithError(qPrintable(why));
    return url;
}

// One copy before any timing: a new server's first gigabyte of log is
// files it makes, later ones it reuses; whichever side ran first would pay.
void warmUpServer()
{
    QString why;
    const QString url = serverUrl().isEmpty() ? QString() : freshDatabase(&why);
    store::EngineError e;
    auto server = url.isEmpty() ? nullptr : store::ServerConnection::open(url, &e);
    if (server)
        store::ServerCopy::toServer(bench::customerDatabase(kCustomers), *server, nullptr, &e);
}

// The customers as psql's CSV reads them, with their row numbers first,
// written once beside the bench's file.
QString customersCsv(QStringList *columns)
{
    columns->clear();
    *columns << QStringLiteral("\"RowId\"");
    for (const store::FieldDef &f : store::Schema::information().fields)
        *columns << QLatin1Char('"') + f.name + QLatin1Char('"');
    const QString source = bench::customerDatabase(kCustomers);
    const QString csv = QFileInfo(source).dir().filePath(QStringLiteral("vantrel-bench-server-copy.csv"));
    if (!QFileInfo::exists(csv)) {
        QProcess shell;
        shell.setStandardOutputFile(csv);
        shell.start(
            QStringLiteral("sqlite3"),
            {QStringLiteral("-csv"), source, QStringLiteral("SELECT rowid, * FROM Information ORDER BY rowid")});
        if (!shell.waitForFinished(-1) || shell.exitCode() != 0)
            return QString();
    }
    return csv;
}

void BM_CopyToServer(benchmark::State &state)
{
    if (serverUrl().isEmpty())
        return state.SkipWithError("no server: run under scripts/test-server");
    const QString source = bench::customerDatabase(kCustomers);
    for (auto _ : state) {
        state.PauseTiming();
        const QString url = freshDatabase(state);
        state.ResumeTiming();
        if (url.isEmpty())
            return;
        store::EngineError e;
        auto server = store::ServerConnection::open(url, &e);
        store::ServerCopy::Summary summary;
        if (!server || !store::ServerCopy::toServer(source, *server, &summary, &e) || summary.customers != kCustomers)
            return state.SkipWithError(qPrintable(e.text));
    }
}
BENCHMARK(BM_CopyToServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The floor: psql loading the same rows into the same, already made tables.
void BM_PsqlCopy(benchmark::State &state)
{
    if (serverUrl().isEmpty())
        return state.SkipWithError("no server: run under scripts/test-server");
    QStringList columns;
    const QString csv = customersCsv(&columns);
    if (csv.isEmpty())
        return state.SkipWithError("the customers could not be written as CSV");
    for (auto _ : state) {
        state.PauseTiming();
        const QString url = freshDatabase(state);
        store::EngineError e;
        auto server = url.isEmpty() ? nullptr : store::ServerConnection::open(url, &e);
        if (!server || !store::ServerSchema::create(*server, &e))
            return state.SkipWithError(qPrintable(e.text));
        server.reset();
        state.ResumeTiming();
        QProcess psql;
        psql.start(QStringLiteral("psql"),
                   {url, QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-qc"),
                    QStringLiteral("\\copy \"Information\" (%1) FROM '%2' WITH (FORMAT csv)")
                        .arg(columns.join(QLatin1Char(',')), csv)});
        if (!psql.waitForFinished(-1) || psql.exitCode() != 0)
            return state.SkipWithError(qPrintable(QString::fromLocal8Bit(psql.readAllStandardError())));
    }
}
BENCHMARK(BM_PsqlCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    bench::customerDatabase(kCustomers); // built once, outside the timing
    warmUpServer();
    bench::MedianReporter reporter;
    reporter.runAll();
    // Speeds: the inverse of the times.
    reporter.printRatio("speed of the copy to the server / speed of psql's \\copy (medians, aim 0.8 or more)",
                        "BM_PsqlCopy", "BM_CopyToServer");
    return 0;
}
