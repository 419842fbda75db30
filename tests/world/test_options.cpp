// The option flags, the menus' choices and the pause, without a display.
#include <cstring>

#include "net/net.h"
#include "rules_helpers.h"
#include "shell/shell.h"

using namespace rulestest;

namespace {

class MenuChoices : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        resetNetStateForTest();
        // A 6 x 6 walled level with two fighter starts and one prey start.
        buildWalledMaze(6, 6, 8.0f);
        gs.fighterStartCount = 2;
        gs.fighterStarts[0] = StartPosition{1, 1, 2};
        gs.fighterStarts[1] = StartPosition{4, 4, 0};
        gs.preyStartCount = 1;
        gs.preyStarts[0] = StartPosition{3, 2, 1};
        gs.startBullets = 7;
        createFighters();
    }
};

struct Flags {
    bool started, paused, map, textures, lighting, sound, quit;
    int detail;
    bool operator==(const Flags&) const = default;
};
Flags flags() {
    return Flags{gs.gameStarted, gs.gamePaused, gs.showMap, gs.texturesOn, gs.lightingOn,
                 gs.soundOn,     gs.quitRequested, gs.detailLevel};
}

void tap(Fighter& f, int key) {
    fighterKeyAction(f, key, false, false);
    fighterKeyAction(f, key, true, false);
}

}  // namespace

TEST_F(MenuChoices, EveryMainEntryChangesItsOwnFlagAndKeysShareThem) {
    const Flags start = flags();
    // Before a game has started, Pause and Map change nothing; values
    // outside 1..7 never do.
    for (const int value : {int{MenuPauseGame}, int{MenuToggleMap}, 0, 8, -1, 1000}) {
        chooseMainMenu(value);
        EXPECT_EQ(flags(), start) << "value " << value;
    }

    chooseMainMenu(MenuStartGame);
    EXPECT_TRUE(gs.gameStarted);
    Flags want = flags();
    const struct {
        int value;
        bool Flags::*flag;
    } toggles[] = {{MenuPauseGame, &Flags::paused},   {MenuToggleMap, &Flags::map},
                   {MenuToggleTexture, &Flags::textures}, {MenuToggleLight, &Flags::lighting},
                   {MenuToggleSound, &Flags::sound}};
    for (const auto& t : toggles) {
        for (int round = 0; round < 2; ++round) {
            chooseMainMenu(t.value);
            want.*t.flag = !(want.*t.flag);
            EXPECT_EQ(flags(), want) << "value " << t.value << " round " << round;
        }
    }
    EXPECT_STREQ(gs.messageLine, "Game resumed") << "the second Pause resumed";

    // Menu and keys act on the same flags: the menu then a tapped T or L
    // leaves them as they were.
    Fighter& me = gs.fighterList[0];
    chooseMainMenu(MenuToggleTexture);
    tap(me, 'T');
    chooseMainMenu(MenuToggleLight);
    tap(me, 'L');
    EXPECT_EQ(flags(), want);

    // Quit only asks; the next key event that reaches a fighter ends the process.
    chooseMainMenu(MenuQuit);
    EXPECT_TRUE(gs.quitRequested);
    EXPECT_EXIT(fighterKeyAction(me, 'x', false, false), testing::ExitedWithCode(0), "");
}

TEST_F(MenuChoices, DetailEntriesSetTheLevelAndOthersAreRefused) {
    for (int value = 1; value <= kDetailMenuEntries; ++value) {
        chooseDetailMenu(value);
        EXPECT_EQ(gs.detailLevel, value - 1);
    }
    chooseDetailMenu(5);
    for (const int value : {0, 10, -1, 1 << 30}) {
        printedBy([&] { chooseDetailMenu(value); });
        EXPECT_EQ(gs.detailLevel, 4);
    }
}

