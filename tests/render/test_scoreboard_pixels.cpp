// test_scoreboard_pixels.cpp -- Tab's scoreboard over the view at 640 x 480
// and (on a screen of its own) 1600 x 1200, gone again on release; the
// marks of a protected fighter. Frames go to <build>/test-frames/scoreboard_*.png.
#include <cstring>

#include "render_test_util.h"

namespace {

using rendertest::Frame;
using rendertest::Rgb;

bool near(int v, int want, int tolerance = 6) { return std::abs(v - want) <= tolerance; }
// The local row's bar: (0.15, 0.35, 0.65).
bool isLocalBar(Rgb c) { return near(c.r, 38) && near(c.g, 89) && near(c.b, 166); }
bool isWhite(Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; }
bool isFeedGreen(Rgb c) { return c.g > 230 && near(c.r, 178, 30) && near(c.b, 178, 30); }
bool isCyanish(Rgb c) { return c.b > 150 && c.g > 120 && c.r < c.g - 40; }

// Rows of the box that hold white text: one band per line of text.
template <class Test>
int textLines(const Frame& f, int x0, int y0, int x1, int y1, Test colour) {
    int lines = 0;
    bool inText = false;
    for (int y = y1 - 1; y >= y0; --y) {
        const bool text = f.count(x0, y, x1, y + 1, colour) > 0;
        lines += text && !inText ? 1 : 0;
        inText = text;
    }
    return lines;
}

class ScoreboardPixels : public rendertest::GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        if (IsSkipped()) return;
        rendertest::restoreShippedLevel();
        ASSERT_GE(gs.fighterList.size(), 3u);
        process.localFighterIndex = 0;
        options.texturesOn = true;
        options.lightingOn = false;
        options.showMap = false;
        view.helpShown = false;
        hud.scoreboardHeld = false;
        // The local player trails alice: its row is the second, after hers.
        gs.fighterList[0].state = FighterState::InPlay;
        gs.fighterList[0].score = 2;
        gs.fighterList[1].state = FighterState::InPlay;
        std::strcpy(gs.fighterList[1].name, "alice");
        gs.fighterList[1].score = 7;
        gs.fighterList[1].pos = Vec3{-100.0f, -100.0f, kFighterHeight};  // out of sight
        gs.fighterList[2].state = FighterState::Dead;
    }
    void TearDown() override {
        hud.scoreboardHeld = false;
        GameWindowTest::TearDown();
    }
};

}  // namespace

TEST_F(ScoreboardPixels, TabShowsTheTableOverTheViewAndReleaseTakesItAway) {
    if (!rendertest::onABigScreen("scoreboard_1600x1200.log")) return;
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1600, 1200}}) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        SCOPED_TRACE(size);
        const Frame plain = rendertest::drawHomeFrame("scoreboard_off_" + size, w, h);
        onKeyDown('\t', 0, 0);
        ASSERT_TRUE(hud.scoreboardHeld);
        const Frame shown = rendertest::drawHomeFrame("scoreboard_on_" + size, w, h);
        onKeyUp('\t', 0, 0);
        ASSERT_FALSE(hud.scoreboardHeld);
        const Frame after = rendertest::drawHomeFrame("scoreboard_released_" + size, w, h);

        // The panel lies inside the view's opening; the cockpit's right
        // panel is untouched.
        const ViewOpening o = viewOpening(static_cast<float>(w), static_cast<float>(h));
        const int x0 = static_cast<int>(o.x0) + 1, x1 = static_cast<int>(o.x1) - 1;
        const int y0 = static_cast<int>(o.y0) + 1, y1 = static_cast<int>(o.y1) - 1;
        EXPECT_EQ(rendertest::meanDifference(shown, plain, static_cast<int>(0.82f * w), 0, w, h), 0.0);
        // The local row's bar at a quarter of the panel's width, where no
        // name reaches: one line high, right under alice's row of text.
        const int bx = x0 + (x1 - x0) / 4;
        int barTop = -1, barBottom = -1;
        for (int y = y1 - 1; y >= y0; --y)
            if (isLocalBar(shown.pixel(bx, y))) {
                if (barTop < 0) barTop = y;
                barBottom = y;
            }
        ASSERT_GE(barTop, 0) << "no local bar";
        const float line = 1.4f * static_cast<float>(hudFont(12, hudScale(w, h)).pixels);
        EXPECT_NEAR(barTop - barBottom + 1, line, 2.0);
        const int above = static_cast<int>(barTop + 1), aboveEnd = static_cast<int>(barTop + line);
        EXPECT_GT(shown.count(x0, above, x0 + (x1 - x0) / 4, aboveEnd, isWhite), 10) << "alice's row";
        // White text in three rows, the absent fighters left out: alice's,
        // the player's and the destroyed one's below.
        const int below = static_cast<int>(barBottom - 1.5f * line);
        EXPECT_EQ(textLines(shown, x0, below, x1, aboveEnd, isWhite), 3);
        EXPECT_LT(rendertest::meanDifference(after, plain, 0, 0, w, h), 0.05) << "gone after release";
    }
    rendertest::resizeWindow(640, 480);
}

