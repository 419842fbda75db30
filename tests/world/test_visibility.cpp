// test_visibility.cpp -- the frame's choice of map lights and of the maze
// cells to draw.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/render.h"

namespace {

MazeLight lightAt(float x, float y, float z = 4.5f) {
    MazeLight l;
    l.position[0] = x;
    l.position[1] = y;
    l.position[2] = z;
    l.position[3] = 1.0f;
    return l;
}

// An open size x size maze of 8-unit cells; the eye in the middle of cell
// (row, col), looking along +x with the game's 90-degree cone.
void openMaze(int size, int row, int col) {
    resetGameStateForTest();
    gs.mazeRows = gs.mazeCols = size;
    gs.cellSize = 8.0f;
    gs.wallHeight = 6.0f;
    view = ViewState{};
    view.cameraEye = Vec3{col * 8.0f + 4.0f, row * 8.0f + 4.0f, 1.7f};
    view.cameraDir = Vec3{1.0f, 0.0f, 0.0f};
    view.viewConeCos = std::cos(3.14159265f / 4.0f);
}

int visibleCount() {
    int n = 0;
    for (auto& row : view.cellVisible)
        for (uint8_t c : row) n += c;
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Light choice
// ---------------------------------------------------------------------------

TEST(SceneLights, EightOrFewerAreAllUsedInFileOrderWithoutDistances) {
    resetGameStateForTest();
    view.cameraEye = Vec3{0.0f, 0.0f, 1.7f};
    for (int i = 0; i < 3; ++i) gs.mazeLights.push_back(lightAt(100.0f - i * 10.0f, 0.0f));
    gs.mazeLights[1].distance = -5.0f;  // must stay as it was
    int chosen[kMaxSceneLights];
    ASSERT_EQ(chooseSceneLights(chosen), 3);
    EXPECT_EQ(chosen[0], 0);
    EXPECT_EQ(chosen[1], 1);
    EXPECT_EQ(chosen[2], 2);
    EXPECT_EQ(gs.mazeLights[1].distance, -5.0f);

    resetGameStateForTest();
    EXPECT_EQ(chooseSceneLights(chosen), 0);
}

TEST(SceneLights, MoreThanEightTakeTheNearestInTheGroundPlaneNearestFirst) {
    resetGameStateForTest();
    view.cameraEye = Vec3{50.0f, 50.0f, 1.7f};
    // Twelve lights at ground distances 12, 11, ..., 1 (index 11 nearest).
    for (int i = 0; i < 12; ++i) gs.mazeLights.push_back(lightAt(50.0f + (12 - i), 50.0f));
    // Height does not count: light 0 right above the eye is the nearest of all.
    gs.mazeLights[0] = lightAt(50.0f, 50.0f, 1000.0f);
    int chosen[kMaxSceneLights];
    ASSERT_EQ(chooseSceneLights(chosen), 8);
    const int expected[8] = {0, 11, 10, 9, 8, 7, 6, 5};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(chosen[k], expected[k]) << "slot " << k;
    EXPECT_EQ(gs.mazeLights[0].distance, 0.0f);
    EXPECT_FLOAT_EQ(gs.mazeLights[11].distance, 1.0f);  // squared
    int marked = 0;
    for (const MazeLight& l : gs.mazeLights) marked += l.chosen;
    EXPECT_EQ(marked, 8);
    EXPECT_FALSE(gs.mazeLights[1].chosen);
}

TEST(SceneLights, EqualDistancesGoInIndexOrder) {
    resetGameStateForTest();
    view.cameraEye = Vec3{0.0f, 0.0f, 1.7f};
    // Ten lights all 5 units away, on different sides of the eye.
    for (int i = 0; i < 10; ++i) {
        const float a = i * 0.6f;
        gs.mazeLights.push_back(lightAt(5.0f * std::cos(a), 5.0f * std::sin(a)));
        gs.mazeLights.back().position[0] = i % 2 ? -5.0f : 5.0f;
        gs.mazeLights.back().position[1] = 0.0f;
    }
    int chosen[kMaxSceneLights];
    ASSERT_EQ(chooseSceneLights(chosen), 8);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(chosen[k], k);
}

// ---------------------------------------------------------------------------
// Visible cells
// ---------------------------------------------------------------------------

TEST(VisibleCells, TheBlockAroundTheEyeIsAlwaysDrawnWhateverTheDirection) {
    const Vec3 directions[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0.6f, -0.8f, 0}, {0, 0, 0}};
    for (const Vec3& d : directions) {
        openMaze(10, 5, 5);
        view.cameraDir = d;
        markVisibleCells();
        for (int r = 4; r <= 6; ++r)
            for (int k = 4; k <= 6; ++k)
                EXPECT_TRUE(view.cellVisible[r][k]) << r << "," << k << " dir " << d.x << "," << d.y;
    }
}

TEST(VisibleCells, OpenCellsAheadAreDrawnAndCellsBehindAreNot) {
    openMaze(10, 5, 2);
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][8]);   // straight ahead, far
    EXPECT_TRUE(view.cellVisible[3][7]);   // ahead and a little aside
    EXPECT_FALSE(view.cellVisible[5][0]);  // two cells behind
    EXPECT_FALSE(view.cellVisible[9][0]);
    EXPECT_FALSE(view.cellVisible[0][2]);  // square to the side, outside the cone
    // Nothing outside the map's 10 x 10 is ever marked.
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int k = 0; k < kMaxMazeSize; ++k)
            if (r >= 10 || k >= 10) {
                ASSERT_FALSE(view.cellVisible[r][k]);
            }
}

