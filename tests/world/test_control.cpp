// Fighter control: key events, firing, the shot's geometry and held keys.
#include <algorithm>
#include <vector>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class FighterControl : public RulesTest {};

void press(Fighter& f, int key, bool special = false) { fighterKeyAction(f, key, false, special); }
void release(Fighter& f, int key) { fighterKeyAction(f, key, true, false); }

// Shots fired so far by a fighter that started with `start` bullets.
int shotsOf(const Fighter& f, int start) { return start - f.bullets; }

// Space held for 3 s: the press's shot, then the beat from kHoldFireDelayMs.
constexpr int kShotsOfA3sHold = 2 + (3000 - kHoldFireDelayMs) / kFireIntervalMs;

TEST_F(FighterControl, ATapFiresOnceOnItsPressAndNoTapOutrunsTheGun) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 50)];
    press(f, ' ');
    EXPECT_EQ(bulletCount(), 1) << "the press fires at once";
    release(f, ' ');
    EXPECT_EQ(bulletCount(), 1) << "the release adds nothing";
    fireHeldGun(f, 100);
    EXPECT_EQ(bulletCount(), 1) << "nothing held, nothing asked: the gun stays quiet";

    // Two taps within one cycle: the second is not lost, it leaves when the
    // gun is ready; an idle gun saves up no shots.
    tapKey(f, ' ');
    tapKey(f, ' ');
    tapKey(f, ' ');
    EXPECT_EQ(bulletCount(), 2);
    fireHeldGun(f, kFireIntervalMs - 10);
    EXPECT_EQ(bulletCount(), 2);
    fireHeldGun(f, 10);
    EXPECT_EQ(bulletCount(), 3) << "three taps in one cycle: two shots, one per cycle";
    fireHeldGun(f, 10 * kFireIntervalMs);
    tapKey(f, ' ');
    EXPECT_EQ(bulletCount(), 4);
    EXPECT_EQ(f.bullets, 50 - 4);

    // A person's tap lasts up to about 120 ms, its release heard passes
    // after its press: still one shot. Held past kHoldFireDelayMs, a hold.
    for (const int heldMs : {kHoldFireDelayMs - 10, kHoldFireDelayMs + 10}) {
        fireHeldGun(f, 10 * kFireIntervalMs);
        const int before = f.bullets;
        press(f, ' ');
        for (int t = 0; t < heldMs; t += 10) fireHeldGun(f, 10);
        release(f, ' ');
        fireHeldGun(f, 10 * kFireIntervalMs);
        EXPECT_EQ(before - f.bullets, heldMs < kHoldFireDelayMs ? 1 : 2) << "space held " << heldMs << " ms";
    }
}

class HeldFire : public FighterControl {
protected:
    void SetUp() override {
        FighterControl::SetUp();
        buildWalledMaze(12, 20, 8.0f);
        process.clockNowMs = 1000;
    }
};

// Space held while i is held too (the X server repeats only the last key
// pressed, so no repeat of space arrives): the gun keeps its own beat of
// 16.7 shots a second of world time, whatever the length of the steps (a
// slow frame of 150 ms followed by the passes that fell due meanwhile run
// at once included), and the fighter walks on.
TEST_F(HeldFire, HeldSpaceFiresOnTheGunsBeatWithAMoveKeyHeld) {
    const std::vector<std::vector<int>> stepPatterns = {{10}, {20}, {25}, {50}, {150, 0, 0}};
    for (const std::vector<int>& steps : stepPatterns) {
        SetUp();
        Fighter& f = gs.fighterList[addFighter(36.0f, 36.0f, kEast, 1000)];
        press(f, ' ');
        press(f, 'i');
        size_t i = 0;
        int maxBulletsInAStep = 0;
        // Whole patterns: the passes that fell due after the last slow one run too.
        for (int t = 0; t < 3000 || i % steps.size() != 0; t += steps[i++ % steps.size()]) {
            const int before = f.bullets;
            stepWorld(steps[i % steps.size()]);
            maxBulletsInAStep = std::max(maxBulletsInAStep, before - f.bullets);
        }
        EXPECT_EQ(shotsOf(f, 1000), kShotsOfA3sHold) << steps[0] << " ms steps";
        EXPECT_EQ(maxBulletsInAStep, 1) << "never a clump";
        EXPECT_NEAR(f.pos.x, 36.0f + 7.5f, 0.05f) << "walked at 2.5 units a second";
        release(f, ' ');
        for (int t = 0; t < 1000; t += 10) stepWorld(10);
        EXPECT_EQ(shotsOf(f, 1000), kShotsOfA3sHold) << "released: no shot more";
    }
}

// A keyboard's auto-repeat of space alone: after 660 ms, a release and a
// press every 40 ms (25 a second), from the window or a plain client. Each
// press pulls the trigger, but the gun never fires faster than its cycle:
// over 3 s the shots stay those of a steady hold (at most one more, for the
// last press). The pair may also straddle a step (a release heard in one
// pass, its press in the next), and some toolkits repeat presses only.
TEST_F(HeldFire, AutoRepeatedSpaceNeverOutrunsTheGun) {
    enum class Repeat { PairInOnePass, PairAcrossAStep, PressesOnly };
    for (const Repeat repeat : {Repeat::PairInOnePass, Repeat::PairAcrossAStep, Repeat::PressesOnly}) {
        SetUp();
        Fighter& f = gs.fighterList[addFighter(36.0f, 36.0f, kEast, 1000)];
        press(f, ' ');
        int presses = 1;
        for (int t = 10; t <= 3000; t += 10) {
            const bool repeatDue = t >= 660 && (t - 660) % 40 == 0;
            if (repeatDue && repeat != Repeat::PressesOnly) release(f, ' ');
            if (repeatDue && repeat != Repeat::PairAcrossAStep) press(f, ' ');
            presses += repeatDue ? 1 : 0;
            stepWorld(10);
            if (repeatDue && repeat == Repeat::PairAcrossAStep) press(f, ' ');
        }
        release(f, ' ');
        stepWorld(kFireIntervalMs);
        const int shots = shotsOf(f, 1000);
        EXPECT_GE(shots, kShotsOfA3sHold - 1) << static_cast<int>(repeat);
        EXPECT_LE(shots, 2 + 3000 / kFireIntervalMs) << static_cast<int>(repeat) << ", " << presses << " presses";
    }
}

TEST_F(FighterControl, NoShotWhenEmptyDeadOrAbsent) {
    Fighter& f = gs.fighterList[addFighter(20, 20, kEast, 1)];
    tapKey(f, ' ');
    fireHeldGun(f, kFireIntervalMs);
    EXPECT_EQ(tapKey(f, ' '), "out of bullets!!\n");
    EXPECT_EQ(bulletCount(), 1);
    EXPECT_EQ(f.bullets, 0);
    // A missile launcher with missiles but no shells: the message line says so.
    f.weapon = Weapon::MissileLauncher;
    f.missiles = 3;
    fireHeldGun(f, kFireIntervalMs);
    tapKey(f, ' ');
    EXPECT_STREQ(hud.messageLine, "out of bullets");
    EXPECT_EQ(f.missiles, 3);

    f.weapon = Weapon::Cannon;
    f.bullets = 10;
    for (const FighterState state : {FighterState::Dead, FighterState::Absent}) {
        f.state = state;
        fireHeldGun(f, kFireIntervalMs);
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
