// rules_helpers.h -- small worlds for the tests of the rules.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "prey/prey.h"
#include "tests/log_capture.h"
#include "world/world.h"

namespace rulestest {

// A rows x cols maze of the given cell size: walls all round, open inside.
inline void buildWalledMaze(int rows, int cols, float cellSize) {
    editMaze().rows = rows;
    editMaze().cols = cols;
    editMaze().cellSize = cellSize;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            editMaze().cells[r][c] = (r == 0 || c == 0 || r == rows - 1 || c == cols - 1) ? 1 : 0;
}

// Appends a fighter in play at (x, y) facing dir; returns its index.
inline int addFighter(float x, float y, Vec3 dir, int bullets = 10) {
    Fighter f;
    f.pos = f.nextPos = Vec3{x, y, kFighterHeight};
    f.dir = f.nextDir = dir;
    f.state = FighterState::InPlay;
    f.bullets = bullets;
    gs.fighterList.push_back(f);
    return fighterCount() - 1;
}

// Appends a standing prey at (x, y); returns its index.
inline int addPrey(float x, float y) {
    Prey p;
    p.pos = p.nextPos = Vec3{x, y, maze.preyExtent.z * 0.5f};
    p.dir = p.nextDir = Vec3{1.0f, 0.0f, 0.0f};
    gs.preyList.push_back(p);
    return preyCount() - 1;
}

// Appends a bullet at pos flying along dir (unit), owned by `owner`.
inline void addBullet(Vec3 pos, Vec3 dir, int owner = -1) {
    Bullet b;
    b.pos = pos;
    b.dir = dir;
    b.owner = owner;
    gs.bulletList.push_back(b);
}

// Runs fn and returns what it logged for standard output (every level but
// Error), one line each, as the stream would show it.
template <class Fn>
std::string printedBy(Fn fn) {
    const logtest::LogCapture said;
    fn();
    return said.outputText();
}

// One world step covering `ms` milliseconds of the clock; returns its output.
inline std::string stepWorld(int ms = 20) {
    process.clockPrevMs = process.clockNowMs;
    process.clockNowMs = (process.clockNowMs + ms) % 60000;
    return printedBy([] { worldStep(updatePrey); });
}

// A tap of an ordinary key: press, then release; returns its output.
inline std::string tapKey(Fighter& f, int key) {
    return printedBy([&] {
        fighterKeyAction(f, key, false, false);
        fighterKeyAction(f, key, true, false);
    });
}

constexpr Vec3 kEast{1.0f, 0.0f, 0.0f};

// Every test of the rules starts from a fresh world.
class RulesTest : public ::testing::Test {
protected:
    void SetUp() override { resetGameStateForTest(); }
};

}  // namespace rulestest
