// snapshot.cpp -- the world's picture on the network: the server turns its
// world into a snapshot and the codec writes it; a client applies a parsed
// snapshot to its world, decides which body is newer and starts each effect
// event once. Each kind of entry has one small function each way between
// the world's record and the entry; the byte layout is wire.cpp's alone.
#include <algorithm>
#include <cstring>
#include <cmath>
#include <vector>

#include "net/net.h"
#include "net/smoothing.h"
#include "world/world.h"

namespace {

Vec3 groundDirection(float headingDeg) {
    const double rad = radiansFromDegrees(headingDeg);
    return Vec3{static_cast<float>(std::cos(rad)), static_cast<float>(std::sin(rad)), 0.0f};
}

Vec3 flightDirection(float headingDeg, float pitchDeg) {
    const double rad = radiansFromDegrees(headingDeg);
    const double p = radiansFromDegrees(pitchDeg);
    return Vec3{static_cast<float>(std::cos(rad) * std::cos(p)),
                static_cast<float>(std::sin(rad) * std::cos(p)), static_cast<float>(std::sin(p))};
}

// ---------------------------------------------------------------------------
// World to entries (the server)
// ---------------------------------------------------------------------------

FighterEntry fighterEntryOf(const Fighter& f) {
    FighterEntry e;
    e.x = f.pos.x;
    e.y = f.pos.y;
    e.heading = headingDegrees(f.dir);
    e.active = (f.state == FighterState::Dead || f.state == FighterState::Absent) ? 0 : 1;
    e.score = f.score;
    e.health = f.health;
    e.bullets = f.bullets;
    return e;
}

PreyEntry preyEntryOf(const Prey& p) {
    PreyEntry e;
    e.x = p.pos.x;
    e.y = p.pos.y;
    e.heading = headingDegrees(p.dir);
    e.bodyTurn = p.bodyTurn;
    e.pose = static_cast<uint8_t>(p.pose);
    return e;
}

BulletEntry bulletEntryOf(const Bullet& b) {
    BulletEntry e;
    e.x = b.pos.x;
    e.y = b.pos.y;
    e.z = b.pos.z;
    e.heading = headingDegrees(b.dir);
    const float dz = std::fmax(-1.0f, std::fmin(1.0f, b.dir.z));
    e.pitch = static_cast<float>(degreesFromRadians(std::asin(static_cast<double>(dz))));
    e.shooterKind = static_cast<uint32_t>(b.shooterKind);
    return e;
}

// The trailer numbers a body's own events: their entries carry no id.
EffectEntry effectEntryOf(const EffectEvent& e) {
    return EffectEntry{static_cast<uint8_t>(e.effectKind), e.x, e.y, e.z, 0};
}

EffectEntry repeatEntryOf(const SentEffect& e) {
    return EffectEntry{e.kind, e.x, e.y, e.z, e.id};
}

int clampCount(size_t n) { return n > kMaxEntryCount ? kMaxEntryCount : static_cast<int>(n); }

// ---------------------------------------------------------------------------
// Entries to world (the client)
// ---------------------------------------------------------------------------

void applyFighterEntry(const FighterEntry& e, Fighter& f) {
    f.score = e.score;
    f.bullets = e.bullets;
    f.health = e.health;
    f.pos.x = e.x;
    f.pos.y = e.y;
    f.dir = groundDirection(e.heading);
    // A client's fighters all start Absent: an active entry brings its
    // fighter into play here, or no player would ever see another.
    f.state = e.active == 0 ? FighterState::Absent : FighterState::InPlay;
}

void applyPreyEntry(const PreyEntry& e, Prey& p) {
    p.pos.x = e.x;
    p.pos.y = e.y;
    p.pos.z = maze.preyExtent.z * 0.5f;
    p.dir = groundDirection(e.heading);
    p.bodyTurn = e.bodyTurn;
    p.pose = e.pose;
}

void applyBulletEntry(const BulletEntry& e, Bullet& b) {
    b.pos = Vec3{e.x, e.y, e.z};
    b.dir = flightDirection(e.heading, e.pitch);
    // Any value may arrive; the drawing and the sounds know only the three.
    b.shooterKind = static_cast<ShooterKind>(static_cast<int32_t>(e.shooterKind));
}

ReservedPoint pointOf(const PointEntry& e) { return ReservedPoint{e.x, e.y}; }

// The server's pause reaches the client's world and its message line.
void applyServerFlags(uint8_t flags) {
    const bool paused = (flags & kServerFlagPaused) != 0;
    if (paused == gs.gamePaused) return;
    gs.gamePaused = paused;
    setMessageLine(paused ? kPausedMessage : kResumedMessage);
}

// Our figures beyond the world, for our clients' scoreboard and feed.
StateExtras extrasOfWorld() {
    StateExtras x;
    x.present = true;
    x.roundElapsedMs = gs.round.elapsedMs;
    x.roundRestartMs = gs.round.restartMs;
    x.roundOver = gs.round.over ? 1 : 0;
    x.fighterCount = static_cast<uint8_t>(std::min<int>(fighterCount(), kExtrasFighters));
    x.roundWinner = gs.round.winner >= 0 && gs.round.winner < x.fighterCount ? static_cast<uint8_t>(gs.round.winner)
                                                                            : kNoWinner;
    for (int i = 0; i < x.fighterCount; ++i) {
        const Fighter& f = gs.fighterList[i];
        FighterExtras& e = x.fighters[i];
        std::memcpy(e.name, f.name, sizeof e.name);
        e.name[kPlayerNameMax] = 0;
        e.fightersDestroyed = f.fightersDestroyed;
        e.deaths = f.deaths;
        e.pingMs = static_cast<int16_t>(std::clamp(f.pingMs, -1, 32767));
        e.protectMs = static_cast<uint16_t>(std::clamp(f.protectMs, 0, 65535));
        e.respawnMs = f.respawnMs;
        e.destroyedBy = f.destroyedBy == kDestroyedByPrey                         ? kWireDestroyedByPrey
                        : f.destroyedBy >= 0 && f.destroyedBy < kExtrasFighters ? static_cast<uint8_t>(f.destroyedBy)
                                                                                : kWireDestroyedByUnknown;
    }
    return x;
}

// A client takes our server's figures; names and numbers a peer sent are
// shown only, never trusted for the rules.
void applyExtras(const StateExtras& x) {
    gs.round.elapsedMs = x.roundElapsedMs;
    gs.round.restartMs = x.roundRestartMs;
    gs.round.over = x.roundOver != 0;
    gs.round.winner = x.roundWinner == kNoWinner ? -1 : x.roundWinner;
    const int n = std::min<int>(fighterCount(), x.fighterCount);
    for (int i = 0; i < n; ++i) {
        Fighter& f = gs.fighterList[i];
        const FighterExtras& e = x.fighters[i];
        std::memcpy(f.name, e.name, sizeof f.name);
        f.fightersDestroyed = e.fightersDestroyed;
        f.deaths = e.deaths;
        f.pingMs = e.pingMs;
        f.protectMs = e.protectMs;
        f.respawnMs = e.respawnMs;
        f.destroyedBy = e.destroyedBy == kWireDestroyedByPrey ? kDestroyedByPrey
                        : e.destroyedBy < fighterCount()      ? e.destroyedBy
                                                              : kDestroyedByUnknown;
    }
}

}  // namespace

