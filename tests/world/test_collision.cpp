// Bodies against the walls of their cell, and the path march.
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

TEST_F(WallClamp, StrictTouchAndAStopAtTheRadiusFromEachSideWall) {
    gs.mazeCells[2][3] = 1;  // east of cell (2, 2), whose x runs 8..12
    Vec3 p{11.0f, 10.0f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, false));
    EXPECT_EQ(p.x, 11.0f) << "a check alone moves nothing";
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(p.x, 10.5f);
    EXPECT_EQ(p.y, 10.0f) << "only the coordinate that crosses the face moves";
    EXPECT_FALSE(clampToWalls(p, 2, 2, 1.5f, true)) << "exactly the radius away is not touching";

    gs.mazeCells[1][2] = gs.mazeCells[3][2] = gs.mazeCells[2][1] = 1;
    p = Vec3{8.2f, 8.3f, 0.0f};  // up-left corner of cell (2, 2)
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(9.5f, 9.5f));
    p = Vec3{11.9f, 11.7f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 2, 2, 1.5f, true));
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(10.5f, 10.5f));
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
    EXPECT_EQ(cellCode(-1, 5), 1);
    EXPECT_EQ(cellCode(5, 100), 1);
    EXPECT_EQ(cellCode(100, 100), 1);
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
    // Marches a -> b; the march's output goes to `printed`.
    bool walk(Vec3 a, Vec3 b, float& t, const void* ignoreA = nullptr, const void* ignoreB = nullptr) {
        bool clear = false;
        printed = printedBy([&] { clear = pathClear(a, b, t, ignoreA, ignoreB); });
        return clear;
    }
    std::string printed;
};

TEST_F(PathMarch, WallsFloorCeilingAndDegenerateSegments) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float any = -1.0f;
    const struct {
        Vec3 from, to;
        bool clear;
        float t;
        const char* what;
    } cases[] = {
        {{20, 20, 1.4f}, {23, 20, 1.4f}, true, 14 * 0.2f / 3.0f, "open ground: within 0.25 after 14 steps"},
        {{4, 20, 1.4f}, {7.5f, 20, 1.4f}, false, 0.0f, "starting inside a wall cell"},
        {{8.1f, 20, 1.4f}, {8.1f, 23, 1.4f}, false, 0.0f, "along the west wall, 0.1 from its face"},
        {{149.1f, 20, 1.4f}, {153, 20, 1.4f}, false, 14 * 0.2f / 3.9f, "east wall, found past 151.8"},
        {{20, 20, 0.5f}, {23, 20, 0.0f}, false, any, "into the floor"},
        {{20, 20, 19.5f}, {23, 20, 19.8f}, true, any, "under the ceiling (row count less 0.1)"},
        {{20, 20, 19.5f}, {23, 20, 20.5f}, false, any, "through the ceiling"},
        {{20, 20, 1.4f}, {20, 20, 1.4f}, true, 0.0f, "zero length"},
        {{20, 20, 1.4f}, {20.1f, 20, 5.0f}, true, any, "nearly vertical"},
        {{nan, 20, 1.4f}, {23, 20, 1.4f}, false, 0.0f, "not a number"},
        {{1e9f, 1e9f, 1.4f}, {1e9f + 300.0f, 1e9f, 1.4f}, false, 0.0f, "far outside the table"},
    };
    for (const auto& c : cases) {
        float t = -1;
        EXPECT_EQ(walk(c.from, c.to, t), c.clear) << c.what;
        EXPECT_EQ(printed, c.clear ? "" : "bullet not clear\n") << c.what;
        EXPECT_TRUE(std::isfinite(t)) << c.what;
        if (c.t != any) {
            EXPECT_NEAR(t, c.t, 1e-5f) << c.what;
        }
    }
}

TEST_F(PathMarch, LiveBodiesBlockOneStepBeyond) {
    const Vec3 a{20.0f, 40.0f, 1.4f}, b{23.0f, 40.0f, 1.4f};
    const int f = addFighter(22.0f, 40.0f, kEast);
    float t = -1;
    // W reaches 20.6 (1.4 from the fighter) after 3 steps; a fourth is taken.
    EXPECT_FALSE(walk(a, b, t));
    EXPECT_NEAR(t, 4 * 0.2f / 3.0f, 1e-5f);
    for (const int state : {Dead, Absent}) {
        gs.fighterList[f].state = state;
        EXPECT_TRUE(walk(a, b, t)) << "the dead and the absent do not block";
    }
    const int p = addPrey(22.0f, 40.0f);
    gs.preyList[p].mode = Hunt;  // a prey's mode never matters
    EXPECT_FALSE(walk(a, b, t));
    // Line of sight ignores the looker and its target, and says so differently.
    gs.fighterList[f].state = InPlay;
    EXPECT_TRUE(walk(a, b, t, &gs.preyList[p], &gs.fighterList[f]));
    EXPECT_FALSE(walk(a, b, t, &gs.preyList[p], nullptr));
    EXPECT_EQ(printed, "not clear \n");

    // More bodies beside the path than the march keeps at hand: the one in
    // the way must still be found.
    gs.fighterList.clear();
    gs.preyList.clear();
    for (int i = 0; i < 80; ++i) addPrey(20.0f + 0.03f * i, 41.8f);
    addPrey(22.0f, 40.0f);
    EXPECT_FALSE(walk(a, b, t));
    EXPECT_NEAR(t, 4 * 0.2f / 3.0f, 1e-5f);
}

}  // namespace
