// The option flags, the menus' choices and the pause, without a display.

#include <tuple>

#include "net/net.h"
#include "rules_helpers.h"
#include "shell/shell.h"
#include "tests/game_end_print.h"

using namespace rulestest;

namespace {

class MenuChoices : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        resetNetStateForTest();
        // A 6 x 6 walled level with two fighter starts and one prey start.
        buildWalledMaze(6, 6, 8.0f);
        editMaze().fighterStartCount = 2;
        editMaze().fighterStarts[0] = StartPosition{1, 1, 2};
        editMaze().fighterStarts[1] = StartPosition{4, 4, 0};
        editMaze().preyStartCount = 1;
        editMaze().preyStarts[0] = StartPosition{3, 2, 1};
        editMaze().startBullets = 7;
        createFighters();
    }
};

void tap(Fighter& f, int key) {
    fighterKeyAction(f, key, false, false);
    fighterKeyAction(f, key, true, false);
}

}  // namespace

TEST_F(MenuChoices, PauseFreezesTheWorldAndResumesWithoutAJump) {
    startGame();
    Fighter& me = gs.fighterList[0];
    me.health = 50.0f;
    addBullet(Vec3{20.0f, 20.0f, 1.4f}, kEast);
    gs.explosionList.emplace_back();
    fighterKeyAction(me, 'i', false, false);  // held: runs while the world steps
    stepWorld(20);
    const Vec3 before = me.pos;
    const Vec3 preyBefore = gs.preyList[0].pos;
    const float bulletBefore = gs.bulletList[0].pos.x;

    chooseMainMenu(MenuPauseGame);
    EXPECT_STREQ(hud.messageLine, "Game paused");
    // Ten seconds of passes: nothing moves, heals or fires; arrows and the
    // fire key are ignored, a release still lets go of its key.
    for (int pass = 0; pass < 500; ++pass) {
        regenerateHealth();
        advanceUndrawnExplosions();
        stepWorld(20);
    }
    tap(me, ' ');
    fighterKeyAction(me, kKeyUpArrow, false, true);
    fighterKeyAction(me, 'j', false, false);
    EXPECT_EQ(std::tuple(me.pos.x, me.pos.y, gs.preyList[0].pos.x, gs.preyList[0].pos.y, me.health),
              std::tuple(before.x, before.y, preyBefore.x, preyBefore.y, 50.0f));
    ASSERT_EQ(bulletCount(), 1);
    EXPECT_EQ(std::tuple(gs.bulletList[0].pos.x, gs.explosionList[0].frame, me.movePending), std::tuple(bulletBefore, 0, 0));
    EXPECT_EQ(me.keyDown['j'], 0) << "a press during the pause holds nothing";
    // The local toggles still work.
    tap(me, 'T');
    EXPECT_FALSE(options.texturesOn);

    // Resuming: the first step covers one pass, not the paused time.
    chooseMainMenu(MenuPauseGame);
    EXPECT_STREQ(hud.messageLine, "Game resumed");
    stepWorld(20);
    const float moved = std::hypot(me.pos.x - before.x, me.pos.y - before.y);
    EXPECT_NEAR(moved, kFighterSpeed * 0.02f, 1e-4f);
}

// q, Q or the menu's Quit only ask; the next key event, whatever its key
// and even during a pause, ends the game and does nothing else.
TEST_F(MenuChoices, AQuitTakesEffectAtTheNextKeyEventWhichDoesNothingElse) {
    startGame();
    Fighter& me = gs.fighterList[0];
    for (const bool byMenu : {false, true}) {
        process.quitRequested = false;
        if (byMenu) {
            chooseMainMenu(MenuQuit);
        } else {
            // The press asks; its own release is already the next event.
            EXPECT_EQ(fighterKeyAction(me, 'q', false, false), GameEnd::Playing);
            EXPECT_EQ(fighterKeyAction(me, 'q', true, false), GameEnd::QuitAsked);
        }
        ASSERT_TRUE(process.quitRequested) << "by menu " << byMenu;
        gs.gamePaused = byMenu;
        me.keyDown[int{' '}] = 1;  // this release would fire
        EXPECT_EQ(fighterKeyAction(me, ' ', true, false), GameEnd::QuitAsked);
        EXPECT_EQ(fighterKeyAction(me, kKeyUpArrow, false, true), GameEnd::QuitAsked);
        EXPECT_EQ(fighterKeyAction(me, 'Q', false, false), GameEnd::QuitAsked);
        EXPECT_EQ(bulletCount(), 0);
        EXPECT_EQ(me.keyDown[int{' '}], 1) << "the event changed nothing";
        EXPECT_EQ(me.movePending, 0);
    }
}
