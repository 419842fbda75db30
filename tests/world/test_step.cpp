// The world step: bodies, walls, the interval, bullets, hits, score,
// regeneration and removals.
#include <cmath>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

constexpr Vec3 kEast{1.0f, 0.0f, 0.0f};

class WorldStepRules : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(12, 20, 8.0f);
    }
    // One step with its standard output captured in `printed`.
    void quietStep(int ms = 20) {
        testing::internal::CaptureStdout();
        stepWorld(ms);
        printed = testing::internal::GetCapturedStdout();
    }
    std::string printed;
};

TEST_F(WorldStepRules, BodiesRefuseEachOtherAndRetry) {
    const int a = addFighter(36.0f, 36.0f, kEast);
    const int b = addFighter(39.2f, 36.0f, kEast);
    gs.fighterList[a].keyDown[int{'i'}] = 1;
    quietStep(100);
    EXPECT_EQ(gs.fighterList[a].pos.x, 36.0f) << "a proposal closer than 3.0 is refused";
    EXPECT_EQ(gs.fighterList[a].movePending, 1) << "and kept for the next step";
    EXPECT_EQ(gs.fighterList[b].moveAllowed, 0) << "the one standing still is marked too";

    gs.fighterList[a].keyDown[int{'i'}] = 0;
    gs.fighterList[b].pos.x = gs.fighterList[b].nextPos.x = 60.0f;
    quietStep(100);
    EXPECT_FLOAT_EQ(gs.fighterList[a].pos.x, 36.25f) << "the kept move goes through once free";
    EXPECT_EQ(gs.fighterList[a].movePending, 0);
}

TEST_F(WorldStepRules, PreyAndFightersKeepTheirDistance) {
    const int f = addFighter(36.0f, 36.0f, kEast);
    const int p = addPrey(38.9f, 36.0f);
    const int q = addPrey(60.0f, 36.0f);
    const int r = addPrey(62.9f, 36.0f);
    quietStep();
    EXPECT_EQ(gs.fighterList[f].moveAllowed, 0);
    EXPECT_EQ(gs.preyList[p].moveAllowed, 0);
    EXPECT_EQ(gs.preyList[q].moveAllowed, 0);
    EXPECT_EQ(gs.preyList[r].moveAllowed, 0);
    // A dead fighter is no body at all.
    gs.fighterList[f].state = Dead;
    gs.preyList[r].pos.x = gs.preyList[r].nextPos.x = 70.0f;
    quietStep();
    EXPECT_EQ(gs.preyList[p].moveAllowed, 1);
}

TEST_F(WorldStepRules, FighterSlidesAlongAWall) {
    gs.mazeCells[1][2] = 1;  // north of cell (2, 2): y below 16
    const int f = addFighter(20.0f, 17.6f, Vec3{0.6f, -0.8f, 0.0f});
    gs.fighterList[f].keyDown[int{'i'}] = 1;
    quietStep(100);
    EXPECT_FLOAT_EQ(gs.fighterList[f].pos.x, 20.15f);
    EXPECT_FLOAT_EQ(gs.fighterList[f].pos.y, 17.5f);
}

TEST_F(WorldStepRules, HeldMotionFollowsTheClockAcrossTheMinute) {
    const int f = addFighter(36.0f, 36.0f, kEast);
    gs.fighterList[f].keyDown[int{'i'}] = 1;
    gs.clockNowMs = 59990;
    quietStep(20);  // the clock wraps to 10
    EXPECT_NEAR(gs.fighterList[f].pos.x, 36.05f, 1e-5f);
    quietStep(5000);  // a stall counts as 250 ms at most
    EXPECT_NEAR(gs.fighterList[f].pos.x, 36.675f, 1e-4f);
}

