// test_visibility.cpp -- the frame's choice of map lights and of the maze
// cells to draw.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "render/render.h"

namespace {

struct At {
    float x, y, z = 4.5f;
};

// The indices chooseSceneLights picks, in slot order, for map lights at
// `at` and the eye at (ex, ey).
std::vector<int> lightsChosen(float ex, float ey, const std::vector<At>& at) {
    resetGameStateForTest();
    view.cameraEye = Vec3{ex, ey, 1.7f};
    for (const At& a : at) {
        MazeLight l;
        l.position[0] = a.x; l.position[1] = a.y; l.position[2] = a.z; l.position[3] = 1.0f;
        gs.mazeLights.push_back(l);
    }
    int chosen[kMaxSceneLights];
    const int n = chooseSceneLights(chosen);
    return std::vector<int>(chosen, chosen + n);
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

// Cells marked visible, all of them or only those outside a size x size map.
int visibleCount(int outsideOf = 0) {
    int n = 0;
    for (int r = 0; r < kMaxMazeSize; ++r)
        for (int k = 0; k < kMaxMazeSize; ++k)
            n += view.cellVisible[r][k] && (r >= outsideOf || k >= outsideOf);
    return n;
}

}  // namespace

TEST(SceneLights, UpToEightAllShineMoreTakeTheNearestInTheGroundPlaneTiesByIndex) {
    EXPECT_EQ(lightsChosen(0, 0, {}), std::vector<int>{});
    // Eight or fewer: all of them in file order, whatever their distances.
    EXPECT_EQ(lightsChosen(0, 0, {{100, 0}, {90, 0}, {80, 0}}), (std::vector<int>{0, 1, 2}));
    // Twelve at ground distances 12, 11, ..., 1 (index 11 nearest), but light
    // 0 sits right above the eye: height does not count, so it is nearest.
    std::vector<At> twelve;
    for (int i = 0; i < 12; ++i) twelve.push_back({50.0f + (12 - i), 50.0f});
    twelve[0] = {50.0f, 50.0f, 1000.0f};
    EXPECT_EQ(lightsChosen(50, 50, twelve), (std::vector<int>{0, 11, 10, 9, 8, 7, 6, 5}));
    // Ten lights all 5 away, on both sides of the eye: the first eight.
    std::vector<At> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({i % 2 ? -5.0f : 5.0f, 0.0f});
    EXPECT_EQ(lightsChosen(0, 0, ten), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(VisibleCells, TheBlockAroundTheEyeIsAlwaysDrawnWhateverTheDirection) {
    const Vec3 directions[] = {{1, 0, 0},  {-1, 0, 0},       {0, 1, 0},
                               {0, -1, 0}, {0.6f, -0.8f, 0}, {0, 0, 0}};
    for (const Vec3& d : directions) {
        openMaze(10, 5, 5);
        view.cameraDir = d;
        markVisibleCells();
        for (int r = 4; r <= 6; ++r)
            for (int k = 4; k <= 6; ++k)
                EXPECT_TRUE(view.cellVisible[r][k]) << r << "," << k << " to " << d.x << "," << d.y;
    }
}

// Open cells ahead are drawn, cells behind and aside are not; a wall hides
// what lies behind it until a march to one corner of a cell gets through.
TEST(VisibleCells, CellsAheadAreDrawnUnlessBehindTheViewerOrAWall) {
    openMaze(10, 5, 2);
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][8]);   // straight ahead, far
    EXPECT_TRUE(view.cellVisible[3][7]);   // ahead and a little aside
    EXPECT_FALSE(view.cellVisible[5][0]);  // two cells behind
    EXPECT_FALSE(view.cellVisible[9][0]);
    EXPECT_FALSE(view.cellVisible[0][2]);  // square to the side, outside the cone
    EXPECT_EQ(visibleCount(10), 0) << "nothing outside the map";

    for (int r = 0; r < 10; ++r) gs.mazeCells[r][4] = 1;
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][4]) << "the wall block itself shows its face";
    EXPECT_FALSE(view.cellVisible[5][6]) << "every corner lies behind the wall";
    EXPECT_FALSE(view.cellVisible[5][8]);
    gs.mazeCells[5][4] = 0;  // a gap in the wall
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][6]);
    EXPECT_TRUE(view.cellVisible[5][8]);
    EXPECT_FALSE(view.cellVisible[1][6]) << "far off the gap's line of sight";
}

// Any eye, however far off or broken, and any cell size: no read outside the
// grid (the sanitizer build catches one) and no mark outside the map.
TEST(VisibleCells, AnyCameraPositionOrCellSizeStaysInsideTheMap) {
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
        markVisibleCells();
        EXPECT_EQ(visibleCount(10), 0) << eye.x << "," << eye.y;
    }
    // Just outside the map, looking in, the maze ahead is seen.
    openMaze(10, 5, 5);
    view.cameraEye = Vec3{-4.0f, 44.0f, 1.7f};
    markVisibleCells();
    EXPECT_TRUE(view.cellVisible[5][5]);
    // Without a cell size there is no grid: nothing is drawn.
    for (float size : {0.0f, -8.0f}) {
        openMaze(10, 5, 5);
        gs.cellSize = size;
        markVisibleCells();
        EXPECT_EQ(visibleCount(), 0) << size;
    }
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
