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

struct Root {  // joint 0 of one pose: the motion
    float x, y, angle, axisZ;
};

// The hand-written pose set: stride 10; walk roots so that walkStep is
// 1, 1.5, 1.5, 1, 1, 1.5, 1.5, 1; the right turn (poses 8..12) moves
// (u, v) = (0.3, 0.4) per step about -z by 10, 20, 15, 15 degrees; the left
// turn (13..17) moves 0.6 straight on about +z by 5, 20, 20, 5 degrees.
inline std::vector<Root> handRoots() {
    std::vector<Root> r(kPreyPoseCount, Root{0, 0, 0, 1});
    const float walkY[8] = {0, -1, -2.5f, -4, -5, -6, -7.5f, -9};
    const float rightAngle[5] = {0, 10, 30, 45, 60}, leftAngle[5] = {0, 5, 25, 45, 50};
    for (int k = 0; k < 8; ++k) r[k].y = walkY[k];
    for (int j = 0; j < 5; ++j) {
        r[8 + j] = Root{-0.4f * j, -0.3f * j, rightAngle[j], -1};
        r[13 + j] = Root{0, -0.6f * j, leftAngle[j], 1};
    }
    return r;
}

// A pose file text: the stride, then 18 poses of 10 joints; joint 0 carries
// `roots`, the other joints the recognisable pattern (pose, joint) in offset.
inline std::string poseText(float stride, const std::vector<Root>& roots) {
    std::ostringstream out;
    out << stride << "\n";
    for (int p = 0; p < kPreyPoseCount; ++p) {
        out << roots[p].x << ' ' << roots[p].y << " 3.3 " << roots[p].angle << " 0 0 " << roots[p].axisZ << '\n';
        for (int j = 1; j < kPreyJointCount; ++j) out << p << ' ' << j << " -1 " << (p + j) << " 1 0 0\n";
    }
    return out.str();
}

// A maze from rows of text ('#' wall, anything else open), cells of edge 8.
inline void drawnMaze(const std::vector<std::string>& rows) {
    gs.mazeRows = static_cast<int>(rows.size());
    gs.mazeCols = static_cast<int>(rows[0].size());
    gs.cellSize = 8.0f;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int c = 0; c < kMaxMazeSize; ++c)
            gs.mazeCells[r][c] = r < gs.mazeRows && c < gs.mazeCols && rows[r][c] == '#' ? 1 : 0;
}

// An open maze of rows x cols cells inside a wall ring.
inline void openMaze(int rows, int cols) {
    std::vector<std::string> m(rows, '#' + std::string(cols - 2, '.') + '#');
    m.front() = m.back() = std::string(cols, '#');
    drawnMaze(m);
}

inline Vec3 centreOf(int row, int col) {
    return Vec3{(col + 0.5f) * gs.cellSize, (row + 0.5f) * gs.cellSize, 0.0f};
}

inline Vec3 headingVector(float degrees) {
    const float a = degrees * 0.017453292f;
    return Vec3{std::cos(a), std::sin(a), 0.0f};
}

// A prey at the centre of (row, col) facing `degrees`, its last move taken.
inline Prey preyAt(int row, int col, float degrees) {
    Prey p;
    p.pos = centreOf(row, col);
    p.pos.z = 1.5f;
    p.nextPos = p.pos;
    p.dir = p.nextDir = headingVector(degrees);
    p.moveAllowed = 1;
    return p;
}

inline void addFighter(Vec3 at, int state = InPlay) {
    Fighter f;
    f.pos = Vec3{at.x, at.y, kFighterHeight};
    f.dir = Vec3{1.0f, 0.0f, 0.0f};
    f.state = state;
    gs.fighterList.push_back(f);
}

// Runs one behaviour update now (whatever the cadence).
inline void decideNow(Prey& p) {
    p.tick = 4;
    updatePrey(p);
}

// What the world step does after the update: take the move, take the heading.
inline void commit(Prey& p) {
    p.moveAllowed = 1;
    p.blocked = 0;
    p.pos.x = p.nextPos.x;
    p.pos.y = p.nextPos.y;
    if (p.turnPending) p.dir = p.nextDir;
}

// (along, across) of the move from `from` to `to` relative to heading
// `degrees`: forward and to the left are positive.
inline std::pair<float, float> motion(Vec3 from, Vec3 to, float degrees) {
    const Vec3 d = headingVector(degrees);
    const float dx = to.x - from.x, dy = to.y - from.y;
    return {dx * d.x + dy * d.y, -dx * d.y + dy * d.x};
}

using Draw = std::function<bool(float)>;
inline Draw above(float x) { return [x](float r) { return r > x; }; }
inline Draw atMost(float x) { return [x](float r) { return r <= x; }; }
inline Draw between(float lo, float hi) { return [lo, hi](float r) { return r > lo && r <= hi; }; }

// Seeds the generator so that the next draws satisfy `wanted` in order.
inline void arrangeDraws(const std::vector<Draw>& wanted) {
    for (uint32_t seed = 1; seed < 5000000; ++seed) {
        randomSeed(seed);
        size_t i = 0;
        while (i < wanted.size() && wanted[i](randomFraction())) ++i;
        if (i == wanted.size()) return randomSeed(seed);
    }
    FAIL() << "no seed gives the wanted draws";
}

class PreyTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetGameStateForTest();
        ASSERT_EQ(readPreyPosesText(poseText(10.0f, handRoots()), preyPoses), kPreyPoseNumbers);
        openMaze(20, 20);
        randomSeed(0);
    }
    void TearDown() override {
        preyPoses = PreyPoseSet{};
        resetGameStateForTest();
    }
};

}  // namespace preytest
