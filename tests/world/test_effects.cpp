// Explosions started by hits, and the effect events that tell the clients.
#include <cmath>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class HitEffects : public RulesTest {};

// The generator's state after `draws` numbers from seed `seed`.
uint32_t stateAfter(uint32_t seed, int draws) {
    const uint32_t saved = gs.randomState;
    randomSeed(seed);
    for (int i = 0; i < draws; ++i) randomNext();
    const uint32_t s = gs.randomState;
    gs.randomState = saved;
    return s;
}

TEST_F(HitEffects, SmallAndLargeDrawTenNumbersPerPiece) {
    randomSeed(7);
    startSmallExplosion(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(gs.randomState, stateAfter(7, 300));
    startLargeExplosion(4.0f, 5.0f, 6.0f);
    EXPECT_EQ(gs.randomState, stateAfter(7, 1300));

    ASSERT_EQ(explosionCount(), 2);
    const Explosion& small = gs.explosionList[0];
    const Explosion& large = gs.explosionList[1];
    EXPECT_EQ(small.pieceCount, 30);
    EXPECT_EQ(small.lifetime, 10);
    EXPECT_EQ(large.pieceCount, 100);
    EXPECT_EQ(large.lifetime, 30);
    EXPECT_EQ(large.centre.y, 5.0f);
    EXPECT_EQ(small.frame, 0);
    EXPECT_EQ(small.finished, 0);
    EXPECT_EQ(small.effectType, 1);
}

TEST_F(HitEffects, PiecesDrawDirectionSpeedSizeOffsetInThatOrder) {
    randomSeed(11);
    float f[10];
    for (float& v : f) v = randomFraction();
    randomSeed(11);
    startLargeExplosion(0, 0, 0);
    const Explosion& e = gs.explosionList[0];
    const float len = std::sqrt((f[0] - 0.5f) * (f[0] - 0.5f) + (f[1] - 0.5f) * (f[1] - 0.5f) +
                                (f[2] - 0.5f) * (f[2] - 0.5f));
    EXPECT_FLOAT_EQ(e.pieceDirection[0].x, (f[0] - 0.5f) / len);
    EXPECT_FLOAT_EQ(e.pieceDirection[0].z, (f[2] - 0.5f) / len);
    EXPECT_FLOAT_EQ(e.pieceSpeed[0], 0.3f + f[3] * 0.2f);
    EXPECT_FLOAT_EQ(e.pieceSize[0].x, 2.0f * (0.02f + f[4] * 0.08f)) << "large pieces are doubled";
    EXPECT_FLOAT_EQ(e.pieceSize[0].z, 2.0f * (0.02f + f[6] * 0.08f));
    EXPECT_FLOAT_EQ(e.pieceOffset[0].x, (f[7] - 0.5f) * gs.preyExtent.x);
    EXPECT_FLOAT_EQ(e.pieceOffset[0].z, (f[9] - 0.5f) * gs.preyExtent.z);
}

TEST_F(HitEffects, EveryPieceIsInRangeAndHasADirection) {
    randomSeed(0);
    for (int n = 0; n < 50; ++n) startSmallExplosion(0, 0, 0);
    for (const Explosion& e : gs.explosionList)
        for (int k = 0; k < e.pieceCount; ++k) {
            const Vec3 d = e.pieceDirection[k];
            ASSERT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 1.0f, 1e-5f);
            ASSERT_GE(e.pieceSpeed[k], 0.3f);
            ASSERT_LE(e.pieceSpeed[k], 0.5f);
            ASSERT_GE(e.pieceSize[k].y, 0.02f);
            ASSERT_LE(e.pieceSize[k].y, 0.1f);
            ASSERT_LE(std::fabs(e.pieceOffset[k].x), 1.5f);
        }
    // A piece direction is degenerate only when all three fractions are
    // exactly one half; no generator output is, so the redraw never changes
    // the count of numbers drawn.
    for (int n = 0; n <= 32767; ++n)
        ASSERT_NE(static_cast<float>(n) * 3.0518509e-05f - 0.5f, 0.0f) << n;
}

TEST_F(HitEffects, TheServerNotesEachHitForItsClients) {
    gs.isServer = true;
    spawnHitEffect(Vec3{1, 2, 3}, false);
    spawnHitEffect(Vec3{4, 5, 6}, true);
    ASSERT_EQ(effectEventCount(), 2);
    EXPECT_EQ(gs.effectEvents[0].effectKind, EffectSmall);
    EXPECT_EQ(gs.effectEvents[0].z, 3.0f);
    EXPECT_EQ(gs.effectEvents[1].effectKind, EffectLarge);
    EXPECT_EQ(gs.effectEvents[1].x, 4.0f);
    ASSERT_EQ(explosionCount(), 2);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);

    // A client starts explosions from state messages only and notes nothing.
    gs.isServer = false;
    spawnHitEffect(Vec3{7, 8, 9}, false);
    EXPECT_EQ(effectEventCount(), 2);
    EXPECT_EQ(explosionCount(), 3);
}

}  // namespace
