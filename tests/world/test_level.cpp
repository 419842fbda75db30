// Level file reading, light placement, hidden faces, fighter creation and the
// game reset, as a player or a level designer would notice them.
#include <array>
#include <string>
#include <utility>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

// Builds a level text: sizes, scale, starts, ammunition, cells and lights.
struct LevelText {
    int cols = 4, rows = 3;
    std::string scale = "10 8 6";
    std::string fighters = "1  1 1 1";
    std::string prey = "1  1 2 3";
    std::string ammo = "0 0  50 10";
    std::string cells;  // defaults to a ring of walls around open cells
    std::string lights = "1  0 1 1";

    std::string text() const {
        std::string c = cells;
        if (c.empty())
            for (int r = 0; r < rows; ++r, c += "\n")
                for (int k = 0; k < cols; ++k)
                    c += (r == 0 || k == 0 || r == rows - 1 || k == cols - 1) ? "1 " : "0 ";
        return std::to_string(cols) + " " + std::to_string(rows) + "\n" + scale + "\n" + fighters +
               "\n" + prey + "\n" + ammo + "\n" + c + lights + "\n";
    }
};

// Reads a level into a fresh world and returns what it printed.
std::string readLevel(const std::string& text) {
    resetGameStateForTest();
    return printedBy([&] { readMazeMapText(text); });
}
std::string readLevel(const LevelText& t) { return readLevel(t.text()); }


std::array<int, 3> triple(const StartPosition& s) { return {s.row, s.column, s.direction}; }

class Level : public RulesTest {};

}  // namespace

TEST_F(Level, ReadsEverySectionInFileOrder) {
    LevelText t;
    t.cols = 5;
    t.rows = 4;
    t.fighters = "2  3 2 1   1 1 7";  // row, column, direction
    t.ammo = "99 -4  50 10";
    t.lights = "2  0 1 1  4 2 3";    // column, row, side
    EXPECT_EQ(readLevel(t), "num of lights: 2\n");

    EXPECT_EQ(std::pair(gs.mazeCols, gs.mazeRows), std::pair(5, 4));
    EXPECT_EQ((std::array{gs.cellSize, gs.wallHeight, gs.lightHeight}), (std::array{10.0f, 8.0f, 6.0f}));
    ASSERT_EQ(gs.fighterStartCount, 2);
    EXPECT_EQ(triple(gs.fighterStarts[0]), (std::array{3, 2, 1}));
    EXPECT_EQ(triple(gs.fighterStarts[1]), (std::array{1, 1, 7}));
    ASSERT_EQ(gs.preyStartCount, 1);
    EXPECT_EQ(triple(gs.preyStarts[0]), (std::array{1, 2, 3}));
    EXPECT_EQ(std::pair(gs.startBullets, gs.startMissiles), std::pair(50, 10));
    EXPECT_EQ(gs.mazeCells[0][0], 1);
    EXPECT_EQ(gs.mazeCells[1][1], 0);
    EXPECT_EQ(gs.mazeCells[3][4], 1);
    ASSERT_EQ(lightCount(), 2);
    const MazeLight& l = gs.mazeLights[1];
    EXPECT_EQ((std::array{l.col, l.row, l.side}), (std::array{4, 2, 3}));
}

TEST_F(Level, SizeLimits) {
    LevelText t;
    t.cols = t.rows = 100;
    readLevel(t);
    EXPECT_EQ(std::pair(gs.mazeCols, gs.mazeRows), std::pair(100, 100));
    EXPECT_EQ(gs.mazeCells[99][99], 1);
    EXPECT_EQ(gs.hiddenFaces[99][99][2], 1);

    for (const char* sizes : {"101 5", "5 101", "2147483647 3"}) {
        readLevel(t);  // a good level first: its sizes must not survive a refused one
        EXPECT_EQ(printedBy([&] { readMazeMapText(std::string(sizes) + " 3 3 3 0 0 0 0 0 0"); }),
                  "input map exceeds max size.\n");
        // Nothing after the sizes is read, and no later code may see a size
        // beyond the grid.
        EXPECT_EQ(std::pair(gs.mazeCols, gs.mazeRows), std::pair(0, 0)) << sizes;
        EXPECT_EQ(gs.cellSize, 10.0f);
    }

    // Sizes that are not positive read no cells; the light count follows.
    readLevel("0 -3  10 8 6  0  0  0 0  5 5  1  0 0 1");
    EXPECT_EQ(std::pair(gs.mazeCols, gs.mazeRows), std::pair(0, 0));
    EXPECT_EQ(lightCount(), 1);
    EXPECT_EQ(gs.hiddenFaces[0][0][0], 0);
}

