// Fighter control: key events, firing, the shot's geometry and held keys.
#include "rules_helpers.h"

using namespace rulestest;

namespace {

class FighterControl : public RulesTest {};

void press(Fighter& f, int key, bool special = false) { fighterKeyAction(f, key, false, special); }
void release(Fighter& f, int key) { fighterKeyAction(f, key, true, false); }

TEST_F(FighterControl, SpaceFiresOnTapAndOnEveryRepeat) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 50)];
    press(f, ' ');
    EXPECT_EQ(bulletCount(), 0) << "the first press never fires";
    release(f, ' ');
    EXPECT_EQ(bulletCount(), 1);

    // X delivers a held key as release/press pairs: each release finds the
    // key held and fires; the press after it does not.
    press(f, ' ');
    for (int i = 0; i < 5; ++i) {
        release(f, ' ');
        press(f, ' ');
    }
    release(f, ' ');
    EXPECT_EQ(bulletCount(), 7);
    // A toolkit that repeats presses only: every repeat fires, and the release.
    for (int i = 0; i < 6; ++i) press(f, ' ');
    release(f, ' ');
    EXPECT_EQ(bulletCount(), 13);
    EXPECT_EQ(f.bullets, 50 - 13);
}

TEST_F(FighterControl, NoShotWhenEmptyDeadOrAbsent) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 1)];
    tapKey(f, ' ');
    EXPECT_EQ(tapKey(f, ' '), "out of bullets!!\n");
    EXPECT_EQ(bulletCount(), 1);
    EXPECT_EQ(f.bullets, 0);
    // A missile launcher with missiles but no shells: the message line says so.
    f.weapon = MissileLauncher;
    f.missiles = 3;
    tapKey(f, ' ');
    EXPECT_STREQ(gs.messageLine, "out of bullets");
    EXPECT_EQ(f.missiles, 3);

    f.weapon = Cannon;
    f.bullets = 10;
    for (const int state : {Dead, Absent}) {
        f.state = state;
        EXPECT_EQ(tapKey(f, ' '), "");
        EXPECT_EQ(bulletCount(), 1);
        EXPECT_EQ(f.bullets, 10);
    }
}

TEST_F(FighterControl, ShotLeavesAGunSixtyDegreesOffTheHeading) {
    // Fighter 1 facing +y: the guns sit at 30 or 150 degrees, 1.2 from the
    // centre, at height 1.4; the bullet starts 2.0 to 4.5 ahead of the gun.
    addFighter(60, 60, kEast);
    Fighter& f = gs.fighterList[addFighter(20, 20, kNorth, 200)];
    const float deg = 0.0174533f;
    int right = 0;
    for (int i = 0; i < 200; ++i) {
        tapKey(f, ' ');
        const Bullet& b = gs.bulletList.back();
        EXPECT_EQ(std::pair(b.owner, b.shooterKind), std::pair(1, int{FighterCannon}));
        EXPECT_EQ(b.pos.z, 1.4f);
        EXPECT_NEAR(std::hypot(std::hypot(b.dir.x, b.dir.y), b.dir.z), 1.0f, 1e-6f);
        EXPECT_LE(std::fabs(b.dir.z), std::sin(0.05f * deg) + 1e-7f);
        right += b.pos.x > 20.0f;
        EXPECT_NEAR(std::fabs(b.pos.x - 20.0f), 1.2f * std::cos(30.0f * deg), 1e-3f);
        const float ahead = b.pos.y - (20.0f + 1.2f * std::sin(30.0f * deg));
        EXPECT_TRUE(ahead >= 2.0f - 1e-4f && ahead <= 4.5f + 1e-4f) << ahead;
    }
    EXPECT_TRUE(right > 50 && right < 150) << "both guns fire: " << right << " of 200 on the right";
    EXPECT_EQ(f.bullets, 0);
}

TEST_F(FighterControl, OneShotKeysActOnTheEventThatFindsThemHeld) {
    // (p and q are played through the real window in tests/e2e/keys.sh.)
    Fighter& f = gs.fighterList[addFighter(12.5f, 34.25f, kEast)];
    const bool lighting = gs.lightingOn, textures = gs.texturesOn;
    press(f, 'L');
    press(f, 'T');
    EXPECT_EQ(std::pair(gs.lightingOn, gs.texturesOn), std::pair(lighting, textures));
    release(f, 'L');
    release(f, 'T');
    EXPECT_EQ(std::pair(gs.lightingOn, gs.texturesOn), std::pair(!lighting, !textures));

    // Upper-case I is a key of its own: held, it moves nothing.
    press(f, 'I');
    applyHeldKeys(f, 0.1f);
    EXPECT_EQ(f.movePending, 0);
    // Codes outside the table are ignored, not stored.
    press(f, 300);
    press(f, -1);
}