Bullet bulletOfEntry(const BulletEntry& e) {
    Bullet b;
    applyBulletEntry(e, b);
    return b;
}

Prey preyOfEntry(const PreyEntry& e) {
    Prey p;
    applyPreyEntry(e, p);
    return p;
}

void packState(NetMessage& body) {
    StateSnapshot s;
    s.kind = NetMessageKind::StateUpdate;
    s.serverFlags = gs.gamePaused ? kServerFlagPaused : 0;
    s.serverClockMs = process.clockNowMs;
    s.hasSeq = true;
    s.bodySeq = net.bodySeq + 1 == 0 ? 1 : net.bodySeq + 1;
    s.firstEffectId = net.nextEffectId;
    // The events of the last few bodies, newest first.
    const uint32_t kept = std::min<uint32_t>(net.recentEffectCount, kMaxEffectRepeats);
    for (uint32_t k = 0; k < kept; ++k) {
        const SentEffect& e = net.recentEffects[(net.recentEffectCount - 1 - k) % kMaxEffectRepeats];
        if (static_cast<int32_t>(s.bodySeq - e.bodySeq) <= kEffectRepeatBodies) s.repeats.push_back(repeatEntryOf(e));
    }

    s.extras = extrasOfWorld();
    int room = kNetMessageSize - kStateHeaderSize - kStateTailSize - kExtrasSize -
               static_cast<int>(s.repeats.size()) * kEffectRepeatSize;
    const int fighters = std::min(clampCount(gs.fighterList.size()), room / kFighterEntrySize);
    room -= fighters * kFighterEntrySize;
    const int effects = std::min(clampCount(gs.effectEvents.size()), room / kEffectEntrySize);
    room -= effects * kEffectEntrySize;
    const int prey = std::min(clampCount(gs.preyList.size()), room / kPreyEntrySize);
    room -= prey * kPreyEntrySize;
    const int bullets = std::min(clampCount(gs.bulletList.size()), room / kBulletEntrySize);

    for (int i = 0; i < fighters; ++i) s.fighters.push_back(fighterEntryOf(gs.fighterList[i]));
    for (int i = 0; i < prey; ++i) s.prey.push_back(preyEntryOf(gs.preyList[i]));
    for (int i = 0; i < bullets; ++i) s.bullets.push_back(bulletEntryOf(gs.bulletList[i]));
    for (int i = 0; i < effects; ++i) s.effects.push_back(effectEntryOf(gs.effectEvents[i]));
    writeStateSnapshot(s, body);

    for (int i = 0; i < effects; ++i) {
        const EffectEvent& e = gs.effectEvents[i];
        net.recentEffects[net.recentEffectCount++ % kMaxEffectRepeats] =
            SentEffect{net.nextEffectId++, s.bodySeq, static_cast<uint8_t>(e.effectKind), e.x, e.y, e.z};
    }
    net.bodySeq = s.bodySeq;
    // Each event travels in its own body and is repeated in the next ones'
    // trailers; those that did not fit are dropped with the rest.
    gs.effectEvents.clear();
}

