// round.cpp -- a long game's step: protection, respawn and reload clocks,
// and rounds that end with the last prey and start again by themselves.
#include <algorithm>
#include <vector>

#include "world/world.h"

int roundWinner() {
    int best = -1;
    for (int i = 0; i < fighterCount(); ++i)
        if (gs.fighterList[i].score > 0 && (best < 0 || gs.fighterList[i].score > gs.fighterList[best].score))
            best = i;
    return best;
}

void startRound() {
    std::vector<bool> present;
    for (const Fighter& f : gs.fighterList) present.push_back(f.state != FighterState::Absent);
    resetGame();
    for (int i = 0; i < fighterCount(); ++i)
        gs.fighterList[i].state = present[i] ? FighterState::InPlay : FighterState::Absent;
}

void longGameStep(int32_t intervalMs) {
    if (gs.gamePaused) return;
    for (int i = 0; i < fighterCount(); ++i) {
        Fighter& f = gs.fighterList[i];
        f.protectMs = std::max(0, f.protectMs - intervalMs);
        if (f.state == FighterState::Dead && f.respawnMs > 0) {
            f.respawnMs -= intervalMs;
            if (f.respawnMs <= 0) respawnFighter(i);
            continue;
        }
        if (f.state != FighterState::InPlay) continue;
        if (f.bullets >= maze.startBullets) {
            f.reloadMs = std::min(f.reloadMs, 0);
            continue;
        }
        f.reloadMs += intervalMs;
        if (f.reloadMs >= kReloadMs) {
            f.reloadMs -= kReloadMs;
            ++f.bullets;
        }
    }

    if (!gs.round.over) {
        gs.round.elapsedMs += intervalMs;
        // A level without prey has no last prey: its round never ends.
        if (longGame.roundsOn && maze.preyStartCount > 0 && preyCount() == 0) {
            gs.round.over = true;
            gs.round.winner = roundWinner();
            gs.round.restartMs = kRoundRestartMs;
        }
        return;
    }
    gs.round.restartMs -= intervalMs;
    if (gs.round.restartMs <= 0) startRound();
}
