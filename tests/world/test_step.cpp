// The world step: bodies, walls, the interval, bullets, hits, score,
// regeneration and removals.
#include "rules_helpers.h"

using namespace rulestest;

namespace {

class WorldStepRules : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(12, 20, 8.0f);
    }
    Fighter& fighter(int i) { return gs.fighterList[i]; }
    // Shoots one bullet east along y = 36 from x = 56, owned by fighter 0, and steps.
    std::string shootAtSixty(float y = 36.0f) {
        addBullet(Vec3{56.0f, y, 1.4f}, kEast, 0);
        return stepWorld();
    }
};

TEST_F(WorldStepRules, BodiesRefuseEachOtherAndRetry) {
    const int a = addFighter(36.0f, 36.0f, kEast);
    const int b = addFighter(39.2f, 36.0f, kEast);
    fighter(a).keyDown[int{'i'}] = 1;
    stepWorld(100);
    EXPECT_EQ(fighter(a).pos.x, 36.0f) << "a proposal closer than 3.0 is refused";
    EXPECT_EQ(fighter(a).movePending, 1) << "and kept for the next step";
    EXPECT_EQ(fighter(b).moveAllowed, 0) << "the one standing still is marked too";

    fighter(a).keyDown[int{'i'}] = 0;
    fighter(b).pos.x = fighter(b).nextPos.x = 60.0f;
    stepWorld(100);
    EXPECT_FLOAT_EQ(fighter(a).pos.x, 36.25f) << "the kept move goes through once free";
    EXPECT_EQ(fighter(a).movePending, 0);

    // Prey keep their distance from fighters and from each other.
    fighter(b).state = Absent;
    const int p = addPrey(39.15f, 36.0f);
    const int q = addPrey(60.0f, 36.0f);
    const int r = addPrey(62.9f, 36.0f);
    stepWorld();
    EXPECT_EQ(fighter(a).moveAllowed, 0);
    for (int i : {p, q, r}) EXPECT_EQ(gs.preyList[i].moveAllowed, 0) << "prey " << i;
    // A dead fighter is no body at all.
    fighter(a).state = Dead;
    stepWorld();
    EXPECT_EQ(gs.preyList[p].moveAllowed, 1);
}

TEST_F(WorldStepRules, FighterSlidesAlongAWallButNeverIntoADiagonalBlock) {
    gs.mazeCells[1][2] = 1;  // north of cell (2, 2): y below 16
    const int f = addFighter(20.0f, 17.6f, Vec3{0.6f, -0.8f, 0.0f});
    fighter(f).keyDown[int{'i'}] = 1;
    stepWorld(100);
    EXPECT_FLOAT_EQ(fighter(f).pos.x, 20.15f);
    EXPECT_FLOAT_EQ(fighter(f).pos.y, 17.5f);

    gs.mazeCells[1][2] = 0;
    gs.mazeCells[3][3] = 1;  // diagonal to cell (2, 2); its side neighbours are open
    fighter(f).pos = Vec3{21.0f, 21.0f, kFighterHeight};
    fighter(f).dir = Vec3{0.70710677f, 0.70710677f, 0.0f};
    for (int i = 0; i < 40; ++i) {
        stepWorld(100);
        const Vec3 at = fighter(f).pos;
        ASSERT_NE(cellCode(cellOfCoordinate(at.y), cellOfCoordinate(at.x)), 1) << "step " << i;
    }
    EXPECT_GT(fighter(f).pos.x, 23.0f) << "as close as the corner allows";
}

TEST_F(WorldStepRules, HeldMotionFollowsTheClockAcrossTheMinute) {
    const int f = addFighter(36.0f, 36.0f, kEast);
    fighter(f).keyDown[int{'i'}] = 1;
    gs.clockNowMs = 59990;
    stepWorld(20);  // the clock wraps to 10
    EXPECT_NEAR(fighter(f).pos.x, 36.05f, 1e-5f);
    stepWorld(5000);  // a stall counts as 250 ms at most
    EXPECT_NEAR(fighter(f).pos.x, 36.675f, 1e-4f);
}

TEST_F(WorldStepRules, PreyDiesOnTheThirdHitAndScoresForTheShooter) {
    addFighter(100.0f, 60.0f, kEast);  // the shooter, far away
    addPrey(60.0f, 36.0f);
    for (int hit = 1; hit <= 2; ++hit) {
        shootAtSixty();
        EXPECT_FLOAT_EQ(gs.preyList[0].health, 100.0f - 40.0f * hit);
        EXPECT_EQ(gs.effectEvents.back().effectKind, EffectSmall);
    }
    EXPECT_EQ(fighter(0).score, 0);
    shootAtSixty();
    EXPECT_EQ(preyCount() + bulletCount(), 0) << "the wreck and the bullets that hit are gone";
    EXPECT_EQ(fighter(0).score, 1);
    EXPECT_STREQ(gs.messageLine, "Mech destroyed.");
    ASSERT_EQ(explosionCount(), 3);
    EXPECT_EQ(gs.explosionList[2].pieceCount, 100);
    EXPECT_EQ(gs.explosionList[2].centre.x, 60.0f);
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectLarge);
}

