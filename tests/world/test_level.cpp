// Level file reading, light placement, hidden faces, fighter creation and the
// game reset, as a player or a level designer would notice them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "world/world.h"

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
        if (c.empty()) {
            for (int r = 0; r < rows; ++r) {
                for (int k = 0; k < cols; ++k) {
                    const bool edge = r == 0 || k == 0 || r == rows - 1 || k == cols - 1;
                    c += edge ? "1 " : "0 ";
                }
                c += "\n";
            }
        }
        return std::to_string(cols) + " " + std::to_string(rows) + "\n" + scale + "\n" + fighters +
               "\n" + prey + "\n" + ammo + "\n" + c + lights + "\n";
    }
};

// Reads a level from text and returns what it printed on standard output.
std::string readLevel(const std::string& text) {
    testing::internal::CaptureStdout();
    readMazeMapText(text);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class Level : public testing::Test {
protected:
    void SetUp() override { resetGameStateForTest(); }
};

}  // namespace

TEST_F(Level, ReadsEverySectionInFileOrder) {
    LevelText t;
    t.cols = 5;
    t.rows = 4;
    t.fighters = "2  3 2 1   1 1 7";  // row, column, direction
    t.prey = "1  2 3 2";
    t.ammo = "99 -4  50 10";
    t.lights = "2  0 1 1  4 2 3";    // column, row, side
    const std::string out = readLevel(t.text());

    EXPECT_EQ(gs.mazeCols, 5);
    EXPECT_EQ(gs.mazeRows, 4);
    EXPECT_FLOAT_EQ(gs.cellSize, 10.0f);
    EXPECT_FLOAT_EQ(gs.wallHeight, 8.0f);
    EXPECT_FLOAT_EQ(gs.lightHeight, 6.0f);
    ASSERT_EQ(gs.fighterStartCount, 2);
    EXPECT_EQ(gs.fighterStarts[0].row, 3);
    EXPECT_EQ(gs.fighterStarts[0].column, 2);
    EXPECT_EQ(gs.fighterStarts[0].direction, 1);
    EXPECT_EQ(gs.fighterStarts[1].direction, 7);
    ASSERT_EQ(gs.preyStartCount, 1);
    EXPECT_EQ(gs.preyStarts[0].column, 3);
    EXPECT_EQ(gs.startBullets, 50);
    EXPECT_EQ(gs.startMissiles, 10);
    EXPECT_EQ(gs.mazeCells[0][0], 1);
    EXPECT_EQ(gs.mazeCells[1][1], 0);
    EXPECT_EQ(gs.mazeCells[3][4], 1);
    ASSERT_EQ(lightCount(), 2);
    EXPECT_EQ(gs.mazeLights[1].col, 4);
    EXPECT_EQ(gs.mazeLights[1].row, 2);
    EXPECT_EQ(gs.mazeLights[1].side, 3);
    EXPECT_NE(out.find("num of lights: 2\n"), std::string::npos);
}

TEST_F(Level, SizeLimits) {
    LevelText t;
    t.cols = 100;
    t.rows = 100;
    readLevel(t.text());
    EXPECT_EQ(gs.mazeCols, 100);
    EXPECT_EQ(gs.mazeRows, 100);
    EXPECT_EQ(gs.mazeCells[99][99], 1);
    EXPECT_EQ(gs.hiddenFaces[99][99][2], 1);

    for (const auto& size : {std::pair{101, 5}, std::pair{5, 101}, std::pair{2147483647, 3}}) {
        resetGameStateForTest();
        const std::string out = readLevel(std::to_string(size.first) + " " +
                                          std::to_string(size.second) + " 10 8 6 0 0 0 0 0 0");
        EXPECT_EQ(out, "input map exceeds max size.\n");
        // Nothing after the sizes is read, and no later code may see a size
        // beyond the grid.
        EXPECT_EQ(gs.mazeCols, 0);
        EXPECT_EQ(gs.mazeRows, 0);
        EXPECT_FLOAT_EQ(gs.cellSize, 0.0f);
    }
}

