// prey_test_util.h -- shared set-up for the prey tests: a hand-written pose
// set, small mazes, and control over the next random draws.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "prey/prey.h"
#include "world/world.h"

namespace preytest {

// Root motion of one pose of the hand-written set.
struct Root {
    float x, y, angle, axisZ;
};

// The hand-written pose set: stride 10; walk roots so that walkStep is
// 1, 1.5, 1.5, 1, 1, 1.5, 1.5, 1; the right turn (poses 8..12) moves
// (u, v) = (0.3, 0.4) per step about -z by 10, 20, 15, 15 degrees; the left
// turn (13..17) moves 0.6 straight on about +z by 5, 20, 20, 5 degrees.
inline std::vector<Root> handRoots() {
    std::vector<Root> r(kPreyPoseCount, Root{0, 0, 0, 1});
    const float walkY[8] = {0, -1, -2.5f, -4, -5, -6, -7.5f, -9};
    for (int k = 0; k < 8; ++k) r[k].y = walkY[k];
    const float rightAngle[5] = {0, 10, 30, 45, 60};
    for (int j = 0; j < 5; ++j) r[8 + j] = Root{-0.4f * j, -0.3f * j, rightAngle[j], -1};
    const float leftAngle[5] = {0, 5, 25, 45, 50};
    for (int j = 0; j < 5; ++j) r[13 + j] = Root{0, -0.6f * j, leftAngle[j], 1};
    return r;
}

// A pose file text: the stride, then 18 poses of 10 joints; joint 0 carries
// `roots`, the other joints a recognisable pattern (pose, joint) in offset.
inline std::string poseText(float stride, const std::vector<Root>& roots) {
    std::ostringstream out;
    out << stride << "\n";
    for (int p = 0; p < kPreyPoseCount; ++p) {
        for (int j = 0; j < kPreyJointCount; ++j) {
            if (j == 0) {
                const Root& r = roots[p];
                out << r.x << ' ' << r.y << " 3.3 " << r.angle << " 0 0 " << r.axisZ << '\n';
            } else {
                out << p << ' ' << j << " -1 " << (p + j) << " 1 0 0\n";
            }
        }
    }
    return out.str();
}

// Installs the hand-written set as the game's pose set.
inline void installHandPoses() {
    ASSERT_EQ(readPreyPosesText(poseText(10.0f, handRoots()), preyPoses), kPreyPoseNumbers);
}

// An open maze of rows x cols cells of edge `cell` with a wall ring.
inline void openMaze(int rows, int cols, float cell = 8.0f) {
    gs.mazeRows = rows;
    gs.mazeCols = cols;
    gs.cellSize = cell;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            gs.mazeCells[r][c] = (r < rows && c < cols && (r == 0 || c == 0 || r == rows - 1 || c == cols - 1)) ? 1 : 0;
}

// A maze from rows of text: '#' wall, anything else open.
inline void drawnMaze(const std::vector<std::string>& rows, float cell = 8.0f) {
    gs.mazeRows = static_cast<int>(rows.size());
    gs.mazeCols = static_cast<int>(rows[0].size());
    gs.cellSize = cell;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c) gs.mazeCells[r][c] = 0;
    for (int r = 0; r < gs.mazeRows; ++r)
        for (int c = 0; c < gs.mazeCols; ++c) gs.mazeCells[r][c] = rows[r][c] == '#' ? 1 : 0;
}

inline Vec3 centreOf(int row, int col) {
    return Vec3{(col + 0.5f) * gs.cellSize, (row + 0.5f) * gs.cellSize, 0.0f};
}

inline Vec3 headingVector(float degrees) {
    const double a = degrees * 0.017453292519943295;
    return Vec3{static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), 0.0f};
}

// A prey at the centre of (row, col) facing `degrees`, in its start state,
// with its last move taken.
inline Prey preyAt(int row, int col, float degrees) {
    Prey p;
    p.pos = centreOf(row, col);
    p.pos.z = 1.5f;
    p.nextPos = p.pos;
    p.dir = headingVector(degrees);
    p.nextDir = p.dir;
    p.moveAllowed = 1;
    return p;
}

inline Fighter& addFighter(Vec3 at, int state = InPlay) {
    Fighter f;
    f.pos = Vec3{at.x, at.y, kFighterHeight};
    f.dir = Vec3{1.0f, 0.0f, 0.0f};
    f.state = state;
    gs.fighterList.push_back(f);
    return gs.fighterList.back();
}

// Runs one behaviour update now (whatever the cadence).
inline void decideNow(Prey& p) {
    p.tick = 4;
    updatePrey(p);
}

// What the world step does with a prey after its update: take the move if
// allowed, take the proposed heading.
inline void commit(Prey& p, bool allowed = true, bool wall = false) {
    p.moveAllowed = allowed ? 1 : 0;
    p.blocked = wall ? 1 : 0;
    if (allowed) {
        p.pos.x = p.nextPos.x;
        p.pos.y = p.nextPos.y;
    }
    if (p.turnPending) p.dir = p.nextDir;
}

// Seeds the generator so that the next draws satisfy `wanted` in order.
inline void arrangeDraws(const std::vector<std::function<bool(float)>>& wanted) {
    for (uint32_t seed = 1; seed < 5000000; ++seed) {
        randomSeed(seed);
        bool ok = true;
        for (const auto& w : wanted)
            if (!w(randomFraction())) {
                ok = false;
                break;
            }
        if (ok) {
            randomSeed(seed);
            return;
        }
    }
    FAIL() << "no seed gives the wanted draws";
}

inline std::function<bool(float)> above(float x) {
    return [x](float r) { return r > x; };
}
inline std::function<bool(float)> atMost(float x) {
    return [x](float r) { return r <= x; };
}
inline std::function<bool(float)> between(float lo, float hi) {  // lo < r <= hi
    return [lo, hi](float r) { return r > lo && r <= hi; };
}

// Distance the prey's position moved from `from`, along heading `degrees`
// (positive forward) and across it (positive to the left).
inline void motionAlong(Vec3 from, Vec3 to, float degrees, float& along, float& across) {
    const Vec3 d = headingVector(degrees);
    const float dx = to.x - from.x, dy = to.y - from.y;
    along = dx * d.x + dy * d.y;
    across = -dx * d.y + dy * d.x;
}

class PreyTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetGameStateForTest();
        preyPoses = PreyPoseSet{};
        installHandPoses();
        openMaze(20, 20);
        randomSeed(0);
    }
    void TearDown() override {
        preyPoses = PreyPoseSet{};
        resetGameStateForTest();
    }
};

}  // namespace preytest
