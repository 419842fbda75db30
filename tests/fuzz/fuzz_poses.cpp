// Fuzzes the pose reader: any text must read without touching memory outside
// the pose set, give finite motion tables, and let a prey walk, turn and look
// on them with finite positions and a pose inside the table.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "prey/prey.h"

namespace {

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int count = readPreyPosesText(text, preyPoses);
    if (count < 0 || count > kPreyPoseNumbers) std::abort();
    for (int k = 0; k < kPreyWalkSteps; ++k)
        if (!std::isfinite(preyPoses.walkStep[k])) std::abort();
    for (int s = 0; s < 2; ++s)
        for (int j = 0; j < kPreyTurnSteps; ++j)
            if (!std::isfinite(preyPoses.turnDelta[s][j]) || !std::isfinite(preyPoses.turnDistance[s][j]) ||
                !std::isfinite(preyPoses.turnBearing[s][j]))
                std::abort();

    // A prey in an open room, every move taken: a few dozen behaviour updates.
    resetGameStateForTest();
    editMaze().rows = editMaze().cols = 40;
    editMaze().cellSize = 8.0f;
    Prey p;
    p.pos = Vec3{160.0f, 160.0f, 1.5f};
    p.nextPos = p.pos;
    p.dir = Vec3{1.0f, 0.0f, 0.0f};
    p.nextDir = p.dir;
    p.moveAllowed = 1;
    randomSeed(static_cast<uint32_t>(size));
    for (int update = 0; update < 40; ++update) {
        p.tick = kPreyUpdateDivider - 1;
        updatePrey(p);
        if (p.pose < 0 || p.pose >= kPreyPoseCount) std::abort();
        p.pos.x = p.nextPos.x;
        p.pos.y = p.nextPos.y;
        if (p.turnPending) p.dir = p.nextDir;
        if (!finite(p.pos) || !finite(p.dir)) std::abort();
    }
    return 0;
}
