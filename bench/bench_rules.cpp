// bench_rules.cpp -- the world step and the path march at the reference load
// on the shipped level: 9 fighters in play, 20 prey, 100 bullets in flight.
//
// Each iteration restores the same world before stepping, so every step
// sees the full load; BM_WorldStepRestoreOnly measures that restore alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "bench_util.h"
#include "prey/prey.h"
#include "world/world.h"

namespace {

struct ReferenceWorld {
    std::vector<Fighter> fighters;
    std::vector<Prey> prey;
    std::vector<Bullet> bullets;
};

float cellCentre(int i) { return (static_cast<float>(i) + 0.5f) * maze.cellSize; }

bool nearAnyBody(float x, float y, float reach) {
    for (const Fighter& f : gs.fighterList)
        if (std::hypot(f.pos.x - x, f.pos.y - y) < reach) return true;
    for (const Prey& p : gs.preyList)
        if (std::hypot(p.pos.x - x, p.pos.y - y) < reach) return true;
    return false;
}

Prey preyAt(float x, float y) {
    Prey p;
    p.pos = Vec3{x, y, maze.preyExtent.z * 0.5f};
    p.nextPos = p.pos;
    p.dir = Vec3{1.0f, 0.0f, 0.0f};
    p.nextDir = p.dir;
    return p;
}

// Loads the level into gs and sets up the reference load; `withBodies`
// false leaves the maze empty of fighters and prey.
ReferenceWorld buildReferenceWorld(bool withBodies) {
    loadShippedLevel();
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    // Some fighters run and turn, so the held-key path is part of the load.
    for (int i = 0; i < fighterCount(); i += 2) gs.fighterList[i].keyDown[int{'i'}] = 1;
    for (int i = 1; i < fighterCount(); i += 3) gs.fighterList[i].keyDown[int{'j'}] = 1;

    // Four more prey in open cells away from everybody, for 20 in all.
    for (int r = 1; r < maze.rows && preyCount() < 20; r += 3)
        for (int c = 1; c < maze.cols && preyCount() < 20; c += 5)
            if (cellCode(r, c) != 1 && !nearAnyBody(cellCentre(c), cellCentre(r), 8.0f))
                gs.preyList.push_back(preyAt(cellCentre(c), cellCentre(r)));

    // 100 bullets at open cell centres, clear of every body, flying along
    // the grid: each flight stays in flight for the measured step.
    const Vec3 dirs[4] = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
    for (int r = 0; r < maze.rows && bulletCount() < 100; ++r)
        for (int c = 0; c < maze.cols && bulletCount() < 100; ++c) {
            if (cellCode(r, c) == 1 || nearAnyBody(cellCentre(c), cellCentre(r), 6.0f)) continue;
            Bullet b;
            b.pos = Vec3{cellCentre(c), cellCentre(r), kMuzzleHeight};
            b.dir = dirs[(r + c) % 4];
            gs.bulletList.push_back(b);
        }

    ReferenceWorld w{gs.fighterList, gs.preyList, gs.bulletList};
    if (!withBodies) {
        gs.fighterList.clear();
        gs.preyList.clear();
    }
    return w;
}

void restore(const ReferenceWorld& w) {
    gs.fighterList.assign(w.fighters.begin(), w.fighters.end());
    gs.preyList.assign(w.prey.begin(), w.prey.end());
    gs.bulletList.assign(w.bullets.begin(), w.bullets.end());
    process.clockPrevMs = 1000;
    process.clockNowMs = 1010;
}

void BM_WorldStepRestoreOnly(benchmark::State& state) {
    const ReferenceWorld w = buildReferenceWorld(true);
    for (auto _ : state) {
        restore(w);
        benchmark::DoNotOptimize(gs.bulletList.data());
    }
}
BENCHMARK(BM_WorldStepRestoreOnly);

void BM_WorldStep(benchmark::State& state) {
    const ReferenceWorld w = buildReferenceWorld(true);
    for (auto _ : state) {
        restore(w);
        worldStep(updatePrey);
        benchmark::DoNotOptimize(gs.bulletList.data());
    }
    restore(w);
    worldStep(updatePrey);
    // The load must hold: nothing hit, nothing removed.
    if (bulletCount() != 100 || preyCount() != 20 || fighterCount() != 9)
        state.SkipWithError("the reference load did not hold");
}
BENCHMARK(BM_WorldStep);

// One 3.0-unit bullet flight along an open row, with and without the 29
// bodies that every step of the march scans.
void runPathClear(benchmark::State& state, bool withBodies) {
    const ReferenceWorld w = buildReferenceWorld(withBodies);
    const Bullet& b = w.bullets[0];
    const Vec3 to{b.pos.x + b.dir.x * kBulletSpeed, b.pos.y + b.dir.y * kBulletSpeed, b.pos.z};
    float t = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pathClear(b.pos, to, t, nullptr, nullptr));
        benchmark::DoNotOptimize(t);
    }
    if (!pathClear(b.pos, to, t, nullptr, nullptr)) state.SkipWithError("the flight is not clear");
}

void BM_PathClearNoBodies(benchmark::State& state) { runPathClear(state, false); }
BENCHMARK(BM_PathClearNoBodies);

void BM_PathClear(benchmark::State& state) { runPathClear(state, true); }
BENCHMARK(BM_PathClear);

}  // namespace
