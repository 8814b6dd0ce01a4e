#pragma once

// Runs the registered benchmarks and prints, after Google Benchmark's own
// table, every figure beside its floor. A benchmark "Op_Ours/<n>" is paired
// with "Op_Floor/<n>": the same work done the plain way in the same run.
int runBenchmarksWithFloors(int argc, char **argv);