void applySnapshot(const StateSnapshot& s) {
    // The index must always name a local fighter: the shell draws it.
    if (s.yourFighter < fighterCount()) process.localFighterIndex = s.yourFighter;
    applyServerFlags(s.serverFlags);
    if (static_cast<int>(s.fighters.size()) != fighterCount()) return;

    for (size_t i = 0; i < s.fighters.size(); ++i) applyFighterEntry(s.fighters[i], gs.fighterList[i]);
    if (s.extras.present) applyExtras(s.extras);
    // Records appended here start from their defaults (zero behaviour state).
    gs.preyList.resize(s.prey.size());
    for (size_t i = 0; i < s.prey.size(); ++i) applyPreyEntry(s.prey[i], gs.preyList[i]);
    gs.bulletList.resize(s.bullets.size());
    for (size_t i = 0; i < s.bullets.size(); ++i) applyBulletEntry(s.bullets[i], gs.bulletList[i]);
    gs.reservedPointsA.resize(s.pointsA.size());
    for (size_t i = 0; i < s.pointsA.size(); ++i) gs.reservedPointsA[i] = pointOf(s.pointsA[i]);
    gs.reservedPointsB.resize(s.pointsB.size());
    for (size_t i = 0; i < s.pointsB.size(); ++i) gs.reservedPointsB[i] = pointOf(s.pointsB[i]);
}

void applyState(const NetMessage& body) {
    StateSnapshot s;
    if (parseStateSnapshot(body, s)) applySnapshot(s);
}

bool snapshotFollows(const StateSnapshot& s, uint32_t baseSeq, int32_t baseClockMs) {
    // A body far ahead is no later picture of the same server: believed, it
    // would make every real body after it look stale.
    if (s.hasSeq && baseSeq != 0) {
        const uint32_t ahead = s.bodySeq - baseSeq;
        return ahead != 0 && ahead <= kMaxBodySeqAhead;
    }
    if (s.hasSeq) return true;
    // A plain server's clock counts milliseconds within its minute: a body
    // up to half a minute ahead, across the turn of the minute, is newer.
    // Any 32-bit value may arrive: the difference is taken in 64 bits. Two
    // passes may read the same millisecond: a StateUpdate with the last
    // clock is a body of its own (with effects of its own), while a probe
    // with it is the last body's copy.
    const int64_t ahead =
        ((static_cast<int64_t>(s.serverClockMs) - baseClockMs) % 60000 + 60000) % 60000;
    return ahead < 30000 && (ahead > 0 || s.kind == NetMessageKind::StateUpdate);
}

bool snapshotIsNewer(const StateSnapshot& s) {
    if (!net.haveSnapshot) return true;
    return snapshotFollows(s, net.appliedSeq, net.appliedClockMs);
}

int startSnapshotEffects(const StateSnapshot& s, bool newer, int budget) {
    if ((s.serverFlags & kServerFlagPaused) != 0) return 0;
    int started = 0;
    const auto start = [&started, &s](const EffectEntry& e) {
        if (e.kind > static_cast<uint8_t>(EffectKind::Small)) return;
        // Drawn a little in the past, an explosion waits for its body's moment.
        if (!smoothingDeferEffect(s, e.kind, e.x, e.y, e.z)) {
            if (e.kind == static_cast<uint8_t>(EffectKind::Large)) startLargeExplosion(e.x, e.y, e.z);
            else startSmallExplosion(e.x, e.y, e.z);
        }
        ++started;
    };
    if (!s.hasSeq) {
        // Without ids a repeated or late body cannot be told apart by its
        // events: only a newer body's events start.
        if (newer)
            for (const EffectEntry& e : s.effects)
                if (started < budget) start(e);
        return started;
    }
    for (const std::vector<EffectEntry>* list : {&s.repeats, &s.effects}) {
        for (const EffectEntry& e : *list) {
            if (started >= budget) return started;
            const int32_t ahead = static_cast<int32_t>(e.id - net.newestEffectId);
            if (e.id == 0 || (net.newestEffectId != 0 && ahead <= -kEffectIdWindow)) continue;
            uint32_t& slot = net.startedEffectIds[e.id % kEffectIdWindow];
            if (slot == e.id) continue;
            slot = e.id;
            if (net.newestEffectId == 0 || ahead > 0) net.newestEffectId = e.id;
            start(e);
        }
    }
    return started;
}
