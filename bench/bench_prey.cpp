// bench_prey.cpp -- the prey's path-finder, and the world step with prey
// that decide.
//
// BM_MazeHeading runs beside BM_MazeHeadingPlainRule, the same flood done
// plainly (every sweep over every inner cell, no early end): the baseline
// for the shortcuts of mazeHeading. BM_WorldStepWithPrey/hunting:1 runs a
// step in which all 20 prey hunt and decide, beside /hunting:0, the same
// world whose prey are between two decisions (their cadence skips the step).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "prey/prey.h"
#include "bench_util.h"
#include "tests/prey/plain_maze_heading.h"
#include "world/world.h"

namespace {

Vec3 centre(int row, int col) {
    return Vec3{(col + 0.5f) * maze.cellSize, (row + 0.5f) * maze.cellSize, 0.0f};
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
        loadShippedLevel();
        int first = -1, last = -1;
        for (int r = 0; r < maze.rows; ++r)
            for (int c = 0; c < maze.cols; ++c)
                if (maze.cells[r][c] == 0) {
                    if (first < 0) first = r * kMaxMazeSize + c;
                    last = r * kMaxMazeSize + c;
                }
        from = centre(first / kMaxMazeSize, first % kMaxMazeSize);
        to = centre(last / kMaxMazeSize, last % kMaxMazeSize);
        return;
    }
    editMaze().rows = editMaze().cols = kMaxMazeSize;
    editMaze().cellSize = 8.0f;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            editMaze().cells[r][c] = (r == 0 || c == 0 || r == kMaxMazeSize - 1 || c == kMaxMazeSize - 1) ? 1 : 0;
    from = centre(1, 1);
    to = centre(98, 98);
    if (which == 2) editMaze().cells[97][98] = editMaze().cells[98][97] = 1;
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

namespace {

struct StepWorld {
    std::vector<Fighter> fighters;
    std::vector<Prey> prey;
};

// The shipped level with its 16 prey and 4 more for 20, and its 9 fighters in
// play spread over the maze so that every prey has one within sight range.
// `hunting`: each prey hunts its nearest fighter and decides in the coming
// step, long after its last shot (so it walks up to a fighter it sees and
// finds its way to one it does not).
StepWorld buildStepWorld(bool hunting) {
    loadShippedLevel();

    const auto open = [](int r, int c) { return cellCode(r, c) == 0; };
    for (int r = 2; r < maze.rows && preyCount() < 20; r += 6)
        for (int c = 3; c < maze.cols && preyCount() < 20; c += 7)
            if (open(r, c)) {
                Prey p;
                p.pos = Vec3{centre(r, c).x, centre(r, c).y, maze.preyExtent.z * 0.5f};
                p.nextPos = p.pos;
                p.dir = p.nextDir = Vec3{1.0f, 0.0f, 0.0f};
                gs.preyList.push_back(p);
            }
    // Fighters on every ninth open cell in reading order, in play.
    int placed = 0, seen = 0;
    for (int r = 1; r < maze.rows - 1 && placed < fighterCount(); ++r)
        for (int c = 1; c < maze.cols - 1 && placed < fighterCount(); ++c)
            if (open(r, c) && seen++ % 37 == 0) {
                Fighter& f = gs.fighterList[placed++];
                f.pos = Vec3{centre(r, c).x, centre(r, c).y, kFighterHeight};
                f.nextPos = f.pos;
            }
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    for (Prey& p : gs.preyList) {
        p.moveAllowed = 1;
        if (!hunting) continue;
        float nearest = 1e30f;
        for (int i = 0; i < fighterCount(); ++i) {
            const float d = std::hypot(gs.fighterList[i].pos.x - p.pos.x, gs.fighterList[i].pos.y - p.pos.y);
            if (d < nearest) {
                nearest = d;
                p.target = i;
            }
        }
        p.mode = PreyMode::Hunt;
        p.tick = kPreyUpdateDivider - 1;
        p.sinceShot = 100;
    }
    return StepWorld{gs.fighterList, gs.preyList};
}

void BM_WorldStepWithPrey(benchmark::State& state) {
    const bool hunting = state.range(0) != 0;
    const StepWorld w = buildStepWorld(hunting);
    const int saved = silenceStdout();  // the step's diagnostics go nowhere
    long hunters = 0;
    for (auto _ : state) {
        gs.fighterList.assign(w.fighters.begin(), w.fighters.end());
        gs.preyList.assign(w.prey.begin(), w.prey.end());
        gs.bulletList.clear();
        process.clockPrevMs = 1000;
        process.clockNowMs = 1010;
        worldStep(updatePrey);
        benchmark::DoNotOptimize(gs.preyList.data());
    }
    for (const Prey& p : gs.preyList) hunters += p.mode == PreyMode::Hunt ? 1 : 0;
    restoreStdout(saved);
    state.counters["prey"] = static_cast<double>(preyCount());
    state.counters["hunting_after"] = static_cast<double>(hunters);
    resetGameStateForTest();
}

}  // namespace

BENCHMARK(BM_WorldStepWithPrey)->Arg(0)->Arg(1)->ArgName("hunting")->Unit(benchmark::kMicrosecond);
