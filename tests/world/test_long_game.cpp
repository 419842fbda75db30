// A long game: a destroyed fighter comes back after the delay at the start
// farthest from danger, protected, with its score; a delay of 0 keeps it
// out; bullets come back; the round ends on the last prey and starts again
// by itself; names are checked and made unique.
#include <tuple>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class LongGame : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        buildWalledMaze(12, 20, 8.0f);
        MazeMap& m = editMaze();
        m.fighterStartCount = 3;
        m.fighterStarts[0] = StartPosition{1, 1, 1};    // column, row, direction
        m.fighterStarts[1] = StartPosition{18, 10, 3};
        m.fighterStarts[2] = StartPosition{10, 5, 1};
        m.preyStartCount = 1;
        m.preyStarts[0] = StartPosition{3, 1, 1};       // beside start 0
        m.startBullets = 20;
        m.startMissiles = 3;
        createFighters();
        resetGame();
        for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    }
    Fighter& fighter(int i) { return gs.fighterList[i]; }
    // A server pass of `ms`: the world step, then the long game's.
    void pass(int ms = 20) {
        stepWorld(ms);
        longGameStep(ms);
    }
    void passFor(int ms) {
        for (int t = 0; t < ms; t += 20) pass();
    }
    // One bullet that hits fighter i from its west, fired by `owner` (-1: a prey).
    void shoot(int i, int owner) {
        addBullet(Vec3{fighter(i).pos.x - 4.0f, fighter(i).pos.y, 1.4f}, kEast, owner);
        if (owner < 0) gs.bulletList.back().shooterKind = ShooterKind::PreyCannon;
        pass();
    }
};

TEST_F(LongGame, DestroyedFighterComesBackAfterTheDelayFarFromDangerProtectedWithItsScore) {
    process.localFighterIndex = 1;
    fighter(0).pos = fighter(1).pos;  // fighter 0 stands on start 1, beside the victim
    fighter(0).pos.x -= 16.0f;
    fighter(1).score = 3;
    fighter(1).health = 1.0f;
    fighter(1).bullets = 0;
    fighter(2).state = FighterState::Absent;
    shoot(1, -1);
    ASSERT_EQ(fighter(1).state, FighterState::Dead);
    EXPECT_EQ(fighter(1).deaths, 1);
    EXPECT_EQ(fighter(1).destroyedBy, kDestroyedByPrey);
    showRespawnCountdown();
    EXPECT_STREQ(hud.messageLine, "Destroyed by a prey - back in 5 s");
    passFor(1200);
    showRespawnCountdown();
    EXPECT_STREQ(hud.messageLine, "Destroyed by a prey - back in 4 s");
    passFor(3700);
    EXPECT_EQ(fighter(1).state, FighterState::Dead) << "still out at 4.9 s";
    passFor(200);
    ASSERT_EQ(fighter(1).state, FighterState::InPlay) << "back at 5 s";
    // Start 0 is beside the prey, start 1 beside fighter 0: start 2 is the farthest.
    const Fighter& back = fighter(1);
    EXPECT_EQ(std::tuple(back.pos.x, back.pos.y, back.score, back.deaths, back.bullets, back.missiles, back.health),
              std::tuple(84.0f, 44.0f, 3, 1, 20, 3, 100.0f));
    EXPECT_GT(fighter(1).protectMs, 1500);
    // Protected: a hit shows, but does no damage; after 2 s it does.
    shoot(1, 0);
    EXPECT_FLOAT_EQ(fighter(1).health, 100.0f);
    passFor(2000);
    shoot(1, 0);
    EXPECT_FLOAT_EQ(fighter(1).health, 95.0f);
    // Its bullets come back one per 500 ms once its gun is silent for 1 s,
    // up to the level's count.
    fighter(1).bullets = 11;
    tapKey(fighter(1), ' ');
    ASSERT_EQ(fighter(1).bullets, 10);
    passFor(1000);
    EXPECT_EQ(fighter(1).bullets, 10) << "no bullet back within a second of a shot";
    passFor(1000);
    EXPECT_EQ(fighter(1).bullets, 12);
    passFor(10000);
    EXPECT_EQ(fighter(1).bullets, 20);
}