TEST_F(WorldStepRules, OneKillGivesOnePointAndTheWreckStillStopsBullets) {
    addFighter(100.0f, 60.0f, kEast);
    const int behind = addFighter(64.5f, 36.0f, kEast);  // right behind the prey
    gs.preyList[addPrey(60.0f, 36.0f)].health = 20.0f;
    addBullet(Vec3{56.0f, 36.5f, 1.4f}, kEast, 0);
    shootAtSixty();
    EXPECT_EQ(fighter(0).score, 1);
    EXPECT_EQ(explosionCount(), 1) << "the wreck is not hit again";
    EXPECT_EQ(effectEventCount(), 1);
    EXPECT_EQ(preyCount(), 0);
    // The second bullet of the step ends in the wreck, not in whoever stands behind it.
    EXPECT_EQ(bulletCount(), 0);
    stepWorld();
    stepWorld();
    EXPECT_FLOAT_EQ(fighter(behind).health, 100.0f);
}

TEST_F(WorldStepRules, OneBulletHitsEveryPreyNearItsStopButNoFighter) {
    addPrey(60.0f, 35.0f);
    addPrey(60.0f, 37.5f);
    addBullet(Vec3{55.0f, 36.25f, 1.4f}, kEast);
    stepWorld();  // to x = 58, then on into the prey
    stepWorld();
    EXPECT_FLOAT_EQ(gs.preyList[0].health, 60.0f);
    EXPECT_FLOAT_EQ(gs.preyList[1].health, 60.0f);

    // A fighter just beyond where the prey stopped the bullet is spared.
    gs.preyList.clear();
    addPrey(60.0f, 37.25f);
    const int f = addFighter(60.8f, 36.0f, kEast);
    addBullet(Vec3{55.0f, 36.0f, 1.4f}, kEast);
    stepWorld();
    stepWorld();
    EXPECT_FLOAT_EQ(gs.preyList[0].health, 60.0f);
    EXPECT_FLOAT_EQ(fighter(f).health, 100.0f);
}

TEST_F(WorldStepRules, FighterDiesOnTheTwentyFirstHit) {
    addFighter(20.0f, 20.0f, kEast);  // the shooter
    const int f = addFighter(60.0f, 36.0f, kEast);
    shootAtSixty();
    EXPECT_FLOAT_EQ(fighter(f).health, 95.0f);
    for (int hit = 2; hit <= 20; ++hit) shootAtSixty();
    EXPECT_EQ(fighter(f).state, InPlay);
    EXPECT_FLOAT_EQ(fighter(f).health, 0.0f);
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectSmall);

    shootAtSixty();
    EXPECT_EQ(fighter(f).state, Dead);
    EXPECT_STREQ(gs.messageLine, "Fighter 1 dead!!");
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectLarge);
    EXPECT_EQ(fighter(0).score, 0) << "killing a fighter scores nothing";
    // The dead neither stop bullets nor take hits.
    shootAtSixty();
    EXPECT_EQ(bulletCount(), 1);
}

TEST_F(WorldStepRules, FreshShotsNeverHitTheirShooter) {
    Fighter& f = gs.fighterList[addFighter(44.0f, 44.0f, kEast, 100)];
    for (int i = 0; i < 72; ++i) {
        const float a = static_cast<float>(i) * 5.0f * 0.0174533f;
        f.dir = Vec3{std::cos(a), std::sin(a), 0.0f};
        tapKey(f, ' ');
        stepWorld();
        ASSERT_FLOAT_EQ(f.health, 100.0f) << "heading " << i * 5;
    }
}

TEST_F(WorldStepRules, BulletsFlyThreeUnitsAndEndInFloorAndCeiling) {
    addBullet(Vec3{30.0f, 36.0f, 1.4f}, kEast);
    stepWorld(5);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, 33.0f);
    stepWorld(200);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, 36.0f);

    gs.bulletList.clear();
    // Into the floor, then through the ceiling: each ends in its step.
    addBullet(Vec3{30.0f, 36.0f, 0.5f}, Vec3{0.6f, 0.0f, -0.8f});
    stepWorld();
    EXPECT_EQ(bulletCount(), 0);
    addBullet(Vec3{30.0f, 36.0f, 11.5f}, Vec3{0.6f, 0.0f, 0.8f});
    stepWorld();
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
    stepWorld();
    ASSERT_EQ(bulletCount(), 2);
    EXPECT_EQ(std::pair(gs.bulletList[0].tag, gs.bulletList[1].tag), std::pair(3, 1));
    ASSERT_EQ(preyCount(), 3);
    EXPECT_FLOAT_EQ(gs.preyList[1].pos.y, 44.0f) << "the last prey took the gap";
    ASSERT_EQ(explosionCount(), 1);
    EXPECT_EQ(gs.explosionList[0].centre.x, 3.0f);
}

TEST_F(WorldStepRules, RegenerationIsPerPassAndOnlyForTheLiving) {
    for (float x : {20.0f, 40.0f, 60.0f}) addFighter(x, 20, kEast);
    fighter(0).health = fighter(1).health = 50.0f;
    fighter(1).state = Dead;
    fighter(2).health = 99.995f;
    regenerateHealth();
    regenerateHealth();
    EXPECT_NEAR(fighter(0).health, 50.02f, 1e-4f);
    EXPECT_FLOAT_EQ(fighter(1).health, 50.0f);
    EXPECT_NEAR(fighter(2).health, 100.005f, 1e-4f) << "the last gain may pass 100";
}

}  // namespace