TEST_F(Level, NonPositiveSizesReadNoCells) {
    const std::string out = readLevel("0 -3  10 8 6  0  0  0 0  5 5  1  0 0 1");
    EXPECT_NE(out.find("has no cells"), std::string::npos);
    EXPECT_EQ(gs.mazeCols, 0);
    EXPECT_EQ(gs.mazeRows, 0);
    // The light count follows directly, since there are no cell codes.
    EXPECT_NE(out.find("num of lights: 1\n"), std::string::npos);
    EXPECT_EQ(lightCount(), 1);
    EXPECT_EQ(gs.hiddenFaces[0][0][0], 0);
}

TEST_F(Level, MissileLimit) {
    LevelText t;
    t.ammo = "0 0 50 27";
    std::string out = readLevel(t.text());
    EXPECT_EQ(gs.startMissiles, 26);
    EXPECT_NE(out.find("max missile number: 26\n"), std::string::npos);

    resetGameStateForTest();
    t.ammo = "0 0 50 26";
    out = readLevel(t.text());
    EXPECT_EQ(gs.startMissiles, 26);
    EXPECT_EQ(out.find("max missile"), std::string::npos);
}

TEST_F(Level, LightCountZeroOrNegative) {
    for (const char* lights : {"0", "-5"}) {
        resetGameStateForTest();
        LevelText t;
        t.lights = lights;
        const std::string out = readLevel(t.text());
        EXPECT_NE(out.find(std::string("num of lights: ") + lights + "\n"), std::string::npos);
        EXPECT_NE(out.find("invalid lights number.\n"), std::string::npos);
        EXPECT_EQ(lightCount(), 0);
        // Cells were read, but no face is hidden.
        EXPECT_EQ(gs.mazeCells[0][0], 1);
        EXPECT_EQ(gs.hiddenFaces[0][0][0], 0);
        EXPECT_EQ(gs.hiddenFaces[0][0][1], 0);
    }
}

TEST_F(Level, MissingFileReadsNothingAndSaysSo) {
    testing::internal::CaptureStdout();
    readMazeMapFile("/nonexistent/korvath.map");
    std::fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "num of lights: 0\ninvalid lights number.\n");
    EXPECT_EQ(gs.mazeCols, 0);
    EXPECT_EQ(gs.fighterStartCount, 0);
}

TEST_F(Level, MalformedTokenLeavesTheRestAtZero) {
    LevelText t;
    t.ammo = "0 0 fifty 10";
    const std::string out = readLevel(t.text());
    EXPECT_EQ(gs.fighterStartCount, 1);  // read before the bad token
    EXPECT_EQ(gs.startBullets, 0);
    EXPECT_EQ(gs.startMissiles, 0);
    EXPECT_EQ(gs.mazeCells[0][0], 0);
    EXPECT_NE(out.find("num of lights: 0\n"), std::string::npos);

    // Out-of-range numbers are malformed too, not wrapped.
    resetGameStateForTest();
    t = LevelText{};
    t.ammo = "0 0 99999999999 10";
    readLevel(t.text());
    EXPECT_EQ(gs.startBullets, 0);

    resetGameStateForTest();
    t = LevelText{};
    t.scale = "1e60 8 6";
    readLevel(t.text());
    EXPECT_FLOAT_EQ(gs.cellSize, 0.0f);
    EXPECT_TRUE(std::isfinite(gs.cellSize));
}

TEST_F(Level, StartCountsBeyondTheTablesKeepTheStreamAligned) {
    LevelText t;
    std::string f = "12";
    for (int i = 0; i < 12; ++i) f += "  1 1 1";
    t.fighters = f;
    std::string p = "25";
    for (int i = 0; i < 25; ++i) p += "  1 2 0";
    t.prey = p;
    const std::string out = readLevel(t.text());
    EXPECT_EQ(gs.fighterStartCount, kMaxFighterStarts);
    EXPECT_EQ(gs.preyStartCount, kMaxPreyStarts);
    EXPECT_NE(out.find("too many fighter starts"), std::string::npos);
    EXPECT_NE(out.find("too many prey starts"), std::string::npos);
    // What follows the starts is still read correctly.
    EXPECT_EQ(gs.startBullets, 50);
    EXPECT_EQ(lightCount(), 1);

    resetGameStateForTest();
    t = LevelText{};
    t.fighters = "-3";
    readLevel(t.text());
    EXPECT_EQ(gs.fighterStartCount, 0);
    EXPECT_EQ(gs.startBullets, 50);
}

