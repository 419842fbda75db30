// reset.cpp -- the game reset: fighters back on their starts, fresh prey.
#include "world/world.h"

void placeFighterAtStart(Fighter& f, const StartPosition& s) {
    f.pos = Vec3{(static_cast<float>(s.column) + 0.5f) * maze.cellSize,
                 (static_cast<float>(s.row) + 0.5f) * maze.cellSize, kFighterHeight};
    f.nextPos.x = f.pos.x;
    f.nextPos.y = f.pos.y;
    f.bullets = maze.startBullets;
    f.missiles = maze.startMissiles;
    f.weapon = Weapon::Cannon;
    f.health = kStartHealth;
    // A bad code is reported for each of the two directions.
    f.dir = directionFromCode(s.direction);
    f.nextDir = directionFromCode(s.direction);
    f.score = 0;
    for (uint8_t& k : f.keyDown) k = 0;
    f.gunWaitMs = 0;
    f.shotAsked = 0;
    f.triggerHeldMs = 0;
    f.heldKeysReported = 0;
    f.triggerReported = 0;
}

void resetGame() {
    // movePending, turnPending and moveAllowed are left as they were: the
    // proposals now equal the new position, so a leftover changes nothing.
    for (int i = 0; i < maze.fighterStartCount && i < fighterCount(); ++i) {
        placeFighterAtStart(gs.fighterList[i], maze.fighterStarts[i]);
        Fighter& f = gs.fighterList[i];
        f.state = FighterState::Absent;
        f.fightersDestroyed = 0;
        f.deaths = 0;
        f.protectMs = 0;
        f.respawnMs = 0;
        f.reloadMs = 0;
        f.destroyedBy = kDestroyedByUnknown;
    }
    gs.round = GameState::Round{};
    if (fighterCount() > 0) gs.fighterList[0].state = FighterState::InPlay;

    gs.preyList.clear();
    for (int i = 0; i < maze.preyStartCount; ++i) {
        const StartPosition& s = maze.preyStarts[i];
        Prey p;  // behaviour fields at their start values (mode Roam, actionStep 1)
        p.pos = Vec3{(static_cast<float>(s.column) + 0.5f) * maze.cellSize,
                     (static_cast<float>(s.row) + 0.5f) * maze.cellSize, maze.preyExtent.z * 0.5f};
        p.nextPos.x = p.pos.x;
        p.nextPos.y = p.pos.y;
        p.health = kStartHealth;
        p.destroyed = 0;
        p.dir = directionFromCode(s.direction);
        p.nextDir = directionFromCode(s.direction);
        gs.preyList.push_back(p);
    }

    gs.explosionList.clear();
    gs.effectEvents.clear();
}
