// wire.cpp -- the datagram's byte layout: one writer, one reader, the key
// record, and the state picture packed by the server and applied by clients.
//
// Every multi-byte field is little-endian whatever the host; floats are IEEE
// single precision. The writer and the reader are the only code that touches
// the bytes, and each checks room in one place: a write past the end sets a
// sticky overflow flag and writes nothing, a read past the end yields 0 and
// sets a sticky overrun flag, so callers check once at the end.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/net.h"
#include "world/world.h"

namespace {

static_assert(kStateHeaderSize + kMaxEntryCount * kPreyEntrySize < kNetMessageSize,
              "a full prey count fits beside the header");
static_assert(kFighterEntrySize == 28 && kPreyEntrySize == 20 && kBulletEntrySize == 24 &&
                  kPointEntrySize == 8 && kEffectEntrySize == 20,
              "entry sizes are part of the wire format");

struct WireWriter {
    uint8_t* buf;
    size_t pos;
    bool overflow;
};

WireWriter writerAt(NetMessage& msg, size_t pos) { return WireWriter{msg.bytes, pos, false}; }

// The one room check of the writer.
bool writerRoom(WireWriter& w, size_t n) {
    if (w.overflow || w.pos > kNetMessageSize || n > kNetMessageSize - w.pos) {
        w.overflow = true;
        return false;
    }
    return true;
}

void putU8(WireWriter& w, uint8_t v) {
    if (!writerRoom(w, 1)) return;
    w.buf[w.pos++] = v;
}
void putU16(WireWriter& w, uint16_t v) {
    if (!writerRoom(w, 2)) return;
    w.buf[w.pos++] = static_cast<uint8_t>(v);
    w.buf[w.pos++] = static_cast<uint8_t>(v >> 8);
}
void putU32(WireWriter& w, uint32_t v) {
    if (!writerRoom(w, 4)) return;
    for (int i = 0; i < 4; ++i) w.buf[w.pos++] = static_cast<uint8_t>(v >> (8 * i));
}
void putI32(WireWriter& w, int32_t v) { putU32(w, static_cast<uint32_t>(v)); }
void putF32(WireWriter& w, float v) { putU32(w, std::bit_cast<uint32_t>(v)); }
void putZeros(WireWriter& w, size_t n) {
    if (!writerRoom(w, n)) return;
    std::memset(w.buf + w.pos, 0, n);
    w.pos += n;
}

struct WireReader {
    const uint8_t* buf;
    size_t pos;
    bool overrun;
};

WireReader readerAt(const NetMessage& msg, size_t pos) { return WireReader{msg.bytes, pos, false}; }

// The one room check of the reader.
bool readerRoom(WireReader& r, size_t n) {
    if (r.overrun || r.pos > kNetMessageSize || n > kNetMessageSize - r.pos) {
        r.overrun = true;
        return false;
    }
    return true;
}

uint8_t getU8(WireReader& r) {
    if (!readerRoom(r, 1)) return 0;
    return r.buf[r.pos++];
}
uint16_t getU16(WireReader& r) {
    if (!readerRoom(r, 2)) return 0;
    const uint16_t v = static_cast<uint16_t>(r.buf[r.pos] | (r.buf[r.pos + 1] << 8));
    r.pos += 2;
    return v;
}
uint32_t getU32(WireReader& r) {
    if (!readerRoom(r, 4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(r.buf[r.pos++]) << (8 * i);
    return v;
}
int32_t getI32(WireReader& r) { return static_cast<int32_t>(getU32(r)); }
float getF32(WireReader& r) { return std::bit_cast<float>(getU32(r)); }
void skipBytes(WireReader& r, size_t n) {
    if (readerRoom(r, n)) r.pos += n;
}

bool allFinite(std::initializer_list<float> values) {
    for (const float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// Markers of our two extensions, "MZS1" and "MZK1" as they lie in the
// datagram; a plain peer leaves those bytes zero (keys) or meaningless
// (state bodies), so a marker and a consistent layout are required.
constexpr uint32_t kStateTailMarker = 0x31535A4Du;
constexpr uint32_t kKeyExtensionMarker = 0x314B5A4Du;
constexpr size_t kStateTailAt = kNetMessageSize - kStateTailSize;
constexpr size_t kKeyExtensionAt = 16;
constexpr size_t kKeyHistoryAt = 60;
constexpr size_t kKeyHistoryEntrySize = 8;
static_assert(kKeyHistoryAt + kKeyHistory * kKeyHistoryEntrySize <= kNetMessageSize,
              "the key history fits the datagram");

// Reads the body's trailer into `out` when it is there and lies wholly after
// the entries (which end at `entriesEnd`); leaves hasSeq false otherwise.
void parseStateTail(const NetMessage& msg, size_t entriesEnd, int effects, StateSnapshot& out) {
    WireReader r = readerAt(msg, kStateTailAt);
    if (getU32(r) != kStateTailMarker) return;
    const uint32_t seq = getU32(r);
    const uint32_t firstId = getU32(r);
    const int repeats = getU8(r);
    if (seq == 0 || repeats > kMaxEffectRepeats) return;
    const size_t repeatsAt = kStateTailAt - static_cast<size_t>(repeats) * kEffectRepeatSize;
    if (repeatsAt < entriesEnd) return;
    std::vector<EffectEntry> list(static_cast<size_t>(repeats));
    r = readerAt(msg, repeatsAt);
    for (EffectEntry& e : list) {
        e.id = getU32(r);
        e.kind = getU8(r);
        skipBytes(r, 3);
        e.x = getF32(r);
        e.y = getF32(r);
        e.z = getF32(r);
        if (!allFinite({e.x, e.y, e.z})) return;
    }
    if (r.overrun) return;
    for (int i = 0; i < effects; ++i) out.effects[static_cast<size_t>(i)].id = firstId + static_cast<uint32_t>(i);
    out.repeats = std::move(list);
    out.bodySeq = seq;
    out.hasSeq = true;
}

// Parses a state body. False (and `out` unusable) when any entry lies past
// the datagram, whatever the counts claim, or a float is not finite.
bool parseStateBody(const NetMessage& msg, StateSnapshot& out) {
    out = StateSnapshot{};
    {
        WireReader k = readerAt(msg, 0);
        out.kind = getU16(k);
    }
    WireReader r = readerAt(msg, 8);
    out.yourFighter = getU8(r);
    const int fighters = getU8(r), prey = getU8(r), bullets = getU8(r);
    const int pointsA = getU8(r), pointsB = getU8(r), effects = getU8(r);
    out.serverFlags = getU8(r);
    out.serverClockMs = getI32(r);
    const int total = kStateHeaderSize + fighters * kFighterEntrySize + prey * kPreyEntrySize +
                      bullets * kBulletEntrySize + (pointsA + pointsB) * kPointEntrySize +
                      effects * kEffectEntrySize;
    if (total > kNetMessageSize) return false;

    bool finite = true;
    out.fighters.resize(fighters);
    for (FighterEntry& f : out.fighters) {
        f.x = getF32(r);
        f.y = getF32(r);
        f.heading = getF32(r);
        f.active = getU8(r);
        skipBytes(r, 3);
        f.score = getI32(r);
        f.health = getF32(r);
        f.bullets = getI32(r);
        finite = finite && allFinite({f.x, f.y, f.heading, f.health});
    }
    out.prey.resize(prey);
    for (PreyEntry& p : out.prey) {
        p.x = getF32(r);
        p.y = getF32(r);
        p.heading = getF32(r);
        p.bodyTurn = getF32(r);
        p.pose = getU8(r);
        skipBytes(r, 3);
        finite = finite && allFinite({p.x, p.y, p.heading, p.bodyTurn});
    }
    out.bullets.resize(bullets);
    for (BulletEntry& b : out.bullets) {
        b.x = getF32(r);
        b.y = getF32(r);
        b.z = getF32(r);
        b.heading = getF32(r);
        b.pitch = getF32(r);
        b.shooterKind = getU32(r);
        finite = finite && allFinite({b.x, b.y, b.z, b.heading, b.pitch});
    }
    for (std::vector<PointEntry>* list : {&out.pointsA, &out.pointsB}) {
        list->resize(list == &out.pointsA ? pointsA : pointsB);
        for (PointEntry& p : *list) {
            p.x = getF32(r);
            p.y = getF32(r);
            finite = finite && allFinite({p.x, p.y});
        }
    }
    out.effects.resize(effects);
    for (EffectEntry& e : out.effects) {
        e.kind = getU8(r);
        skipBytes(r, 3);
        e.x = getF32(r);
        e.y = getF32(r);
        e.z = getF32(r);
        skipBytes(r, 4);
        finite = finite && allFinite({e.x, e.y, e.z});
    }
    if (r.overrun || !finite) return false;
    parseStateTail(msg, r.pos, effects, out);
    return true;
}

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

int clampCount(size_t n) { return n > kMaxEntryCount ? kMaxEntryCount : static_cast<int>(n); }

}  // namespace

uint16_t messageKind(const NetMessage& msg) {
    WireReader r = readerAt(msg, 0);
    return getU16(r);
}

void setMessageKind(NetMessage& msg, uint16_t kind) {
    WireWriter w = writerAt(msg, 0);
    putU16(w, kind);
    putZeros(w, 6);  // the two pad bytes and senderWord
}

uint8_t messageYourFighter(const NetMessage& msg) { return msg.bytes[8]; }

void setMessageYourFighter(NetMessage& msg, uint8_t fighter) { msg.bytes[8] = fighter; }

int32_t messageServerClock(const NetMessage& msg) {
    WireReader r = readerAt(msg, 16);
    return getI32(r);
}

// Key record, bytes 8..15:
//   8  u32 key      character code, or the special key's code
//  12  u8  released 1 for a release
//  13  u8  special  1 for a special key
//  14  2 zero bytes
void writeKeyRecord(NetMessage& msg, KeyRecord key) {
    WireWriter w = writerAt(msg, 8);
    putU32(w, key.key);
    putU8(w, key.released);
    putU8(w, key.special);
    putZeros(w, 2);
}

KeyRecord readKeyRecord(const NetMessage& msg) {
    WireReader r = readerAt(msg, 8);
    KeyRecord k;
    k.key = getU32(r);
    k.released = getU8(r);
    k.special = getU8(r);
    return k;
}

// Key extension of KeyEvent and KeepAliveAnswer, in bytes a plain client
// sends as zero (a zero marker means a plain client):
//   16 u32 marker "MZK1"
//   20 u32 newestSeq     sequence number of the client's newest key event
//                        (1, 2, 3 ...; 0 when it has sent none)
//   24 u8  historyCount  0..32, at most newestSeq
//   25 3 zero
//   28 32 B held         bit k % 8 of byte k / 8: ordinary key k is held
//   60 historyCount entries of 8 B, newest first (entry i is event
//      newestSeq - i): u32 key, u8 released, u8 special, 2 zero
void writeKeyExtension(NetMessage& msg) {
    const int count = static_cast<int>(std::min<uint32_t>(net.keySeq, kKeyHistory));
    WireWriter w = writerAt(msg, kKeyExtensionAt);
    putU32(w, kKeyExtensionMarker);
    putU32(w, net.keySeq);
    putU8(w, static_cast<uint8_t>(count));
    putZeros(w, 3);
    for (const uint8_t b : net.heldKeys) putU8(w, b);
    for (int i = 0; i < count; ++i) {
        const KeyRecord& k = net.keyHistory[(net.keySeq - static_cast<uint32_t>(i)) % kKeyHistory];
        putU32(w, k.key);
        putU8(w, k.released);
        putU8(w, k.special);
        putZeros(w, 2);
    }
}

KeyExtension readKeyExtension(const NetMessage& msg) {
    KeyExtension x;
    WireReader r = readerAt(msg, kKeyExtensionAt);
    if (getU32(r) != kKeyExtensionMarker) return x;
    x.newestSeq = getU32(r);
    x.historyCount = getU8(r);
    skipBytes(r, 3);
    if (x.historyCount > kKeyHistory || static_cast<uint32_t>(x.historyCount) > x.newestSeq) return KeyExtension{};
    for (uint8_t& b : x.held) b = getU8(r);
    for (int i = 0; i < x.historyCount; ++i) {
        x.history[i].key = getU32(r);
        x.history[i].released = getU8(r);
        x.history[i].special = getU8(r);
        skipBytes(r, 2);
    }
    if (r.overrun) return KeyExtension{};
    x.present = true;
    return x;
}

// State body (StateUpdate 14, KeepAliveProbe 13); kind and yourFighter are
// written by the sender, not here:
//    8  u8  yourFighter     fighter index of the receiving client
//    9  u8  fighterCount    10 u8 preyCount    11 u8 bulletCount
//   12  u8  reservedCountA  13 u8 reservedCountB (both always 0)
//   14  u8  effectCount     15 u8 serverFlags (bit 0: game paused)
//   16  i32 serverClockMs   ms within the server's current UTC minute
//   20  entries back to back:
//       fighter 28 B: f32 x, f32 y, f32 heading, u8 active, 3 unused,
//                     i32 score, f32 health, i32 bullets
//       prey    20 B: f32 x, f32 y, f32 heading, f32 bodyTurn, u8 pose, 3 unused
//       bullet  24 B: f32 x, f32 y, f32 z, f32 heading, f32 pitch, u32 shooterKind
//       point    8 B: f32 x, f32 y
//       effect  20 B: u8 kind (0 large, 1 small), 3 unused, f32 x, y, z, 4 unused
// Trailer, in the last bytes of the datagram where a plain receiver reads
// nothing (the bytes after the last entry have no meaning to it):
//   5992 u32 marker "MZS1"
//   5996 u32 bodySeq        1, 2, 3 ... per server process (never 0)
//   6000 u32 firstEffectId  id of effect entry 0; entry i has id + i
//   6004 u8  repeatCount    0..16
//   6005 3 zero
// and just before it, at 5992 - 20 * repeatCount, the events of the last
// kEffectRepeatBodies bodies, 20 B each: u32 id, u8 kind, 3 zero, f32 x, y, z.
// Room: the trailer first, then fighters, effects, prey, and bullets get
// what is left; no count exceeds 255 and nothing is written past byte 6007.
void packState(NetMessage& body) {
    const uint32_t seq = net.bodySeq + 1 == 0 ? 1 : net.bodySeq + 1;
    SentEffect repeats[kMaxEffectRepeats];
    int repeatCount = 0;
    const uint32_t kept = std::min<uint32_t>(net.recentEffectCount, kMaxEffectRepeats);
    for (uint32_t k = 0; k < kept; ++k) {
        const SentEffect& e = net.recentEffects[(net.recentEffectCount - 1 - k) % kMaxEffectRepeats];
        if (static_cast<int32_t>(seq - e.bodySeq) <= kEffectRepeatBodies) repeats[repeatCount++] = e;
    }
    const int tail = kStateTailSize + repeatCount * kEffectRepeatSize;

    int room = kNetMessageSize - kStateHeaderSize - tail;
    const int fighters = std::min(clampCount(gs.fighterList.size()), room / kFighterEntrySize);
    room -= fighters * kFighterEntrySize;
    const int effects = std::min(clampCount(gs.effectEvents.size()), room / kEffectEntrySize);
    room -= effects * kEffectEntrySize;
    const int prey = std::min(clampCount(gs.preyList.size()), room / kPreyEntrySize);
    room -= prey * kPreyEntrySize;
    const int bullets = std::min(clampCount(gs.bulletList.size()), room / kBulletEntrySize);

    WireWriter w = writerAt(body, 9);
    putU8(w, static_cast<uint8_t>(fighters));
    putU8(w, static_cast<uint8_t>(prey));
    putU8(w, static_cast<uint8_t>(bullets));
    putU8(w, 0);
    putU8(w, 0);
    putU8(w, static_cast<uint8_t>(effects));
    putU8(w, gs.gamePaused ? kServerFlagPaused : 0);
    putI32(w, gs.clockNowMs);
    for (int i = 0; i < fighters; ++i) {
        const Fighter& f = gs.fighterList[i];
        putF32(w, f.pos.x);
        putF32(w, f.pos.y);
        putF32(w, headingDegrees(f.dir));
        putU8(w, (f.state == Dead || f.state == Absent) ? 0 : 1);
        putZeros(w, 3);
        putI32(w, f.score);
        putF32(w, f.health);
        putI32(w, f.bullets);
    }
    for (int i = 0; i < prey; ++i) {
        const Prey& p = gs.preyList[i];
        putF32(w, p.pos.x);
        putF32(w, p.pos.y);
        putF32(w, headingDegrees(p.dir));
        putF32(w, p.bodyTurn);
        putU8(w, static_cast<uint8_t>(p.pose));
        putZeros(w, 3);
    }
    for (int i = 0; i < bullets; ++i) {
        const Bullet& b = gs.bulletList[i];
        putF32(w, b.pos.x);
        putF32(w, b.pos.y);
        putF32(w, b.pos.z);
        putF32(w, headingDegrees(b.dir));
        const float dz = std::fmax(-1.0f, std::fmin(1.0f, b.dir.z));
        putF32(w, static_cast<float>(degreesFromRadians(std::asin(static_cast<double>(dz)))));
        putU32(w, static_cast<uint32_t>(b.shooterKind));
    }
    for (int i = 0; i < effects; ++i) {
        const EffectEvent& e = gs.effectEvents[i];
        putU8(w, e.effectKind);
        putZeros(w, 3);
        putF32(w, e.x);
        putF32(w, e.y);
        putF32(w, e.z);
        putZeros(w, 4);
    }
    const uint32_t firstId = net.nextEffectId;
    for (int i = 0; i < effects; ++i) {
        const EffectEvent& e = gs.effectEvents[i];
        net.recentEffects[net.recentEffectCount++ % kMaxEffectRepeats] =
            SentEffect{net.nextEffectId++, seq, e.effectKind, e.x, e.y, e.z};
    }
    w = writerAt(body, kStateTailAt - static_cast<size_t>(repeatCount) * kEffectRepeatSize);
    for (int i = 0; i < repeatCount; ++i) {
        putU32(w, repeats[i].id);
        putU8(w, repeats[i].kind);
        putZeros(w, 3);
        putF32(w, repeats[i].x);
        putF32(w, repeats[i].y);
        putF32(w, repeats[i].z);
    }
    putU32(w, kStateTailMarker);
    putU32(w, seq);
    putU32(w, firstId);
    putU8(w, static_cast<uint8_t>(repeatCount));
    putZeros(w, 3);
    net.bodySeq = seq;
    // Each event travels in its own body and is repeated in the next ones'
    // trailers; those that did not fit are dropped with the rest.
    gs.effectEvents.clear();
}

namespace {

// The server's pause reaches the client's world and its message line.
void applyServerFlags(uint8_t flags) {
    const bool paused = (flags & kServerFlagPaused) != 0;
    if (paused == gs.gamePaused) return;
    gs.gamePaused = paused;
    setMessageLine(paused ? kPausedMessage : kResumedMessage);
}

}  // namespace

bool stateBodyValid(const NetMessage& body) {
    StateSnapshot parsed;
    return parseStateBody(body, parsed);
}

bool readFighterEntry(const NetMessage& body, int i, FighterEntry* out) {
    StateSnapshot parsed;
    if (!parseStateBody(body, parsed) || i < 0 || i >= static_cast<int>(parsed.fighters.size()))
        return false;
    *out = parsed.fighters[i];
    return true;
}

bool parseStateSnapshot(const NetMessage& body, StateSnapshot& out) { return parseStateBody(body, out); }

void applySnapshot(const StateSnapshot& s) {
    // The index must always name a local fighter: the shell draws it.
    if (s.yourFighter < fighterCount()) gs.localFighterIndex = s.yourFighter;
    applyServerFlags(s.serverFlags);
    if (static_cast<int>(s.fighters.size()) != fighterCount()) return;

    for (size_t i = 0; i < s.fighters.size(); ++i) {
        const FighterEntry& e = s.fighters[i];
        Fighter& f = gs.fighterList[i];
        f.score = e.score;
        f.bullets = e.bullets;
        f.health = e.health;
        f.pos.x = e.x;
        f.pos.y = e.y;
        f.dir = groundDirection(e.heading);
        // A client's fighters all start Absent: an active entry brings its
        // fighter into play here, or no player would ever see another.
        f.state = e.active == 0 ? Absent : InPlay;
    }

    // Records appended here start from their defaults (zero behaviour state).
    gs.preyList.resize(s.prey.size());
    for (size_t i = 0; i < s.prey.size(); ++i) {
        const PreyEntry& e = s.prey[i];
        Prey& p = gs.preyList[i];
        p.pos.x = e.x;
        p.pos.y = e.y;
        p.pos.z = gs.preyExtent.z * 0.5f;
        p.dir = groundDirection(e.heading);
        p.bodyTurn = e.bodyTurn;
        p.pose = e.pose;
    }
    gs.bulletList.resize(s.bullets.size());
    for (size_t i = 0; i < s.bullets.size(); ++i) {
        const BulletEntry& e = s.bullets[i];
        Bullet& b = gs.bulletList[i];
        b.pos = Vec3{e.x, e.y, e.z};
        b.dir = flightDirection(e.heading, e.pitch);
        b.shooterKind = static_cast<int32_t>(e.shooterKind);
    }
    gs.reservedPointsA.resize(s.pointsA.size());
    for (size_t i = 0; i < s.pointsA.size(); ++i) gs.reservedPointsA[i] = ReservedPoint{s.pointsA[i].x, s.pointsA[i].y};
    gs.reservedPointsB.resize(s.pointsB.size());
    for (size_t i = 0; i < s.pointsB.size(); ++i) gs.reservedPointsB[i] = ReservedPoint{s.pointsB[i].x, s.pointsB[i].y};
}

void applyState(const NetMessage& body) {
    StateSnapshot s;
    if (parseStateBody(body, s)) applySnapshot(s);
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
    return ahead < 30000 && (ahead > 0 || s.kind == StateUpdate);
}

bool snapshotIsNewer(const StateSnapshot& s) {
    if (!net.haveSnapshot) return true;
    return snapshotFollows(s, net.appliedSeq, net.appliedClockMs);
}

int startSnapshotEffects(const StateSnapshot& s, bool newer, int budget) {
    if ((s.serverFlags & kServerFlagPaused) != 0) return 0;
    int started = 0;
    const auto start = [&started](const EffectEntry& e) {
        if (e.kind == EffectLarge) startLargeExplosion(e.x, e.y, e.z);
        else if (e.kind == EffectSmall) startSmallExplosion(e.x, e.y, e.z);
        else return;
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
