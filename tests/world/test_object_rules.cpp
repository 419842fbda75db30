// test_object_rules.cpp -- the GL-free decisions of the object drawing and
// the effects: missile racks, detail levels, lamp turns, the prey's
// collision rule, the glow ball's shells, the flame's particles and the
// explosion's life.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/render.h"

namespace {

class ObjectRules : public testing::Test {
protected:
    void SetUp() override { resetGameStateForTest(); }
};

// How many numbers the generator gave between two of its states, from seed.
int drawsBetween(uint32_t seed, uint32_t after) {
    randomSeed(seed);
    for (int n = 0; n < 100000; ++n) {
        if (gs.randomState == after) return n;
        randomNext();
    }
    return -1;
}

TEST_F(ObjectRules, MissileRacksFillExistingPlacesInReadingOrder) {
    bool filled[2][kRackRows][kRackPlaces];
    EXPECT_EQ(fillMissileRacks(26, filled), 26);
    for (int rack = 0; rack < 2; ++rack)
        for (int row = 0; row < kRackRows; ++row)
            for (int place = 0; place < kRackPlaces; ++place)
                EXPECT_EQ(filled[rack][row][place], kRackPattern[row][place] != 0);
    // 14: the first rack full, the second shows one, in its first place.
    EXPECT_EQ(fillMissileRacks(14, filled), 14);
    int second = 0;
    for (int row = 0; row < kRackRows; ++row)
        for (int place = 0; place < kRackPlaces; ++place) {
            EXPECT_EQ(filled[0][row][place], kRackPattern[row][place] != 0);
            second += filled[1][row][place];
        }
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(filled[1][0][0]);
    for (int missiles : {0, -3}) {
        EXPECT_EQ(fillMissileRacks(missiles, filled), 0);
        for (auto& rack : filled)
            for (auto& row : rack)
                for (bool b : row) EXPECT_FALSE(b);
    }
    EXPECT_EQ(fillMissileRacks(1000, filled), 26) << "only 26 places exist";
}

TEST_F(ObjectRules, DetailLevelsNeverLeaveTheTables) {
    for (int level = -5; level < 15; ++level) {
        const int d = clampDetailLevel(level);
        EXPECT_GE(d, 0);
        EXPECT_LT(d, kDetailLevels);
        const int mesh = preyMeshLevel(level);
        EXPECT_TRUE(mesh >= 0 && mesh < kPreyMeshLevels);
        if (level >= 0 && level <= 5) {
            EXPECT_EQ(mesh, level);
        } else if (level >= 6) {
            EXPECT_EQ(mesh, 0) << "levels 6..8 (and above) draw the most detailed prey";
        }
    }
}

TEST_F(ObjectRules, EachLampPointsOutOfItsFace) {
    // The lamp reaches out along its model -x axis.
    const float outward[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    for (int side = 0; side < 4; ++side) {
        const float a = lampTurnDegrees(side, 0.0f) * 3.14159265f / 180.0f;
        EXPECT_NEAR(-std::cos(a), outward[side][0], 1e-5f) << "side " << side;
        EXPECT_NEAR(-std::sin(a), outward[side][1], 1e-5f) << "side " << side;
    }
    EXPECT_FLOAT_EQ(lampTurnDegrees(7, 45.0f), 315.0f) << "no side: turned by the viewer's heading";
}

TEST_F(ObjectRules, APreyTooCloseToAFighterInPlayIsLeftOut) {
    Fighter f;
    f.pos = Vec3{10.0f, 10.0f, kFighterHeight};
    f.state = InPlay;
    // Both extents 3: closer than 3 / 1.2 = 2.5 in the ground plane.
    EXPECT_TRUE(preyCollidesWithFighter(Vec3{12.49f, 10.0f, 1.5f}, f));
    EXPECT_FALSE(preyCollidesWithFighter(Vec3{12.5f, 10.0f, 1.5f}, f));
    EXPECT_TRUE(preyCollidesWithFighter(Vec3{11.0f, 11.0f, 50.0f}, f)) << "height does not count";
    for (int32_t state : {Dead, Absent}) {
        f.state = state;
        EXPECT_FALSE(preyCollidesWithFighter(Vec3{10.0f, 10.0f, 1.5f}, f));
    }
}

TEST_F(ObjectRules, OnlySpheresWhollyOutsideTheViewAreHidden) {
    view = ViewState{};
    view.cameraEye = Vec3{10.0f, 10.0f, 1.7f};
    view.cameraDir = Vec3{1.0f, 0.0f, 0.0f};
    // 640 x 480 with 90 degrees vertical: the right edge is 53.13 degrees
    // off the axis, the top edge 45.
    EXPECT_FALSE(sphereOutsideView(Vec3{30.0f, 10.0f, 1.7f}, 0.1f)) << "straight ahead";
    EXPECT_TRUE(sphereOutsideView(Vec3{5.0f, 10.0f, 1.7f}, 2.0f)) << "behind";
    EXPECT_FALSE(sphereOutsideView(Vec3{9.0f, 10.0f, 1.7f}, 2.0f)) << "reaching past the eye";
    // 20 ahead, off to the right (-y) beyond the edge: 20 x 4/3 = 26.7.
    EXPECT_TRUE(sphereOutsideView(Vec3{30.0f, 10.0f - 30.0f, 1.7f}, 1.0f));
    EXPECT_FALSE(sphereOutsideView(Vec3{30.0f, 10.0f - 30.0f, 1.7f}, 3.0f)) << "its edge in view";
    EXPECT_FALSE(sphereOutsideView(Vec3{30.0f, 10.0f + 26.0f, 1.7f}, 0.1f));
    EXPECT_TRUE(sphereOutsideView(Vec3{30.0f, 10.0f, 1.7f + 21.0f}, 0.5f)) << "above the top";
    view.cameraDir = Vec3{};
    EXPECT_FALSE(sphereOutsideView(Vec3{-100.0f, 0.0f, 0.0f}, 0.1f)) << "no direction hides nothing";
}

TEST_F(ObjectRules, GlowBallShellsFadeFromWarmToRedAndClear) {
    randomSeed(3);
    makeGlowBall(glowBall);
    EXPECT_EQ(drawsBetween(3, gs.randomState), 60) << "three fractions per shell";
    for (int k = 1; k <= kGlowShells; ++k) {
        const GlowShell& s = glowBall.shells[k - 1];
        EXPECT_NEAR(s.radius, k * 0.005f, 1e-6f);
        EXPECT_NEAR(s.colour[3], 1.0f - k * 0.05f, 1e-5f);
        for (float o : {s.offset.x, s.offset.y, s.offset.z}) EXPECT_LE(std::fabs(o), 0.02f + 1e-6f);
        if (k <= 14) {
            EXPECT_FLOAT_EQ(s.colour[0], 1.0f);
            EXPECT_FLOAT_EQ(s.colour[1], 0.8f);
            EXPECT_FLOAT_EQ(s.colour[2], 0.4f);
        } else {
            EXPECT_NEAR(s.colour[1], 0.8f * (1.0f - k * 0.05f), 1e-5f) << "shell " << k;
        }
    }
    const GlowShell& outer = glowBall.shells[kGlowShells - 1];
    EXPECT_NEAR(outer.colour[0], 1.0f, 1e-6f);
    EXPECT_NEAR(outer.colour[1], 0.0f, 1e-6f);
    EXPECT_NEAR(outer.colour[2], 0.0f, 1e-6f);
    EXPECT_NEAR(outer.colour[3], 0.0f, 1e-6f);
}

TEST_F(ObjectRules, FlameAlphaIsOpaqueOnTheAxisAndFadesOutward) {
    const float spread[3] = {0.1f, 0.1f, 0.4f};
    EXPECT_FLOAT_EQ(flameAlpha(Vec3{0.01f, 0.0f, 0.2f}, spread, 0.7f), 1.0f) << "near the axis, low";
    // On the axis at height 0: k = -0.3, more than opaque.
    EXPECT_NEAR(flameAlpha(Vec3{}, spread, 0.0f), 1.0f + 0.3f / 1.44f, 1e-5f);
    EXPECT_NEAR(flameAlpha(Vec3{}, spread, 1.0f), 1.0f + 1.2f * 0.3f / 1.44f, 1e-5f);
    // Higher and further out the alpha falls, and the fraction makes it fall faster.
    const Vec3 high{0.05f, 0.0f, 0.4f}, higher{0.05f, 0.0f, 0.6f}, wide{0.1f, 0.0f, 0.4f};
    EXPECT_GT(flameAlpha(high, spread, 0.0f), flameAlpha(higher, spread, 0.0f));
    EXPECT_GT(flameAlpha(high, spread, 0.0f), flameAlpha(wide, spread, 0.0f));
    EXPECT_GT(flameAlpha(high, spread, 0.0f), flameAlpha(high, spread, 1.0f));
    EXPECT_LT(flameAlpha(Vec3{0.5f, 0.0f, 1.0f}, spread, 0.0f), 0.0f) << "far out: invisible";
}

TEST_F(ObjectRules, FlameParticlesAreBornNearTheOriginAndWalkTheirTrail) {
    randomSeed(11);
    setupFlame();
    EXPECT_EQ(drawsBetween(11, gs.randomState), 7 * kFlameParticles);
    for (int p = 0; p < kFlameParticles; ++p) {
        const FlameParticle& n = flame.trail[p][0];
        EXPECT_LE(std::hypot(n.pos.x, n.pos.y), 0.1f + 1e-6f);
        EXPECT_EQ(n.pos.z, 0.0f);
        EXPECT_NEAR(std::sqrt(n.dir.x * n.dir.x + n.dir.y * n.dir.y + n.dir.z * n.dir.z), 1.0f, 1e-5f);
        EXPECT_GT(n.dir.z, 0.0f);
        for (float s : n.speed) EXPECT_TRUE(s >= 0.0f && s <= 0.04f + 1e-7f);
        EXPECT_EQ(n.colour[3], 1.0f);
        for (int a = 1; a < kFlameTrail; ++a) EXPECT_EQ(flame.trail[p][a].pos.x, n.pos.x);
    }
    // One step: a new newborn row, and every older age is its younger
    // neighbour advanced one step, one fraction each.
    const FlameSystem before = flame;
    randomSeed(12);
    stepFlame();
    EXPECT_EQ(drawsBetween(12, gs.randomState), 7 * kFlameParticles + 9 * kFlameParticles);
    for (int p = 0; p < kFlameParticles; ++p)
        for (int a = 1; a < kFlameTrail; ++a) {
            const FlameParticle& was = before.trail[p][a - 1];
            const FlameParticle& now = flame.trail[p][a];
            EXPECT_FLOAT_EQ(now.pos.x, was.pos.x + was.dir.x * was.speed[0]);
            EXPECT_FLOAT_EQ(now.pos.z, was.pos.z + was.dir.z * was.speed[2]);
            EXPECT_FLOAT_EQ(now.dir.y, was.dir.y);
        }
    EXPECT_NE(flame.trail[0][0].pos.x, before.trail[0][0].pos.x) << "a new row is born";
}

// One drawing's rule work, without GL: the motion, the flash, the count.
struct DrawingSeen {
    bool flash;
    float emission;
};

TEST_F(ObjectRules, ExplosionsFlashThenFinishAtTheirTwelfthOrThirtySecondDrawing) {
    for (bool large : {false, true}) {
        resetGameStateForTest();
        if (large) startLargeExplosion(1, 2, 3);
        else startSmallExplosion(1, 2, 3);
        Explosion& e = gs.explosionList[0];
        std::vector<DrawingSeen> seen;
        while (!e.finished && seen.size() < 100) {
            moveExplosionPieces(e);
            float em[3] = {-1, -1, -1};
            const bool flash = explosionFlash(e, em);
            seen.push_back({flash, em[0]});
            endExplosionFrame(e);
        }
        ASSERT_EQ(seen.size(), large ? 32u : 12u);
        const size_t flashes = large ? 15 : 5;
        for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].flash, i < flashes) << i;
        EXPECT_FLOAT_EQ(seen[0].emission, 1.0f);
        EXPECT_FLOAT_EQ(seen[1].emission, 0.5f);
        EXPECT_FLOAT_EQ(seen[2].emission, 1.0f / 3.0f);
        EXPECT_FLOAT_EQ(seen[3].emission, 0.8f) << "then red";
    }
}

}  // namespace