TEST_F(WorldStepRules, PreyDiesOnTheThirdHitAndScoresForTheShooter) {
    addFighter(100.0f, 60.0f, kEast);  // the shooter, far away
    const int p = addPrey(60.0f, 36.0f);
    const Vec3 preyPos = gs.preyList[p].pos;
    for (int hit = 1; hit <= 3; ++hit) {
        addBullet(Vec3{56.0f, 36.0f, 1.4f}, kEast, 0);
        quietStep();
        EXPECT_NE(printed.find("prey 0  shot!!\n"), std::string::npos);
        EXPECT_EQ(bulletCount(), 0) << "a bullet that hits is gone";
        ASSERT_EQ(explosionCount(), hit);
        ASSERT_EQ(effectEventCount(), hit);
        const bool kill = hit == 3;
        EXPECT_EQ(gs.explosionList.back().pieceCount, kill ? 100 : 30);
        EXPECT_EQ(gs.effectEvents.back().effectKind, kill ? EffectLarge : EffectSmall);
        EXPECT_EQ(gs.effectEvents.back().x, preyPos.x);
        EXPECT_EQ(gs.explosionList.back().centre.z, preyPos.z);
        if (!kill) {
            EXPECT_FLOAT_EQ(gs.preyList[p].health, 100.0f - 40.0f * hit);
        }
    }
    EXPECT_EQ(preyCount(), 0);
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    EXPECT_EQ(gs.fighterList[0].score, 1);
}

TEST_F(WorldStepRules, OneKillGivesOnePointEvenUnderTwoBullets) {
    addFighter(100.0f, 60.0f, kEast);
    const int p = addPrey(60.0f, 36.0f);
    gs.preyList[p].health = 20.0f;
    addBullet(Vec3{56.0f, 36.0f, 1.4f}, kEast, 0);
    addBullet(Vec3{56.0f, 36.5f, 1.4f}, kEast, 0);
    quietStep();
    EXPECT_EQ(countOf(printed, "shot!!"), 1);
    EXPECT_EQ(gs.fighterList[0].score, 1);
    EXPECT_EQ(explosionCount(), 1);
    EXPECT_EQ(effectEventCount(), 1);
    EXPECT_EQ(preyCount(), 0);
    // The wreck is gone: the second bullet flies on through where it stood.
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, 59.0f);
}

TEST_F(WorldStepRules, OneBulletHitsEveryPreyNearItsStopButNoFighter) {
    addPrey(60.0f, 35.0f);
    addPrey(60.0f, 37.5f);
    addBullet(Vec3{55.0f, 36.25f, 1.4f}, kEast);
    quietStep();  // to x = 58, then on into the prey
    quietStep();
    EXPECT_EQ(countOf(printed, "shot!!"), 2);
    EXPECT_FLOAT_EQ(gs.preyList[0].health, 60.0f);
    EXPECT_FLOAT_EQ(gs.preyList[1].health, 60.0f);

    // A fighter just beyond where the prey stopped the bullet is spared.
    resetGameStateForTest();
    buildWalledMaze(12, 20, 8.0f);
    addPrey(60.0f, 37.25f);
    const int f = addFighter(60.8f, 36.0f, kEast);
    addBullet(Vec3{55.0f, 36.0f, 1.4f}, kEast);
    quietStep();
    quietStep();
    EXPECT_FLOAT_EQ(gs.preyList[0].health, 60.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[f].health, 100.0f);
}

TEST_F(WorldStepRules, FighterDiesOnTheTwentyFirstHit) {
    addFighter(20.0f, 20.0f, kEast);  // the shooter
    const int f = addFighter(60.0f, 36.0f, kEast);
    int hits = 0;
    while (gs.fighterList[f].state == InPlay && hits < 30) {
        addBullet(Vec3{56.0f, 36.0f, 1.4f}, kEast, 0);
        quietStep();
        ++hits;
        if (hits == 1) {
            EXPECT_EQ(printed, "bullet not clear\nfighter 1  shot!!\nfighter 1  health 95\n");
        }
        if (hits == 20) {
            EXPECT_FLOAT_EQ(gs.fighterList[f].health, 0.0f);
            EXPECT_EQ(gs.effectEvents.back().effectKind, EffectSmall);
        }
    }
    EXPECT_EQ(hits, 21);
    EXPECT_NE(printed.find("fighter 1 DEAD \n"), std::string::npos);
    EXPECT_STREQ(gs.messageLine, "Fighter 1 dead!!");
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectLarge);
    EXPECT_EQ(gs.fighterList[0].score, 0) << "killing a fighter scores nothing";
    // The dead neither stop bullets nor take hits.
    addBullet(Vec3{56.0f, 36.0f, 1.4f}, kEast, 0);
    quietStep();
    EXPECT_EQ(printed, "");
    EXPECT_EQ(bulletCount(), 1);
}

