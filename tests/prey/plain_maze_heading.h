// plain_maze_heading.h -- the maze path-finder written the slow, literal
// way: the reference the tests compare mazeHeading against and the baseline
// its benchmark runs beside.
#pragma once

#include <algorithm>
#include <cstring>

#include "world/world.h"

// The path-finder exactly as the rule states it, without shortcuts: every
// sweep over every inner cell, all (rows + cols) * 3 of them if need be.
inline float plainMazeHeading(Vec3 from, Vec3 to) {
    const int fr = static_cast<int>(from.y / maze.cellSize), fc = static_cast<int>(from.x / maze.cellSize);
    const int tr = static_cast<int>(to.y / maze.cellSize), tc = static_cast<int>(to.x / maze.cellSize);
    static int v[100][100];
    std::memset(v, 0, sizeof v);
    const auto open = [](int r, int c) { return maze.cells[r][c] == 0; };
    const int dr[4] = {-1, 0, 1, 0}, dc[4] = {0, 1, 0, -1};
    v[tr][tc] = (maze.rows + maze.cols) * 6;
    int count = 0;
    for (int s = 0; s < (maze.rows + maze.cols) * 3; ++s) {
        for (int r = 1; r <= maze.rows - 2; ++r)
            for (int c = 1; c <= maze.cols - 2; ++c)
                for (int k = 0; k < 4 && open(r, c); ++k)
                    if (open(r + dr[k], c + dc[k])) v[r][c] = std::max(v[r][c], v[r + dr[k]][c + dc[k]] - 1);
        if (v[fr][fc] > 0 && ++count == 5) break;
    }
    if (count == 0) return randomFraction() * 360.0f;
    int rank[4] = {0, 0, 0, 0}, best = 0, second = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) ++rank[v[fr + dr[i]][fc + dc[i]] < v[fr + dr[j]][fc + dc[j]] ? j : i];
    for (int k = 0; k < 4; ++k) {
        if (rank[k] == 3) best = k;
        if (rank[k] == 2) second = k;
    }
    const auto run = [&](int k) {
        int len = 0;
        for (int r = fr, c = fc; open(fr, fc) && v[r][c] >= v[fr][fc]; r += dr[k], c += dc[k]) {
            ++len;
            if (!open(r + dr[k], c + dc[k])) break;
        }
        return len;
    };
    const float headings[4] = {270, 0, 90, 180};
    return headings[run(second) > run(best) ? second : best];
}
