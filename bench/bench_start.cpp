// Start to the main menu on the screen: the program, launched with
// VANTREL_QUIT_WHEN_SHOWN so that it ends at its main menu's first expose,
// against the floor, a Qt program that shows the same menu bar, picture and
// button (start_floor). Both run on the same display (run this under
// xvfb-run for a real X server; without a display both use "offscreen").
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void launch(benchmark::State &state, const QString &program)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTREL_QUIT_WHEN_SHOWN"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home.path());
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, {});
        if (!process.waitForFinished(20000) || process.exitCode() != 0) {
            state.SkipWithError(qPrintable(program + QStringLiteral(" did not end at its first paint")));
            return;
        }
    }
}

void BM_StartMainMenu(benchmark::State &state)
{
    launch(state, QStringLiteral(VANTREL_PROGRAM));
}
BENCHMARK(BM_StartMainMenu)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_StartFloorSameMenuPictureButton(benchmark::State &state)
{
    launch(state, QStringLiteral(START_FLOOR));
}
BENCHMARK(BM_StartFloorSameMenuPictureButton)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
