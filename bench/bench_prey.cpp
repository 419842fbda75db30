// bench_prey.cpp -- the prey's path-finder. Each case runs beside the same
// flood done plainly (every sweep over every inner cell, no early end), which
// is the baseline the shortcuts of mazeHeading are measured against.
#include <benchmark/benchmark.h>

#include <cstring>

#include "prey/prey.h"
#include "world/world.h"

namespace {

// The flood exactly as the rule states it, without shortcuts.
float plainMazeHeading(Vec3 from, Vec3 to) {
    const int fr = static_cast<int>(from.y / gs.cellSize), fc = static_cast<int>(from.x / gs.cellSize);
    const int tr = static_cast<int>(to.y / gs.cellSize), tc = static_cast<int>(to.x / gs.cellSize);
    static int v[100][100];
    std::memset(v, 0, sizeof v);
    const auto open = [](int r, int c) { return gs.mazeCells[r][c] == 0; };
    v[tr][tc] = (gs.mazeRows + gs.mazeCols) * 6;
    int count = 0;
    for (int s = 0; s < (gs.mazeRows + gs.mazeCols) * 3; ++s) {
        for (int r = 1; r <= gs.mazeRows - 2; ++r)
            for (int c = 1; c <= gs.mazeCols - 2; ++c) {
                if (!open(r, c)) continue;
                int x = v[r][c];
                if (open(r - 1, c) && v[r - 1][c] - 1 > x) x = v[r - 1][c] - 1;
                if (open(r + 1, c) && v[r + 1][c] - 1 > x) x = v[r + 1][c] - 1;
                if (open(r, c - 1) && v[r][c - 1] - 1 > x) x = v[r][c - 1] - 1;
                if (open(r, c + 1) && v[r][c + 1] - 1 > x) x = v[r][c + 1] - 1;
                v[r][c] = x;
            }
        if (v[fr][fc] > 0 && ++count == 5) break;
    }
    if (count == 0) return randomFraction() * 360.0f;
    return static_cast<float>(v[fr][fc]);  // the choice of direction costs next to nothing
}

Vec3 centre(int row, int col) {
    return Vec3{(col + 0.5f) * gs.cellSize, (row + 0.5f) * gs.cellSize, 0.0f};
}

// Maze set-ups; each returns the prey's and the target's positions.
// 0: the shipped level, from its first open cell to its last (row-major):
//    the target lies down and to the right, against the sweeps' fast direction.
// 1: an open 100 x 100 maze (wall ring only), prey at the top left, target at
//    the bottom right: the most sweeps any reachable target needs.
// 2: the same maze with the target walled in: unreachable.
void setUp(int which, Vec3& from, Vec3& to) {
    resetGameStateForTest();
    if (which == 0) {
        readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
        int first = -1, last = -1;
        for (int r = 0; r < gs.mazeRows; ++r)
            for (int c = 0; c < gs.mazeCols; ++c)
                if (gs.mazeCells[r][c] == 0) {
                    if (first < 0) first = r * kMaxMazeSize + c;
                    last = r * kMaxMazeSize + c;
                }
        from = centre(first / kMaxMazeSize, first % kMaxMazeSize);
        to = centre(last / kMaxMazeSize, last % kMaxMazeSize);
        return;
    }
    gs.mazeRows = gs.mazeCols = kMaxMazeSize;
    gs.cellSize = 8.0f;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            gs.mazeCells[r][c] = (r == 0 || c == 0 || r == kMaxMazeSize - 1 || c == kMaxMazeSize - 1) ? 1 : 0;
    from = centre(1, 1);
    to = centre(98, 98);
    if (which == 2) gs.mazeCells[97][98] = gs.mazeCells[98][97] = 1;
}

void BM_MazeHeading(benchmark::State& state) {
    Vec3 from, to;
    setUp(static_cast<int>(state.range(0)), from, to);
    randomSeed(0);
    for (auto _ : state) benchmark::DoNotOptimize(mazeHeading(from, to));
    resetGameStateForTest();
}

void BM_MazeHeadingPlainRule(benchmark::State& state) {
    Vec3 from, to;
    setUp(static_cast<int>(state.range(0)), from, to);
    randomSeed(0);
    for (auto _ : state) benchmark::DoNotOptimize(plainMazeHeading(from, to));
    resetGameStateForTest();
}

}  // namespace

BENCHMARK(BM_MazeHeading)->Arg(0)->Arg(1)->Arg(2)->ArgName("maze")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MazeHeadingPlainRule)->Arg(0)->Arg(1)->Arg(2)->ArgName("maze")->Unit(benchmark::kMicrosecond);