TEST(VisibleCells, AWallHidesWhatIsBehindItUntilOneCornerCanBeSeen) {
    openMaze(10, 5, 2);
    for (int r = 0; r < 10; ++r) gs.mazeCells[r][4] = 1;
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][4]) << "the wall block itself shows its face";
    EXPECT_FALSE(view.cellVisible[5][6]) << "every corner lies behind the wall";
    EXPECT_FALSE(view.cellVisible[5][8]);

    // A gap in the wall: a march to some corner now passes.
    gs.mazeCells[5][4] = 0;
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][6]);
    EXPECT_TRUE(view.cellVisible[5][8]);
    EXPECT_FALSE(view.cellVisible[1][6]) << "far off the gap's line of sight";
}

TEST(VisibleCells, AnyCameraPositionStaysInsideTheMap) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vec3 eyes[] = {{-4.0f, 44.0f, 1.7f},  {-500.0f, -500.0f, 1.7f}, {1e9f, 5.0f, 1.7f},
                         {5.0f, -1e30f, 1.7f},  {nan, 4.0f, 1.7f},        {inf, -inf, 1.7f},
                         {799.0f, 799.0f, 1.7f}, {80.0f, 40.0f, 1.7f}};
    for (const Vec3& eye : eyes) {
        openMaze(10, 5, 5);
        for (int r = 0; r < 10; ++r) gs.mazeCells[r][0] = gs.mazeCells[r][9] = 1;
        view.cameraEye = eye;
        view.cameraDir = Vec3{-1.0f, 0.3f, 0.0f};
        markVisibleCells();  // the sanitizer build catches any read outside the grid
        for (int r = 0; r < kMaxMazeSize; ++r)
            for (int k = 0; k < kMaxMazeSize; ++k)
                if (r >= 10 || k >= 10) {
                    ASSERT_FALSE(view.cellVisible[r][k]) << eye.x << "," << eye.y;
                }
    }
    // Just outside the map, looking in, the maze ahead is seen.
    openMaze(10, 5, 5);
    view.cameraEye = Vec3{-4.0f, 44.0f, 1.7f};
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][5]);
}

TEST(VisibleCells, NoCellSizeMeansNothingIsDrawn) {
    openMaze(10, 5, 5);
    gs.cellSize = 0.0f;
    markVisibleCells();
    EXPECT_EQ(visibleCount(), 0);
    gs.cellSize = -8.0f;
    markVisibleCells();
    EXPECT_EQ(visibleCount(), 0);
}

TEST(VisibleCells, TheShippedLevelFromItsFirstStartSeesItsCorridorOnly) {
    resetGameStateForTest();
    readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
    ASSERT_EQ(gs.mazeRows, 28);
    view = ViewState{};
    // Start 0: row 1, column 1, looking along +y down the corridor.
    view.cameraEye = Vec3{12.0f, 12.0f, 1.7f};
    view.cameraDir = Vec3{0.0f, 1.0f, 0.0f};
    markVisibleCells();
    for (int r = 2; r <= 5; ++r) EXPECT_TRUE(view.cellVisible[r][1]) << "corridor row " << r;
    EXPECT_FALSE(view.cellVisible[20][20]) << "far beyond many walls";
    EXPECT_LT(visibleCount(), 28 * 28 / 2);
}
