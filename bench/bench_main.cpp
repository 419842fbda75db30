// bench_main.cpp -- maze-bench: every benchmark of the game in one program.
// Benchmarks that need a window skip themselves when no display is present.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
