// Level file reading, light placement, hidden faces, fighter creation and the
// game reset, as a player or a level designer would notice them.
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "rules_helpers.h"
#include "tests/test_files.h"

using namespace rulestest;

namespace {

// Builds a level text: sizes, scale, starts, ammunition, cells and lights.
struct LevelText {
    int cols = 4, rows = 3;
    std::string scale = "10 8 6", fighters = "1  1 1 1", prey = "1  1 2 3", ammo = "0 0  50 10", lights = "1  0 1 1";

    // The cells: a ring of walls around open cells.
    std::string text() const {
        std::string c;
        for (int r = 0; r < rows; ++r, c += "\n")
            for (int k = 0; k < cols; ++k)
                c += (r == 0 || k == 0 || r == rows - 1 || k == cols - 1) ? "1 " : "0 ";
        return std::to_string(cols) + " " + std::to_string(rows) + "\n" + scale + "\n" + fighters +
               "\n" + prey + "\n" + ammo + "\n" + c + lights + "\n";
    }
};

// Reads a level into a fresh world and returns what it printed.
std::string readLevelText(const std::string& text) {
    resetGameStateForTest();
    return printedBy([&] { readMazeMapText(text); });
}
std::string readLevel(const LevelText& t) { return readLevelText(t.text()); }

std::array<int, 3> triple(const StartPosition& s) { return {s.row, s.column, s.direction}; }

class Level : public RulesTest {};

}  // namespace

TEST_F(Level, ReadsEverySectionInFileOrder) {
    // Starts: row, column, direction; lights: column, row, side.
    EXPECT_EQ(readLevel({.cols = 5, .rows = 4, .fighters = "2  3 2 1   1 1 7", .ammo = "99 -4  50 10",
                         .lights = "2  0 1 1  4 2 3"}),
              "num of lights: 2\n");

    EXPECT_EQ(std::pair(maze.cols, maze.rows), std::pair(5, 4));
    EXPECT_EQ((std::array{maze.cellSize, maze.wallHeight, maze.lightHeight}), (std::array{10.0f, 8.0f, 6.0f}));
    ASSERT_EQ((std::pair(maze.fighterStartCount, maze.preyStartCount)), std::pair(2, 1));
    EXPECT_EQ((std::array{triple(maze.fighterStarts[0]), triple(maze.fighterStarts[1]), triple(maze.preyStarts[0])}),
              (std::array{std::array{3, 2, 1}, std::array{1, 1, 7}, std::array{1, 2, 3}}));
    EXPECT_EQ(std::pair(maze.startBullets, maze.startMissiles), std::pair(50, 10));
    EXPECT_EQ((std::array{maze.cells[0][0], maze.cells[1][1], maze.cells[3][4]}), (std::array{1, 0, 1}));
    ASSERT_EQ(lightCount(), 2);
    EXPECT_EQ((std::array{maze.lights[1].col, maze.lights[1].row, maze.lights[1].side}), (std::array{4, 2, 3}));
}

// Oversized, malformed, overlong and out-of-grid levels: read safely, and
// what follows a bad part is either read in step or left at zero.
TEST_F(Level, MalformedLevelsAreReadSafely) {
    const LevelText big{.cols = 100, .rows = 100};
    readLevel(big);
    EXPECT_EQ((std::array<int, 4>{maze.cols, maze.rows, maze.cells[99][99], maze.hiddenFaces[99][99][2]}),
              (std::array{100, 100, 1, 1}));
    for (const char* sizes : {"101 5", "5 101", "2147483647 3"}) {
        readLevel(big);  // a good level first: its sizes must not survive a refused one
        EXPECT_EQ(printedBy([&] { readMazeMapText(std::string(sizes) + " 3 3 3 0 0 0 0 0 0"); }),
                  "input map exceeds max size.\n");
        // Nothing after the sizes is read, and nothing of the good level is
        // left: no later code sees a size beyond the grid.
        EXPECT_EQ((std::array{maze.cols, maze.rows, int(maze.cellSize), lightCount()}), (std::array{0, 0, 0, 0})) << sizes;
    }
    // Sizes that are not positive read no cells; the light count follows.
    readLevelText("0 -3  10 8 6  0  0  0 0  5 5  1  0 0 1");
    EXPECT_EQ((std::array<int, 4>{maze.cols, maze.rows, lightCount(), maze.hiddenFaces[0][0][0]}), (std::array{0, 0, 1, 0}));

    // A bad token, or a number out of range, leaves the rest at zero.
    for (const char* ammo : {"0 0 fifty 10", "0 0 99999999999 10"}) {
        readLevel({.ammo = ammo});
        EXPECT_EQ((std::array<int, 5>{lightCount(), maze.fighterStartCount, maze.startBullets, maze.startMissiles, maze.cells[0][0]}),
                  (std::array{0, 1, 0, 0, 0})) << ammo;
    }
    for (const char* scale : {"1e60 8 6", "nan 8 6", "inf 8 6"}) {
        readLevel({.scale = scale});
        EXPECT_EQ(maze.cellSize, 0.0f) << scale;
    }

    // Start counts beyond the tables, or negative, keep the stream aligned.
    LevelText t;
    t.fighters = "12";
    for (int i = 0; i < 12; ++i) t.fighters += "  1 1 1";
    t.prey = "25";
    for (int i = 0; i < 25; ++i) t.prey += "  1 2 0";
    readLevel(t);
    EXPECT_EQ((std::array{maze.fighterStartCount, maze.preyStartCount, maze.startBullets, lightCount()}),
              (std::array{kMaxFighterStarts, kMaxPreyStarts, 50, 1}));
    readLevel({.fighters = "-3"});
    EXPECT_EQ((std::array{maze.fighterStartCount, maze.startBullets}), (std::array{0, 50}));

    // Starts and lights outside the grid are harmless; a light without a
    // side sits in its cell's middle; a truncated light list keeps what was read.
    readLevel({.fighters = "1  7 200 1", .lights = "2  -1 0 1  2 0 9"});
    ASSERT_EQ(lightCount(), 2);
    EXPECT_EQ((std::array{maze.lights[1].position[0], maze.lights[1].position[1]}), (std::array{25.0f, 5.0f}));
    readLevel({.lights = "2000000000  0 1 1  1 0"});
    EXPECT_EQ(lightCount(), 1);
}