TEST_F(Level, StartsAndLightsOutsideTheGridAreReported) {
    LevelText t;
    t.fighters = "1  7 200 1";
    t.lights = "2  -1 0 1  2 0 9";
    const std::string out = readLevel(t.text());
    EXPECT_NE(out.find("fighter start 0 outside the maze"), std::string::npos);
    EXPECT_NE(out.find("light 0 outside the maze"), std::string::npos);
    EXPECT_NE(out.find("light 1 has invalid side 9"), std::string::npos);
    ASSERT_EQ(lightCount(), 2);
    // A light without a side sits in its cell's middle, never at garbage.
    EXPECT_FLOAT_EQ(gs.mazeLights[1].position[0], 25.0f);
    EXPECT_FLOAT_EQ(gs.mazeLights[1].position[1], 5.0f);
}

TEST_F(Level, TruncatedLightListKeepsWhatWasRead) {
    LevelText t;
    t.lights = "2000000000  0 1 1  1 0";
    const std::string out = readLevel(t.text());
    EXPECT_EQ(lightCount(), 1);
    EXPECT_NE(out.find("only 1 of 2000000000 lights"), std::string::npos);
}

TEST_F(Level, LightPlacement) {
    gs.cellSize = 10.0f;
    gs.lightHeight = 8.0f;
    MazeLight l;
    l.col = 2;
    l.row = 0;
    l.side = 1;
    placeLight(l);
    EXPECT_FLOAT_EQ(l.position[0], 30.0f);
    EXPECT_FLOAT_EQ(l.position[1], 5.0f);
    EXPECT_FLOAT_EQ(l.position[2], 8.0f);
    EXPECT_FLOAT_EQ(l.position[3], 1.0f);

    const float expect[4][2] = {{25.0f, 0.0f}, {30.0f, 5.0f}, {25.0f, 10.0f}, {20.0f, 5.0f}};
    for (int s = 0; s < 4; ++s) {
        l.side = s;
        placeLight(l);
        EXPECT_FLOAT_EQ(l.position[0], expect[s][0]) << "side " << s;
        EXPECT_FLOAT_EQ(l.position[1], expect[s][1]) << "side " << s;
    }

    // The file's light triple is column, row, side.
    resetGameStateForTest();
    LevelText t;
    t.cols = 6;
    t.rows = 7;
    t.lights = "1  3 5 1";
    readLevel(t.text());
    ASSERT_EQ(lightCount(), 1);
    EXPECT_FLOAT_EQ(gs.mazeLights[0].position[0], 40.0f);
    EXPECT_FLOAT_EQ(gs.mazeLights[0].position[1], 55.0f);
}

TEST_F(Level, HiddenFacesOnBorderAndBetweenWalls) {
    LevelText t;
    t.cols = 4;
    t.rows = 3;
    t.cells = "1 1 0 1\n"
              "0 1 0 0\n"
              "0 0 1 1\n";
    readLevel(t.text());
    // Border faces, whatever the code.
    EXPECT_EQ(gs.hiddenFaces[0][2][0], 1);
    EXPECT_EQ(gs.hiddenFaces[1][0][3], 1);
    EXPECT_EQ(gs.hiddenFaces[2][2][2], 1);
    EXPECT_EQ(gs.hiddenFaces[1][3][1], 1);
    // Shared faces of neighbouring walls: horizontal, vertical, last row.
    EXPECT_EQ(gs.hiddenFaces[0][0][1], 1);
    EXPECT_EQ(gs.hiddenFaces[0][1][3], 1);
    EXPECT_EQ(gs.hiddenFaces[0][1][2], 1);
    EXPECT_EQ(gs.hiddenFaces[1][1][0], 1);
    EXPECT_EQ(gs.hiddenFaces[2][2][1], 1);
    EXPECT_EQ(gs.hiddenFaces[2][3][3], 1);
    // Faces toward open cells stay visible.
    EXPECT_EQ(gs.hiddenFaces[0][1][1], 0);
    EXPECT_EQ(gs.hiddenFaces[1][1][3], 0);
    EXPECT_EQ(gs.hiddenFaces[2][2][0], 0);
    EXPECT_EQ(gs.hiddenFaces[1][1][2], 0);
}

