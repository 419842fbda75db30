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
    fighter(b).state = FighterState::Absent;
    const int p = addPrey(39.15f, 36.0f);
    const int q = addPrey(60.0f, 36.0f);
    const int r = addPrey(62.9f, 36.0f);
    stepWorld();
    EXPECT_EQ(fighter(a).moveAllowed, 0);
    for (int i : {p, q, r}) EXPECT_EQ(gs.preyList[i].moveAllowed, 0) << "prey " << i;
    // A dead fighter is no body at all.
    fighter(a).state = FighterState::Dead;
    stepWorld();
    EXPECT_EQ(gs.preyList[p].moveAllowed, 1);
}

TEST_F(WorldStepRules, FighterSlidesAlongAWallButNeverIntoADiagonalBlock) {
    editMaze().cells[1][2] = 1;  // north of cell (2, 2): y below 16
    const int f = addFighter(20.0f, 17.6f, Vec3{0.6f, -0.8f, 0.0f});
    fighter(f).keyDown[int{'i'}] = 1;
    stepWorld(100);
    EXPECT_FLOAT_EQ(fighter(f).pos.x, 20.15f);
    EXPECT_FLOAT_EQ(fighter(f).pos.y, 17.5f);

    editMaze().cells[1][2] = 0;
    editMaze().cells[3][3] = 1;  // diagonal to cell (2, 2); its side neighbours are open
    fighter(f).pos = Vec3{21.0f, 21.0f, kFighterHeight};
    fighter(f).dir = Vec3{0.70710677f, 0.70710677f, 0.0f};
    for (int i = 0; i < 40; ++i) {
        stepWorld(100);
        const Vec3 at = fighter(f).pos;
        ASSERT_NE(cellCode(cellOfCoordinate(at.y), cellOfCoordinate(at.x)), 1) << "step " << i;
    }
    EXPECT_GT(fighter(f).pos.x, 23.0f) << "as close as the corner allows";
}

TEST_F(WorldStepRules, PreyDiesOnTheThirdHitAndScoresForTheShooter) {
    addFighter(100.0f, 60.0f, kEast);  // the shooter, far away
    addPrey(60.0f, 36.0f);
    for (int hit = 1; hit <= 2; ++hit) {
        shootAtSixty();
        EXPECT_FLOAT_EQ(gs.preyList[0].health, 100.0f - 40.0f * hit);
        EXPECT_EQ(gs.effectEvents.back().effectKind, EffectKind::Small);
    }
    EXPECT_EQ(fighter(0).score, 0);
    shootAtSixty();
    EXPECT_EQ(preyCount() + bulletCount(), 0) << "the wreck and the bullets that hit are gone";
    EXPECT_EQ(fighter(0).score, 1);
    EXPECT_STREQ(hud.messageLine, "Mech destroyed.");
    ASSERT_EQ(explosionCount(), 3);
    EXPECT_EQ(gs.explosionList[2].pieceCount, 100);
    EXPECT_EQ(gs.explosionList[2].centre.x, 60.0f);
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectKind::Large);
}

TEST_F(WorldStepRules, FighterDiesOnTheTwentyFirstHit) {
    addFighter(20.0f, 20.0f, kEast);  // the shooter
    const int f = addFighter(60.0f, 36.0f, kEast);
    shootAtSixty();
    EXPECT_FLOAT_EQ(fighter(f).health, 95.0f);
    for (int hit = 2; hit <= 20; ++hit) shootAtSixty();
    EXPECT_EQ(fighter(f).state, FighterState::InPlay);
    EXPECT_FLOAT_EQ(fighter(f).health, 0.0f);
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectKind::Small);

    shootAtSixty();
    EXPECT_EQ(fighter(f).state, FighterState::Dead);
    EXPECT_STREQ(hud.messageLine, "Fighter 1 dead!!");
    EXPECT_EQ(gs.effectEvents.back().effectKind, EffectKind::Large);
    EXPECT_EQ(fighter(0).score, 0) << "killing a fighter scores nothing";
    // The dead neither stop bullets nor take hits.
    shootAtSixty();
    EXPECT_EQ(bulletCount(), 1);
}

}  // namespace
