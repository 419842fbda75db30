// maze_heading.cpp -- the grid path-finder of hunting prey.
//
// A flood of attraction values: the target cell starts at (rows + cols) * 6,
// and repeated in-place sweeps over the inner cells raise every open cell
// (code 0) to one less than its best open neighbour. The sweeps stop five
// sweeps after the prey's own cell has become positive, or after
// (rows + cols) * 3 sweeps. The prey then steps towards its best neighbour,
// or its second best when that one offers the longer straight run.
//
// Two shortcuts keep the cost down without changing any value the sweeps
// produce: a sweep that changes nothing ends the flood (every later sweep
// would change nothing either), and a sweep starts one row above and one
// column left of the values already raised (cells further up or left have
// only zero neighbours, so they stay zero).
#include <algorithm>
#include <cstring>

#include "prey/prey.h"

namespace {

// Row or column of a coordinate by truncation; -1 when it lies off the grid.
int cellOf(float coord) {
    if (!(gs.cellSize > 0.0f)) return -1;
    const float q = coord / gs.cellSize;
    if (!(q > -1.0f && q < static_cast<float>(kMaxMazeSize))) return -1;
    return static_cast<int>(q);
}

bool inGrid(int row, int col) {
    return row >= 0 && col >= 0 && row < kMaxMazeSize && col < kMaxMazeSize;
}

bool openCell(int row, int col) { return inGrid(row, col) && gs.mazeCells[row][col] == 0; }

// Grid moves by neighbour number: 0 row - 1, 1 column + 1, 2 row + 1, 3 column - 1.
constexpr int kRowStep[4] = {-1, 0, 1, 0};
constexpr int kColStep[4] = {0, 1, 0, -1};
constexpr float kMoveHeading[4] = {270.0f, 0.0f, 90.0f, 180.0f};

using ValueGrid = int32_t[kMaxMazeSize][kMaxMazeSize];

// Straight run from (row, col) in direction k over open cells whose value is
// at least the start cell's.
int runLength(const ValueGrid& v, int row, int col, int k) {
    if (!openCell(row, col)) return 0;
    const int32_t start = v[row][col];
    int run = 0;
    for (;;) {
        if (v[row][col] < start) break;
        ++run;
        row += kRowStep[k];
        col += kColStep[k];
        if (!openCell(row, col)) break;
    }
    return run;
}

}  // namespace

float mazeHeading(Vec3 from, Vec3 to) {
    const int rows = std::clamp(gs.mazeRows, 0, kMaxMazeSize);
    const int cols = std::clamp(gs.mazeCols, 0, kMaxMazeSize);
    const int fr = cellOf(from.y), fc = cellOf(from.x);
    const int tr = cellOf(to.y), tc = cellOf(to.x);

    static ValueGrid v;  // fresh for every call; static only to keep 40 KB off the stack
    std::memset(v, 0, sizeof v);

    int reachedSweeps = 0;
    if (inGrid(tr, tc) && inGrid(fr, fc)) {
        v[tr][tc] = (rows + cols) * 6;
        int topRow = tr, leftCol = tc;  // smallest row and column holding a raised value
        const int maxSweeps = (rows + cols) * 3;
        for (int sweep = 0; sweep < maxSweeps; ++sweep) {
            bool changed = false;
            const int firstRow = std::max(1, topRow - 1);
            const int firstCol = std::max(1, leftCol - 1);
            for (int r = firstRow; r <= rows - 2; ++r) {
                for (int c = firstCol; c <= cols - 2; ++c) {
                    if (gs.mazeCells[r][c] != 0) continue;
                    int32_t best = v[r][c];
                    if (gs.mazeCells[r - 1][c] == 0 && v[r - 1][c] - 1 > best) best = v[r - 1][c] - 1;
                    if (gs.mazeCells[r + 1][c] == 0 && v[r + 1][c] - 1 > best) best = v[r + 1][c] - 1;
                    if (gs.mazeCells[r][c - 1] == 0 && v[r][c - 1] - 1 > best) best = v[r][c - 1] - 1;
                    if (gs.mazeCells[r][c + 1] == 0 && v[r][c + 1] - 1 > best) best = v[r][c + 1] - 1;
                    if (best != v[r][c]) {
                        v[r][c] = best;
                        changed = true;
                        topRow = std::min(topRow, r);
                        leftCol = std::min(leftCol, c);
                    }
                }
            }
            if (v[fr][fc] > 0 && ++reachedSweeps == 5) break;
            if (!changed) break;
        }
    }
    if (reachedSweeps == 0) return randomFraction() * 360.0f;

    int32_t n[4];
    for (int k = 0; k < 4; ++k) {
        const int r = fr + kRowStep[k], c = fc + kColStep[k];
        n[k] = inGrid(r, c) ? v[r][c] : 0;
    }
    // Rank the neighbours; ties favour the lower number.
    int rank[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) ++rank[n[i] < n[j] ? j : i];
    int best = 0, second = 0;
    for (int k = 0; k < 4; ++k) {
        if (rank[k] == 3) best = k;
        if (rank[k] == 2) second = k;
    }
    const int chosen = runLength(v, fr, fc, second) > runLength(v, fr, fc, best) ? second : best;
    return kMoveHeading[chosen];
}
