// test_scoreboard.cpp -- the scoreboard's rows and lines as a player reads
// them, and the event feed's ageing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "world/world.h"

namespace {

Fighter fighter(const char* name, int score, int deaths, FighterState state = FighterState::InPlay) {
    Fighter f;
    std::strncpy(f.name, name, kPlayerNameMax);
    f.score = score;
    f.deaths = deaths;
    f.state = state;
    return f;
}

std::string order(const Scoreboard& b) {
    std::string s;
    for (int i = 0; i < b.rowCount; ++i) s += std::to_string(b.rows[i].fighter);
    return s;
}

}  // namespace

TEST(Scoreboard, RowsSortByScoreThenFewerDeathsThenFighterAndLeaveAbsentOut) {
    GameState g;
    g.fighterList = {fighter("", 3, 2),  fighter("bob", 7, 5),   fighter("carol", 3, 1),
                     fighter("zed", 9, 0, FighterState::Absent), fighter("dave", 3, 2, FighterState::Dead),
                     fighter("eve", 7, 5)};
    g.fighterList[5].protectMs = 1500;
    g.fighterList[1].pingMs = 23;
    g.fighterList[1].fightersDestroyed = 4;
    // A damaged body's name: control bytes dropped, no NUL in the field.
    std::memset(g.fighterList[2].name, 'x', sizeof g.fighterList[2].name);
    g.fighterList[2].name[1] = '\x07';
    const Scoreboard b = buildScoreboard(g, 4);
    EXPECT_EQ(order(b), "15204");
    const ScoreboardRow& bob = b.rows[0];
    EXPECT_STREQ(bob.name, "bob");
    EXPECT_STREQ(bob.ping, "23");
    EXPECT_EQ(bob.fightersDestroyed, 4);
    EXPECT_STREQ(bob.state, kScoreInPlay);
    EXPECT_STREQ(b.rows[1].state, kScoreProtected);
    EXPECT_STREQ(b.rows[2].name, std::string(kPlayerNameMax - 1, 'x').c_str());
    EXPECT_STREQ(b.rows[3].name, "player 0");
    EXPECT_STREQ(b.rows[3].ping, "0") << "the server's own player";
    EXPECT_STREQ(b.rows[4].state, kScoreDestroyed);
    for (int i = 0; i < b.rowCount; ++i) EXPECT_EQ(b.rows[i].local, b.rows[i].fighter == 4);
}

TEST(Scoreboard, APlainServersZeroDataShowsNumberedPlayersAndNoClock) {
    GameState g;
    g.fighterList.resize(kMaxFighterStarts + 3);
    for (Fighter& f : g.fighterList) f.state = FighterState::InPlay;
    const Scoreboard b = buildScoreboard(g, 2);
    ASSERT_EQ(b.rowCount, kMaxFighterStarts) << "never more rows than the table holds";
    EXPECT_EQ(order(b), "0123456789");
    EXPECT_STREQ(b.rows[7].name, "player 7");
    EXPECT_STREQ(b.rows[7].ping, "-");
    EXPECT_STREQ(b.clock, "round -:--");
    EXPECT_STREQ(b.banner, "");
    HudState h;
    EXPECT_FALSE(scoreboardShown(g, h));
    h.scoreboardHeld = true;
    EXPECT_TRUE(scoreboardShown(g, h));
}

TEST(Scoreboard, ARoundsEndNamesItsWinnerAndCountsDownToTheNext) {
    GameState g;
    g.fighterList = {fighter("", 2, 0), fighter("alice", 7, 1)};
    g.round.elapsedMs = 185 * 1000 + 999;
    EXPECT_STREQ(buildScoreboard(g, 0).clock, "round 3:05");
    g.round.over = true;
    g.round.winner = 1;
    g.round.restartMs = 8001;
    EXPECT_STREQ(buildScoreboard(g, 0).banner, "round over: alice wins with 7 - next round in 9 s");
    EXPECT_TRUE(scoreboardShown(g, HudState{})) << "shows by itself between rounds";
    g.round.winner = 5;  // out of range from a damaged body
    g.round.restartMs = 1;
    EXPECT_STREQ(buildScoreboard(g, 0).banner, "round over: no winner - next round in 1 s");
}

TEST(EventFeed, LinesLeaveInOrderAfterTheirTimeAcrossTheMinutesWrap) {
    HudState h;
    const int32_t set[] = {57000, 58500, 59900, 1000};
    for (int i = 0; i < kFeedLines; ++i) {
        std::snprintf(h.feed[i].text, sizeof h.feed[i].text, "event %d", i);
        h.feed[i].setMs = set[i];
    }
    h.feedCount = kFeedLines;
    expireFeed(h, 1500);  // 4.5 s after the first, 3 s after the second
    ASSERT_EQ(h.feedCount, 3);
    EXPECT_STREQ(h.feed[0].text, "event 1");
    EXPECT_STREQ(h.feed[2].text, "event 3");
    EXPECT_STREQ(h.feed[3].text, "") << "a dropped line leaves nothing behind";
    expireFeed(h, 5000);  // exactly 4 s: still shown
    ASSERT_EQ(h.feedCount, 1);
    EXPECT_STREQ(h.feed[0].text, "event 3");
    h.feedCount = 99;  // damaged count: bounded
    expireFeed(h, 5001);
    EXPECT_LE(h.feedCount, kFeedLines);
}
