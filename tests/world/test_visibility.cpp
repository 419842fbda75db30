// test_visibility.cpp -- the frame's choice of the maze cells to draw.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "render/render.h"

namespace {

// An open size x size maze of 8-unit cells; the eye in the middle of cell
// (row, col), looking along +x with the game's 90-degree cone.
void openMaze(int size, int row, int col) {
    resetGameStateForTest();
    editMaze().rows = editMaze().cols = size;
    editMaze().cellSize = 8.0f;
    editMaze().wallHeight = 6.0f;
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

// Open cells ahead are drawn, cells behind and aside are not; a wall hides
// what lies behind it until a march to one corner of a cell gets through.
TEST(VisibleCells, CellsAheadAreDrawnUnlessBehindTheViewerOrAWall) {
    openMaze(10, 5, 2);
    markVisibleCells(gs);
    EXPECT_TRUE(view.cellVisible[5][8]);   // straight ahead, far
    EXPECT_TRUE(view.cellVisible[3][7]);   // ahead and a little aside
    EXPECT_FALSE(view.cellVisible[5][0]);  // two cells behind
    EXPECT_FALSE(view.cellVisible[9][0]);
    EXPECT_FALSE(view.cellVisible[0][2]);  // square to the side, outside the cone
    EXPECT_EQ(visibleCount(10), 0) << "nothing outside the map";

    for (int r = 0; r < 10; ++r) editMaze().cells[r][4] = 1;
    markVisibleCells(gs);
    EXPECT_TRUE(view.cellVisible[5][4]) << "the wall block itself shows its face";
    EXPECT_FALSE(view.cellVisible[5][6]) << "every corner lies behind the wall";
    EXPECT_FALSE(view.cellVisible[5][8]);
    editMaze().cells[5][4] = 0;  // a gap in the wall
    markVisibleCells(gs);
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
        for (int r = 0; r < 10; ++r) editMaze().cells[r][0] = editMaze().cells[r][9] = 1;
        view.cameraEye = eye;
        view.cameraDir = Vec3{-1.0f, 0.3f, 0.0f};
        markVisibleCells(gs);
        EXPECT_EQ(visibleCount(10), 0) << eye.x << "," << eye.y;
    }
    // Just outside the map, looking in, the maze ahead is seen.
    openMaze(10, 5, 5);
    view.cameraEye = Vec3{-4.0f, 44.0f, 1.7f};
    markVisibleCells(gs);
    EXPECT_TRUE(view.cellVisible[5][5]);
    // Without a cell size there is no grid: nothing is drawn.
    for (float size : {0.0f, -8.0f}) {
        openMaze(10, 5, 5);
        editMaze().cellSize = size;
        markVisibleCells(gs);
        EXPECT_EQ(visibleCount(), 0) << size;
    }
}
