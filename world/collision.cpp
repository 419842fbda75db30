// collision.cpp -- bodies against the walls of their cell, and the stepped
// march of a segment through the maze (bullet flights, line of sight).
#include <cmath>
#include <cstdio>

#include "base/log.h"
#include "world/world.h"

int cellOfCoordinate(float coord) {
    const float q = coord / maze.cellSize;
    // Truncation toward zero puts -0.5 in cell 0. Anything that would not fit
    // the table (or is not a number at all) is the outside, which is wall.
    if (!(q > -1.0f && q < static_cast<float>(kMaxMazeSize))) return -1;
    return static_cast<int>(q);
}

bool clampToWalls(Vec3& nextPos, int row, int col, float radius, bool clamp) {
    const float s = maze.cellSize;
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

// True when the walking point w is in a wall cell, within kWallMargin of a
// neighbouring wall cell, or outside the floor-to-ceiling band.
bool mazeBlocks(Vec3 w) {
    const int col = cellOfCoordinate(w.x);
    const int row = cellOfCoordinate(w.y);
    const float s = maze.cellSize;
    if (cellCode(row, col) == 1) return true;
    if (w.x < static_cast<float>(col) * s + kWallMargin && cellCode(row, col - 1) == 1) return true;
    if (w.x > static_cast<float>(col + 1) * s - kWallMargin && cellCode(row, col + 1) == 1) return true;
    if (w.y < static_cast<float>(row) * s + kWallMargin && cellCode(row - 1, col) == 1) return true;
    if (w.y > static_cast<float>(row + 1) * s - kWallMargin && cellCode(row + 1, col) == 1) return true;
    if (w.z < kFloorLimit) return true;
    // The ceiling limit is the maze's row count, not the wall height.
    if (w.z > static_cast<float>(maze.rows) - kFloorLimit) return true;
    return false;
}

// The bodies that can stop a walk: live fighters, then prey, in list order,
// less the two ignored ones. Only those whose ground distance to the segment
// is within their radius (plus a margin for rounding along the walk) are
// kept, so each step of the walk looks at a handful of bodies at most.
struct Blockers {
    static constexpr int kCapacity = 64;
    int count = 0;
    bool overflow = false;  // too many near the segment: test every body
    // Left uninitialised: only the first `count` entries are ever read.
    float x[kCapacity];
    float y[kCapacity];
    float radius[kCapacity];
};

// Square of the ground distance from p to the segment a-b.
float squaredDistanceToSegment(Vec3 p, Vec3 a, Vec3 b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float s = len2 > 0.0f ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0f;
    s = s < 0.0f ? 0.0f : (s > 1.0f ? 1.0f : s);
    const float ex = p.x - (a.x + dx * s), ey = p.y - (a.y + dy * s);
    return ex * ex + ey * ey;
}

bool isBlocker(const Fighter& f, const void* ignoreA, const void* ignoreB) {
    return f.state == FighterState::InPlay && &f != ignoreA && &f != ignoreB;
}

// Every listed prey is a body, also one destroyed earlier in this step: its
// wreck stands until the step's end and stops later bullets of the step.
bool isBlocker(const Prey& p, const void* ignoreA, const void* ignoreB) {
    return &p != ignoreA && &p != ignoreB;
}

void gatherBlockers(Blockers& out, Vec3 from, Vec3 to, const void* ignoreA, const void* ignoreB) {
    constexpr float kMargin = 0.5f;
    auto consider = [&](Vec3 pos, float radius) {
        const float reach = radius + kMargin;
        if (!(squaredDistanceToSegment(pos, from, to) < reach * reach)) return;
        if (out.count == Blockers::kCapacity) {
            out.overflow = true;
            return;
        }
        out.x[out.count] = pos.x;
        out.y[out.count] = pos.y;
        out.radius[out.count] = radius;
        ++out.count;
    };
    const float fighterRadius = maze.fighterExtent.x * 0.5f;
    for (const Fighter& f : gs.fighterList)
        if (isBlocker(f, ignoreA, ignoreB)) consider(f.pos, fighterRadius);
    const float preyRadius = maze.preyExtent.x * 0.5f;
    for (const Prey& p : gs.preyList)
        if (isBlocker(p, ignoreA, ignoreB)) consider(p.pos, preyRadius);
}

// True when a blocker is closer to w, in the ground plane, than its radius.
bool bodyBlocks(const Blockers& near, Vec3 w, const void* ignoreA, const void* ignoreB) {
    if (!near.overflow) {
        for (int i = 0; i < near.count; ++i)
            if (groundDistance(w, Vec3{near.x[i], near.y[i], 0.0f}) < near.radius[i]) return true;
        return false;
    }
    const float fighterRadius = maze.fighterExtent.x * 0.5f;
    for (const Fighter& f : gs.fighterList)
        if (isBlocker(f, ignoreA, ignoreB) && groundDistance(w, f.pos) < fighterRadius) return true;
    const float preyRadius = maze.preyExtent.x * 0.5f;
    for (const Prey& p : gs.preyList)
        if (isBlocker(p, ignoreA, ignoreB) && groundDistance(w, p.pos) < preyRadius) return true;
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
        Blockers near;
        gatherBlockers(near, from, to, ignoreA, ignoreB);
        Vec3 w = from;
        while (groundDistance(w, to) > kPathEndTolerance && steps < maxSteps) {
            if (mazeBlocks(w)) {
                clear = false;
                break;
            }
            const bool body = bodyBlocks(near, w, ignoreA, ignoreB);
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
    if (!clear) logLine(LogLevel::Debug, ignoreA ? "not clear " : "bullet not clear");
    return clear;
}
