// Bodies against the walls of their cell, and the path march.
#include <limits>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

TEST_F(RulesTest, OutsideTheTableIsWall) {
    // A 100-wide map with an open east edge: column 100 does not exist, so
    // it must read as wall rather than past the table.
    buildWalledMaze(100, 100, 4.0f);
    editMaze().cells[50][99] = 0;
    Vec3 p{399.5f, 202.0f, 0.0f};
    EXPECT_TRUE(clampToWalls(p, 50, 99, 1.5f, true));
    EXPECT_EQ(p.x, 398.5f);
    EXPECT_EQ(cellCode(-1, 5), 1);
    EXPECT_EQ(cellCode(5, 100), 1);
    EXPECT_EQ(cellCode(100, 100), 1);
    EXPECT_EQ(cellCode(cellOfCoordinate(1e30f), 3), 1);
}

class PathMarch : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(20, 20, 8.0f);
    }
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
        bool clear = false;
        printedBy([&] { clear = pathClear(c.from, c.to, t, nullptr, nullptr); });
        EXPECT_EQ(clear, c.clear) << c.what;
        EXPECT_TRUE(std::isfinite(t)) << c.what;
        if (c.t != any) {
            EXPECT_NEAR(t, c.t, 1e-5f) << c.what;
        }
    }
}

}  // namespace