TEST_F(Level, MalformedTokenLeavesTheRestAtZero) {
    LevelText t;
    t.ammo = "0 0 fifty 10";
    readLevel(t);
    EXPECT_EQ(lightCount(), 0);
    EXPECT_EQ(gs.fighterStartCount, 1);  // read before the bad token
    EXPECT_EQ(std::pair(gs.startBullets, gs.startMissiles), std::pair(0, 0));
    EXPECT_EQ(gs.mazeCells[0][0], 0);

    // Out-of-range or non-finite numbers are malformed too, never wrapped.
    t.ammo = "0 0 99999999999 10";
    readLevel(t);
    EXPECT_EQ(gs.startBullets, 0);
    for (const char* scale : {"1e60 8 6", "nan 8 6", "inf 8 6"}) {
        t = LevelText{};
        t.scale = scale;
        readLevel(t);
        EXPECT_EQ(gs.cellSize, 0.0f) << scale;
    }
}

TEST_F(Level, StartCountsBeyondTheTablesKeepTheStreamAligned) {
    LevelText t;
    t.fighters = "12";
    for (int i = 0; i < 12; ++i) t.fighters += "  1 1 1";
    t.prey = "25";
    for (int i = 0; i < 25; ++i) t.prey += "  1 2 0";
    readLevel(t);
    EXPECT_EQ(gs.fighterStartCount, kMaxFighterStarts);
    EXPECT_EQ(gs.preyStartCount, kMaxPreyStarts);
    // What follows the starts is still read correctly.
    EXPECT_EQ(gs.startBullets, 50);
    EXPECT_EQ(lightCount(), 1);

    t = LevelText{};
    t.fighters = "-3";
    readLevel(t);
    EXPECT_EQ(gs.fighterStartCount, 0);
    EXPECT_EQ(gs.startBullets, 50);
}

TEST_F(Level, StartsAndLightsOutsideTheGridAreHarmless) {
    LevelText t;
    t.fighters = "1  7 200 1";
    t.lights = "2  -1 0 1  2 0 9";
    readLevel(t);
    ASSERT_EQ(lightCount(), 2);
    // A light without a side sits in its cell's middle, never at garbage.
    EXPECT_EQ(gs.mazeLights[1].position[0], 25.0f);
    EXPECT_EQ(gs.mazeLights[1].position[1], 5.0f);

    // A truncated light list keeps what was read.
    t.lights = "2000000000  0 1 1  1 0";
    readLevel(t);
    EXPECT_EQ(lightCount(), 1);
}

TEST_F(Level, FighterCreationAndReset) {
    LevelText t;
    t.cols = t.rows = 8;
    t.fighters = "3  3 5 1   6 2 0   1 1 7";
    t.prey = "2  5 5 2   6 6 0";
    readLevel(t);
    printedBy(createFighters);
    ASSERT_EQ(fighterCount(), 3);
    const Fighter& f = gs.fighterList[0];
    EXPECT_EQ((std::array{f.pos.x, f.pos.y, f.pos.z}), (std::array{55.0f, 35.0f, kFighterHeight}));
    EXPECT_EQ((std::array{f.nextPos.x, f.dir.x, f.health}), (std::array{f.pos.x, 1.0f, 100.0f}));
    EXPECT_EQ((std::array<int, 3>{f.state, f.bullets, f.missiles}), (std::array<int, 3>{Absent, 50, 10}));
    EXPECT_EQ(gs.fighterList[1].dir.y, -1.0f);
    // Direction 7: created, faces nowhere, "invalid direction" for dir and nextDir.
    EXPECT_EQ(gs.fighterList[2].dir.x + gs.fighterList[2].dir.y, 0.0f);

    // A game in progress: clients playing, scores, damage, explosions, bullets.
    printedBy(resetGame);
    for (Fighter& g : gs.fighterList) {
        g.state = InPlay;
        g.score = g.bullets = 4;
        g.health = 20.0f;
        g.pos.x += 3.0f;
        g.keyDown['i'] = 1;
    }
    gs.preyList.pop_back();
    gs.preyList[0].health = 10.0f;
    gs.preyList[0].mode = Hunt;
    gs.preyList[0].actionStep = 5;
    gs.explosionList.resize(3);
    gs.effectEvents.resize(2);
    gs.bulletList.resize(5);

    // The reset puts everyone back, with only fighter 0 in play.
    printedBy(resetGame);
    const float startX[3] = {55.0f, 25.0f, 15.0f};
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& g = gs.fighterList[i];
        EXPECT_EQ(g.state, i == 0 ? InPlay : Absent) << i;
        EXPECT_EQ((std::array{g.pos.x, g.nextPos.x, g.health}), (std::array{startX[i], g.pos.x, 100.0f}));
        EXPECT_EQ((std::array{g.score, g.bullets, int{g.keyDown['i']}}), (std::array{0, 50, 0}));
    }
    ASSERT_EQ(preyCount(), 2);
    const Prey& p = gs.preyList[0];
    EXPECT_EQ((std::array{p.pos.x, p.pos.y, p.pos.z, p.dir.y, p.health}),
              (std::array{55.0f, 55.0f, 1.5f, 1.0f, 100.0f}));
    EXPECT_EQ((std::array<int, 2>{p.mode, p.actionStep}), (std::array<int, 2>{Roam, 1}));
    EXPECT_EQ(explosionCount() + effectEventCount(), 0);
    EXPECT_EQ(bulletCount(), 5);  // bullets in flight keep flying

}
