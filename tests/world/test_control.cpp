// Fighter control: key events, firing, the shot's geometry and held keys.
#include <cmath>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class FighterControl : public RulesTest {};

constexpr Vec3 kEast{1.0f, 0.0f, 0.0f};
constexpr Vec3 kNorth{0.0f, 1.0f, 0.0f};  // +y

TEST_F(FighterControl, TapFiresOnceOnItsRelease) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    testing::internal::CaptureStdout();
    fighterKeyAction(f, ' ', false, false);
    EXPECT_EQ(bulletCount(), 0) << "the first press never fires";
    fighterKeyAction(f, ' ', true, false);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(bulletCount(), 1);
    EXPECT_EQ(f.bullets, 9);
    EXPECT_EQ(countOf(out, "fire!!!! \n"), 1);
}

TEST_F(FighterControl, HeldSpaceFiresOnEveryRepeat) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 50)];
    testing::internal::CaptureStdout();
    // X delivers a held key as release/press pairs: each release finds the
    // key held and fires; the press after it does not.
    fighterKeyAction(f, ' ', false, false);
    for (int i = 0; i < 5; ++i) {
        fighterKeyAction(f, ' ', true, false);
        fighterKeyAction(f, ' ', false, false);
    }
    fighterKeyAction(f, ' ', true, false);
    EXPECT_EQ(bulletCount(), 6);
    // A toolkit that repeats presses only: every repeat fires, and the release.
    gs.bulletList.clear();
    fighterKeyAction(f, ' ', false, false);
    for (int i = 0; i < 5; ++i) fighterKeyAction(f, ' ', false, false);
    fighterKeyAction(f, ' ', true, false);
    EXPECT_EQ(bulletCount(), 6);
    EXPECT_EQ(f.bullets, 50 - 12);
    EXPECT_EQ(countOf(testing::internal::GetCapturedStdout(), "fire!!!! \n"), 12);
}

TEST_F(FighterControl, OutOfBulletsFiresNothing) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 1)];
    testing::internal::CaptureStdout();
    tapKey(f, ' ');
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(f.bullets, 0);
    testing::internal::CaptureStdout();
    tapKey(f, ' ');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "out of bullets!!\n");
    EXPECT_EQ(bulletCount(), 1);
    EXPECT_EQ(f.bullets, 0);

    // A missile launcher with missiles but no shells: the message line says so.
    f.weapon = MissileLauncher;
    f.missiles = 3;
    tapKey(f, ' ');
    EXPECT_STREQ(gs.messageLine, "out of bullets");
    EXPECT_EQ(f.missiles, 3);
}

TEST_F(FighterControl, DeadOrAbsentFighterDoesNotFire) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    for (const int state : {Dead, Absent}) {
        f.state = state;
        testing::internal::CaptureStdout();
        tapKey(f, ' ');
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(bulletCount(), 0);
        EXPECT_EQ(f.bullets, 10);
    }
}

TEST_F(FighterControl, ShotLeavesAGunSixtyDegreesOffTheHeading) {
    // Fighter 1 facing +y: the guns sit at 30 or 150 degrees, 1.2 from the
    // centre, at height 1.4; the bullet starts 2.0 to 4.5 ahead of the gun.
    addFighter(60, 60, kEast);
    Fighter& f = gs.fighterList[addFighter(20, 20, kNorth, 200)];
    int left = 0, right = 0;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 200; ++i) {
        tapKey(f, ' ');
        const Bullet& b = gs.bulletList.back();
        EXPECT_EQ(b.owner, 1);
        EXPECT_EQ(b.shooterKind, FighterCannon);
        EXPECT_FLOAT_EQ(b.pos.z, 1.4f);
        EXPECT_NEAR(std::hypot(std::hypot(b.dir.x, b.dir.y), b.dir.z), 1.0f, 1e-6f);
        EXPECT_LE(std::fabs(b.dir.z), std::sin(0.05f * 0.0174533f) + 1e-7f);
        const bool onRight = b.pos.x > 20.0f;
        (onRight ? right : left)++;
        EXPECT_NEAR(std::fabs(b.pos.x - 20.0f), 1.2f * std::cos(30.0f * 0.0174533f), 1e-3f);
        const float ahead = b.pos.y - (20.0f + 1.2f * std::sin(30.0f * 0.0174533f));
        EXPECT_GE(ahead, 2.0f - 1e-4f);
        EXPECT_LE(ahead, 4.5f + 1e-4f);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_GT(left, 50);
    EXPECT_GT(right, 50);
    EXPECT_EQ(f.bullets, 0);
}

