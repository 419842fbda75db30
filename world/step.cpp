// step.cpp -- the server's world step: held keys, walls, prey behaviour,
// bodies, commits, bullet flights with their hits, and removals.
#include <cmath>
#include <cstdio>

#include "base/log.h"
#include "world/world.h"

namespace {

bool inPlay(const Fighter& f) { return f.state == FighterState::InPlay; }

// Every pair of bodies closer than the sum of their radii refuses both moves,
// using the proposals of everybody, moving or not.
void refuseOverlappingBodies() {
    const float fighterReach = maze.fighterExtent.x;
    const float mixedReach = (maze.preyExtent.x + maze.fighterExtent.x) * 0.5f;
    const float preyReach = maze.preyExtent.x;
    const int nf = fighterCount();
    const int np = preyCount();
    for (int i = 0; i < nf; ++i) {
        Fighter& a = gs.fighterList[i];
        if (!inPlay(a)) continue;
        for (int j = i + 1; j < nf; ++j) {
            Fighter& b = gs.fighterList[j];
            if (inPlay(b) && groundDistance(a.nextPos, b.nextPos) < fighterReach)
                a.moveAllowed = b.moveAllowed = 0;
        }
    }
    for (Fighter& f : gs.fighterList) {
        if (!inPlay(f)) continue;
        for (Prey& p : gs.preyList)
            if (groundDistance(f.nextPos, p.nextPos) < mixedReach) f.moveAllowed = p.moveAllowed = 0;
    }
    for (int i = 0; i < np; ++i) {
        Prey& a = gs.preyList[i];
        for (int j = i + 1; j < np; ++j) {
            Prey& b = gs.preyList[j];
            if (groundDistance(a.nextPos, b.nextPos) < preyReach) a.moveAllowed = b.moveAllowed = 0;
        }
    }
}

// Applies one bullet's hit at point h: prey first; fighters only when no
// prey was hit.
void applyHit(Bullet& b, Vec3 h) {
    const float preyRadius = maze.preyExtent.x * 0.5f;
    for (int i = 0; i < preyCount(); ++i) {
        Prey& p = gs.preyList[i];
        if (!(groundDistance(p.pos, h) < preyRadius)) continue;
        // A prey killed earlier in this step is not hit again (one kill, one
        // point), but its wreck still stops the bullet.
        if (p.destroyed) {
            b.spent = 1;
            continue;
        }
        logLine(LogLevel::Debug, "prey %d  shot!!", i);
        p.health -= kPreyHitDamage;
        if (p.health < 0.0f) {
            spawnHitEffect(p.pos, true);
            setMessageLine("Mech destroyed.");
            if (b.owner >= 0 && b.owner < fighterCount()) ++gs.fighterList[b.owner].score;
            p.destroyed = 1;
        } else {
            spawnHitEffect(p.pos, false);
        }
        b.spent = 1;
    }
    if (!b.spent) {
        const float fighterRadius = maze.fighterExtent.x * 0.5f;
        for (int i = 0; i < fighterCount(); ++i) {
            Fighter& f = gs.fighterList[i];
            if (!inPlay(f) || !(groundDistance(f.pos, h) < fighterRadius)) continue;
            logLine(LogLevel::Debug, "fighter %d  shot!!", i);
            b.spent = 1;
            // Just back in play: the hit shows, but does no harm.
            if (f.protectMs > 0) {
                spawnHitEffect(f.pos, false);
                continue;
            }
            f.health -= kFighterHitDamage;
            if (f.health < 0.0f) {
                logLine(LogLevel::Debug, "fighter %d DEAD ", i);
                char text[64];
                std::snprintf(text, sizeof text, "Fighter %d dead!!", i);
                setMessageLine(text);
                const int32_t by = b.owner >= 0 && b.owner < fighterCount()   ? b.owner
                                   : b.shooterKind == ShooterKind::PreyCannon ? kDestroyedByPrey
                                                                              : kDestroyedByUnknown;
                noteFighterDestroyed(i, by);
                spawnHitEffect(f.pos, true);
            } else {
                logLine(LogLevel::Debug, "fighter %d  health %g", i, f.health);
                spawnHitEffect(f.pos, false);
            }
        }
    }
    if (h.z > static_cast<float>(maze.rows) - kFloorLimit) logLine(LogLevel::Debug, "hit ceiling");
    if (h.z < kFloorLimit) logLine(LogLevel::Debug, "hit ground");
    b.spent = 1;
}

void flyBullets() {
    // Hits append explosions, never bullets, so the list keeps its size here.
    for (Bullet& b : gs.bulletList) {
        b.nextPos = Vec3{b.pos.x + b.dir.x * kBulletSpeed, b.pos.y + b.dir.y * kBulletSpeed,
                         b.pos.z + b.dir.z * kBulletSpeed};
        float t = 1.0f;
        if (!pathClear(b.pos, b.nextPos, t, nullptr, nullptr)) {
            const Vec3 h{b.pos.x + (b.nextPos.x - b.pos.x) * t, b.pos.y + (b.nextPos.y - b.pos.y) * t,
                         b.pos.z + (b.nextPos.z - b.pos.z) * t};
            applyHit(b, h);
        }
        b.pos = b.nextPos;
    }
}

// Removes every element for which gone() holds, each by moving the last
// element into its place (the same result as restarting the search from 0
// after every removal).
template <class T, class Gone>
void removeAll(std::vector<T>& list, Gone gone) {
    for (size_t i = 0; i < list.size();) {
        if (gone(list[i]))
            removeAt(list, i);
        else
            ++i;
    }
}

}  // namespace

