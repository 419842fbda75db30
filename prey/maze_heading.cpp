// maze_heading.cpp -- the grid path-finder of hunting prey.
//
// A flood of attraction values: the target cell starts at (rows + cols) * 6,
// and repeated in-place sweeps over the inner cells raise every open cell
// (code 0) to one less than its best open neighbour. The sweeps stop five
// sweeps after the prey's own cell has become positive, or after
// (rows + cols) * 3 sweeps. The prey then steps towards its best neighbour,
// or its second best when that one offers the longer straight run.
//
// Only cells that can change are visited, which keeps the cost near the
// length of the flood's front instead of rows x cols per sweep, without
// changing any value the sweeps produce. A cell's new value is the maximum of
// its own and its open neighbours' values less one, so it can change only if
// a neighbour changed since the cell was last visited. In the sweep order
// (rows top to bottom, columns left to right) that is: the cell above it or
// to its left changed earlier in this sweep, or the cell below it, to its
// right, or it itself changed in the previous sweep after its visit. A sweep
// that changes nothing ends the flood: every later sweep would change nothing.
#include <algorithm>
#include <cstring>

#include "prey/prey.h"

namespace {


bool inGrid(int row, int col) {
    return row >= 0 && col >= 0 && row < kMaxMazeSize && col < kMaxMazeSize;
}

bool openCell(int row, int col) { return inGrid(row, col) && maze.cells[row][col] == 0; }

// Grid moves by neighbour number: 0 row - 1, 1 column + 1, 2 row + 1, 3 column - 1.
constexpr int kRowStep[4] = {-1, 0, 1, 0};
constexpr int kColStep[4] = {0, 1, 0, -1};
constexpr float kMoveHeading[4] = {270.0f, 0.0f, 90.0f, 180.0f};

using ValueGrid = int32_t[kMaxMazeSize][kMaxMazeSize];

// A range of columns, empty when lo > hi.
struct ChangedSpan {
    int lo = kMaxMazeSize;
    int hi = -1;
    bool empty() const { return lo > hi; }
    void add(int col) {
        lo = std::min(lo, col);
        hi = std::max(hi, col);
    }
    void add(const ChangedSpan& other) {
        if (other.empty()) return;
        add(other.lo);
        add(other.hi);
    }
};

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
    const int rows = std::clamp(maze.rows, 0, kMaxMazeSize);
    const int cols = std::clamp(maze.cols, 0, kMaxMazeSize);
    const int fr = cellOfCoordinate(from.y), fc = cellOfCoordinate(from.x);
    const int tr = cellOfCoordinate(to.y), tc = cellOfCoordinate(to.x);

    static ValueGrid v;  // fresh for every call; static only to keep 40 KB off the stack
    std::memset(v, 0, sizeof v);

    int reachedSweeps = 0;
    if (inGrid(tr, tc) && inGrid(fr, fc)) {
        v[tr][tc] = (rows + cols) * 6;
        // Columns changed per row in the previous and in the current sweep
        // (empty when lo > hi). The target counts as changed in a sweep
        // before the first, so its neighbours are visited in the first.
        static ChangedSpan spansA[kMaxMazeSize + 1], spansB[kMaxMazeSize + 1];
        ChangedSpan* previous = spansA;
        ChangedSpan* current = spansB;
        for (int r = 0; r <= kMaxMazeSize; ++r) previous[r] = current[r] = ChangedSpan{};
        previous[tr].add(tc);
        const int maxSweeps = (rows + cols) * 3;
        for (int sweep = 0; sweep < maxSweeps; ++sweep) {
            bool changed = false;
            for (int r = 1; r <= rows - 2; ++r) {
                ChangedSpan seed;
                seed.add(current[r - 1]);  // above, this sweep
                seed.add(previous[r + 1]); // below, previous sweep
                if (sweep == 0 && r == tr + 1) seed.add(tc);  // below the target
                if (!previous[r].empty()) {  // left and right neighbours, previous sweep
                    seed.add(previous[r].lo - 1);
                    seed.add(previous[r].hi + 1);
                }
                current[r] = ChangedSpan{};
                if (seed.empty()) continue;
                const int first = std::max(1, seed.lo);
                const int last = std::min(cols - 2, seed.hi);
                bool carry = false;  // the cell to the left changed in this sweep
                for (int c = first; c <= cols - 2 && (c <= last || carry); ++c) {
                    carry = false;
                    if (maze.cells[r][c] != 0) continue;
                    int32_t best = v[r][c];
                    if (maze.cells[r - 1][c] == 0 && v[r - 1][c] - 1 > best) best = v[r - 1][c] - 1;
                    if (maze.cells[r + 1][c] == 0 && v[r + 1][c] - 1 > best) best = v[r + 1][c] - 1;
                    if (maze.cells[r][c - 1] == 0 && v[r][c - 1] - 1 > best) best = v[r][c - 1] - 1;
                    if (maze.cells[r][c + 1] == 0 && v[r][c + 1] - 1 > best) best = v[r][c + 1] - 1;
                    if (best != v[r][c]) {
                        v[r][c] = best;
                        current[r].add(c);
                        changed = true;
                        carry = true;
                    }
                }
            }
            if (v[fr][fc] > 0 && ++reachedSweeps == 5) break;
            if (!changed) break;
            // The border rows are never swept: once the target's first
            // sweep is done they hold no changes.
            const int bottom = rows > 0 ? rows - 1 : 0;
            current[0] = current[bottom] = previous[0] = previous[bottom] = ChangedSpan{};
            std::swap(previous, current);
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
