// Directions, headings, the generator and the clock: the small shared pieces
// every subsystem leans on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "world/world.h"

namespace {
class Model : public testing::Test {
protected:
    void SetUp() override { resetGameStateForTest(); }
};
}  // namespace

TEST_F(Model, DirectionCodes) {
    const Vec3 expect[4] = {{0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    for (int c = 0; c < 4; ++c) {
        const Vec3 v = directionFromCode(c);
        EXPECT_FLOAT_EQ(v.x, expect[c].x);
        EXPECT_FLOAT_EQ(v.y, expect[c].y);
        EXPECT_FLOAT_EQ(v.z, 0.0f);
    }
    for (int bad : {4, -1, 1000}) {
        testing::internal::CaptureStdout();
        const Vec3 v = directionFromCode(bad);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "invalid direction\n");
        EXPECT_EQ(v.x, 0.0f);
        EXPECT_EQ(v.y, 0.0f);
    }
}

TEST_F(Model, Headings) {
    EXPECT_FLOAT_EQ(headingDegrees({1, 0, 0}), 0.0f);
    EXPECT_FLOAT_EQ(headingDegrees({0, 1, 0}), 90.0f);
    EXPECT_FLOAT_EQ(headingDegrees({-1, 0, 0}), 180.0f);
    EXPECT_FLOAT_EQ(headingDegrees({0, -1, 0}), 270.0f);
    EXPECT_FLOAT_EQ(headingDegrees({0, 0, 0}), 90.0f);
    EXPECT_NEAR(headingDegrees({1, 1, 0}), 45.0f, 1e-4);
    EXPECT_NEAR(headingDegrees({-1, -1, 0}), 225.0f, 1e-4);
    const float nearFull = headingDegrees({1, -1e-3f, 0});
    EXPECT_LT(nearFull, 360.0f);
    EXPECT_GT(nearFull, 359.9f);
    // Below the 1e-6 threshold x counts as zero.
    EXPECT_FLOAT_EQ(headingDegrees({5e-7f, -1, 0}), 270.0f);
    // Always inside [0, 360), even a hair below +x.
    const float h = headingDegrees({1, -1e-9f, 0});
    EXPECT_GE(h, 0.0f);
    EXPECT_LT(h, 360.0f);
    // Direction codes and headings agree.
    for (int c = 0; c < 4; ++c)
        EXPECT_FLOAT_EQ(headingDegrees(directionFromCode(c)), c == 0 ? 270.0f : 90.0f * (c - 1));
}

TEST_F(Model, GeneratorSequenceFromSeedZero) {
    randomSeed(0);
    const int expect[5] = {38, 7719, 21238, 2437, 8855};
    for (int e : expect) EXPECT_EQ(randomNext(), e);
    randomSeed(0);
    EXPECT_NEAR(randomFraction(), 38.0f / 32767.0f, 1e-7);
    // Fractions cover 0..1 inclusive.
    randomSeed(12345);
    for (int i = 0; i < 100000; ++i) {
        const float f = randomFraction();
        ASSERT_GE(f, 0.0f);
        ASSERT_LE(f, 1.0f);
    }
}

TEST_F(Model, ClockIntervalAcrossTheMinute) {
    EXPECT_EQ(passIntervalMs(1000, 1016), 16);
    EXPECT_EQ(passIntervalMs(59990, 5), 15);      // the minute turned
    EXPECT_EQ(passIntervalMs(500, 500), 0);
    EXPECT_EQ(passIntervalMs(0, 59999), kMaxStepIntervalMs);  // a long stall is capped
    EXPECT_EQ(clockElapsedMs(59000, 3000), 4000);
    EXPECT_EQ(clockElapsedMs(3000, 59000), 56000);
}

TEST_F(Model, RemovalMovesTheLastIntoTheGap) {
    std::vector<int> v{10, 11, 12, 13};
    removeAt(v, 1);
    EXPECT_EQ(v, (std::vector<int>{10, 13, 12}));
    removeAt(v, 2);
    EXPECT_EQ(v, (std::vector<int>{10, 13}));
    removeAt(v, 0);
    removeAt(v, 0);
    EXPECT_TRUE(v.empty());
}

TEST_F(Model, CellsOutsideTheGridAreWalls) {
    gs.mazeCols = gs.mazeRows = 100;
    EXPECT_EQ(cellCode(-1, 5), 1);
    EXPECT_EQ(cellCode(5, 100), 1);
    EXPECT_EQ(cellCode(100, 100), 1);
    EXPECT_EQ(cellCode(5, 5), 0);
}

TEST_F(Model, MessageLineKeepsTheTextAndItsTime) {
    gs.clockNowMs = 1234;
    setMessageLine("Mech destroyed.");
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    EXPECT_EQ(gs.messageSetMs, 1234);
    const std::string longText(2000, 'x');
    setMessageLine(longText.c_str());
    EXPECT_EQ(std::string(gs.messageLine).size(), static_cast<size_t>(kMessageLineSize - 1));
}
