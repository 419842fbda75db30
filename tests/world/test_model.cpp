// Directions, headings, the generator and the clock: the small shared pieces
// every subsystem leans on.
#include <array>
#include <string>

#include "rules_helpers.h"

using namespace rulestest;

namespace {
class Model : public RulesTest {};
}  // namespace

TEST_F(Model, DirectionCodesAndHeadings) {
    const float expect[4][3] = {{0, -1, 270}, {1, 0, 0}, {0, 1, 90}, {-1, 0, 180}};  // x, y, heading
    for (int c = 0; c < 4; ++c) {
        const Vec3 v = directionFromCode(c);
        EXPECT_EQ((std::array{v.x, v.y, v.z, headingDegrees(v)}),
                  (std::array{expect[c][0], expect[c][1], 0.0f, expect[c][2]}));
    }
    for (int bad : {4, -1, 1000}) {
        Vec3 v{5, 5, 5};
        EXPECT_EQ(printedBy([&] { v = directionFromCode(bad); }), "invalid direction\n");
        EXPECT_EQ(v.x + v.y, 0.0f);
    }

    EXPECT_EQ(headingDegrees({0, 0, 0}), 90.0f);
    EXPECT_NEAR(headingDegrees({1, 1, 0}), 45.0f, 1e-4);
    EXPECT_NEAR(headingDegrees({-1, -1, 0}), 225.0f, 1e-4);
    EXPECT_EQ(headingDegrees({5e-7f, -1, 0}), 270.0f);  // below 1e-6, x counts as zero
    const float nearFull = headingDegrees({1, -1e-3f, 0});
    EXPECT_TRUE(nearFull > 359.9f && nearFull < 360.0f) << nearFull;
    const float hair = headingDegrees({1, -1e-9f, 0});  // rounding must not reach 360
    EXPECT_TRUE(hair >= 0.0f && hair < 360.0f) << hair;
}

TEST_F(Model, GeneratorSequenceFromSeedZero) {
    randomSeed(0);
    for (int e : {38, 7719, 21238, 2437, 8855}) EXPECT_EQ(randomNext(), e);
    // Fractions cover 0..1 inclusive.
    randomSeed(0);
    EXPECT_NEAR(randomFraction(), 38.0f / 32767.0f, 1e-7);
    for (int i = 0; i < 100000; ++i) {
        const float f = randomFraction();
        ASSERT_TRUE(f >= 0.0f && f <= 1.0f) << f;
    }
}

TEST_F(Model, ClockIntervalAcrossTheMinute) {
    EXPECT_EQ(passIntervalMs(1000, 1016), 16);
    EXPECT_EQ(passIntervalMs(59990, 5), 15);  // the minute turned
    EXPECT_EQ(passIntervalMs(500, 500), 0);
    EXPECT_EQ(passIntervalMs(0, 59999), kMaxStepIntervalMs);  // a long stall is capped
    EXPECT_EQ(clockElapsedMs(59000, 3000), 4000);
    EXPECT_EQ(clockElapsedMs(3000, 59000), 56000);
}

TEST_F(Model, MessageLineKeepsTheTextAndItsTime) {
    gs.clockNowMs = 1234;
    setMessageLine("Mech destroyed.");
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    EXPECT_EQ(gs.messageSetMs, 1234);
    setMessageLine(std::string(2000, 'x').c_str());
    EXPECT_EQ(std::string(gs.messageLine), std::string(kMessageLineSize - 1, 'x'));
}
