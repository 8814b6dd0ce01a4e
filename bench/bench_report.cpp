#include "bench_report.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#ifdef __linux__
#include <dlfcn.h>
#endif

namespace {

class FloorReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // With repetitions the median stands for the figure; without,
            // the one run does.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
                continue;
            const std::string base = run.run_name.function_name;
            const std::string arg = run.run_name.args;
            const auto underscore = base.rfind('_');
            if (underscore == std::string::npos)
                continue;
            const std::string op = base.substr(0, underscore);
            const std::string side = base.substr(underscore + 1);
            const double ms = run.GetAdjustedRealTime()
                * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond)
                / benchmark::GetTimeUnitMultiplier(run.time_unit);
            Pair &pair = pairs_[{op, arg}];
            Figure &figure = side == "Floor" ? pair.floor : pair.ours;
            if (median || !figure.median) {
                figure = {ms, median};
                if (side != "Floor")
                    pair.counts = countsOf(run);
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-24s %9s %12s %12s %7s  %s\n", "operation", "items", "ours ms", "floor ms",
            "ratio", "calls per operation");
        for (const auto &[key, pair] : pairs_) {
            if (pair.ours.ms < 0 || pair.floor.ms < 0)
                continue;
            std::printf("%-24s %9s %12.3f %12.3f %7.2f  %s\n", key.first.c_str(),
                key.second.c_str(), pair.ours.ms, pair.floor.ms,
                pair.floor.ms > 0 ? pair.ours.ms / pair.floor.ms : 0.0, pair.counts.c_str());
        }
        std::fflush(stdout);
    }

private:
    struct Figure
    {
        double ms = -1;
        bool median = false;
    };
    struct Pair
    {
        Figure ours;
        Figure floor;
        std::string counts;
    };

    // The system calls counted by a preloaded shim, per operation.
    static std::string countsOf(const Run &run)
    {
        std::string text;
        for (const auto &[name, counter] : run.counters)
            text += name + " " + std::to_string(llround(counter.value)) + "  ";
        return text;
    }
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

SyscallCounts syscallCounts()
{
    SyscallCounts counts;
#ifdef __linux__
    using Counts = void (*)(long *, long *, long *, long *);
    if (const auto shim = reinterpret_cast<Counts>(dlsym(RTLD_DEFAULT, "wh_shim_counts")))
        shim(&counts.flushes, &counts.renames, &counts.removals, &counts.writes);
#endif
    return counts;
}

void reportSyscalls(benchmark::State &state, const SyscallCounts &start)
{
    const SyscallCounts end = syscallCounts();
    if (end.flushes == 0 && end.renames == 0)
        return; // no shim
    const auto perIteration = [](long calls) {
        return benchmark::Counter(double(calls), benchmark::Counter::kAvgIterations);
    };
    state.counters["flushes"] = perIteration(end.flushes - start.flushes);
    state.counters["renames"] = perIteration(end.renames - start.renames);
}

void stockSizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
    if (!qEnvironmentVariableIsEmpty("WAREHOUSE_BENCH_MILLION"))
        b->Arg(1000000);
}
