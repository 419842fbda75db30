// objects_rules.cpp -- the GL-free decisions of the object drawing: which
// detail level and mesh level a model uses, which missile places are filled,
// how a lamp turns, and when a prey is too close to a fighter to be drawn.
#include <cmath>
#include <cstdio>

#include "render/render.h"

int clampDetailLevel(int level) {
    if (level < 0) return 0;
    if (level >= kDetailLevels) return kDetailLevels - 1;
    return level;
}

int preyMeshLevel(int detailLevel) {
    const int level = clampDetailLevel(detailLevel);
    return level < kPreyMeshLevels ? level : 0;
}

std::string preyMeshFileName(int part, int level) {
    char name[32];
    std::snprintf(name, sizeof name, "prey%d_%d.msh", part, level);
    return name;
}

int meshTriangleCount(const Mesh& mesh) { return static_cast<int>(mesh.faces.size() / 9); }

int fillMissileRacks(int missiles, bool filled[2][kRackRows][kRackPlaces]) {
    int shown = 0;
    for (int rack = 0; rack < 2; ++rack)
        for (int row = 0; row < kRackRows; ++row)
            for (int place = 0; place < kRackPlaces; ++place) {
                const bool show = kRackPattern[row][place] != 0 && shown < missiles;
                filled[rack][row][place] = show;
                shown += show ? 1 : 0;
            }
    return shown;
}

float lampTurnDegrees(int side, float viewerHeading) {
    // The lamp model reaches out along its -x axis; these turns point it out
    // of its face: side 0 (the -y face) to -y, side 1 to +x, side 2 to +y,
    // side 3 to -x.
    constexpr float kSideTurn[4] = {180.0f, 270.0f, 0.0f, 90.0f};
    const float a = side >= 0 && side < 4 ? kSideTurn[side] : viewerHeading;
    return a + 270.0f;
}

bool preyCollidesWithFighter(Vec3 preyPos, const Fighter& f) {
    if (f.state == Dead || f.state == Absent) return false;
    const float dx = preyPos.x - f.pos.x;
    const float dy = preyPos.y - f.pos.y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    return 1.2f * distance < (gs.preyExtent.x + gs.fighterExtent.x) * 0.5f;
}

bool groundSquareHidden(float x, float y, float radius) {
    const float cs = gs.cellSize;
    if (!(cs > 0.0f)) return false;
    // Cells of the square's corners, clamped into the table: a square partly
    // outside it is judged by the part inside.
    auto cell = [](float coordinate) {
        const float q = std::floor(coordinate);
        if (!(q >= 0.0f)) return 0;
        if (q >= kMaxMazeSize - 1) return kMaxMazeSize - 1;
        return static_cast<int>(q);
    };
    const int c0 = cell((x - radius) / cs), c1 = cell((x + radius) / cs);
    const int r0 = cell((y - radius) / cs), r1 = cell((y + radius) / cs);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            if (view.cellVisible[r][c]) return false;
    return true;
}