TEST_F(WorldStepRules, FreshShotsNeverHitTheirShooter) {
    const int f = addFighter(44.0f, 44.0f, kEast, 100);
    for (int i = 0; i < 72; ++i) {
        const float a = static_cast<float>(i) * 5.0f * 0.0174533f;
        gs.fighterList[f].dir = Vec3{std::cos(a), std::sin(a), 0.0f};
        testing::internal::CaptureStdout();
        tapKey(gs.fighterList[f], ' ');
        testing::internal::GetCapturedStdout();
        quietStep();
        EXPECT_EQ(printed.find("fighter 0"), std::string::npos) << "heading " << i * 5;
    }
    EXPECT_FLOAT_EQ(gs.fighterList[f].health, 100.0f);
}

TEST_F(WorldStepRules, BulletsFlyThreeUnitsAndReportFloorAndCeiling) {
    addBullet(Vec3{30.0f, 36.0f, 1.4f}, kEast);
    quietStep(5);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, 33.0f);
    quietStep(200);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, 36.0f);

    gs.bulletList.clear();
    addBullet(Vec3{30.0f, 36.0f, 0.5f}, Vec3{0.6f, 0.0f, -0.8f});
    quietStep();
    EXPECT_EQ(printed, "bullet not clear\nhit ground\n");
    addBullet(Vec3{30.0f, 36.0f, 11.5f}, Vec3{0.6f, 0.0f, 0.8f});
    quietStep();
    EXPECT_EQ(printed, "bullet not clear\nhit ceiling\n");
    EXPECT_EQ(bulletCount(), 0);
}

TEST_F(WorldStepRules, RemovalMovesTheLastIntoEachGap) {
    for (int i = 0; i < 4; ++i) {
        addBullet(Vec3{30.0f, 20.0f + 8.0f * i, 1.4f}, kEast);
        gs.bulletList.back().tag = i;
        gs.bulletList.back().spent = (i == 0 || i == 2);
        addPrey(100.0f, 20.0f + 8.0f * i);
        gs.preyList.back().destroyed = (i == 1);
        Explosion e;
        e.centre.x = static_cast<float>(i);
        e.finished = (i != 3);
        gs.explosionList.push_back(e);
    }
    quietStep();
    ASSERT_EQ(bulletCount(), 2);
    EXPECT_EQ(gs.bulletList[0].tag, 3);
    EXPECT_EQ(gs.bulletList[1].tag, 1);
    ASSERT_EQ(preyCount(), 3);
    EXPECT_FLOAT_EQ(gs.preyList[1].pos.y, 44.0f) << "the last prey took the gap";
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].centre.x, 3.0f);
}

TEST_F(WorldStepRules, RegenerationIsPerPassAndOnlyForTheLiving) {
    const int a = addFighter(20, 20, kEast);
    const int b = addFighter(40, 20, kEast);
    const int c = addFighter(60, 20, kEast);
    gs.fighterList[a].health = 50.0f;
    gs.fighterList[b].health = 50.0f;
    gs.fighterList[b].state = Dead;
    gs.fighterList[c].health = 99.995f;
    regenerateHealth();
    regenerateHealth();
    EXPECT_NEAR(gs.fighterList[a].health, 50.02f, 1e-4f);
    EXPECT_FLOAT_EQ(gs.fighterList[b].health, 50.0f);
    EXPECT_NEAR(gs.fighterList[c].health, 100.005f, 1e-4f) << "the last gain may pass 100";
}

}  // namespace