TEST_F(FighterControl, OneShotKeysActOnTheEventThatFindsThemHeld) {
    Fighter& f = gs.fighterList[addFighter(12.5f, 34.25f, kEast)];
    testing::internal::CaptureStdout();
    fighterKeyAction(f, 'p', false, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    fighterKeyAction(f, 'p', true, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Position: 12.5 34.25\n");

    const bool lighting = gs.lightingOn, textures = gs.texturesOn;
    fighterKeyAction(f, 'L', false, false);
    fighterKeyAction(f, 'T', false, false);
    EXPECT_EQ(gs.lightingOn, lighting);
    EXPECT_EQ(gs.texturesOn, textures);
    fighterKeyAction(f, 'L', true, false);
    fighterKeyAction(f, 'T', true, false);
    EXPECT_NE(gs.lightingOn, lighting);
    EXPECT_NE(gs.texturesOn, textures);

    // Upper-case I is a key of its own: held, it moves nothing.
    fighterKeyAction(f, 'I', false, false);
    applyHeldKeys(f, 0.1f);
    EXPECT_EQ(f.movePending, 0);
    EXPECT_EQ(f.keyDown[int{'I'}], 1);
    // Codes outside the table are ignored, not stored.
    fighterKeyAction(f, 300, false, false);
    fighterKeyAction(f, -1, false, false);
}

TEST_F(FighterControl, QuitTakesEffectOnTheNextEvent) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    fighterKeyAction(f, 'q', false, false);
    EXPECT_TRUE(gs.quitRequested);
    EXPECT_EXIT(fighterKeyAction(f, 'q', true, false), testing::ExitedWithCode(0), "");
}

TEST_F(FighterControl, ArrowsProposeOneStepNotTheirSum) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast)];
    fighterKeyAction(f, kKeyUpArrow, false, true);
    fighterKeyAction(f, kKeyUpArrow, false, true);
    EXPECT_EQ(f.movePending, 1);
    EXPECT_FLOAT_EQ(f.nextPos.x, 20.25f);
    EXPECT_FLOAT_EQ(f.pos.x, 20.0f) << "nothing moves before the world step";
    fighterKeyAction(f, kKeyDownArrow, false, true);
    EXPECT_FLOAT_EQ(f.nextPos.x, 19.75f);

    fighterKeyAction(f, kKeyLeftArrow, false, true);
    fighterKeyAction(f, kKeyLeftArrow, false, true);
    EXPECT_EQ(f.turnPending, 1);
    EXPECT_NEAR(f.nextDir.x, 0.99503719f, 1e-6f);
    EXPECT_NEAR(f.nextDir.y, 0.09950372f, 1e-6f);
    fighterKeyAction(f, kKeyRightArrow, false, true);
    EXPECT_NEAR(f.nextDir.y, -0.09950372f, 1e-6f);

    // The left arrow shares code 100 with d: as a special key it never
    // touches the held flags.
    EXPECT_EQ(f.keyDown[int{'d'}], 0);
}

TEST_F(FighterControl, ZeroHeadingStaysZeroAndNeverNaN) {
    Fighter& f = gs.fighterList[addFighter(20, 20, Vec3{})];
    fighterKeyAction(f, kKeyLeftArrow, false, true);
    EXPECT_TRUE(finite(f.nextDir));
    EXPECT_EQ(f.nextDir.x, 0.0f);
    EXPECT_EQ(f.nextDir.y, 0.0f);
    f.keyDown[int{'l'}] = 1;
    applyHeldKeys(f, 0.05f);
    EXPECT_TRUE(finite(f.nextDir));
    testing::internal::CaptureStdout();
    tapKey(f, ' ');
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_TRUE(finite(gs.bulletList[0].pos));
    EXPECT_TRUE(finite(gs.bulletList[0].dir));
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
    EXPECT_GT(f.nextDir.y, 0.0f);
    f.keyDown[int{'l'}] = 1;  // with both held, right wins
    applyHeldKeys(f, 0.1f);
    EXPECT_NEAR(f.nextDir.y, -0.09950372f, 1e-6f);
}

TEST_F(FighterControl, StrafeIsOneFixedStepPerWorldStep) {
    buildWalledMaze(10, 10, 8.0f);
    const int i = addFighter(36, 36, kEast);
    gs.fighterList[i].keyDown[int{'d'}] = 1;  // left of +x is +y
    stepWorld(10);
    EXPECT_FLOAT_EQ(gs.fighterList[i].pos.y, 37.25f);
    stepWorld(200);
    EXPECT_FLOAT_EQ(gs.fighterList[i].pos.y, 38.5f);
    gs.fighterList[i].keyDown[int{'d'}] = 0;
    gs.fighterList[i].keyDown[int{'f'}] = 1;
    gs.fighterList[i].keyDown[int{'i'}] = 1;  // the strafe adds to this step's run
    stepWorld(100);
    EXPECT_FLOAT_EQ(gs.fighterList[i].pos.y, 37.25f);
    EXPECT_FLOAT_EQ(gs.fighterList[i].pos.x, 36.25f);
}

TEST_F(FighterControl, RefusedStrafeDoesNotGrowThroughTheBlocker) {
    // A strafe into another fighter is refused step after step; the proposal
    // must stay one strafe away instead of growing until it jumps past.
    buildWalledMaze(10, 20, 8.0f);
    const int a = addFighter(36, 36, kEast);
    addFighter(36, 39.0f, kEast);
    gs.fighterList[a].keyDown[int{'d'}] = 1;
    for (int s = 0; s < 20; ++s) stepWorld(10);
    EXPECT_FLOAT_EQ(gs.fighterList[a].pos.y, 36.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[a].nextPos.y, 37.25f);
}

}  // namespace