TEST_F(LongGame, DelayZeroOrRespawnSwitchedOffKeepsTheDestroyedOut) {
    for (const bool switchedOff : {false, true}) {
        SCOPED_TRACE(switchedOff ? "switched off" : "delay 0");
        longGame.respawnDelayMs = switchedOff ? 5000 : 0;
        longGame.respawnOn = !switchedOff;
        fighter(1).state = FighterState::InPlay;
        fighter(1).health = 1.0f;
        shoot(1, 0);
        ASSERT_EQ(fighter(1).state, FighterState::Dead);
        EXPECT_EQ(fighter(1).destroyedBy, 0);
        passFor(20000);
        EXPECT_EQ(fighter(1).state, FighterState::Dead);
        EXPECT_EQ(fighter(1).respawnMs, 0);
    }
    EXPECT_EQ(fighter(0).fightersDestroyed, 2) << "the fighters it destroyed count, not its score";
    EXPECT_EQ(fighter(0).score, 0);
    EXPECT_EQ(fighter(1).deaths, 2);
}

TEST_F(LongGame, LastPreyEndsTheRoundAndTenSecondsLaterEverybodyPlaysAgain) {
    longGame.respawnDelayMs = 0;  // the destroyed stay out until the new round
    assignFighterName(0, "alice");
    assignFighterName(2, "carol");
    fighter(1).state = FighterState::Absent;
    fighter(2).health = 1.0f;
    shoot(2, -1);
    ASSERT_EQ(fighter(2).state, FighterState::Dead);
    fighter(0).score = 2;
    fighter(2).score = 1;
    const WorldPicture playing = pictureOfWorld();
    gs.preyList.clear();  // the last prey destroyed
    pass();
    ASSERT_TRUE(gs.round.over);
    EXPECT_EQ(gs.round.winner, 0);
    const std::vector<GameEvent> ended = eventsBetween(playing, pictureOfWorld());
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(feedText(ended[0]), "round over: alice wins with 2");
    const WorldPicture over = pictureOfWorld();
    passFor(9900);
    EXPECT_TRUE(gs.round.over);
    EXPECT_EQ(fighter(2).state, FighterState::Dead);
    passFor(200);
    ASSERT_FALSE(gs.round.over);
    EXPECT_EQ(preyCount(), 1);
    EXPECT_EQ(fighter(0).state, FighterState::InPlay);
    EXPECT_EQ(fighter(2).state, FighterState::InPlay) << "the destroyed plays the new round";
    EXPECT_EQ(fighter(1).state, FighterState::Absent) << "nobody joins by a new round";
    for (const Fighter& f : gs.fighterList) {
        EXPECT_EQ(f.score, 0);
        EXPECT_EQ(f.deaths, 0);
    }
    EXPECT_STREQ(fighter(2).name, "carol") << "names stay";
    EXPECT_FLOAT_EQ(fighter(2).pos.x, 84.0f) << "on its own start";
    EXPECT_LT(gs.round.elapsedMs, 200);
    const std::vector<GameEvent> started = eventsBetween(over, pictureOfWorld());
    ASSERT_EQ(started.size(), 1u) << "a new round's reset is no death, score or respawn";
    EXPECT_EQ(started[0].kind, GameEventKind::RoundStarted);
}

TEST_F(LongGame, NamesAreTrimmedRefusedCutAndMadeUnique) {
    EXPECT_EQ(checkPlayerName("  alice ").name, "alice");
    for (const char* bad : {"", "    ", "tab\there", "caf\xc3\xa9"}) EXPECT_FALSE(checkPlayerName(bad).refusal.empty()) << bad;
    const NameCheck longOne = checkPlayerName("abcdefghijklmn   xyz");
    EXPECT_TRUE(longOne.cut);
    EXPECT_EQ(longOne.name, "abcdefghijklmn") << "cut to 15, then trimmed";

    assignFighterName(0, "alice");
    assignFighterName(1, "alice");
    assignFighterName(2, "");
    EXPECT_EQ(fighterName(1), "alice (2)");
    EXPECT_EQ(fighterName(2), "player 2");
    assignFighterName(0, "fifteen letters");
    assignFighterName(1, "fifteen letters");
    EXPECT_EQ(fighterName(1), "fifteen let (2)");
    fighter(0).state = FighterState::Absent;  // gone: its name is free again
    assignFighterName(1, "fifteen letters");
    EXPECT_EQ(fighterName(1), "fifteen letters");
}

}  // namespace
