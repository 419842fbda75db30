// bench_net.cpp -- the server's per-pass network cost: packing the world into
// a state body, and a client applying it, beside a plain copy of the same
// 6008 bytes as the floor.
#include <benchmark/benchmark.h>

#include <cstring>

#include "net/net.h"
#include "world/world.h"

namespace {

// The shipped level's population: 9 fighters, 16 prey, a volley of bullets.
void busyWorld() {
    resetGameStateForTest();
    editMaze().cols = editMaze().rows = 28;
    editMaze().cellSize = 8.0f;
    editMaze().fighterStartCount = 9;
    for (int i = 0; i < 9; ++i) editMaze().fighterStarts[i] = StartPosition{1 + 2 * (i % 3), 1 + 2 * (i / 3), 1};
    editMaze().preyStartCount = 16;
    for (int i = 0; i < 16; ++i) editMaze().preyStarts[i] = StartPosition{2 + i, 10, 2};
    createFighters();
    resetGame();
    gs.bulletList.resize(40);
}

void BM_MemcpyStateSize(benchmark::State& state) {
    NetMessage a, b;
    for (auto _ : state) {
        std::memcpy(b.bytes, a.bytes, kNetMessageSize);
        benchmark::DoNotOptimize(b.bytes);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyStateSize);

void BM_PackState(benchmark::State& state) {
    busyWorld();
    NetMessage body;
    for (auto _ : state) {
        packState(body);
        benchmark::DoNotOptimize(body.bytes);
    }
}
BENCHMARK(BM_PackState);

void BM_ApplyState(benchmark::State& state) {
    busyWorld();
    NetMessage body;
    packState(body);
    for (auto _ : state) {
        applyState(body);
        benchmark::DoNotOptimize(gs.preyList.data());
    }
}
BENCHMARK(BM_ApplyState);

}  // namespace
