// A game on the shipped level, without a window: fighter 0 walks its
// corridor, turns east, and shoots a prey standing in its line of fire.
#include "rules_helpers.h"

using namespace rulestest;

namespace {

class KorvathScenario : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        printedBy([] {
            readMazeMapFile(MAZE_SOURCE_DIR "/assets/korvath.map");
            createFighters();
            resetGame();
        });
        process.isServer = true;
        process.clockNowMs = process.clockPrevMs = 1000;
    }
    Fighter& me() { return gs.fighterList[0]; }
    // Steps with the key held until done() or `limit` steps; returns the steps.
    template <class Done>
    int holdUntil(int key, Done done, int limit) {
        fighterKeyAction(me(), key, false, false);
        int steps = 0;
        for (; !done() && steps < limit; ++steps) stepWorld(20);
        fighterKeyAction(me(), key, true, false);
        return steps;
    }
};

TEST_F(KorvathScenario, WalkTurnAndDestroyAPrey) {
    ASSERT_EQ(fighterCount(), 9);
    ASSERT_EQ(preyCount(), 16);
    ASSERT_EQ(me().state, FighterState::InPlay);
    ASSERT_EQ(std::pair(me().pos.x, me().pos.y), std::pair(12.0f, 12.0f));
    ASSERT_EQ(me().dir.y, 1.0f);
    const int startBullets = me().bullets;

    // Down the west corridor to the middle of row 4 (y = 36), at 2.5 units a second.
    EXPECT_NEAR(holdUntil('i', [&] { return me().pos.y >= 36.0f; }, 2000), 480, 2);
    EXPECT_NEAR(me().pos.x, 12.0f, 1e-3f);
    // A quarter turn right at 1.0 per second, to face east along row 4.
    EXPECT_NEAR(holdUntil('l', [&] { return me().dir.y <= 0.01f; }, 500), 79, 2);
    EXPECT_GT(me().dir.x, 0.999f);
    stepWorld(20);

    // A prey walks into the line of fire ten units ahead.
    const Vec3 preyPos = gs.preyList[addPrey(me().pos.x + 10.0f, me().pos.y)].pos;
    for (int shot = 1; shot <= 3; ++shot) {
        tapKey(me(), ' ');
        ASSERT_EQ(bulletCount(), 1);
        // The gun's cycle runs out too, so the next tap fires at once.
        for (int s = 0; s < 10 && (bulletCount() > 0 || s * 20 < kFireIntervalMs); ++s) stepWorld(20);
        EXPECT_EQ(bulletCount(), 0) << "shot " << shot << " hit within a few steps";
    }
    EXPECT_EQ(me().bullets, startBullets - 3);
    EXPECT_EQ(me().score, 1);
    EXPECT_EQ(preyCount(), 16);
    for (const Prey& p : gs.preyList) EXPECT_FALSE(p.pos.x == preyPos.x && p.pos.y == preyPos.y);
}

}  // namespace
