// Directions, headings, the generator and the clock: the small shared pieces
// every subsystem leans on.
#include <string>

#include "rules_helpers.h"

using namespace rulestest;

namespace {
class Model : public RulesTest {};
}  // namespace

// The four codes are read with every level (see test_level); here the edges.
TEST_F(Model, BadDirectionCodesAndHeadingEdges) {
    for (int bad : {4, -1, 1000}) {
        Vec3 v{5, 5, 5};
        printedBy([&] { v = directionFromCode(bad); });
        EXPECT_EQ(v.x + v.y, 0.0f);
    }
    EXPECT_EQ(headingDegrees({0, 0, 0}), 90.0f);
    EXPECT_NEAR(headingDegrees({-1, -1, 0}), 225.0f, 1e-4);
    EXPECT_EQ(headingDegrees({5e-7f, -1, 0}), 270.0f);  // below 1e-6, x counts as zero
    const float hair = headingDegrees({1, -1e-9f, 0});  // rounding must not reach 360
    EXPECT_TRUE(hair >= 0.0f && hair < 360.0f) << hair;
}

TEST_F(Model, GeneratorFractionsCoverZeroToOne) {
    randomSeed(0);
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
