// Explosions started by hits, and the effect events that tell the clients.
#include <array>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class HitEffects : public RulesTest {};

TEST_F(HitEffects, OnlyTheServerNotesHitsForItsClients) {
    process.isServer = true;
    spawnHitEffect(Vec3{1, 2, 3}, false);
    ASSERT_EQ(effectEventCount(), 1);
    const EffectEvent& ev = gs.effectEvents[0];
    EXPECT_EQ((std::array{ev.x, ev.y, ev.z}), (std::array{1.0f, 2.0f, 3.0f}));
    // A client starts explosions from state messages only and notes nothing.
    process.isServer = false;
    spawnHitEffect(Vec3{7, 8, 9}, true);
    EXPECT_EQ(effectEventCount(), 1);
    ASSERT_EQ(explosionCount(), 2);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 100);
}

}  // namespace
