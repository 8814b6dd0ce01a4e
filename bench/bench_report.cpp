#include "bench_report.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class FloorReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            const auto slash = name.find('/');
            const std::string base = name.substr(0, slash);
            const std::string arg = slash == std::string::npos ? "" : name.substr(slash + 1);
            const auto underscore = base.rfind('_');
            if (underscore == std::string::npos)
                continue;
            const std::string op = base.substr(0, underscore);
            const std::string side = base.substr(underscore + 1);
            const double ms = run.GetAdjustedRealTime()
                * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond)
                / benchmark::GetTimeUnitMultiplier(run.time_unit);
            Pair &pair = pairs_[{op, arg}];
            (side == "Floor" ? pair.floor : pair.ours) = ms;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf(
            "\n%-24s %9s %12s %12s %7s\n", "operation", "items", "ours ms", "floor ms", "ratio");
        for (const auto &[key, pair] : pairs_) {
            if (pair.ours < 0 || pair.floor < 0)
                continue;
            std::printf("%-24s %9s %12.3f %12.3f %7.2f\n", key.first.c_str(), key.second.c_str(),
                pair.ours, pair.floor, pair.floor > 0 ? pair.ours / pair.floor : 0.0);
        }
        std::fflush(stdout);
    }

private:
    struct Pair
    {
        double ours = -1;
        double floor = -1;
    };
    std::map<std::pair<std::string, std::string>, Pair> pairs_;
};

} // namespace

int runBenchmarksWithFloors(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    FloorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