void commitFighterStep(Fighter& f) {
    // A refused move stays pending and is tried again next step.
    if (f.moveAllowed && f.movePending) {
        f.movePending = 0;
        f.pos.x = f.nextPos.x;
        f.pos.y = f.nextPos.y;
    }
    if (f.turnPending) {
        f.turnPending = 0;
        f.dir = f.nextDir;
    }
}

void keepFighterOffWalls(Fighter& f) {
    // Fighters are never refused by walls, only put back on their side.
    const float fighterRadius = maze.fighterExtent.x * 0.5f;
    f.moveAllowed = 1;
    if (!f.movePending) {
        f.nextPos.x = f.pos.x;
        f.nextPos.y = f.pos.y;
    }
    clampToWalls(f.nextPos, cellOfCoordinate(f.pos.y), cellOfCoordinate(f.pos.x), fighterRadius, true);
    // The clamp looks at the side neighbours only; a move across the
    // corner of a diagonal wall cell would end inside the block.
    if (cellCode(cellOfCoordinate(f.nextPos.y), cellOfCoordinate(f.nextPos.x)) == 1) f.moveAllowed = 0;
}

void regenerateHealth() {
    if (gs.gamePaused) return;
    for (Fighter& f : gs.fighterList)
        if (inPlay(f) && f.health < kStartHealth) f.health += kHealthRegen;
}

void worldStep(PreyBehaviour& preyBehaviour) {
    if (gs.gamePaused) return;
    const int32_t intervalMs = passIntervalMs(process.clockPrevMs, process.clockNowMs);
    const float dt = static_cast<float>(intervalMs) * 0.001f;

    for (Fighter& f : gs.fighterList) {
        if (!inPlay(f)) continue;
        applyHeldKeys(f, dt);
        applyMouseTurn(f);
        fireHeldGun(f, intervalMs);
    }

    for (Fighter& f : gs.fighterList)
        if (inPlay(f)) keepFighterOffWalls(f);

    // Prey are refused by walls instead of being moved back.
    const float preyRadius = maze.preyExtent.x * 0.5f;
    for (Prey& p : gs.preyList) {
        preyBehaviour(p);
        // The side faces miss a diagonal wall cell: a step across its corner
        // would put the prey inside it, so a proposal in a wall cell is refused too.
        const bool touching =
            clampToWalls(p.nextPos, cellOfCoordinate(p.pos.y), cellOfCoordinate(p.pos.x), preyRadius, false) ||
            cellCode(cellOfCoordinate(p.nextPos.y), cellOfCoordinate(p.nextPos.x)) == 1;
        p.moveAllowed = touching ? 0 : 1;
        p.blocked = touching ? 1 : 0;
    }

    refuseOverlappingBodies();

    for (Fighter& f : gs.fighterList) {
        if (!inPlay(f)) continue;
        commitFighterStep(f);
    }
    for (Prey& p : gs.preyList) {
        if (p.moveAllowed) {
            p.pos.x = p.nextPos.x;
            p.pos.y = p.nextPos.y;
        }
        if (p.turnPending) p.dir = p.nextDir;
    }

    flyBullets();

    removeAll(gs.preyList, [](const Prey& p) { return p.destroyed != 0; });
    removeAll(gs.bulletList, [](const Bullet& b) { return b.spent != 0; });
    removeFinishedExplosions();
}