TEST_F(FighterControl, ArrowsProposeOneStepNotTheirSum) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    press(f, kKeyUpArrow, true);
    press(f, kKeyUpArrow, true);
    EXPECT_EQ(f.movePending, 1);
    EXPECT_EQ(f.nextPos.x, 20.25f);
    EXPECT_EQ(f.pos.x, 20.0f) << "nothing moves before the world step";
    press(f, kKeyDownArrow, true);
    EXPECT_EQ(f.nextPos.x, 19.75f);

    press(f, kKeyLeftArrow, true);
    const Vec3 once = f.nextDir;
    press(f, kKeyLeftArrow, true);
    EXPECT_EQ(f.turnPending, 1);
    EXPECT_GT(once.y, 0.0f);
    EXPECT_EQ(std::pair(f.nextDir.x, f.nextDir.y), std::pair(once.x, once.y));
    press(f, kKeyRightArrow, true);
    EXPECT_EQ(f.nextDir.y, -once.y);
    // The left arrow shares code 100 with d: as a special key it never
    // touches the held flags.
    EXPECT_EQ(f.keyDown[int{'d'}], 0);
}

TEST_F(FighterControl, ZeroHeadingStaysZeroAndNeverNaN) {
    Fighter& f = gs.fighterList[addFighter(20, 20, Vec3{})];
    press(f, kKeyLeftArrow, true);
    EXPECT_EQ(f.nextDir.x + f.nextDir.y, 0.0f);
    f.keyDown[int{'l'}] = 1;
    applyHeldKeys(f, 0.05f);
    EXPECT_TRUE(finite(f.nextDir));
    tapKey(f, ' ');
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_TRUE(finite(gs.bulletList[0].pos) && finite(gs.bulletList[0].dir));
}

TEST_F(FighterControl, HeldRunAndTurnScaleWithTheInterval) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    f.keyDown[int{'i'}] = 1;
    applyHeldKeys(f, 0.1f);
    EXPECT_FLOAT_EQ(f.nextPos.x, 20.25f);
    applyHeldKeys(f, 0.02f);
    EXPECT_FLOAT_EQ(f.nextPos.x, 20.05f);
    f.keyDown[int{'k'}] = 1;  // with both held, backwards wins
    applyHeldKeys(f, 0.1f);
    EXPECT_FLOAT_EQ(f.nextPos.x, 19.75f);

    f.keyDown[int{'j'}] = 1;
    applyHeldKeys(f, 0.1f);
    const float tenth = f.nextDir.y;
    applyHeldKeys(f, 0.02f);
    EXPECT_GT(tenth, 0.09f);
    EXPECT_NEAR(f.nextDir.y * 5.0f, tenth, 1e-3f);
    f.keyDown[int{'l'}] = 1;  // with both held, right wins
    applyHeldKeys(f, 0.1f);
    EXPECT_LT(f.nextDir.y, 0.0f);
}

TEST_F(FighterControl, StrafeIsOneFixedStepPerWorldStep) {
    buildWalledMaze(10, 20, 8.0f);
    gs.fighterList.reserve(2);  // f stays valid when the blocker joins
    Fighter& f = gs.fighterList[addFighter(36, 36, kEast)];
    f.keyDown[int{'d'}] = 1;  // left of +x is +y
    stepWorld(10);
    EXPECT_FLOAT_EQ(f.pos.y, 37.25f);
    stepWorld(200);
    EXPECT_FLOAT_EQ(f.pos.y, 38.5f);
    f.keyDown[int{'d'}] = 0;
    f.keyDown[int{'f'}] = f.keyDown[int{'i'}] = 1;  // the strafe adds to this step's run
    stepWorld(100);
    EXPECT_FLOAT_EQ(f.pos.y, 37.25f);
    EXPECT_FLOAT_EQ(f.pos.x, 36.25f);

    // A strafe into another fighter is refused step after step; the proposal
    // must stay one strafe away instead of growing until it jumps past.
    f.keyDown[int{'f'}] = f.keyDown[int{'i'}] = 0;
    f.keyDown[int{'d'}] = 1;
    addFighter(36.25f, 40.25f, kEast);
    for (int s = 0; s < 20; ++s) stepWorld(10);
    EXPECT_FLOAT_EQ(f.pos.y, 37.25f);
    EXPECT_FLOAT_EQ(f.nextPos.y, 38.5f);
}

}  // namespace
