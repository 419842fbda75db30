// The shipped level is designed for play: these are the properties a level
// designer promises, checked on the file the game actually reads.
#include <queue>
#include <set>
#include <utility>

#include "rules_helpers.h"

using namespace rulestest;

namespace {

class ShippedLevel : public RulesTest {
protected:
    void SetUp() override {
        RulesTest::SetUp();
        printed = printedBy([] { readMazeMapFile(MAZE_SOURCE_DIR "/assets/korvath.map"); });
    }
    std::string printed;
};

bool open(int r, int c) { return cellInMaze(r, c) && gs.mazeCells[r][c] != 1; }

float distance(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.y - b.y); }

Vec3 centre(const StartPosition& s) {
    return Vec3{(s.column + 0.5f) * gs.cellSize, (s.row + 0.5f) * gs.cellSize, 0.0f};
}

const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};  // by side: north, east, south, west

}  // namespace

TEST_F(ShippedLevel, ReadsCleanlyInsideARingOfWalls) {
    EXPECT_EQ(printed, "num of lights: " + std::to_string(lightCount()) + "\n");
    EXPECT_GE(gs.mazeCols, 24);
    EXPECT_GE(gs.mazeRows, 24);
    EXPECT_GT(gs.startBullets, 0);
    for (int r = 0; r < gs.mazeRows; ++r)
        for (int c = 0; c < gs.mazeCols; ++c)
            if (r == 0 || c == 0 || r == gs.mazeRows - 1 || c == gs.mazeCols - 1) {
                EXPECT_EQ(gs.mazeCells[r][c], 1) << "row " << r << " column " << c;
            }
}

TEST_F(ShippedLevel, EveryOpenCellReachableWithLoops) {
    int openCells = 0, edges = 0, roomSquares = 0;
    std::pair<int, int> first{-1, -1};
    for (int r = 0; r < gs.mazeRows; ++r)
        for (int c = 0; c < gs.mazeCols; ++c) {
            if (!open(r, c)) continue;
            ++openCells;
            if (first.first < 0) first = {r, c};
            edges += open(r, c + 1) + open(r + 1, c);
            roomSquares += open(r + 1, c) && open(r, c + 1) && open(r + 1, c + 1);
        }
    ASSERT_GT(openCells, 0);
    std::set<std::pair<int, int>> seen{first};
    std::queue<std::pair<int, int>> todo;
    todo.push(first);
    while (!todo.empty()) {
        const auto [r, c] = todo.front();
        todo.pop();
        for (int d = 0; d < 4; ++d)
            if (open(r + dr[d], c + dc[d]) && seen.insert({r + dr[d], c + dc[d]}).second)
                todo.push({r + dr[d], c + dc[d]});
    }
    EXPECT_EQ(static_cast<int>(seen.size()), openCells);

    // Independent cycles of the corridor graph, not counting the little
    // squares inside rooms: several routes between places. Rooms exist too.
    EXPECT_GE(edges - openCells + 1 - roomSquares, 6);
    EXPECT_GE(roomSquares, 20);
}

TEST_F(ShippedLevel, StartsForNinePlayersAndManyPreyFarAway) {
    EXPECT_EQ(gs.fighterStartCount, 9);
    EXPECT_GE(gs.preyStartCount, 12);
    std::set<std::pair<int, int>> used;
    auto usable = [&](const StartPosition& s) {
        return open(s.row, s.column) && s.direction >= 0 && s.direction <= 3 &&
               used.insert({s.row, s.column}).second;
    };
    for (int i = 0; i < gs.fighterStartCount; ++i)
        EXPECT_TRUE(usable(gs.fighterStarts[i])) << "fighter " << i;
    for (int i = 0; i < gs.preyStartCount; ++i) {
        const StartPosition& s = gs.preyStarts[i];
        EXPECT_TRUE(usable(s)) << "prey " << i;
        // Further than the prey's hunting range (80) from every fighter start,
        // so nobody is shot at before they have taken a step.
        for (int f = 0; f < gs.fighterStartCount; ++f)
            EXPECT_GT(distance(centre(s), centre(gs.fighterStarts[f])), 100.0f) << "prey " << i << ", " << f;
    }
}

TEST_F(ShippedLevel, MoreThanEightLightsOnVisibleWallFacesAllOverTheMaze) {
    ASSERT_GT(lightCount(), 8);
    int quadrant[4] = {};
    for (const MazeLight& l : gs.mazeLights) {
        ASSERT_TRUE(cellInMaze(l.row, l.col) && l.side >= 0 && l.side <= 3);
        // The lamp hangs on a wall block, on a visible face toward an open cell.
        EXPECT_EQ(gs.mazeCells[l.row][l.col], 1) << l.col << "," << l.row;
        EXPECT_TRUE(open(l.row + dr[l.side], l.col + dc[l.side])) << l.col << "," << l.row;
        EXPECT_EQ(gs.hiddenFaces[l.row][l.col][l.side], 0);
        ++quadrant[(l.row * 2 >= gs.mazeRows ? 2 : 0) + (l.col * 2 >= gs.mazeCols ? 1 : 0)];
    }
    for (int q = 0; q < 4; ++q) EXPECT_GE(quadrant[q], 2) << "quadrant " << q;
}

TEST_F(ShippedLevel, BodiesFitCorridorsAndShotsFitUnderTheCeiling) {
    // Bodies of diameter 3 walk a one-cell corridor with room to spare.
    EXPECT_GE(gs.cellSize, gs.fighterExtent.x * 2.0f);
    EXPECT_GE(gs.cellSize, gs.preyExtent.x * 2.0f);
    // The eye and the lamps sit below the top of the walls.
    EXPECT_GT(gs.wallHeight, kFighterHeight + 1.0f);
    EXPECT_GT(gs.lightHeight, kFighterHeight);
    EXPECT_LT(gs.lightHeight, gs.wallHeight);
    // Bullets fly at the muzzle height, well under the path march's ceiling.
    EXPECT_GT(gs.mazeRows - kFloorLimit, kMuzzleHeight + 1.0f);
}
