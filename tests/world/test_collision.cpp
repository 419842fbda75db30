// Bodies against the walls of their cell, and the path march.
#include <cmath>
#include <limits>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class WallClamp : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(6, 6, 4.0f);
    }
};

TEST_F(WallClamp, TouchingIsStrictAndClampStopsAtTheRadius) {
    gs.mazeCells[2][3] = 1;  // east of cell (2, 2), whose x runs 8..12
    Vec3 p{11.0f, 10.0f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, false));
    EXPECT_EQ(p.x, 11.0f);
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(p.x, 10.5f);
    EXPECT_FALSE(clampToWalls(p, 2, 2, 1.5f, true)) << "exactly the radius away is not touching";
    EXPECT_EQ(p.y, 10.0f) << "only the coordinate that crosses the face moves";
}

TEST_F(WallClamp, EachSideNeighbourPushesItsOwnWay) {
    gs.mazeCells[1][2] = gs.mazeCells[3][2] = gs.mazeCells[2][1] = gs.mazeCells[2][3] = 1;
    Vec3 p{8.2f, 8.3f, 0.0f};  // up-left corner of cell (2, 2)
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(p.x, 9.5f);
    EXPECT_EQ(p.y, 9.5f);
    p = Vec3{11.9f, 11.7f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(p.x, 10.5f);
    EXPECT_EQ(p.y, 10.5f);
}

TEST_F(WallClamp, DiagonalCellsAreIgnored) {
    gs.mazeCells[1][1] = 1;
    Vec3 p{7.5f, 7.5f, 0.0f};  // already inside the diagonal cell's corner
    EXPECT_FALSE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(p.x, 7.5f);
}

TEST_F(WallClamp, OutsideTheTableIsWall) {
    // A 100-wide map with an open east edge: column 100 does not exist, so
    // it must read as wall rather than past the table.
    buildWalledMaze(100, 100, 4.0f);
    gs.mazeCells[50][99] = 0;
    Vec3 p{399.5f, 202.0f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 50, 99, 1.5f, true));
    EXPECT_EQ(p.x, 398.5f);
    EXPECT_EQ(cellOfCoordinate(-0.5f), 0) << "truncation toward zero";
    EXPECT_EQ(cellOfCoordinate(-4.5f), -1);
    EXPECT_EQ(cellOfCoordinate(400.0f), -1);
    EXPECT_EQ(cellOfCoordinate(std::numeric_limits<float>::quiet_NaN()), -1);
    EXPECT_EQ(cellCode(cellOfCoordinate(1e30f), 3), 1);
}

class PathMarch : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(20, 20, 8.0f);
    }
    bool walk(Vec3 a, Vec3 b, float& t, const void* ignoreA = nullptr, const void* ignoreB = nullptr) {
        testing::internal::CaptureStdout();
        const bool clear = pathClear(a, b, t, ignoreA, ignoreB);
        printed = testing::internal::GetCapturedStdout();
        return clear;
    }
    std::string printed;
};

TEST_F(PathMarch, OpenGroundIsClearAndSilent) {
    float t = -1;
    EXPECT_TRUE(walk({20, 20, 1.4f}, {23, 20, 1.4f}, t));
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(std::isfinite(t));
    EXPECT_NEAR(t, 14 * 0.2f / 3.0f, 1e-5f) << "arrives within 0.25 after 14 steps";
}

TEST_F(PathMarch, WallsStopTheWalkWhereTheyAreFound) {
    float t = -1;
    // Starting inside a wall cell: blocked at once.
    EXPECT_FALSE(walk({4, 20, 1.4f}, {7.5f, 20, 1.4f}, t));
    EXPECT_EQ(t, 0.0f);
    EXPECT_EQ(printed, "bullet not clear\n");
    // Running along the west wall 0.1 from its face: blocked, though the
    // segment never enters the wall cell.
    EXPECT_FALSE(walk({8.1f, 20, 1.4f}, {8.1f, 23, 1.4f}, t));
    EXPECT_EQ(t, 0.0f);
    // Into the east wall at x = 152: found where W passes 151.8, after 14
    // steps of the 3.9-unit segment.
    EXPECT_FALSE(walk({149.1f, 20, 1.4f}, {153.0f, 20, 1.4f}, t));
    EXPECT_NEAR(t, 14 * 0.2f / 3.9f, 1e-5f);
}

TEST_F(PathMarch, FloorAndCeiling) {
    float t = -1;
    EXPECT_FALSE(walk({20, 20, 0.5f}, {23, 20, 0.0f}, t)) << "floor";
    // The ceiling is the row count less 0.1: 19.9 in a 20-row maze.
    EXPECT_TRUE(walk({20, 20, 19.5f}, {23, 20, 19.8f}, t));
    EXPECT_FALSE(walk({20, 20, 19.5f}, {23, 20, 20.5f}, t));
}

TEST_F(PathMarch, LiveBodiesBlockOneStepBeyond) {
    const int f = addFighter(22.0f, 40.0f, Vec3{1, 0, 0});
    float t = -1;
    // W reaches 20.6 (1.4 from the fighter) after 3 steps; a fourth is taken.
    EXPECT_FALSE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t));
    EXPECT_NEAR(t, 4 * 0.2f / 3.0f, 1e-5f);
    EXPECT_EQ(printed, "bullet not clear\n");

    gs.fighterList[f].state = Dead;
    EXPECT_TRUE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t)) << "the dead do not block";
    gs.fighterList[f].state = Absent;
    EXPECT_TRUE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t));

    const int p = addPrey(22.0f, 40.0f);
    gs.preyList[p].mode = Hunt;  // a prey's mode never matters
    EXPECT_FALSE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t));
    // Line of sight ignores the looker and its target, and says so differently.
    gs.fighterList[f].state = InPlay;
    EXPECT_TRUE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t, &gs.preyList[p], &gs.fighterList[f]));
    EXPECT_FALSE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t, &gs.preyList[p], nullptr));
    EXPECT_EQ(printed, "not clear \n");
}

TEST_F(PathMarch, CrowdsNearThePathStillBlock) {
    // More bodies beside the path than the march keeps at hand: the one in
    // the way must still be found.
    for (int i = 0; i < 80; ++i) addPrey(20.0f + 0.03f * i, 41.8f);
    addPrey(22.0f, 40.0f);
    float t = -1;
    EXPECT_FALSE(walk({20.0f, 40.0f, 1.4f}, {23.0f, 40.0f, 1.4f}, t));
    EXPECT_NEAR(t, 4 * 0.2f / 3.0f, 1e-5f);
}

TEST_F(PathMarch, DegenerateSegmentsStayFiniteAndEnd) {
    float t = -1;
    EXPECT_TRUE(walk({20, 20, 1.4f}, {20, 20, 1.4f}, t));
    EXPECT_EQ(t, 0.0f) << "a zero-length path walks nothing, and says so with a number";
    // Nearly vertical: arrives by the ground test without looking at walls.
    EXPECT_TRUE(walk({20, 20, 1.4f}, {20.1f, 20, 5.0f}, t));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(walk({nan, 20, 1.4f}, {23, 20, 1.4f}, t));
    EXPECT_TRUE(std::isfinite(t));
    // Far outside the table: wall, at once.
    EXPECT_FALSE(walk({1e9f, 1e9f, 1.4f}, {1e9f + 300.0f, 1e9f, 1.4f}, t));
    EXPECT_EQ(t, 0.0f);
}

}  // namespace