TEST_F(ScoreboardPixels, AProtectedFighterWearsAShellAndItsPlayerSeesTheEdge) {
    rendertest::resizeWindow(640, 480);
    editMaze().lights.clear();
    // Alice stands 7 ahead of the player in the corridor of the object tests.
    Fighter& alice = gs.fighterList[1];
    alice.pos = Vec3{51.0f, 20.0f, kFighterHeight};
    alice.dir = Vec3{-1.0f, 0.0f, 0.0f};
    const Frame bare = rendertest::drawFrameAt("scoreboard_alice", 44.0f, 20.0f, 1.0f, 0.0f);
    alice.protectMs = 1500;
    const Frame shell = rendertest::drawFrameAt("scoreboard_alice_protected", 44.0f, 20.0f, 1.0f, 0.0f);
    EXPECT_GT(rendertest::meanDifference(shell, bare, 220, 120, 420, 300), 5.0);
    EXPECT_LT(rendertest::meanDifference(shell, bare, 0, 0, 200, 480), 0.05) << "the shell about alice only";
    EXPECT_LT(rendertest::meanDifference(shell, bare, 440, 0, 640, 480), 0.05);
    alice.protectMs = 0;
    gs.fighterList[0].protectMs = 1500;
    const Frame own = rendertest::drawFrameAt("scoreboard_self_protected", 44.0f, 20.0f, 1.0f, 0.0f);
    // A band along the view's edge, the middle of the view as before.
    const ViewOpening o = viewOpening(640.0f, 480.0f);
    EXPECT_FALSE(isCyanish(bare.pixel(static_cast<int>(o.x0) + 3, 200)));
    EXPECT_TRUE(isCyanish(own.pixel(static_cast<int>(o.x0) + 3, 200)));
    EXPECT_FALSE(isCyanish(bare.pixel(300, static_cast<int>(o.y0) + 3)));
    EXPECT_TRUE(isCyanish(own.pixel(300, static_cast<int>(o.y0) + 3)));
    EXPECT_LT(rendertest::meanDifference(own, bare, 100, 150, 400, 350), 0.05);
}

TEST_F(ScoreboardPixels, TheFeedShowsItsRecentLinesAboveTheMessageLine) {
    rendertest::resizeWindow(640, 480);
    process.clockNowMs = 30000;
    const char* lines[] = {"alice joined", "bob was destroyed by a prey", "carol destroyed a prey"};
    const int32_t setMs[] = {25000, 27000, 29900};  // the first is 5 s old: not shown
    for (int i = 0; i < 3; ++i) {
        std::strcpy(hud.feed[i].text, lines[i]);
        hud.feed[i].setMs = setMs[i];
    }
    hud.feedCount = 3;
    const Frame f = rendertest::drawHomeFrame("scoreboard_feed", 640, 480);
    // Between the message line (at a fifth of the height) and the middle.
    EXPECT_EQ(textLines(f, 20, 96, 480, 240, isFeedGreen), 2);
    hud.feedCount = 0;
    process.clockNowMs = 0;
}
