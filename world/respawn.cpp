// respawn.cpp -- a destroyed fighter comes back: the delay, the start it
// comes back at, its protection, and the countdown its player reads.
#include <cstdio>
#include <limits>

#include "world/world.h"

LongGameRules longGame;

int32_t respawnDelayNow() { return longGame.respawnOn ? longGame.respawnDelayMs : 0; }

void noteFighterDestroyed(int victim, int32_t by) {
    if (victim < 0 || victim >= fighterCount()) return;
    Fighter& f = gs.fighterList[victim];
    f.state = FighterState::Dead;
    ++f.deaths;
    f.destroyedBy = by;
    f.protectMs = 0;
    f.respawnMs = respawnDelayNow();
    if (by >= 0 && by < fighterCount() && by != victim) ++gs.fighterList[by].fightersDestroyed;
}

int farthestFighterStart(int fighter) {
    const int n = maze.fighterStartCount;
    if (n <= 0) return -1;
    // Tried from the fighter's own start on, so a tie keeps it there.
    const int first = fighter >= 0 && fighter < n ? fighter : 0;
    int best = -1;
    float bestNearest = -1.0f;
    for (int k = 0; k < n; ++k) {
        const int s = (first + k) % n;
        const StartPosition& start = maze.fighterStarts[s];
        const Vec3 centre{(static_cast<float>(start.column) + 0.5f) * maze.cellSize,
                          (static_cast<float>(start.row) + 0.5f) * maze.cellSize, 0.0f};
        float nearest = std::numeric_limits<float>::max();
        for (const Prey& p : gs.preyList) nearest = std::fmin(nearest, groundDistance(centre, p.pos));
        for (int i = 0; i < fighterCount(); ++i) {
            const Fighter& other = gs.fighterList[i];
            if (i != fighter && other.state == FighterState::InPlay)
                nearest = std::fmin(nearest, groundDistance(centre, other.pos));
        }
        if (nearest > bestNearest) {
            best = s;
            bestNearest = nearest;
        }
    }
    return best;
}

void respawnFighter(int i) {
    if (i < 0 || i >= fighterCount()) return;
    const int start = farthestFighterStart(i);
    if (start < 0) return;
    Fighter& f = gs.fighterList[i];
    // A round's score survives the fighter's death.
    const int32_t score = f.score;
    placeFighterAtStart(f, maze.fighterStarts[start]);
    f.score = score;
    f.movePending = f.turnPending = 0;
    f.state = FighterState::InPlay;
    f.respawnMs = 0;
    f.reloadMs = 0;
    f.protectMs = kRespawnProtectMs;
}

void showRespawnCountdown() {
    static int32_t shownSeconds = -1;
    const int i = process.localFighterIndex;
    if (i < 0 || i >= fighterCount()) return;
    const Fighter& f = gs.fighterList[i];
    if (f.respawnMs <= 0 || f.state == FighterState::InPlay) {
        shownSeconds = -1;
        return;
    }
    // Whole seconds left, rounded up: "back in 1 s" until it is back.
    const int32_t seconds = (f.respawnMs + 999) / 1000;
    if (seconds == shownSeconds) return;
    shownSeconds = seconds;
    const std::string by = f.destroyedBy == kDestroyedByPrey ? "a prey"
                           : f.destroyedBy >= 0 && f.destroyedBy < fighterCount() ? fighterName(f.destroyedBy)
                                                                                 : "something";
    char text[kMessageLineSize];
    std::snprintf(text, sizeof text, "Destroyed by %s - back in %d s", by.c_str(), static_cast<int>(seconds));
    setMessageLine(text);
}
