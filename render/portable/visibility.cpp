// visibility.cpp -- the GL-free decisions of each frame: which map lights
// shine and which maze cells are drawn. They live in the rules library so the
// display-free (and sanitizer) tests exercise them.
#include <cmath>

#include "render/render.h"

ViewState view;

namespace {

// Cell index of a world coordinate, truncated toward zero like the grid
// lookups of the drawing. Values far outside the grid (or not numbers) are
// pinned to a sentinel outside it, so the float-to-int conversion stays
// defined and no caller can index the table with them.
constexpr int kOutside = -1000;
int cellIndex(const GameState& world, float coordinate) {
    const float q = coordinate / maze.cellSize;
    if (!(q > -2.0f * kMaxMazeSize && q < 2.0f * kMaxMazeSize)) return kOutside;
    return static_cast<int>(q);
}

// A wall cell inside the table and the map (as cellInMaze, for this world).
bool isWall(const GameState& world, int row, int col) {
    return row >= 0 && col >= 0 && row < maze.rows && col < maze.cols && row < kMaxMazeSize &&
           col < kMaxMazeSize && maze.cells[row][col] == 1;
}

// The visibility of one corner (grid point) of cell (r, k) from the eye:
// inside the widened cone, and a march from the eye toward it, one cell per
// step along its major axis, meets no wall before it reaches the cell or the
// corner's neighbourhood.
bool cornerPasses(const GameState& world, int r, int k, int i, int j, float threshold) {
    const float cs = maze.cellSize;
    const float dx = (k + j) * cs - view.cameraEye.x;
    const float dy = (r + i) * cs - view.cameraEye.y;
    const float len = std::sqrt(dx * dx + dy * dy);
    const float ux = dx / len;
    const float uy = dy / len;
    const float ulen = std::sqrt(ux * ux + uy * uy);
    const float dirLen = std::sqrt(view.cameraDir.x * view.cameraDir.x +
                                   view.cameraDir.y * view.cameraDir.y);
    const float cosine = (view.cameraDir.x * ux + view.cameraDir.y * uy) / (ulen * dirLen);
    if (!(cosine > threshold)) return false;  // NaN (zero vectors) fails too

    float px = view.cameraEye.x;
    float py = view.cameraEye.y;
    float stepX;
    float stepY;
    if (std::fabs(ux) < std::fabs(uy)) {
        stepY = uy <= 0.0f ? -cs : cs;
        stepX = stepY * ux / uy;
    } else {
        stepX = ux <= 0.0f ? -cs : cs;
        stepY = stepX * uy / ux;
    }
    // From inside the grid the march arrives within rows + cols steps; the
    // bound only stops a march from far outside it (which sees no walls).
    for (int step = 0; step < 4 * kMaxMazeSize; ++step) {
        px += stepX;
        py += stepY;
        const int row = cellIndex(world, py);
        const int col = cellIndex(world, px);
        if (row == r && col == k) return true;
        if (isWall(world, row, col)) return false;
        if (std::abs(row - (r + i)) <= 1 && std::abs(col - (k + j)) <= 1) return true;
    }
    return true;
}

}  // namespace

int chooseSceneLights(const GameState& world, int chosen[kMaxSceneLights]) {
    const int total = static_cast<int>(maze.lights.size());
    if (total <= kMaxSceneLights) {
        for (int i = 0; i < total; ++i) chosen[i] = i;
        return total;
    }
    // Sized once per level: the frames after the first allocate nothing.
    std::vector<float>& distance = view.lightDistance;
    std::vector<uint8_t>& taken = view.lightChosen;
    distance.resize(static_cast<size_t>(total));
    taken.resize(static_cast<size_t>(total));
    for (int i = 0; i < total; ++i) {
        const MazeLight& light = maze.lights[static_cast<size_t>(i)];
        const float dx = light.position[0] - view.cameraEye.x;
        const float dy = light.position[1] - view.cameraEye.y;
        distance[static_cast<size_t>(i)] = dx * dx + dy * dy;
        taken[static_cast<size_t>(i)] = 0;
    }
    for (int slot = 0; slot < kMaxSceneLights; ++slot) {
        int best = -1;
        float bestDistance = 1.0e10f;
        for (int i = 0; i < total; ++i) {
            // Strictly smaller: of equal distances the lower index wins.
            if (!taken[static_cast<size_t>(i)] && distance[static_cast<size_t>(i)] < bestDistance) {
                best = i;
                bestDistance = distance[static_cast<size_t>(i)];
            }
        }
        // Lights 1e10 or more away (or at a NaN distance) are never chosen.
        if (best < 0) return slot;
        taken[static_cast<size_t>(best)] = 1;
        chosen[slot] = best;
    }
    return kMaxSceneLights;
}

void markVisibleCells(const GameState& world) {
    for (auto& row : view.cellVisible)
        for (uint8_t& cell : row) cell = 0;
    const int rows = maze.rows < kMaxMazeSize ? maze.rows : kMaxMazeSize;
    const int cols = maze.cols < kMaxMazeSize ? maze.cols : kMaxMazeSize;
    // Without a usable cell size or eye there is no grid to place the eye in.
    if (!(maze.cellSize > 0.0f) || !std::isfinite(maze.cellSize) ||
        !std::isfinite(view.cameraEye.x) || !std::isfinite(view.cameraEye.y))
        return;
    const int camRow = cellIndex(world, view.cameraEye.y);
    const int camCol = cellIndex(world, view.cameraEye.x);
    const float threshold = view.viewConeCos / 1.2f;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            bool visible = std::abs(camRow - r) < 2 && std::abs(camCol - k) < 2;
            for (int i = 0; i < 2 && !visible; ++i)
                for (int j = 0; j < 2 && !visible; ++j) visible = cornerPasses(world, r, k, i, j, threshold);
            view.cellVisible[r][k] = visible ? 1 : 0;
        }
    }
}
