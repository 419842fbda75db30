// collision.cpp -- bodies against the walls of their cell, and the stepped
// march of a segment through the maze (bullet flights, line of sight).
#include <cmath>
#include <cstdio>

#include "world/world.h"

int cellOfCoordinate(float coord) {
    const float q = coord / gs.cellSize;
    // Truncation toward zero puts -0.5 in cell 0. Anything that would not fit
    // the table (or is not a number at all) is the outside, which is wall.
    if (!(q > -1.0f && q < static_cast<float>(kMaxMazeSize))) return -1;
    return static_cast<int>(q);
}

bool clampToWalls(Vec3& nextPos, int row, int col, float radius, bool clamp) {
    const float s = gs.cellSize;
    const float top = static_cast<float>(row) * s;
    const float bottom = static_cast<float>(row + 1) * s;
    const float left = static_cast<float>(col) * s;
    const float right = static_cast<float>(col + 1) * s;
    bool touched = false;
    // Only the four side neighbours; strict comparisons, so exactly radius
    // away is not touching.
    if (cellCode(row - 1, col) == 1 && nextPos.y - top < radius) {
        touched = true;
        if (clamp) nextPos.y = top + radius;
    }
    if (cellCode(row, col + 1) == 1 && right - nextPos.x < radius) {
        touched = true;
        if (clamp) nextPos.x = right - radius;
    }
    if (cellCode(row + 1, col) == 1 && bottom - nextPos.y < radius) {
        touched = true;
        if (clamp) nextPos.y = bottom - radius;
    }
    if (cellCode(row, col - 1) == 1 && nextPos.x - left < radius) {
        touched = true;
        if (clamp) nextPos.x = left + radius;
    }
    return touched;
}

namespace {

float groundDistance(Vec3 a, Vec3 b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// True when the walking point w is in a wall cell, within kWallMargin of a
// neighbouring wall cell, or outside the floor-to-ceiling band.
bool mazeBlocks(Vec3 w) {
    const int col = cellOfCoordinate(w.x);
    const int row = cellOfCoordinate(w.y);
    const float s = gs.cellSize;
    if (cellCode(row, col) == 1) return true;
    if (w.x < static_cast<float>(col) * s + kWallMargin && cellCode(row, col - 1) == 1) return true;
    if (w.x > static_cast<float>(col + 1) * s - kWallMargin && cellCode(row, col + 1) == 1) return true;
    if (w.y < static_cast<float>(row) * s + kWallMargin && cellCode(row - 1, col) == 1) return true;
    if (w.y > static_cast<float>(row + 1) * s - kWallMargin && cellCode(row + 1, col) == 1) return true;
    if (w.z < kFloorLimit) return true;
    // The ceiling limit is the maze's row count, not the wall height.
    if (w.z > static_cast<float>(gs.mazeRows) - kFloorLimit) return true;
    return false;
}

// True when a live body other than the two ignored ones is closer to w, in
// the ground plane, than its radius.
bool bodyBlocks(Vec3 w, const void* ignoreA, const void* ignoreB) {
    const float fighterRadius = gs.fighterExtent.x * 0.5f;
    for (const Fighter& f : gs.fighterList) {
        if (f.state != InPlay || &f == ignoreA || &f == ignoreB) continue;
        if (groundDistance(w, f.pos) < fighterRadius) return true;
    }
    const float preyRadius = gs.preyExtent.x * 0.5f;
    for (const Prey& p : gs.preyList) {
        // A prey destroyed earlier in this step is gone: it no longer stops
        // bullets, although it stays listed until the step's end.
        if (p.destroyed || &p == ignoreA || &p == ignoreB) continue;
        if (groundDistance(w, p.pos) < preyRadius) return true;
    }
    return false;
}

}  // namespace

bool pathClear(Vec3 from, Vec3 to, float& t, const void* ignoreA, const void* ignoreB) {
    const Vec3 d{to.x - from.x, to.y - from.y, to.z - from.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    bool clear = true;
    int steps = 0;
    if (!std::isfinite(length)) {
        // No walk is possible along a segment without finite ends.
        clear = false;
    } else if (length > 0.0f) {
        const Vec3 u{d.x / length, d.y / length, d.z / length};
        // The walk arrives within length / kPathStep + 1 steps; the bound
        // only matters where coordinates are so large that a 0.2 step is
        // lost to rounding.
        const int maxSteps = static_cast<int>(std::fmin(length / kPathStep, 1.0e6f)) + 2;
        Vec3 w = from;
        while (groundDistance(w, to) > kPathEndTolerance && steps < maxSteps) {
            if (mazeBlocks(w)) {
                clear = false;
                break;
            }
            const bool body = bodyBlocks(w, ignoreA, ignoreB);
            // A body stops the walk one step past where it was found.
            w.x += u.x * kPathStep;
            w.y += u.y * kPathStep;
            w.z += u.z * kPathStep;
            ++steps;
            if (body) {
                clear = false;
                break;
            }
        }
    }
    t = length > 0.0f && std::isfinite(length) ? static_cast<float>(steps) * kPathStep / length : 0.0f;
    if (!clear) std::printf(ignoreA ? "not clear \n" : "bullet not clear\n");
    return clear;
}
