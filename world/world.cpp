// world.cpp -- the process's records, the two generators (the rules' and
// the effects'), directions and headings.
#include "base/log.h"
#include "world/world.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {
// The level is large (two 100 x 100 tables): it lives here, not on a stack.
MazeMap theMaze;
}  // namespace

const MazeMap& maze = theMaze;
GameState gs;
ProcessState process;
HudState hud;
OptionFlags options;
EffectState effectState;

MazeMap& editMaze() { return theMaze; }

void resetGameStateForTest() {
    // Built in place: a temporary level would be two large tables on the stack.
    theMaze.~MazeMap();
    new (&theMaze) MazeMap();
    gs = GameState{};
    process = ProcessState{};
    hud = HudState{};
    options = OptionFlags{};
    effectState = EffectState{};
    longGame = LongGameRules{};
}

Vec3 directionFromCode(int code) {
    switch (code) {
    case 0: return Vec3{0.0f, -1.0f, 0.0f};
    case 1: return Vec3{1.0f, 0.0f, 0.0f};
    case 2: return Vec3{0.0f, 1.0f, 0.0f};
    case 3: return Vec3{-1.0f, 0.0f, 0.0f};
    default:
        logLine(LogLevel::Warning, "invalid direction");
        return Vec3{};
    }
}

float headingDegrees(Vec3 dir) {
    // The threshold is the single-precision 1e-6; below it the direction is
    // treated as pointing along y (or as 90 degrees when it is zero).
    if (std::fabs(dir.x) >= 1e-6f) {
        float h = static_cast<float>(degreesFromRadians(std::atan(static_cast<double>(dir.y) / dir.x)));
        if (dir.x < 0.0f) h += 180.0f;
        if (h < 0.0f) h += 360.0f;
        // Rounding can land exactly on 360 for directions a hair below +x.
        if (h >= 360.0f) h -= 360.0f;
        return h;
    }
    return dir.y < 0.0f ? 270.0f : 90.0f;
}

void randomSeed(uint32_t seed) { gs.randomState = seed; }

int randomNextFrom(uint32_t& state) {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

int randomNext() { return randomNextFrom(gs.randomState); }

float randomFraction() { return static_cast<float>(randomNext()) * 3.0518509e-05f; }

void effectRandomSeed(uint32_t seed) { effectState.randomState = seed; }

float effectRandomFraction() {
    return static_cast<float>(randomNextFrom(effectState.randomState)) * 3.0518509e-05f;
}

void setMessageLine(const char* text) {
    std::snprintf(hud.messageLine, sizeof hud.messageLine, "%s", text ? text : "");
    hud.messageSetMs = process.clockNowMs;
}
