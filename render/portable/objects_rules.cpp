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

bool preyCollidesWithFighter(const GameState& world, Vec3 preyPos, const Fighter& f) {
    if (f.state == FighterState::Dead || f.state == FighterState::Absent) return false;
    const float dx = preyPos.x - f.pos.x;
    const float dy = preyPos.y - f.pos.y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    return 1.2f * distance < (maze.preyExtent.x + maze.fighterExtent.x) * 0.5f;
}

bool sphereOutsideView(Vec3 centre, float radius) {
    const Vec3 d = view.cameraDir;
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(len > 0.0f)) return false;
    const Vec3 forward{d.x / len, d.y / len, d.z / len};
    // The camera's right and up axes, with world up (0, 0, 1) as gluLookAt takes it.
    Vec3 right{forward.y, -forward.x, 0.0f};
    const float rightLen = std::sqrt(right.x * right.x + right.y * right.y);
    if (!(rightLen > 0.0f)) return false;  // looking straight up or down
    right = Vec3{right.x / rightLen, right.y / rightLen, 0.0f};
    const Vec3 up{right.y * forward.z - right.z * forward.y, right.z * forward.x - right.x * forward.z,
                  right.x * forward.y - right.y * forward.x};
    const Vec3 rel{centre.x - view.cameraEye.x, centre.y - view.cameraEye.y,
                   centre.z - view.cameraEye.z};
    const float depth = rel.x * forward.x + rel.y * forward.y + rel.z * forward.z;
    const float side = rel.x * right.x + rel.y * right.y + rel.z * right.z;
    const float height = rel.x * up.x + rel.y * up.y + rel.z * up.z;
    const float tanV = std::tan(view.fieldOfView * 0.5f * 3.14159265f / 180.0f);
    const float aspect = view.windowHeight > 0
                             ? static_cast<float>(view.windowWidth) / static_cast<float>(view.windowHeight)
                             : 1.0f;
    const float tanH = tanV * aspect;
    if (!(tanV > 0.0f) || !(tanH > 0.0f)) return false;
    if (depth < 0.1f - radius) return true;
    // Signed distances to the four side planes, positive outside.
    const float h = std::sqrt(1.0f + tanH * tanH), v = std::sqrt(1.0f + tanV * tanV);
    return (side - depth * tanH) / h > radius || (-side - depth * tanH) / h > radius ||
           (height - depth * tanV) / v > radius || (-height - depth * tanV) / v > radius;
}