TEST_F(Level, FighterCreation) {
    LevelText t;
    t.cols = 8;
    t.rows = 8;
    t.fighters = "3  3 5 1   6 2 0   1 1 7";
    testing::internal::CaptureStdout();
    readMazeMapText(t.text());
    createFighters();
    std::fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_EQ(fighterCount(), 3);
    const Fighter& f = gs.fighterList[0];
    EXPECT_FLOAT_EQ(f.pos.x, 55.0f);  // column 5
    EXPECT_FLOAT_EQ(f.pos.y, 35.0f);  // row 3
    EXPECT_FLOAT_EQ(f.pos.z, kFighterHeight);
    EXPECT_FLOAT_EQ(f.dir.x, 1.0f);
    EXPECT_FLOAT_EQ(f.nextPos.x, f.pos.x);
    EXPECT_EQ(f.state, Absent);
    EXPECT_EQ(f.bullets, 50);
    EXPECT_EQ(f.missiles, 10);
    EXPECT_FLOAT_EQ(f.health, 100.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[1].dir.y, -1.0f);
    // Direction 7: created, faces nowhere, "invalid direction" twice.
    EXPECT_FLOAT_EQ(gs.fighterList[2].dir.x, 0.0f);
    EXPECT_FLOAT_EQ(gs.fighterList[2].dir.y, 0.0f);
    size_t n = 0;
    for (size_t at = out.find("invalid direction\n"); at != std::string::npos;
         at = out.find("invalid direction\n", at + 1))
        ++n;
    EXPECT_EQ(n, 2u);
}

TEST_F(Level, ResetPutsOnlyFighterZeroInPlayAndRecreatesPrey) {
    LevelText t;
    t.cols = 8;
    t.rows = 8;
    t.fighters = "3  1 1 1   1 2 1   1 3 1";
    t.prey = "2  5 5 2   6 6 0";
    readLevel(t.text());
    createFighters();
    resetGame();
    ASSERT_EQ(preyCount(), 2);

    // A game in progress: clients playing, scores, damage, explosions, bullets.
    for (Fighter& f : gs.fighterList) {
        f.state = InPlay;
        f.score = 4;
        f.health = 20.0f;
        f.bullets = 1;
        f.pos.x += 3.0f;
        f.keyDown['i'] = 1;
    }
    gs.preyList.pop_back();
    gs.preyList[0].health = 10.0f;
    gs.preyList[0].mode = Hunt;
    gs.explosionList.resize(3);
    gs.effectEvents.resize(2);
    gs.bulletList.resize(5);

    resetGame();
    EXPECT_EQ(gs.fighterList[0].state, InPlay);
    for (int i = 1; i < fighterCount(); ++i) EXPECT_EQ(gs.fighterList[i].state, Absent);
    for (const Fighter& f : gs.fighterList) {
        EXPECT_EQ(f.score, 0);
        EXPECT_FLOAT_EQ(f.health, 100.0f);
        EXPECT_EQ(f.bullets, 50);
        EXPECT_EQ(f.keyDown['i'], 0);
        EXPECT_FLOAT_EQ(f.nextPos.x, f.pos.x);
    }
    EXPECT_FLOAT_EQ(gs.fighterList[1].pos.x, 25.0f);
    ASSERT_EQ(preyCount(), 2);
    const Prey& p = gs.preyList[0];
    EXPECT_FLOAT_EQ(p.pos.x, 55.0f);
    EXPECT_FLOAT_EQ(p.pos.y, 55.0f);
    EXPECT_FLOAT_EQ(p.pos.z, 1.5f);
    EXPECT_FLOAT_EQ(p.health, 100.0f);
    EXPECT_EQ(p.mode, Roam);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_FLOAT_EQ(p.dir.y, 1.0f);
    EXPECT_EQ(explosionCount(), 0);
    EXPECT_EQ(effectEventCount(), 0);
    EXPECT_EQ(bulletCount(), 5);  // bullets in flight keep flying
}

TEST_F(Level, ResetWithoutPreyStartsLeavesNoPrey) {
    LevelText t;
    t.prey = "0";
    readLevel(t.text());
    createFighters();
    gs.preyList.resize(4);
    resetGame();
    EXPECT_EQ(preyCount(), 0);
}
