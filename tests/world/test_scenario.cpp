// A game on the shipped level, without a window: fighter 0 walks its
// corridor, turns east, and shoots a prey standing in its line of fire.
#include <cmath>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class KorvathScenario : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        testing::internal::CaptureStdout();
        readMazeMapFile(MAZE_SOURCE_DIR "/assets/korvath.map");
        createFighters();
        resetGame();
        testing::internal::GetCapturedStdout();
        gs.isServer = true;
        gs.clockNowMs = gs.clockPrevMs = 1000;
    }
    Fighter& me() { return gs.fighterList[0]; }
    // Steps with the key held until done() or `limit` steps.
    template <class Done>
    int holdUntil(int key, Done done, int limit) {
        fighterKeyAction(me(), key, false, false);
        int steps = 0;
        while (!done() && steps < limit) {
            stepWorld(20);
            ++steps;
        }
        fighterKeyAction(me(), key, true, false);
        return steps;
    }
};

TEST_F(KorvathScenario, WalkTurnAndDestroyAPrey) {
    ASSERT_EQ(fighterCount(), 9);
    ASSERT_EQ(preyCount(), 16);
    ASSERT_EQ(me().state, InPlay);
    ASSERT_FLOAT_EQ(me().pos.x, 12.0f);
    ASSERT_FLOAT_EQ(me().pos.y, 12.0f);
    ASSERT_FLOAT_EQ(me().dir.y, 1.0f);
    const int startBullets = me().bullets;

    // Down the west corridor to the middle of row 4 (y = 36).
    testing::internal::CaptureStdout();
    const int walked = holdUntil('i', [&] { return me().pos.y >= 36.0f; }, 2000);
    EXPECT_NEAR(walked, 480, 2) << "2.5 units per second";
    EXPECT_NEAR(me().pos.x, 12.0f, 1e-3f);

    // Turn right until facing east along row 4.
    const int turned = holdUntil('l', [&] { return me().dir.y <= 0.01f; }, 500);
    EXPECT_NEAR(turned, 79, 2) << "a quarter turn at 1.0 per second";
    EXPECT_GT(me().dir.x, 0.999f);
    stepWorld(20);

    // A prey walks into the line of fire ten units ahead.
    const int target = addPrey(me().pos.x + 10.0f, me().pos.y);
    const Vec3 preyPos = gs.preyList[target].pos;
    for (int shot = 1; shot <= 3; ++shot) {
        tapKey(me(), ' ');
        ASSERT_EQ(bulletCount(), 1);
        for (int s = 0; s < 10 && bulletCount() > 0; ++s) stepWorld(20);
        EXPECT_EQ(bulletCount(), 0) << "shot " << shot << " hit within a few steps";
    }
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(countOf(out, "fire!!!! \n"), 3);
    EXPECT_EQ(countOf(out, "prey 16  shot!!\n"), 3);
    EXPECT_EQ(countOf(out, "bullet not clear\n"), 3);
    EXPECT_EQ(me().bullets, startBullets - 3);
    EXPECT_EQ(me().score, 1);
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    EXPECT_EQ(preyCount(), 16);
    for (const Prey& p : gs.preyList) EXPECT_FALSE(p.pos.x == preyPos.x && p.pos.y == preyPos.y);

    // Two small explosions, then a large one, each noted for the clients.
    ASSERT_EQ(explosionCount(), 3);
    ASSERT_EQ(effectEventCount(), 3);
    EXPECT_EQ(gs.explosionList[0].pieceCount, 30);
    EXPECT_EQ(gs.explosionList[1].pieceCount, 30);
    EXPECT_EQ(gs.explosionList[2].pieceCount, 100);
    EXPECT_EQ(gs.effectEvents[2].effectKind, EffectLarge);
    EXPECT_EQ(gs.effectEvents[2].x, preyPos.x);
    EXPECT_FLOAT_EQ(me().health, 100.0f);
}

}  // namespace
