// Explosions started by hits, and the effect events that tell the clients.
#include <array>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class HitEffects : public RulesTest {};

// The generator's state after `draws` numbers from seed `seed`.
uint32_t stateAfter(uint32_t seed, int draws) {
    randomSeed(seed);
    for (int i = 0; i < draws; ++i) randomNext();
    return gs.randomState;
}

TEST_F(HitEffects, SmallAndLargeDrawTenNumbersPerPiece) {
    const uint32_t after300 = stateAfter(7, 300), after1300 = stateAfter(7, 1300);
    randomSeed(7);
    startSmallExplosion(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(gs.randomState, after300);
    startLargeExplosion(4.0f, 5.0f, 6.0f);
    EXPECT_EQ(gs.randomState, after1300);
    ASSERT_EQ(explosionCount(), 2);
    EXPECT_EQ(gs.explosionList[0].pieceCount, 30);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);
    EXPECT_EQ(gs.explosionList[1].centre.y, 5.0f);
}

TEST_F(HitEffects, EveryPieceHasADirection) {
    randomSeed(0);
    for (int n = 0; n < 50; ++n) startSmallExplosion(0, 0, 0);
    for (const Explosion& e : gs.explosionList)
        for (int k = 0; k < e.pieceCount; ++k) {
            const Vec3 d = e.pieceDirection[k];
            ASSERT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 1.0f, 1e-5f);
        }
    // A piece direction is degenerate only when all three fractions are
    // exactly one half; no generator output is, so the redraw never changes
    // the count of numbers drawn.
    for (int n = 0; n <= 32767; ++n) ASSERT_NE(static_cast<float>(n) * 3.0518509e-05f, 0.5f) << n;
}

TEST_F(HitEffects, OnlyTheServerNotesHitsForItsClients) {
    gs.isServer = true;
    spawnHitEffect(Vec3{1, 2, 3}, false);
    ASSERT_EQ(effectEventCount(), 1);
    const EffectEvent& ev = gs.effectEvents[0];
    EXPECT_EQ((std::array{ev.x, ev.y, ev.z}), (std::array{1.0f, 2.0f, 3.0f}));
    // A client starts explosions from state messages only and notes nothing.
    gs.isServer = false;
    spawnHitEffect(Vec3{7, 8, 9}, true);
    EXPECT_EQ(effectEventCount(), 1);
    ASSERT_EQ(explosionCount(), 2);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);
}

}  // namespace
