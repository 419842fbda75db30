// The shipped level is designed for play: these are the properties a level
// designer promises, checked on the file the game actually reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <queue>
#include <set>
#include <utility>

#include "world/world.h"

namespace {

class ShippedLevel : public testing::Test {
protected:
    void SetUp() override {
        resetGameStateForTest();
        testing::internal::CaptureStdout();
        readMazeMapFile(MAZE_SOURCE_DIR "/assets/korvath.map");
        std::fflush(stdout);
        printed = testing::internal::GetCapturedStdout();
    }
    std::string printed;
};

bool open(int r, int c) { return cellInMaze(r, c) && gs.mazeCells[r][c] != 1; }

Vec3 centre(const StartPosition& s) {
    return Vec3{(s.column + 0.5f) * gs.cellSize, (s.row + 0.5f) * gs.cellSize, 0.0f};
}

float distance(Vec3 a, Vec3 b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

TEST_F(ShippedLevel, ReadsCleanly) {
    EXPECT_EQ(printed, "num of lights: " + std::to_string(lightCount()) + "\n");
    EXPECT_GE(gs.mazeCols, 24);
    EXPECT_GE(gs.mazeRows, 24);
    EXPECT_GT(gs.startBullets, 0);
}

TEST_F(ShippedLevel, OuterRingIsWall) {
    for (int c = 0; c < gs.mazeCols; ++c) {
        EXPECT_EQ(gs.mazeCells[0][c], 1) << "column " << c;
        EXPECT_EQ(gs.mazeCells[gs.mazeRows - 1][c], 1) << "column " << c;
    }
    for (int r = 0; r < gs.mazeRows; ++r) {
        EXPECT_EQ(gs.mazeCells[r][0], 1) << "row " << r;
        EXPECT_EQ(gs.mazeCells[r][gs.mazeCols - 1], 1) << "row " << r;
    }
}

TEST_F(ShippedLevel, EveryOpenCellReachableWithLoops) {
    int openCells = 0, edges = 0;
    std::pair<int, int> first{-1, -1};
    for (int r = 0; r < gs.mazeRows; ++r)
        for (int c = 0; c < gs.mazeCols; ++c) {
            if (!open(r, c)) continue;
            ++openCells;
            if (first.first < 0) first = {r, c};
            if (open(r, c + 1)) ++edges;
            if (open(r + 1, c)) ++edges;
        }
    ASSERT_GT(openCells, 0);
    std::set<std::pair<int, int>> seen{first};
    std::queue<std::pair<int, int>> todo;
    todo.push(first);
    while (!todo.empty()) {
        const auto [r, c] = todo.front();
        todo.pop();
        const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
        for (int d = 0; d < 4; ++d)
            if (open(r + dr[d], c + dc[d]) && seen.insert({r + dr[d], c + dc[d]}).second)
                todo.push({r + dr[d], c + dc[d]});
    }
    EXPECT_EQ(static_cast<int>(seen.size()), openCells);

    // Independent cycles of the corridor graph, not counting the little
    // squares inside rooms: several routes between places.
    int roomSquares = 0;
    for (int r = 0; r + 1 < gs.mazeRows; ++r)
        for (int c = 0; c + 1 < gs.mazeCols; ++c)
            if (open(r, c) && open(r + 1, c) && open(r, c + 1) && open(r + 1, c + 1)) ++roomSquares;
    const int loops = edges - openCells + 1 - roomSquares;
    EXPECT_GE(loops, 6);
    // Rooms exist beside the corridors.
    EXPECT_GE(roomSquares, 20);
}

TEST_F(ShippedLevel, StartsForNinePlayersAndManyPreyFarAway) {
    EXPECT_EQ(gs.fighterStartCount, 9);
    EXPECT_GE(gs.preyStartCount, 12);
    std::set<std::pair<int, int>> used;
    for (int i = 0; i < gs.fighterStartCount; ++i) {
        const StartPosition& s = gs.fighterStarts[i];
        EXPECT_TRUE(open(s.row, s.column)) << "fighter " << i;
        EXPECT_GE(s.direction, 0);
        EXPECT_LE(s.direction, 3);
        EXPECT_TRUE(used.insert({s.row, s.column}).second) << "fighter " << i;
    }
    for (int i = 0; i < gs.preyStartCount; ++i) {
        const StartPosition& s = gs.preyStarts[i];
        EXPECT_TRUE(open(s.row, s.column)) << "prey " << i;
        EXPECT_GE(s.direction, 0);
        EXPECT_LE(s.direction, 3);
        EXPECT_TRUE(used.insert({s.row, s.column}).second) << "prey " << i;
        // Further than the prey's hunting range (80) from every fighter start,
        // so nobody is shot at before they have taken a step.
        for (int f = 0; f < gs.fighterStartCount; ++f)
            EXPECT_GT(distance(centre(s), centre(gs.fighterStarts[f])), 100.0f)
                << "prey " << i << " fighter " << f;
    }
}

TEST_F(ShippedLevel, MoreThanEightLightsOnVisibleWallFacesAllOverTheMaze) {
    ASSERT_GT(lightCount(), 8);
    int quadrant[4] = {};
    const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
    for (const MazeLight& l : gs.mazeLights) {
        ASSERT_TRUE(cellInMaze(l.row, l.col));
        ASSERT_GE(l.side, 0);
        ASSERT_LE(l.side, 3);
        // The lamp hangs on a wall block, on the face toward an open cell.
        EXPECT_EQ(gs.mazeCells[l.row][l.col], 1) << l.col << "," << l.row;
        EXPECT_TRUE(open(l.row + dr[l.side], l.col + dc[l.side])) << l.col << "," << l.row;
        EXPECT_EQ(gs.hiddenFaces[l.row][l.col][l.side], 0);
        const int q = (l.row * 2 >= gs.mazeRows ? 2 : 0) + (l.col * 2 >= gs.mazeCols ? 1 : 0);
        ++quadrant[q];
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

TEST_F(ShippedLevel, ResetPlacesEveryoneOnOpenGround) {
    createFighters();
    resetGame();
    ASSERT_EQ(fighterCount(), 9);
    EXPECT_EQ(preyCount(), gs.preyStartCount);
    for (const Fighter& f : gs.fighterList) {
        const int r = static_cast<int>(f.pos.y / gs.cellSize);
        const int c = static_cast<int>(f.pos.x / gs.cellSize);
        EXPECT_TRUE(open(r, c));
    }
    // No two fighters start close enough to block each other.
    for (int i = 0; i < fighterCount(); ++i)
        for (int j = i + 1; j < fighterCount(); ++j)
            EXPECT_GE(distance(gs.fighterList[i].pos, gs.fighterList[j].pos), gs.fighterExtent.x);
}
