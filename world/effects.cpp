// effects.cpp -- explosions started by hits, the server's note of each one
// for the next state message, and their animation: the rules set them up,
// frames (or passes nothing was drawn in) advance them on the effects'
// generator.
#include <cmath>

#include "sound/sound.h"
#include "world/world.h"

namespace {

// Unit direction of one debris piece from three fractions each. A draw of
// zero length has no direction and is drawn again, so no NaN reaches the
// pieces.
Vec3 drawPieceDirection() {
    for (;;) {
        const float x = randomFraction() - 0.5f;
        const float y = randomFraction() - 0.5f;
        const float z = randomFraction() - 0.5f;
        const float len = std::sqrt(x * x + y * y + z * z);
        if (len > 0.0f) return Vec3{x / len, y / len, z / len};
    }
}

// The explosion the next one replaces when kMaxExplosions are under way: the
// one started longest ago (start numbers compared as distances back from the
// newest, so their wrap does not matter).
size_t oldestExplosion() {
    size_t oldest = 0;
    for (size_t i = 1; i < gs.explosionList.size(); ++i)
        if (gs.explosionsStarted - gs.explosionList[i].startOrder >
            gs.explosionsStarted - gs.explosionList[oldest].startOrder)
            oldest = i;
    return oldest;
}

void startExplosion(float x, float y, float z, bool large) {
    if (!effectState.explosionSoundThisPass) {
        effectState.explosionSoundThisPass = true;
        playSoundOnce(kExplosionSlot);
    }
    Explosion e;
    e.startOrder = ++gs.explosionsStarted;
    e.centre = Vec3{x, y, z};
    e.effectType = 1;
    e.frame = 0;
    e.finished = 0;
    e.pieceCount = large ? 100 : 30;
    e.lifetime = large ? 30 : 10;
    const float sizeScale = large ? 2.0f : 1.0f;
    // Ten random numbers per piece, in this order: direction, speed, size,
    // offset.
    for (int k = 0; k < e.pieceCount; ++k) {
        e.pieceDirection[k] = drawPieceDirection();
        e.pieceSpeed[k] = 0.3f + randomFraction() * (0.5f - 0.3f);
        Vec3& size = e.pieceSize[k];
        size.x = (0.02f + randomFraction() * (0.1f - 0.02f)) * sizeScale;
        size.y = (0.02f + randomFraction() * (0.1f - 0.02f)) * sizeScale;
        size.z = (0.02f + randomFraction() * (0.1f - 0.02f)) * sizeScale;
        // Scattered over a prey-sized box around the centre, whatever was hit.
        Vec3& off = e.pieceOffset[k];
        off.x = (randomFraction() - 0.5f) * maze.preyExtent.x;
        off.y = (randomFraction() - 0.5f) * maze.preyExtent.y;
        off.z = (randomFraction() - 0.5f) * maze.preyExtent.z;
    }
    if (gs.explosionList.size() < static_cast<size_t>(kMaxExplosions)) gs.explosionList.push_back(e);
    else gs.explosionList[oldestExplosion()] = e;
}

}  // namespace

void spawnHitEffect(Vec3 at, bool large) {
    if (process.isServer) {
        EffectEvent ev;
        ev.effectKind = large ? EffectKind::Large : EffectKind::Small;
        ev.x = at.x;
        ev.y = at.y;
        ev.z = at.z;
        gs.effectEvents.push_back(ev);
    }
    startExplosion(at.x, at.y, at.z, large);
}

void startSmallExplosion(float x, float y, float z) { startExplosion(x, y, z, false); }
void startLargeExplosion(float x, float y, float z) { startExplosion(x, y, z, true); }

namespace {

// One drawing's motion of an explosion's debris, from the effects' generator.
void moveExplosionPieces(Explosion& e) {
    const int n = e.pieceCount < 0 ? 0
                  : (e.pieceCount > kMaxExplosionPieces ? kMaxExplosionPieces : e.pieceCount);
    for (int k = 0; k < n; ++k) {
        Vec3& off = e.pieceOffset[k];
        const Vec3& dir = e.pieceDirection[k];
        const float speed = e.pieceSpeed[k];
        off.x += dir.x * speed * (1.0f + 0.5f * effectRandomFraction());
        off.y += dir.y * speed * (1.0f + 0.5f * effectRandomFraction());
        off.z += dir.z * speed * (1.0f + 0.5f * effectRandomFraction());
    }
}

// Closes one drawing: finished once frame has passed lifetime, then counted.
void endExplosionFrame(Explosion& e) {
    if (e.frame > e.lifetime) e.finished = 1;
    e.frame += 1;
}

}  // namespace

void advanceDrawnExplosions(ExplosionPicture picture) {
    // A paused game freezes its explosions too: no motion, no count towards
    // the end, so resuming picks them up where they stood.
    const bool frozen = gs.gamePaused;
    for (Explosion& e : gs.explosionList) {
        const bool animated = e.effectType == 1 && !frozen;
        if (animated) moveExplosionPieces(e);
        if (picture) picture(e, frozen);
        if (animated) endExplosionFrame(e);
    }
    effectState.drawnSincePass = true;
}

void advanceUndrawnExplosions() {
    if (!effectState.drawnSincePass && !gs.gamePaused) {
        for (Explosion& e : gs.explosionList) {
            // Only drawable explosions ever finish; another type stays, as it does on screen.
            if (e.effectType != 1 || e.finished) continue;
            moveExplosionPieces(e);
            endExplosionFrame(e);
        }
    }
    effectState.drawnSincePass = false;
    effectState.explosionSoundThisPass = false;
}

void removeFinishedExplosions() {
    std::vector<Explosion>& list = gs.explosionList;
    // The one moved into a gap is looked at in its turn: the same result as
    // starting over after every removal.
    for (size_t i = 0; i < list.size();) {
        if (list[i].finished) removeAt(list, i);
        else ++i;
    }
}
