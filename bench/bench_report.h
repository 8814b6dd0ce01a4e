#pragma once

// Runs the registered benchmarks and prints, after Google Benchmark's own
// table, every figure beside its floor. A benchmark "Op_Ours/<n>" is paired
// with "Op_Floor/<n>": the same work done the plain way in the same run.
int runBenchmarksWithFloors(int argc, char **argv);

namespace benchmark {
class State;
namespace internal {
class Benchmark;
}
} // namespace benchmark

// The flushes (fsync, fdatasync, syncfs) and renames made so far, counted by
// the preloaded shim of the tests (LD_PRELOAD=.../libsyscall_shim.so, which
// also takes WH_FLUSH_DELAY_US per flush); all 0 without it.
struct SyscallCounts
{
    long flushes = 0;
    long renames = 0;
    long removals = 0;
    long writes = 0;
};
SyscallCounts syscallCounts();
// Puts the calls made since `start`, per iteration, beside the figure.
void reportSyscalls(benchmark::State &state, const SyscallCounts &start);

// The sizes of the runs: 10 000 and 100 000 items, and 1 000 000 when
// WAREHOUSE_BENCH_MILLION is set.
void stockSizes(benchmark::internal::Benchmark *b);
