#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Prints as the console reporter does and keeps the median real time of each
// benchmark, so that a program can print the ratio of two at its end.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Runs the benchmarks the command line selects, reporting here.
    void runAll()
    {
        benchmark::RunSpecifiedBenchmarks(this);
        benchmark::Shutdown();
    }

    // Prints "label: median of a / median of b" when both ran.
    void printRatio(const char *label, const std::string &a, const std::string &b) const
    {
        const auto x = medians.find(a);
        const auto y = medians.find(b);
        if (x != medians.end() && y != medians.end() && y->second > 0)
            std::printf("%s: %.3f\n", label, x->second / y->second);
    }

    std::map<std::string, double> medians;
};

} // namespace bench
