#pragma once

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace bench {

// Shows a window and paints its first screen as the display would.
inline void showFirstScreen(QWidget *window)
{
    window->show();
    // grab() lays the window out and paints it.
    benchmark::DoNotOptimize(window->grab());
}

// main() of a benchmark program that opens windows: offscreen unless a
// platform is named.
inline int runWindowBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
