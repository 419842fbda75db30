// wire.cpp -- the datagram's byte layout: one writer, one reader, the key
// record, and the state picture packed by the server and applied by clients.
//
// Every multi-byte field is little-endian whatever the host; floats are IEEE
// single precision. The writer and the reader are the only code that touches
// the bytes, and each checks room in one place: a write past the end sets a
// sticky overflow flag and writes nothing, a read past the end yields 0 and
// sets a sticky overrun flag, so callers check once at the end.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/net.h"
#include "world/world.h"

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

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

// A state body parsed into plain numbers, before anything touches the world.
struct PreyEntry {
    float x, y, heading, bodyTurn;
    uint8_t pose;
};
struct BulletEntry {
    float x, y, z, heading, pitch;
    uint32_t shooterKind;
};
struct EffectEntry {
    uint8_t kind;
    float x, y, z;
};
struct StateBody {
    uint8_t yourFighter = 0;
    uint8_t serverFlags = 0;
    int32_t serverClockMs = 0;
    std::vector<FighterEntry> fighters;
    std::vector<PreyEntry> prey;
    std::vector<BulletEntry> bullets;
    std::vector<ReservedPoint> pointsA, pointsB;
    std::vector<EffectEntry> effects;
};

bool allFinite(std::initializer_list<float> values) {
    for (const float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// Parses a state body. False (and `out` unusable) when any entry lies past
// the datagram, whatever the counts claim, or a float is not finite.
bool parseStateBody(const NetMessage& msg, StateBody& out) {
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
    for (std::vector<ReservedPoint>* list : {&out.pointsA, &out.pointsB}) {
        list->resize(list == &out.pointsA ? pointsA : pointsB);
        for (ReservedPoint& p : *list) {
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
    return !r.overrun && finite;
}

Vec3 groundDirection(float headingDeg) {
    const double rad = headingDeg * kDegToRad;
    return Vec3{static_cast<float>(std::cos(rad)), static_cast<float>(std::sin(rad)), 0.0f};
}

Vec3 flightDirection(float headingDeg, float pitchDeg) {
    const double rad = headingDeg * kDegToRad;
    const double p = pitchDeg * kDegToRad;
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
// Room: fighters first, then effects, then prey, then bullets get what is
// left; no count exceeds 255 and nothing is written past byte 6007.
void packState(NetMessage& body) {
    int room = kNetMessageSize - kStateHeaderSize;
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
        putF32(w, static_cast<float>(std::asin(static_cast<double>(dz)) * kRadToDeg));
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
    // Events travel once; those that did not fit are dropped with the rest.
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
    StateBody parsed;
    return parseStateBody(body, parsed);
}

bool readFighterEntry(const NetMessage& body, int i, FighterEntry* out) {
    StateBody parsed;
    if (!parseStateBody(body, parsed) || i < 0 || i >= static_cast<int>(parsed.fighters.size()))
        return false;
    *out = parsed.fighters[i];
    return true;
}

void applyState(const NetMessage& body) {
    StateBody s;
    if (!parseStateBody(body, s)) return;

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
        if (e.active == 0) {
            f.state = Absent;
        } else {
            f.state = InPlay;
        }
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
    gs.reservedPointsA = s.pointsA;
    gs.reservedPointsB = s.pointsB;
}

void startStateEffects(const NetMessage& body) {
    StateBody s;
    if (!parseStateBody(body, s)) return;
    for (const EffectEntry& e : s.effects) {
        if (e.kind == EffectLarge) startLargeExplosion(e.x, e.y, e.z);
        else if (e.kind == EffectSmall) startSmallExplosion(e.x, e.y, e.z);
    }
}