// A level file over the limit, of any kind, is refused before it is read
// whole and leaves the world a missing file leaves, with one line naming the
// file and the limit; a file of exactly the limit is read.
TEST_F(Level, FilesOverTheLimitAreRefusedAsAMissingOneIs) {
    const HostileFiles hostile("level");
    ASSERT_TRUE(hostile.made());
    const LevelText good{.cols = 6, .rows = 5};
    std::string text = good.text();
    text.resize(kMaxLevelFileSize, ' ');
    const std::string atLimit = scratchDir() + "/at_limit.map", overLimit = scratchDir() + "/over_limit.map";
    writeBytes(atLimit, Bytes(text.begin(), text.end()));
    text.push_back(' ');
    writeBytes(overLimit, Bytes(text.begin(), text.end()));
    resetGameStateForTest();
    readMazeMapFile(atLimit.c_str());
    EXPECT_EQ((std::array{maze.cols, maze.rows, maze.fighterStartCount, lightCount()}), (std::array{6, 5, 1, 1}));

    const auto world = [] { return std::array{maze.cols, maze.rows, maze.fighterStartCount, maze.preyStartCount, lightCount()}; };
    readLevel(good);
    printedBy([] { readMazeMapFile("/nonexistent/korvath.map"); });
    const auto missing = world();
    std::vector<std::string> paths = hostile.oversized();
    paths.push_back(overLimit);
    expectRefusedInOneLine(paths, LogLevel::Error, std::to_string(kMaxLevelFileSize), [&](const std::string& path) {
        resetGameStateForTest();
        readMazeMapText(good.text());
        readMazeMapFile(path.c_str());
        return world() == missing;
    });
    // A FIFO nobody writes to reads as an empty file at once.
    readLevel(good);
    printedBy([&] { readMazeMapFile(hostile.silent.c_str()); });
    EXPECT_EQ(world(), missing);
}

TEST_F(Level, FighterCreationAndReset) {
    readLevel({.cols = 8, .rows = 8, .fighters = "3  3 5 1   6 2 0   1 1 7", .prey = "2  5 5 2   6 6 0"});
    printedBy(createFighters);
    ASSERT_EQ(fighterCount(), 3);
    const Fighter& f = gs.fighterList[0];
    EXPECT_EQ((std::array{f.pos.x, f.pos.y, f.pos.z}), (std::array{55.0f, 35.0f, kFighterHeight}));
    EXPECT_EQ((std::array{f.nextPos.x, f.dir.x, f.health}), (std::array{f.pos.x, 1.0f, 100.0f}));
    EXPECT_EQ(f.state, FighterState::Absent);
    EXPECT_EQ((std::array<int, 2>{f.bullets, f.missiles}), (std::array<int, 2>{50, 10}));
    EXPECT_EQ(gs.fighterList[1].dir.y, -1.0f);
    // Direction 7: created, faces nowhere, "invalid direction" for dir and nextDir.
    EXPECT_EQ(gs.fighterList[2].dir.x + gs.fighterList[2].dir.y, 0.0f);

    // A game in progress: clients playing, scores, damage, explosions, bullets.
    printedBy(resetGame);
    for (Fighter& g : gs.fighterList) {
        g.state = FighterState::InPlay, g.score = g.bullets = 4, g.health = 20.0f, g.pos.x += 3.0f;
        g.keyDown['i'] = 1;
    }
    gs.preyList.pop_back();
    gs.preyList[0].health = 10.0f, gs.preyList[0].mode = PreyMode::Hunt, gs.preyList[0].actionStep = 5;
    gs.explosionList.resize(3), gs.effectEvents.resize(2), gs.bulletList.resize(5);

    // The reset puts everyone back, with only fighter 0 in play.
    printedBy(resetGame);
    const float startX[3] = {55.0f, 25.0f, 15.0f};
    for (int i = 0; i < fighterCount(); ++i) {
        const Fighter& g = gs.fighterList[i];
        EXPECT_EQ(g.state, i == 0 ? FighterState::InPlay : FighterState::Absent) << i;
        EXPECT_EQ((std::array{g.pos.x, g.nextPos.x, g.health}), (std::array{startX[i], g.pos.x, 100.0f}));
        EXPECT_EQ((std::array{g.score, g.bullets, int{g.keyDown['i']}}), (std::array{0, 50, 0}));
    }
    ASSERT_EQ(preyCount(), 2);
    const Prey& p = gs.preyList[0];
    EXPECT_EQ((std::array{p.pos.x, p.pos.y, p.pos.z, p.dir.y, p.health}),
              (std::array{55.0f, 55.0f, 1.5f, 1.0f, 100.0f}));
    EXPECT_EQ(p.mode, PreyMode::Roam);
    EXPECT_EQ(p.actionStep, 1);
    EXPECT_EQ(explosionCount() + effectEventCount(), 0);
    EXPECT_EQ(bulletCount(), 5);  // bullets in flight keep flying

}
