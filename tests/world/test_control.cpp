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
    f.weapon = Weapon::MissileLauncher;
    f.missiles = 3;
    tapKey(f, ' ');
    EXPECT_STREQ(hud.messageLine, "out of bullets");
    EXPECT_EQ(f.missiles, 3);

    f.weapon = Weapon::Cannon;
    f.bullets = 10;
    for (const FighterState state : {FighterState::Dead, FighterState::Absent}) {
        f.state = state;
        EXPECT_EQ(tapKey(f, ' '), "");
        EXPECT_EQ(bulletCount(), 1);
        EXPECT_EQ(f.bullets, 10);
    }
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

}  // namespace