TEST_F(MenuChoices, StartGameResetsEveryTimeAndKeepsConnectedClientsPlaying) {
    startGame();
    net.clients[0].inUse = 1;  // a client plays fighter 1
    for (int round = 0; round < 2; ++round) {
        Fighter& me = gs.fighterList[0];
        me.pos = Vec3{30.0f, 30.0f, kFighterHeight};
        me.score = 3;
        me.bullets = 1;
        me.health = 20.0f;
        gs.fighterList[1].state = Dead;
        gs.preyList.clear();
        gs.explosionList.emplace_back();

        chooseMainMenu(MenuStartGame);
        EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 12.0f) << "round " << round;
        EXPECT_FLOAT_EQ(gs.fighterList[0].pos.y, 12.0f);
        EXPECT_EQ(gs.fighterList[0].score, 0);
        EXPECT_EQ(gs.fighterList[0].bullets, 7);
        EXPECT_FLOAT_EQ(gs.fighterList[0].health, kStartHealth);
        EXPECT_EQ(gs.fighterList[0].state, InPlay);
        EXPECT_EQ(gs.fighterList[1].state, InPlay) << "the connected client plays on";
        EXPECT_EQ(preyCount(), 1);
        EXPECT_EQ(explosionCount(), 0);
    }

    // A paused game that starts anew runs.
    chooseMainMenu(MenuPauseGame);
    ASSERT_TRUE(gs.gamePaused);
    chooseMainMenu(MenuStartGame);
    EXPECT_FALSE(gs.gamePaused);

    // A client's world is the server's: its Start and Pause only say so.
    gs.isServer = false;
    gs.fighterList[0].pos.x = 30.0f;
    chooseMainMenu(MenuStartGame);
    EXPECT_FLOAT_EQ(gs.fighterList[0].pos.x, 30.0f);
    EXPECT_STREQ(gs.messageLine, "Only the server can start a new game");
    chooseMainMenu(MenuPauseGame);
    EXPECT_FALSE(gs.gamePaused);
    EXPECT_STREQ(gs.messageLine, "Only the server can pause the game");
}

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
    EXPECT_STREQ(gs.messageLine, "Game paused");
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
    EXPECT_FLOAT_EQ(me.pos.x, before.x);
    EXPECT_FLOAT_EQ(me.pos.y, before.y);
    EXPECT_FLOAT_EQ(gs.preyList[0].pos.x, preyBefore.x);
    EXPECT_FLOAT_EQ(gs.preyList[0].pos.y, preyBefore.y);
    EXPECT_FLOAT_EQ(me.health, 50.0f);
    EXPECT_EQ(bulletCount(), 1);
    EXPECT_FLOAT_EQ(gs.bulletList[0].pos.x, bulletBefore);
    EXPECT_EQ(gs.explosionList[0].frame, 0);
    EXPECT_EQ(me.movePending, 0);
    EXPECT_EQ(me.keyDown['j'], 0) << "a press during the pause holds nothing";
    // The local toggles still work.
    tap(me, 'T');
    EXPECT_FALSE(gs.texturesOn);

    // Resuming: the first step covers one pass, not the paused time.
    chooseMainMenu(MenuPauseGame);
    EXPECT_STREQ(gs.messageLine, "Game resumed");
    stepWorld(20);
    const float moved = std::hypot(me.pos.x - before.x, me.pos.y - before.y);
    EXPECT_NEAR(moved, kFighterSpeed * 0.02f, 1e-4f);

    // A key let go during the pause stays let go afterwards.
    chooseMainMenu(MenuPauseGame);
    fighterKeyAction(me, 'i', true, false);
    chooseMainMenu(MenuPauseGame);
    const Vec3 after = me.pos;
    stepWorld(20);
    EXPECT_FLOAT_EQ(me.pos.y, after.y);
}

TEST_F(MenuChoices, ThePauseReachesClientsThroughTheState) {
    startGame();
    NetMessage body;
    chooseMainMenu(MenuPauseGame);
    packState(body);
    EXPECT_EQ(body.bytes[15], kServerFlagPaused);

    // The client: its own copy of the world, not paused until told.
    gs.isServer = false;
    gs.gamePaused = false;
    gs.messageLine[0] = '\0';
    applyState(body);
    EXPECT_TRUE(gs.gamePaused);
    EXPECT_STREQ(gs.messageLine, "Game paused");
    gs.messageLine[0] = '\0';
    applyState(body);  // the same picture again says nothing new
    EXPECT_STREQ(gs.messageLine, "");

    gs.isServer = true;
    chooseMainMenu(MenuPauseGame);
    packState(body);
    EXPECT_EQ(body.bytes[15], 0);
    gs.isServer = false;
    applyState(body);
    EXPECT_FALSE(gs.gamePaused);
    EXPECT_STREQ(gs.messageLine, "Game resumed");
}
