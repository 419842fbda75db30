// bench_world.cpp -- benchmarks of the world model.
#include <benchmark/benchmark.h>

#include "world/world.h"

// Baseline for the benchmarks of the rules: the generator alone.
static void BM_RandomFraction(benchmark::State& state) {
    randomSeed(0);
    float sum = 0.0f;
    for (auto _ : state) sum += randomFraction();
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_RandomFraction);
